// Serial frame of the exchange link: 0xEE '#' LEN(2, LE) payload(LEN) CRC32(4, LE),
// every byte after the two markers stuffed (0xEE sent as 0xEE 0xEE).
// Pure code: no Qt event loop, no allocation per frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

constexpr uint8_t FrameMarker1 = 0xEE;
constexpr uint8_t FrameMarker2 = 0x23;
constexpr int MaxFrameLen = 2049;  // largest LEN the receiver accepts

// One table step of the reflected CRC-32 (polynomial 0xEDB88320).
uint32_t Update_CRC32(uint32_t crc, uint8_t b);

// Standard CRC-32 of a whole buffer ("123456789" gives 0xCBF43926).
uint32_t Crc32(const uint8_t* data, size_t n);

// Largest encoded size of a frame whose payload is `payloadLen` bytes (every byte stuffed).
constexpr size_t MaxEncodedFrameSize(size_t payloadLen) { return 2 + 2 * (2 + payloadLen + 4); }

// Writes the frame whose payload is `first` followed by `count` bytes of `data` into
// `out`, which must hold MaxEncodedFrameSize(count + 1) bytes. LEN is count + 1 taken
// modulo 65536. Returns the number of bytes written.
size_t EncodeFrame(uint8_t first, const uint8_t* data, int count, uint8_t* out);

// Receive state machine. Feed it bytes in any chunking; it stops at the end of each
// complete frame so that the caller can take the payload from InCom before the next
// frame overwrites it.
class FrameReader {
public:
    enum : uint8_t {
        Hunting = 0, MarkerSeen = 1, LenLow = 2, LenLowEscaped = 20, LenHigh = 3,
        LenHighEscaped = 30, Body = 4, BodyEscaped = 40, TooLong = 200, Broken = 201
    };

    // Runs bytes p[0..n) through the state machine. Returns LEN of the first frame
    // completed by them (payload in InCom) and sets *consumed to the bytes used up to
    // and including that frame's last byte; returns 0 with *consumed = n when no frame
    // was completed. A frame with LEN 0 completes but reads as 0, as on the wire; only
    // *consumed < n then tells that the reader stopped after it.
    int Feed(const uint8_t* p, size_t n, size_t* consumed);

    // Called when LEN is complete: false when it exceeds MaxFrameLen; otherwise
    // starts the payload CRC and the byte count.
    bool AllocInCom();
    // Finishes RxCrc and compares it with the four little-endian bytes after the payload.
    bool TestCRC();

    void Reset() { RxState = Hunting; RxLength = 0; RxCount = 0; }

    uint8_t RxState = Hunting;
    uint16_t RxLength = 0;
    uint16_t RxCount = 0;
    uint32_t RxCrc = 0;
    uint8_t InCom[MaxFrameLen + 4] = {};

private:
    // Stores the bytes of p[i..n) in state Body up to the first 0xEE or the frame's last
    // byte; returns the index after the last byte taken and says whether the frame is whole
    // (its CRC not yet tested).
    size_t bodyRun(const uint8_t* p, size_t i, size_t n, bool* complete);
};

}  // namespace orvex
