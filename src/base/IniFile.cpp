#include "base/IniFile.h"

#include "base/Cp1250.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <cstdint>

namespace orvex {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

bool hasNonAscii(const QByteArray& data)
{
    for (const char c : data)
        if (static_cast<uint8_t>(c) >= 0x80)
            return true;
    return false;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray& data)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    const qsizetype n = data.size();
    qsizetype i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        int more = 0;
        uint32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            more = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            more = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            more = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (n - i <= more)
            return false;
        for (int k = 1; k <= more; ++k) {
            const uint8_t c = p[i + k];
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr uint32_t smallest[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < smallest[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

bool isComment(const QString& trimmed)
{
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

// "[name]" with blanks around; anything after the bracket is ignored.
bool parseSection(const QString& line, QString* name)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = t.mid(1, close - 1).trimmed();
    return true;
}

struct KeyLine {
    QString key;
    qsizetype valueBegin = 0;  // the value, blanks around it excluded, is line[valueBegin, valueEnd)
    qsizetype valueEnd = 0;
};

// "key = value"; false for blank lines, comments, section headers and lines without '='.
bool parseKey(const QString& line, KeyLine* out)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || isComment(t) || t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    const QString key = line.left(eq).trimmed();
    if (key.isEmpty())
        return false;
    qsizetype begin = eq + 1;
    qsizetype end = line.size();
    while (begin < end && line.at(begin).isSpace())
        ++begin;
    while (end > begin && line.at(end - 1).isSpace())
        --end;
    out->key = key;
    out->valueBegin = begin;
    out->valueEnd = end;
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Decimal with an optional sign, or 0x/0X followed by up to eight hexadecimal digits
// (taken as the 32-bit pattern, so 0xFFFFFFFF is -1). Nothing else is a number.
bool parseInteger(const QString& text, int* value)
{
    const QString t = text.trimmed();
    if (t.size() > 2 && t.at(0) == QLatin1Char('0') && (t.at(1) == QLatin1Char('x') || t.at(1) == QLatin1Char('X'))) {
        uint64_t v = 0;
        for (qsizetype i = 2; i < t.size(); ++i) {
            const char16_t c = t.at(i).unicode();
            int d = -1;
            if (c >= u'0' && c <= u'9')
                d = c - u'0';
            else if (c >= u'a' && c <= u'f')
                d = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                d = c - u'A' + 10;
            if (d < 0)
                return false;
            v = v * 16 + static_cast<uint64_t>(d);
            if (v > 0xFFFFFFFFu)
                return false;
        }
        *value = static_cast<int>(static_cast<uint32_t>(v));
        return true;
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i >= t.size())
        return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > static_cast<int64_t>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    *value = static_cast<int>(v);
    return true;
}

bool validSectionName(const QString& s)
{
    const QString t = s.trimmed();
    return !t.isEmpty() && !t.contains(QLatin1Char(']')) && !t.contains(QLatin1Char('\n')) && !t.contains(QLatin1Char('\r'));
}

bool validKeyName(const QString& k)
{
    const QString t = k.trimmed();
    return !t.isEmpty() && !t.contains(QLatin1Char('=')) && !t.contains(QLatin1Char('\n')) && !t.contains(QLatin1Char('\r')) &&
           !isComment(t) && !t.startsWith(QLatin1Char('['));
}

}  // namespace

IniFile::IniFile(QString path) : FilePath(std::move(path)) {}

bool IniFile::Exists() const
{
    const QFileInfo fi(FilePath);
    return fi.exists() && !fi.isDir();
}

bool IniFile::Load()
{
    Lines.clear();
    Endings.clear();
    Utf8 = false;
    Bom = false;
    CrLf = true;

    QFile f(FilePath);
    if (!Exists() || !f.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = f.readAll();
    if (data.startsWith(Utf8Bom)) {
        Utf8 = true;
        Bom = true;
        data.remove(0, Utf8Bom.size());
    } else if (hasNonAscii(data) && isValidUtf8(data)) {
        Utf8 = true;
    }
    const QString text = Utf8 ? QString::fromUtf8(data) : FromCp1250(data);

    bool endingSeen = false;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype nl = text.indexOf(QLatin1Char('\n'), start);
        if (nl < 0) {
            Lines.append(text.mid(start));
            Endings.append(QString());
            break;
        }
        const bool cr = nl > start && text.at(nl - 1) == QLatin1Char('\r');
        Lines.append(text.mid(start, nl - start - (cr ? 1 : 0)));
        Endings.append(cr ? QStringLiteral("\r\n") : QStringLiteral("\n"));
        if (!endingSeen) {
            CrLf = cr;
            endingSeen = true;
        }
        start = nl + 1;
    }
    return true;
}

int IniFile::findSection(const QString& section) const
{
    const QString wanted = section.trimmed();
    QString name;
    for (qsizetype i = 0; i < Lines.size(); ++i)
        if (parseSection(Lines.at(i), &name) && sameName(name, wanted))
            return static_cast<int>(i);
    return -1;
}

int IniFile::findKey(int sectionLine, const QString& key, QString* value) const
{
    if (sectionLine < 0)
        return -1;
    const QString wanted = key.trimmed();
    KeyLine kl;
    for (qsizetype i = sectionLine + 1; i < Lines.size(); ++i) {
        const QString& line = Lines.at(i);
        if (parseSection(line, nullptr))
            break;
        if (parseKey(line, &kl) && sameName(kl.key, wanted)) {
            if (value)
                *value = line.mid(kl.valueBegin, kl.valueEnd - kl.valueBegin);
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    QString value;
    if (findKey(findSection(section), key, &value) < 0)
        return def;
    return value;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    QString text;
    if (findKey(findSection(section), key, &text) < 0)
        return def;
    int value = 0;
    return parseInteger(text, &value) ? value : def;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    QString text;
    if (findKey(findSection(section), key, &text) < 0)
        return def;
    int value = 0;
    return parseInteger(text, &value) ? value != 0 : def;
}

bool IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    if (!validSectionName(section) || !validKeyName(key))
        return false;
    Load();

    // A line break in the value would split the line and change the file's structure.
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString eol = CrLf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    const QString newKeyLine = key.trimmed() + QLatin1Char('=') + v;

    const int s = findSection(section);
    if (s < 0) {
        if (!Lines.isEmpty()) {
            if (Endings.last().isEmpty())
                Endings.last() = eol;
            if (!Lines.last().trimmed().isEmpty()) {
                Lines.append(QString());
                Endings.append(eol);
            }
        }
        Lines.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
        Endings.append(eol);
        Lines.append(newKeyLine);
        Endings.append(eol);
        return save();
    }

    const int k = findKey(s, key, nullptr);
    KeyLine kl;
    if (k >= 0 && parseKey(Lines.at(k), &kl)) {
        Lines[k].replace(kl.valueBegin, kl.valueEnd - kl.valueBegin, v);
        return save();
    }

    qsizetype after = s;
    for (qsizetype i = s + 1; i < Lines.size() && !parseSection(Lines.at(i), nullptr); ++i)
        if (parseKey(Lines.at(i), &kl))
            after = i;
    // The new line takes over the terminator of the line it follows, so a file that
    // ended without a line break still does.
    Lines.insert(after + 1, newKeyLine);
    Endings.insert(after + 1, Endings.at(after).isEmpty() ? QString() : eol);
    if (Endings.at(after).isEmpty())
        Endings[after] = eol;
    return save();
}

bool IniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool IniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    return WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::save() const
{
    QString text;
    for (qsizetype i = 0; i < Lines.size(); ++i) {
        text += Lines.at(i);
        text += Endings.at(i);
    }
    QByteArray data;
    if (Utf8) {
        if (Bom)
            data = Utf8Bom;
        data += text.toUtf8();
    } else {
        data = ToCp1250(text);
    }
    QSaveFile f(FilePath);
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(data) != data.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool WriteIniString(const QString& path, const QString& section, const QString& key, const QString& value)
{
    IniFile ini(path);
    return ini.WriteString(section, key, value);
}

}  // namespace orvex
