// Builds an Agent.ini for tests: base keys, then overrides, one section each.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace orvex::test {

// keys: "Section/Key=Value" entries; a later entry of the same key replaces an earlier one.
QString BuildIni(const QStringList& keys);

}  // namespace orvex::test
