#include "engine/RequestQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvex {

std::unique_ptr<TRequestItem> TRequestItem::Make(char kind, int32_t number, const uint8_t* data, int length)
{
    std::unique_ptr<TRequestItem> item(new (std::nothrow) TRequestItem);
    if (!item)
        return item;
    item->Kind = kind;
    item->Number = number;
    item->Length = std::clamp(length, 0, static_cast<int>(sizeof item->Payload));
    if (item->Length > 0) {
        std::memcpy(item->Payload, data, static_cast<size_t>(item->Length));
        item->First = data[0];
    }
    return item;
}

int TRequestQueue::IndexOf(const QString& key) const
{
    for (size_t i = 0; i < Entries.size(); ++i)
        if (Entries[i].Key.compare(key, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

void TRequestQueue::append(QString key, std::unique_ptr<TRequestItem> item)
{
    if (Entries.size() >= MaxEntries)
        Entries.pop_front();
    Entries.push_back(Entry{std::move(key), std::move(item)});
}

void TRequestQueue::QueueOwn(char kind)
{
    const QString key(QChar::fromLatin1(kind));
    if (IndexOf(key) >= 0)
        return;
    append(key, nullptr);
}

void TRequestQueue::QueueClient(int32_t handle, std::unique_ptr<TRequestItem> item)
{
    const QString key = QStringLiteral("T") + QString::number(handle);
    const int old = IndexOf(key);
    if (old >= 0)
        Entries.erase(Entries.begin() + old);
    if (!item)
        return;
    append(key, std::move(item));
}

void TSentList::Remember(uint8_t seq, std::unique_ptr<TRequestItem> item)
{
    Slots[seq] = std::move(item);
}

std::unique_ptr<TRequestItem> TSentList::Take(uint8_t seq)
{
    return std::move(Slots[seq]);
}

int TSentList::Count() const
{
    return static_cast<int>(std::count_if(Slots.begin(), Slots.end(), [](const auto& s) { return s != nullptr; }));
}

void TSentList::Clear()
{
    for (auto& s : Slots)
        s.reset();
}

}  // namespace orvex
