// Windows-1250 text conversion for the 8-bit boundaries (mail library, INI files).
#pragma once

#include <QByteArray>
#include <QString>

namespace orvex {

QByteArray ToCp1250(const QString& text);
QString FromCp1250(const QByteArray& bytes);

}  // namespace orvex
