// Byte strings in tests: written as lists of values, handed on as unsigned bytes.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <initializer_list>

namespace orvex::test {

inline QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

inline const uint8_t* u8(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

}  // namespace orvex::test
