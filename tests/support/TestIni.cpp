#include "TestIni.h"

#include <QList>
#include <QPair>

namespace orvex::test {

QString BuildIni(const QStringList& keys)
{
    QList<QPair<QString, QList<QPair<QString, QString>>>> sections;
    for (const QString& entry : keys) {
        const int slash = entry.indexOf('/');
        const int eq = entry.indexOf('=', slash + 1);
        const QString section = entry.left(slash), key = entry.mid(slash + 1, eq - slash - 1), value = entry.mid(eq + 1);
        auto s = std::find_if(sections.begin(), sections.end(),
                              [&](const auto& p) { return p.first.compare(section, Qt::CaseInsensitive) == 0; });
        if (s == sections.end()) {
            sections.append({section, {}});
            s = sections.end() - 1;
        }
        auto k = std::find_if(s->second.begin(), s->second.end(),
                              [&](const auto& p) { return p.first.compare(key, Qt::CaseInsensitive) == 0; });
        if (k == s->second.end())
            s->second.append({key, value});
        else
            k->second = value;
    }
    QString out;
    for (const auto& s : sections) {
        out += "[" + s.first + "]\r\n";
        for (const auto& k : s.second)
            out += k.first + "=" + k.second + "\r\n";
    }
    return out;
}

}  // namespace orvex::test
