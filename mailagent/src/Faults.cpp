#include "Faults.h"

#if defined(AGENTQX_FAULTS)

#include "MailboxStore.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace agentqx {

namespace {

std::string FaultList()
{
    const char* value = std::getenv("AGENTQX_FAULTS");
    return value ? "," + std::string(value) + "," : std::string();
}

}  // namespace

std::optional<std::int32_t> InjectedResult(const char* name)
{
    const std::string list = FaultList();
    const std::string key = "," + std::string(name) + "=";
    const auto at = list.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    return static_cast<std::int32_t>(std::strtol(list.c_str() + at + key.size(), nullptr, 10));
}

bool InjectedFlag(const char* name)
{
    return FaultList().find("," + std::string(name) + ",") != std::string::npos;
}

// Three records:
//  1. line "21", a name of 60 characters without a terminating NUL, no groups at all;
//  2. a line number of 40 characters without NUL (matching no line) followed by a status
//     that is not 0 and no NUL byte either ("AAAA"); a fax group that claims 3 messages
//     but has no entries, then a voice group with one entry removed and one new;
//  3. line "22" with status SyncError: reading it again "succeeds" without a record.
std::int32_t BuildAwkwardList(MailboxStore& store, MailboxRecord** head)
{
    ChangeList& list = store.StartList();
    MailboxRecord* first = list.Append("", "21", 0, {});
    std::memset(first->Name, 'N', sizeof first->Name);

    MailboxRecord* second = list.Append("Awkward", "", 0x41414141, {});
    std::memset(second->Number, '9', sizeof second->Number);
    MessageGroup* fax = list.NewGroup('F', 3);
    MessageGroup* voice = list.NewGroup('H', 0);
    MessageEntry* unknown = list.NewEntry(0xFFFFFFF0u, FlagRemovedAlt);
    unknown->Next = list.NewEntry(0xFFFFFFF1u, 0);
    voice->FirstEntry = unknown;
    fax->Next = voice;
    second->FirstGroup = fax;

    list.Append("Lost", "22", SyncError, {});
    *head = list.Head();
    return ResultOk;
}

}  // namespace agentqx

#endif
