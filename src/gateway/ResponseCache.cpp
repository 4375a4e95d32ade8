#include "gateway/ResponseCache.h"

#include "base/Clock.h"
#include "link/Data.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvex {

bool TResponseCache::Allocate(int maxCache)
{
    Free();
    if (maxCache <= 0)
        return true;
    try {
        Cache.resize(static_cast<size_t>(maxCache));
    } catch (const std::bad_alloc&) {
        Cache.clear();
        Cache.shrink_to_fit();
        return false;
    } catch (const std::length_error&) {
        Cache.clear();
        return false;
    }
    return true;
}

void TResponseCache::Free()
{
    std::vector<TCacheEntry>().swap(Cache);
    CacheCount = 0;
    CacheNext = 0;
}

int TResponseCache::CacheFind(const uint8_t* b, int len, bool fresh, double now) const
{
    const int max = MaxCache();
    if (CacheCount == 0 || max == 0)
        return -1;
    // A request longer than a slot cannot have been stored.
    if (len > static_cast<int>(sizeof(TCacheEntry::Request)) || len < 0)
        return -1;
    int i = CacheNext;
    for (int k = 0; k < CacheCount; ++k) {
        i = (i - 1 + max) % max;
        const TCacheEntry& e = Cache[static_cast<size_t>(i)];
        if (fresh && !(e.MaxAge > AgeMs(now, e.Stored)))
            continue;
        if (std::memcmp(e.Request, b, static_cast<size_t>(len)) == 0)
            return i;
    }
    return -1;
}

void TResponseCache::CacheStore(const uint8_t* r, int n, int m, const uint8_t* a, double now)
{
    const int max = MaxCache();
    if (max == 0 || n < 1 || r[0] != 0)
        return;
    if (m < 0 || m > static_cast<int>(sizeof(TCacheEntry::Answer)))
        return;
    n = std::min(n, static_cast<int>(sizeof(TCacheEntry::Request)));
    int i = CacheFind(r, n, false, now);
    const bool isNew = i < 0;
    if (isNew)
        i = CacheNext;
    TCacheEntry& e = Cache[static_cast<size_t>(i)];
    // Clear what an older request left behind in the slot, so that it cannot match later.
    std::memset(e.Request, 0, sizeof e.Request);
    std::memcpy(e.Request, r, static_cast<size_t>(n));
    if (m > 0)
        std::memcpy(e.Answer, a, static_cast<size_t>(m));
    e.MaxAge = (n > 1 && r[1] < StructCount) ? StructTable[r[1]].MaxAge : 10;
    e.AnswerLen = m;
    e.Stored = now;
    if (isNew) {
        CacheNext = (CacheNext + 1) % max;
        if (CacheCount < max)
            ++CacheCount;
    }
}

}  // namespace orvex
