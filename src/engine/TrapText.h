// Splits the text of a TRAP record: recipient address, line feed, subject, line feed, message.
// Pure code over the record's bytes (Windows-1250).
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvex {

struct TrapFields {
    QByteArray Address;  // at most 39 bytes
    QByteArray Subject;  // at most 39 bytes
    QByteArray Message;  // at most 100 bytes
};

// A line feed is looked for within the first 40 bytes, the second within the 40 bytes after
// the first; without the first all fields stay empty, without the second subject and message do.
TrapFields SplitTrapText(const uint8_t* text, int length);

QString TrapTypeName(char letter);

}  // namespace orvex
