// Agent.ini with Windows profile semantics: section and key names compare without
// regard to case, the first occurrence of a key wins, writing a key keeps every other
// line and adds a missing section at the end. Files are Windows-1250 unless they are
// valid UTF-8 holding non-ASCII text; a file is written back in the encoding it was
// read in, a new file in Windows-1250.
#pragma once

#include <QString>
#include <QStringList>

namespace orvex {

class IniFile {
public:
    explicit IniFile(QString path);

    // Reads the file; false when it does not exist or cannot be read (the object is then empty).
    bool Load();
    bool Exists() const;
    const QString& Path() const { return FilePath; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal or 0x hexadecimal; anything else gives def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Read as an integer: 0 is false, any other number true; not a number gives def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // Changes the value in memory and writes the whole file back; false when it cannot be written.
    // As with Windows profiles, each write works on the file as it is on disk at that moment:
    // the file is read again first, so changes made by others in the meantime are kept.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);
    bool WriteBool(const QString& section, const QString& key, bool value);

    bool IsUtf8() const { return Utf8; }

private:
    bool save() const;
    int findSection(const QString& section) const;  // line index of "[section]" or -1
    int findKey(int sectionLine, const QString& key, QString* value) const;

    QString FilePath;
    QStringList Lines;
    QStringList Endings;  // the terminator of each line as read: "\r\n", "\n" or "" (last line)
    bool Utf8 = false;
    bool Bom = false;
    bool CrLf = true;  // terminator of lines this object adds
};

// Opens path, writes one key and closes it again.
bool WriteIniString(const QString& path, const QString& section, const QString& key, const QString& value);

}  // namespace orvex
