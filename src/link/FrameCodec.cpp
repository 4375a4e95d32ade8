#include "link/FrameCodec.h"

#include <zlib.h>

namespace orvex {

namespace {
// zlib's table is a constant; fetched once so that the per-byte step has no guard check.
const z_crc_t* const CrcTable = get_crc_table();

inline const z_crc_t* crcTable() { return CrcTable; }

inline uint8_t* putStuffed(uint8_t* o, uint8_t b)
{
    *o++ = b;
    if (b == FrameMarker1)
        *o++ = b;
    return o;
}
}  // namespace

uint32_t Update_CRC32(uint32_t crc, uint8_t b)
{
    return (crc >> 8) ^ static_cast<uint32_t>(crcTable()[(crc ^ b) & 0xFF]);
}

uint32_t Crc32(const uint8_t* data, size_t n)
{
    return static_cast<uint32_t>(crc32_z(0L, data, n));
}

size_t EncodeFrame(uint8_t first, const uint8_t* data, int count, uint8_t* out)
{
    uint8_t* o = out;
    *o++ = FrameMarker1;
    *o++ = FrameMarker2;
    const uint16_t len = static_cast<uint16_t>(count + 1);
    o = putStuffed(o, static_cast<uint8_t>(len & 0xFF));
    o = putStuffed(o, static_cast<uint8_t>(len >> 8));
    uint32_t crc = Update_CRC32(0xFFFFFFFFu, first);
    o = putStuffed(o, first);
    for (int i = 0; i < count; ++i) {
        crc = Update_CRC32(crc, data[i]);
        o = putStuffed(o, data[i]);
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        o = putStuffed(o, static_cast<uint8_t>(crc >> (8 * i)));
    return static_cast<size_t>(o - out);
}

bool FrameReader::AllocInCom()
{
    if (RxLength > MaxFrameLen)
        return false;
    RxCrc = 0xFFFFFFFFu;
    RxCount = 0;
    return true;
}

bool FrameReader::TestCRC()
{
    RxCrc ^= 0xFFFFFFFFu;
    const uint8_t* c = InCom + RxLength;
    const uint32_t got = uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16 | uint32_t(c[3]) << 24;
    return got == RxCrc;
}

size_t FrameReader::bodyRun(const uint8_t* p, size_t i, size_t n, bool* complete)
{
    // Store in state 4 for a run of bytes other than 0xEE, with the count and CRC in
    // locals: stores into InCom may alias the members, locals they cannot.
    const z_crc_t* table = crcTable();
    const uint32_t len = RxLength;
    const uint32_t end = len + 4;
    uint32_t count = RxCount;
    uint32_t crc = RxCrc;
    *complete = false;
    while (i < n) {
        const uint8_t b = p[i];
        if (b == FrameMarker1)
            break;
        ++i;
        InCom[count++] = b;
        if (count <= len) {
            crc = (crc >> 8) ^ static_cast<uint32_t>(table[(crc ^ b) & 0xFF]);
        } else if (count == end) {
            *complete = true;
            break;
        }
    }
    RxCount = static_cast<uint16_t>(count);
    RxCrc = crc;
    return i;
}

int FrameReader::Feed(const uint8_t* p, size_t n, size_t* consumed)
{
    size_t i = 0;
    while (i < n) {
        bool complete = false;
        if (RxState == Body) {
            // Plain payload and CRC bytes; a 0xEE stops the run and goes through the table.
            i = bodyRun(p, i, n, &complete);
            if (complete) {
                if (TestCRC()) {
                    RxState = Hunting;
                    *consumed = i;
                    return RxLength;
                }
                RxState = Hunting;  // CRC mismatch (201), hunting again with the next byte
                continue;
            }
            if (i == n)
                break;
        }
        const uint8_t b = p[i++];
        switch (RxState) {
        case Hunting:
            if (b == FrameMarker1)
                RxState = MarkerSeen;
            break;
        case MarkerSeen:
            if (b == FrameMarker2)
                RxState = LenLow;
            else if (b != FrameMarker1)
                RxState = Hunting;
            break;
        case LenLow:
            RxLength = b;
            RxState = (b == FrameMarker1) ? LenLowEscaped : LenHigh;
            break;
        case LenLowEscaped:
            if (b == FrameMarker1)
                RxState = LenHigh;
            else if (b == FrameMarker2)
                RxState = LenLow;
            else
                RxState = Broken;
            break;
        case LenHigh:
            RxLength = static_cast<uint16_t>(RxLength | (b << 8));
            if (b == FrameMarker1)
                RxState = LenHighEscaped;
            else
                RxState = AllocInCom() ? Body : TooLong;
            break;
        case LenHighEscaped:
            if (b == FrameMarker1)
                RxState = AllocInCom() ? Body : TooLong;
            else if (b == FrameMarker2)
                RxState = LenLow;
            else
                RxState = Broken;
            break;
        case Body:
            // Only 0xEE gets here. It is stored, but never completes a frame by itself:
            // its doubled copy decides.
            InCom[RxCount++] = b;
            if (RxCount <= RxLength)
                RxCrc = Update_CRC32(RxCrc, b);
            RxState = BodyEscaped;
            break;
        case BodyEscaped:
            if (b == FrameMarker1) {
                RxState = Body;
                if (RxCount == RxLength + 4) {
                    if (TestCRC())
                        complete = true;
                    else
                        RxState = Broken;
                }
            } else if (b == FrameMarker2) {
                RxState = LenLow;  // resynchronise: a new frame begins
            } else {
                RxState = Broken;
            }
            break;
        default:
            break;
        }
        if (complete) {
            RxState = Hunting;
            *consumed = i;
            return RxLength;
        }
        if (RxState >= TooLong)
            RxState = Hunting;
    }
    *consumed = n;
    return 0;
}

}  // namespace orvex
