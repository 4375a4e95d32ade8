#include "engine/TrapText.h"

#include <QString>
#include <algorithm>

namespace orvex {

namespace {
int findLineFeed(const uint8_t* text, int from, int window, int length)
{
    const int end = std::min(from + window, length);
    for (int i = from; i < end; ++i)
        if (text[i] == 0x0A)
            return i;
    return -1;
}

// Fields travel on as NUL-terminated strings, so an embedded NUL ends a field.
QByteArray field(const uint8_t* text, int from, int count)
{
    const char* p = reinterpret_cast<const char*>(text + from);
    return QByteArray(p, static_cast<int>(std::find(p, p + count, '\0') - p));
}
}  // namespace

QString TrapTypeName(char letter)
{
    switch (letter) {
    case 'F': return QStringLiteral("FAX");
    case 'I': return QStringLiteral("Internet");
    case 'L': return QStringLiteral("M602-Lokální");
    case 'Q': return QStringLiteral("SMS");
    case 'V': return QStringLiteral("M602-Vnější");
    case 'Z': return QStringLiteral("ZModem");
    default: return QString();
    }
}

TrapFields SplitTrapText(const uint8_t* text, int length)
{
    TrapFields f;
    if (length <= 0)
        return f;
    const int first = findLineFeed(text, 0, 40, length);
    if (first < 0)
        return f;
    f.Address = field(text, 0, first);
    const int second = findLineFeed(text, first + 1, 40, length);
    if (second < 0)
        return f;
    f.Subject = field(text, first + 1, second - first - 1);
    f.Message = field(text, second + 1, std::min(length - second - 1, 100));
    return f;
}

}  // namespace orvex
