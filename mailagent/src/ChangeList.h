// Building and releasing the change-list records handed to the agent. Every record,
// group and entry of one list is owned by its ChangeList and freed with it.
#pragma once

#include "agentqx_abi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace agentqx {

struct ListedMessage {
    std::uint32_t Id = 0;
    std::uint32_t Flags = 0;   // 0 new, FlagRemoved removed
};

struct ListedGroup {
    char Type = 'T';
    std::uint16_t Count = 0;
    std::vector<ListedMessage> Messages;
};

class ChangeList {
public:
    ChangeList() = default;
    ChangeList(const ChangeList&) = delete;
    ChangeList& operator=(const ChangeList&) = delete;

    // Appends a record to the end of the list and returns it.
    MailboxRecord* Append(const std::string& name, const std::string& number, std::int32_t status,
                          const std::vector<ListedGroup>& groups);
    // A record of its own, not linked into the list (a mailbox read again).
    MailboxRecord* Detached(const std::string& name, const std::string& number, std::int32_t status,
                            const std::vector<ListedGroup>& groups);
    // Raw pieces, for lists whose shape is made by hand.
    MessageGroup* NewGroup(char type, std::uint16_t count);
    MessageEntry* NewEntry(std::uint32_t id, std::uint32_t flags);

    MailboxRecord* Head() const { return First; }
    bool Owns(const MailboxRecord* record) const;

private:
    MailboxRecord* Make(const std::string& name, const std::string& number, std::int32_t status,
                        const std::vector<ListedGroup>& groups);

    MailboxRecord* First = nullptr;
    MailboxRecord* Last = nullptr;
    std::vector<std::unique_ptr<MailboxRecord>> Records;
    std::vector<std::unique_ptr<MessageGroup>> Groups;
    std::vector<std::unique_ptr<MessageEntry>> Entries;
};

}  // namespace agentqx
