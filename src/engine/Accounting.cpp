// Call accounting: lines fetched from the exchange one at a time, appended to the
// accounting file and kept for TCP/IP clients.
#include "engine/Engine.h"

#include "base/Cp1250.h"

namespace orvex {

namespace {
constexpr int MaxHeldLines = 201;

// Changing the interval of a running QTimer restarts it; the same value must not.
void setPollInterval(QTimer& timer, int ms)
{
    if (timer.interval() != ms)
        timer.setInterval(ms);
}
}  // namespace

void TAgentEngine::HandleUctLine(const uint8_t* data, int length)
{
    const int lineLength = length > 1 ? ((length - 1) & 0xFF) : 0;
    if (lineLength == 0) {
        if (ComPureIn)
            WriteLog(QStringLiteral("<COM"), QStringLiteral("Prázdný účtovací řádek"));
        setPollInterval(TimerUR, URIntervalBezDat);
        return;
    }
    const QByteArray line(reinterpret_cast<const char*>(data + 1), lineLength);
    setPollInterval(TimerUR, URInterval);
    if (ComIn)
        WriteLog(QStringLiteral("<COM"), FromCp1250(line));

    // After a failed append the exchange sends the same line again; clients already hold it.
    const bool repeat = UctAwaitingRepeat && !UctLines->isEmpty() && UctLines->last() == line;
    const bool appended = PbxData->AppendUctLine(UctFile, line);
    UctAwaitingRepeat = !appended;
    if (repeat)
        return;
    if (UctLines->size() >= MaxHeldLines) {
        UctLines->removeFirst();
        ++UctFirst;
    }
    UctLines->append(line);
    ++UctTotal;
}

}  // namespace orvex
