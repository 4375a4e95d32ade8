// Recent answers to read requests, served again within each structure's lifetime.
// A ring of fixed slots, searched newest first. Pure code: the time comes in as an argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex {

struct TCacheEntry {
    uint8_t Request[256] = {};
    uint8_t Answer[256] = {};
    int AnswerLen = 0;
    double Stored = 0;
    uint32_t MaxAge = 0;
};

class TResponseCache {
public:
    // Allocates maxCache slots; false (and no cache) when they cannot be had.
    bool Allocate(int maxCache);
    void Free();

    // Index of the newest entry whose stored request starts with the len bytes of b,
    // optionally only among entries younger than their lifetime; -1 when none.
    int CacheFind(const uint8_t* b, int len, bool fresh, double now) const;
    // Stores the answer to a read (r[0] == 0); anything else is not stored. Answers longer
    // than a slot are not stored: serving a cut answer would hand clients a wrong record.
    void CacheStore(const uint8_t* r, int n, int m, const uint8_t* a, double now);

    const TCacheEntry& Entry(int i) const { return Cache[static_cast<size_t>(i)]; }
    int MaxCache() const { return static_cast<int>(Cache.size()); }
    int CacheCount = 0;
    int CacheNext = 0;

private:
    std::vector<TCacheEntry> Cache;
};

}  // namespace orvex
