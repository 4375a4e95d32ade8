// Throughput of the frame writer, the frame reader and the CRC-32 over in-memory buffers.
// Usage: bench_frame [seconds per measurement, default 0.3]
#include "link/FrameCodec.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

using namespace orvex;

namespace {

using Clock = std::chrono::steady_clock;

double g_seconds = 0.3;
volatile uint32_t g_sink = 0;  // keeps results alive

// Runs `pass` (which handles `bytesPerPass` bytes) until the time budget is spent; MB/s.
template <typename F>
double measure(size_t bytesPerPass, F pass)
{
    pass();  // warm up
    size_t passes = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        pass();
        ++passes;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < g_seconds);
    return double(bytesPerPass) * double(passes) / elapsed / 1e6;
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        g_seconds = std::atof(argv[1]) > 0 ? std::atof(argv[1]) : g_seconds;

    const std::vector<uint8_t> block = randomBytes(1 << 20, 1);
    const double crcStep = measure(block.size(), [&] {
        uint32_t crc = 0xFFFFFFFFu;
        for (uint8_t b : block)
            crc = Update_CRC32(crc, b);
        g_sink = g_sink + crc;
    });
    const double crcZlib = measure(block.size(), [&] { g_sink = g_sink + Crc32(block.data(), block.size()); });

    std::printf("CRC-32 over 1 MiB:  Update_CRC32 per byte %8.1f MB/s   zlib Crc32 %8.1f MB/s\n\n", crcStep, crcZlib);
    std::printf("%8s  %14s  %14s  %10s  %12s\n", "payload", "writer MB/s", "reader MB/s", "frames/s", "reader/CRC");

    for (int size : {8, 64, 256, 2048}) {
        const std::vector<uint8_t> payload = randomBytes(size_t(size), uint32_t(size));
        std::vector<uint8_t> out(MaxEncodedFrameSize(payload.size()));

        // Writer: one frame per call, as WritePacket does.
        const int perPass = std::max(1, (1 << 20) / size);
        const double writer = measure(size_t(perPass) * size_t(size), [&] {
            size_t n = 0;
            for (int i = 0; i < perPass; ++i)
                n += EncodeFrame(payload[0], payload.data() + 1, size - 1, out.data());
            g_sink = g_sink + uint32_t(n);
        });

        // Reader: a stream of such frames (different contents), fed in 2100-byte chunks as
        // ReadPacket does, taking every frame.
        std::vector<uint8_t> stream;
        int frames = 0;
        for (size_t total = 0; total < (1u << 20); total += size_t(size), ++frames) {
            const std::vector<uint8_t> p = randomBytes(size_t(size), uint32_t(frames + 1000));
            const size_t n = EncodeFrame(p[0], p.data() + 1, size - 1, out.data());
            stream.insert(stream.end(), out.begin(), out.begin() + long(n));
        }
        FrameReader reader;
        int found = 0;
        const double read = measure(size_t(frames) * size_t(size), [&] {
            found = 0;
            for (size_t pos = 0; pos < stream.size();) {
                const size_t chunk = std::min<size_t>(2100, stream.size() - pos);
                size_t at = 0;
                while (at < chunk) {
                    size_t used = 0;
                    if (reader.Feed(stream.data() + pos + at, chunk - at, &used) > 0) {
                        ++found;
                        g_sink = g_sink + reader.InCom[0];
                    }
                    at += used;
                }
                pos += chunk;
            }
        });
        if (found != frames) {
            std::fprintf(stderr, "reader found %d of %d frames\n", found, frames);
            return 1;
        }
        std::printf("%8d  %14.1f  %14.1f  %10.0f  %12.2f\n", size, writer, read, read * 1e6 / size, read / crcStep);
    }
    return 0;
}
