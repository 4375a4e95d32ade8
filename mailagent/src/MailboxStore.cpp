#include "MailboxStore.h"

#include <algorithm>

namespace agentqx {

MailboxStore::MailboxStore(std::vector<MailboxConfig> boxes)
{
    for (auto& config : boxes) {
        Box box;
        box.Config = std::move(config);
        Boxes.push_back(std::move(box));
    }
}

bool MailboxStore::MayHaveChanged() const
{
    for (const Box& box : Boxes) {
        if (!box.HaveSignature || !box.Signature.Settled())
            return true;
        const MaildirSignature now = ReadSignature(box.Config.Maildir);
        // A readable Maildir whose state is unknown waits for its full re-read.
        if (!now.SameAs(box.Signature) || (!box.Valid && now.Readable))
            return true;
    }
    return false;
}

std::uint32_t MailboxStore::NewId()
{
    const std::uint32_t id = NextId++;
    if (NextId == 0)
        NextId = 1;
    return id;
}

MailboxStore::Snapshot MailboxStore::Scan(std::size_t box)
{
    Snapshot snap;
    Box& b = Boxes[box];
    // The signature is taken before the listing, so a change during the listing is
    // seen again by the next quick test.
    snap.Signature = ReadSignature(b.Config.Maildir);
    std::vector<MaildirFile> files;
    snap.Readable = snap.Signature.Readable && ListMessages(b.Config.Maildir, files);
    if (!snap.Readable) {
        snap.Signature.Readable = false;
        return snap;
    }
    Contents catalogue;
    for (const MaildirFile& file : files) {
        const auto old = b.Catalogue.find(file.UniqueName);
        if (old == b.Catalogue.end() && !file.Waiting)
            continue;  // seen before the library met it: no identifier needed yet
        const Known known = old != b.Catalogue.end() ? old->second : Known{NewId(), MessageType(file.Path)};
        catalogue.emplace(file.UniqueName, known);
        if (file.Waiting)
            snap.Waiting.emplace(file.UniqueName, known);
    }
    // Files that are gone take their identifiers with them.
    b.Catalogue = std::move(catalogue);
    return snap;
}

std::vector<ListedGroup> MailboxStore::AllGroups(const Contents& waiting) const
{
    std::map<char, ListedGroup> groups;
    for (const auto& [name, known] : waiting) {
        ListedGroup& group = groups[known.Type];
        group.Type = known.Type;
        group.Messages.push_back({known.Id, 0});
    }
    std::vector<ListedGroup> out;
    for (auto& [type, group] : groups) {
        std::sort(group.Messages.begin(), group.Messages.end(),
                  [](const ListedMessage& a, const ListedMessage& b) { return a.Id < b.Id; });
        // The 16-bit count keeps the number modulo 65536, which the agent reduces further.
        group.Count = static_cast<std::uint16_t>(group.Messages.size());
        out.push_back(std::move(group));
    }
    return out;
}

std::vector<ListedGroup> MailboxStore::ChangeGroups(const Contents& before, const Contents& now) const
{
    std::map<char, ListedGroup> groups;
    for (const auto& [name, known] : now)
        if (!before.count(name))
            groups[known.Type].Messages.push_back({known.Id, 0});
    for (const auto& [name, known] : before)
        if (!now.count(name))
            groups[known.Type].Messages.push_back({known.Id, FlagRemoved});
    std::vector<ListedGroup> out;
    for (auto& [type, group] : groups) {
        group.Type = type;
        group.Count = static_cast<std::uint16_t>(group.Messages.size());
        out.push_back(std::move(group));
    }
    return out;
}

void MailboxStore::DiscardPending()
{
    ListPending.clear();
    ReadAgainPending.clear();
    List.reset();
}

ChangeList& MailboxStore::StartList()
{
    DiscardPending();
    List = std::make_unique<ChangeList>();
    return *List;
}

std::int32_t MailboxStore::Read(std::int32_t mode, MailboxRecord** head)
{
    if (!head || (mode != ModeAll && mode != ModeChanges))
        return ErrBadArgument;
    StartList();
    for (std::size_t i = 0; i < Boxes.size(); ++i) {
        const Box& box = Boxes[i];
        Pending pending;
        pending.Box = i;
        pending.Snap = Scan(i);
        pending.Sync = !pending.Snap.Readable || (mode == ModeChanges && !box.Valid);
        std::vector<ListedGroup> groups;
        if (!pending.Sync)
            groups = mode == ModeAll ? AllGroups(pending.Snap.Waiting) : ChangeGroups(box.Confirmed, pending.Snap.Waiting);
        MailboxRecord* record =
            List->Append(box.Config.Name, box.Config.Line, pending.Sync ? SyncError : 0, groups);
        ListPending.emplace(record, std::move(pending));
    }
    *head = List->Head();
    return ResultOk;
}

std::int32_t MailboxStore::ReadAgain(MailboxRecord** record, std::int32_t mode, MailboxRecord* which)
{
    if (!record)
        return ErrBadArgument;
    const MailboxRecord* original = which ? which : *record;
    *record = nullptr;
    if (mode != ModeAll && mode != ModeChanges)
        return ErrBadArgument;
    auto listed = ListPending.find(original);
    if (listed == ListPending.end())
        return ErrBadArgument;
    const std::size_t index = listed->second.Box;
    const Box& box = Boxes[index];
    Again again;
    again.State.Box = index;
    again.State.Snap = Scan(index);
    if (!again.State.Snap.Readable)
        return ErrMaildir;
    const bool full = mode == ModeAll || !box.Valid;
    const auto groups = full ? AllGroups(again.State.Snap.Waiting) : ChangeGroups(box.Confirmed, again.State.Snap.Waiting);
    again.Record = std::make_unique<ChangeList>();
    MailboxRecord* fresh = again.Record->Detached(box.Config.Name, box.Config.Line, 0, groups);
    ReadAgainPending.emplace(fresh, std::move(again));
    *record = fresh;
    return ResultOk;
}

std::int32_t MailboxStore::ConfirmOne(MailboxRecord** record)
{
    if (!record || !*record)
        return ErrBadArgument;
    auto it = ReadAgainPending.find(*record);
    if (it == ReadAgainPending.end())
        return ErrBadArgument;
    const Pending& pending = it->second.State;
    Box& box = Boxes[pending.Box];
    box.Confirmed = pending.Snap.Waiting;
    box.Valid = true;
    box.Signature = pending.Snap.Signature;
    box.HaveSignature = true;
    box.ReadAgainConfirmed = true;
    ReadAgainPending.erase(it);
    *record = nullptr;
    return ResultOk;
}

std::int32_t MailboxStore::ConfirmAll(MailboxRecord** head)
{
    if (!head)
        return ErrBadArgument;
    if (!List)
        return ErrNoList;
    if (*head != List->Head())
        return ErrBadArgument;
    for (auto& [record, pending] : ListPending) {
        Box& box = Boxes[pending.Box];
        if (pending.Sync) {
            // Read again and confirmed on its own: that state stands.
            if (!box.ReadAgainConfirmed) {
                box.Confirmed.clear();
                box.Valid = false;
                box.Signature = pending.Snap.Signature;
                box.HaveSignature = true;
            }
        } else {
            box.Confirmed = std::move(pending.Snap.Waiting);
            box.Valid = true;
            box.Signature = pending.Snap.Signature;
            box.HaveSignature = true;
        }
    }
    for (Box& box : Boxes)
        box.ReadAgainConfirmed = false;
    DiscardPending();
    *head = nullptr;
    return ResultOk;
}

}  // namespace agentqx
