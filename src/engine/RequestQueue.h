// The requests waiting for the serial line and the requests sent and not yet answered.
// Plain containers: no event loop, no I/O.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>

namespace orvex {

struct TRequestItem {
    char Kind = 0;
    uint8_t First = 0;     // the request's command byte, to describe the answer later
    int32_t Number = 0;    // kind 'T': the client socket handle
    uint8_t Payload[256] = {};
    int32_t Length = 0;

    static std::unique_ptr<TRequestItem> Make(char kind, int32_t number, const uint8_t* data, int length);
};

// Ordered list keyed by the kind letter, or by "T" and the client handle for client packets.
class TRequestQueue {
public:
    static constexpr int MaxEntries = 100;

    struct Entry {
        QString Key;
        std::unique_ptr<TRequestItem> Item;  // only client packets carry one
    };

    // Own requests: nothing changes when the kind is already waiting.
    void QueueOwn(char kind);
    // Client packets: a waiting packet of the same client is replaced and the new one goes to the end.
    void QueueClient(int32_t handle, std::unique_ptr<TRequestItem> item);

    bool IsEmpty() const { return Entries.empty(); }
    int Count() const { return static_cast<int>(Entries.size()); }
    Entry& Front() { return Entries.front(); }
    void RemoveFront() { Entries.pop_front(); }
    const Entry& At(int i) const { return Entries[static_cast<size_t>(i)]; }
    int IndexOf(const QString& key) const;
    void Clear() { Entries.clear(); }

private:
    void append(QString key, std::unique_ptr<TRequestItem> item);

    std::deque<Entry> Entries;
};

// Requests sent and not yet answered, filed under the sequence byte they went out with.
// A sequence number used again releases the request filed under it.
class TSentList {
public:
    void Remember(uint8_t seq, std::unique_ptr<TRequestItem> item);
    std::unique_ptr<TRequestItem> Take(uint8_t seq);
    const TRequestItem* Peek(uint8_t seq) const { return Slots[seq].get(); }
    int Count() const;
    void Clear();

private:
    std::array<std::unique_ptr<TRequestItem>, 256> Slots;
};

}  // namespace orvex
