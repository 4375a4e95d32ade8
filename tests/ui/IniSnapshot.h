// Reads an Agent.ini into "Section/Key" -> value, to see which keys a dialog wrote.
#pragma once

#include "base/Cp1250.h"

#include <QFile>
#include <QStringDecoder>
#include <QMap>
#include <QSet>
#include <QStringList>

namespace orvex::test {

inline QMap<QString, QString> IniSnapshot(const QString& path)
{
    QMap<QString, QString> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = FromCp1250(bytes);
    QString section;
    for (const QString& raw : text.split('\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith('[') && line.endsWith(']'))
            section = line.mid(1, line.size() - 2);
        else if (line.contains('='))
            keys.insert(section + '/' + line.section('=', 0, 0), line.section('=', 1));
    }
    return keys;
}

// Keys added, removed or changed between two snapshots, as "Section/Key=new value".
inline QStringList IniChanges(const QMap<QString, QString>& before, const QMap<QString, QString>& after)
{
    QStringList out;
    QSet<QString> names(before.keyBegin(), before.keyEnd());
    for (auto it = after.keyBegin(); it != after.keyEnd(); ++it)
        names.insert(*it);
    for (const QString& k : names)
        if (before.value(k, "\x01") != after.value(k, "\x01"))
            out << k + '=' + after.value(k, "<removed>");
    out.sort();
    return out;
}

}  // namespace orvex::test
