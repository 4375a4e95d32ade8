#include "ChangeList.h"

#include <algorithm>
#include <cstring>

namespace agentqx {

namespace {

template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text)
{
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

MessageGroup* ChangeList::NewGroup(char type, std::uint16_t count)
{
    auto group = std::make_unique<MessageGroup>();
    group->Type = type;
    group->Count = count;
    Groups.push_back(std::move(group));
    return Groups.back().get();
}

MessageEntry* ChangeList::NewEntry(std::uint32_t id, std::uint32_t flags)
{
    auto entry = std::make_unique<MessageEntry>();
    entry->Id = id;
    entry->Flags = flags;
    Entries.push_back(std::move(entry));
    return Entries.back().get();
}

MailboxRecord* ChangeList::Make(const std::string& name, const std::string& number, std::int32_t status,
                                const std::vector<ListedGroup>& groups)
{
    auto record = std::make_unique<MailboxRecord>();
    CopyText(record->Name, name);
    CopyText(record->Number, number);
    record->Status = status;
    MessageGroup* lastGroup = nullptr;
    for (const ListedGroup& listed : groups) {
        MessageGroup* group = NewGroup(listed.Type, listed.Count);
        MessageEntry* lastEntry = nullptr;
        for (const ListedMessage& message : listed.Messages) {
            MessageEntry* entry = NewEntry(message.Id, message.Flags);
            if (lastEntry)
                lastEntry->Next = entry;
            else
                group->FirstEntry = entry;
            lastEntry = entry;
        }
        if (lastGroup)
            lastGroup->Next = group;
        else
            record->FirstGroup = group;
        lastGroup = group;
    }
    Records.push_back(std::move(record));
    return Records.back().get();
}

MailboxRecord* ChangeList::Append(const std::string& name, const std::string& number, std::int32_t status,
                                  const std::vector<ListedGroup>& groups)
{
    MailboxRecord* record = Make(name, number, status, groups);
    if (Last)
        Last->Next = record;
    else
        First = record;
    Last = record;
    return record;
}

MailboxRecord* ChangeList::Detached(const std::string& name, const std::string& number, std::int32_t status,
                                    const std::vector<ListedGroup>& groups)
{
    return Make(name, number, status, groups);
}

bool ChangeList::Owns(const MailboxRecord* record) const
{
    return std::any_of(Records.begin(), Records.end(), [&](const auto& r) { return r.get() == record; });
}

}  // namespace agentqx
