#include "ExchangeModel.h"

namespace orvex::sim {

namespace {
constexpr uint8_t CmdRead = 0x00;
constexpr uint8_t CmdWrite = 0x01;
constexpr uint8_t CmdInfo = 0x02;
constexpr uint8_t CmdUctNext = 0x04;
constexpr uint8_t CmdUctAgain = 0x05;
constexpr uint8_t CmdCompat = 0x0D;
constexpr uint8_t CmdSwitches = 0x0E;

constexpr uint8_t StructTrap = 1;
constexpr uint8_t StructLineNumbers = 14;
constexpr uint8_t StructMessages = 17;
constexpr uint8_t StructLineStatus = 22;

constexpr int MaxLines = (MaxAnswerBytes - 3) / 4;
const QString DigitAlphabet = QStringLiteral(".1234567890*#FPSABCD");

QByteArray bytes(std::initializer_list<uint8_t> list)
{
    QByteArray out;
    for (const uint8_t b : list)
        out.append(static_cast<char>(b));
    return out;
}

QByteArray withoutTrailingZeros(QByteArray data)
{
    while (!data.isEmpty() && data.back() == '\0')
        data.chop(1);
    return data;
}
}  // namespace

uint8_t DigitCode(QChar c)
{
    const qsizetype i = DigitAlphabet.indexOf(c.toUpper());
    return i > 0 ? static_cast<uint8_t>(i) : 0;
}

ExchangeModel::ExchangeModel()
{
    Compat[4] = 1;
    Compat[5] = 0;
    Info[0] = 0x02;
    Info[1] = 0x05;
    QString unused;
    SetLines(QStringLiteral("21,22,23,24"), &unused);
}

void ExchangeModel::SetCompat(uint8_t byte4, uint8_t byte5)
{
    Compat[4] = byte4;
    Compat[5] = byte5;
}

void ExchangeModel::SetInfo(uint8_t major, uint8_t minor)
{
    Info[0] = major;
    Info[1] = minor;
}

bool ExchangeModel::SetLines(const QString& list, QString* error)
{
    QStringList numbers;
    const QString trimmed = list.trimmed();
    if (!trimmed.isEmpty() && trimmed.compare(QStringLiteral("none"), Qt::CaseInsensitive) != 0) {
        for (const QString& part : trimmed.split(QLatin1Char(','))) {
            const QString item = part.trimmed();
            const qsizetype dash = item.indexOf(QLatin1Char('-'));
            if (dash > 0) {
                bool okFrom = false, okTo = false;
                const int from = item.left(dash).toInt(&okFrom);
                const int to = item.mid(dash + 1).toInt(&okTo);
                if (!okFrom || !okTo || from < 0 || to < from || to > 9999 || to - from >= MaxLines) {
                    *error = QStringLiteral("bad range \"%1\"").arg(item);
                    return false;
                }
                for (int n = from; n <= to; ++n)
                    numbers << QString::number(n);
                continue;
            }
            if (item.isEmpty() || item.size() > 4) {
                *error = QStringLiteral("bad line number \"%1\"").arg(item);
                return false;
            }
            for (const QChar c : item) {
                if (DigitCode(c) == 0) {
                    *error = QStringLiteral("bad line number \"%1\"").arg(item);
                    return false;
                }
            }
            numbers << item.toUpper();
        }
    }
    if (numbers.size() > MaxLines) {
        *error = QStringLiteral("more than %1 lines").arg(MaxLines);
        return false;
    }
    Numbers = numbers;
    LineCodes.clear();
    for (const QString& n : Numbers) {
        for (int i = 0; i < 4; ++i)
            LineCodes.append(static_cast<char>(i < n.size() ? DigitCode(n.at(i)) : 0));
    }
    return true;
}

void ExchangeModel::SetTrap(uint8_t record, uint8_t letter, const QByteArray& text)
{
    if (letter == 0) {
        Traps.remove(record);
        return;
    }
    // Status, structure and record come before it in the answer.
    Traps.insert(record, (QByteArray(1, static_cast<char>(letter)) + text).left(MaxAnswerBytes - 3));
}

void ExchangeModel::QueueUct(const QByteArray& line)
{
    UctQueue.push_back(line.left(MaxAnswerBytes - 1));
}

QByteArray ExchangeModel::Answer(const QByteArray& command)
{
    if (command.isEmpty())
        return bytes({1});
    const auto code = static_cast<uint8_t>(command.at(0));
    switch (code) {
    case CmdCompat:
        return bytes({0}) + QByteArray(reinterpret_cast<const char*>(Compat.data()), Compat.size());
    case CmdInfo:
        return bytes({0}) + QByteArray(reinterpret_cast<const char*>(Info.data()), Info.size());
    case CmdSwitches: {
        ++SwitchReads;
        QByteArray out = bytes({0});
        for (uint32_t i = 0; i < 11; ++i)
            out.append(static_cast<char>((SwitchReads * 3 + i) & 0xFF));
        return out;
    }
    case CmdUctNext:
        if (UctQueue.empty())
            return bytes({0});
        LastUct = UctQueue.front();
        HaveLastUct = true;
        UctQueue.pop_front();
        return bytes({0}) + LastUct;
    case CmdUctAgain:
        return bytes({0}) + (HaveLastUct ? LastUct : QByteArray());
    case CmdRead:
    case CmdWrite:
        if (command.size() < 3)
            return bytes({1});
        if (code == CmdRead)
            return read(static_cast<uint8_t>(command.at(1)), static_cast<uint8_t>(command.at(2)));
        return write(static_cast<uint8_t>(command.at(1)), static_cast<uint8_t>(command.at(2)), command.mid(3));
    default:
        return bytes({1});
    }
}

QByteArray ExchangeModel::read(uint8_t structure, uint8_t record)
{
    if (structure == StructLineNumbers && record == 0)
        return bytes({0, StructLineNumbers, 0}) + LineCodes;
    if (structure == StructLineStatus) {
        // Changes with every read, as the state of real lines would.
        ++LineStatusReads;
        QByteArray out = bytes({0, StructLineStatus, record});
        for (uint32_t i = 0; i < 16; ++i)
            out.append(static_cast<char>((LineStatusReads + i) & 0xFF));
        return out;
    }
    if (structure == StructTrap) {
        const auto it = Traps.constFind(record);
        if (it == Traps.constEnd())
            return bytes({0, 0, record, 0});
        return bytes({0, 0, record}) + *it;
    }
    const auto it = Records.constFind(structure << 8 | record);
    if (it != Records.constEnd())
        return bytes({0, structure, record}) + *it;
    QByteArray out = bytes({0, structure, record});
    for (int i = 0; i < 8; ++i)
        out.append(static_cast<char>((structure * 16 + record + i * 37) & 0xFF));
    return out;
}

QByteArray ExchangeModel::write(uint8_t structure, uint8_t record, const QByteArray& data)
{
    const QByteArray stored = data.left(MaxAnswerBytes - 3);
    if (structure == StructTrap) {
        // The agent confirms a TRAP by writing zeros over it.
        const QByteArray kept = withoutTrailingZeros(stored);
        if (kept.isEmpty() || kept.at(0) == '\0')
            Traps.remove(record);
        else
            Traps.insert(record, kept);
        return bytes({0, StructTrap, record});
    }
    if (structure == StructMessages && record == 0) {
        Counters = stored;
        HaveCounters = true;
    }
    Records.insert(structure << 8 | record, stored);
    return bytes({0, structure, record});
}

}  // namespace orvex::sim
