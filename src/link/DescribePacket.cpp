// The readable text of a packet for the event log and the status bar.
#include "link/Data.h"

namespace orvex {

namespace {
QString cmdName(int c) { return QString::fromUtf8(CmdNames[c]); }

// Structure name from the table, or the number itself for structures beyond it.
QString structName(uint8_t s)
{
    return s < StructCount ? QString::fromUtf8(StructTable[s].Name) : QStringLiteral("Str:%1").arg(int(s));
}

// "%s[%d]" when the record index is not 0, else "%s".
QString withIndex(const QString& name, uint8_t index)
{
    return index != 0 ? QStringLiteral("%1[%2]").arg(name, QString::number(index)) : name;
}
}  // namespace

QString TData::DescribePacket(bool request, const uint8_t* bytes, int len, uint8_t command, bool detail)
{
    QString text;
    if (bytes == nullptr || len <= 0)
        return text;
    int h = 1;
    if (request) {
        const uint8_t c = bytes[0];
        if (c >= 2 && c < CmdCount) {
            text = cmdName(c);
        } else {
            text = c < CmdCount ? cmdName(c) + QLatin1Char(' ') : QStringLiteral("Cmd: %1 ").arg(int(c));
            // A request cut short shows what it has: the structure without its index,
            // or only the command.
            if (len >= 3) {
                const uint8_t s = bytes[1];
                text += s < StructCount ? withIndex(structName(s), bytes[2])
                                        : QStringLiteral("Str:%1[%2]").arg(int(s)).arg(int(bytes[2]));
            } else if (len == 2) {
                text += structName(bytes[1]);
            }
            h = 3;
        }
    } else {
        const uint8_t k = command;
        if (k == 2 || k == 3 || (k >= 6 && k < CmdCount)) {
            text = cmdName(k);
        } else if (k == 4 || k == 5) {
            text = cmdName(k) + QLatin1Char(' ');
        } else if (len >= 3) {
            text = withIndex(structName(bytes[1]), bytes[2]);
            h = 3;
        } else if (len == 2) {
            text = structName(bytes[1]);
            h = 2;
        }
        if (bytes[0] != 0)
            text += QStringLiteral("Error %1: ").arg(int(bytes[0]));
    }
    if (detail) {
        for (int i = h; i < len; ++i)
            text += QStringLiteral(" %1").arg(int(bytes[i]));
    }
    return text;
}

}  // namespace orvex
