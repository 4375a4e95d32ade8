// The mailboxes as the library tracks them: for each one the messages that were waiting
// at the last read the agent confirmed, and the list of changes it has not confirmed yet.
//
// A mailbox whose Maildir could not be read at the last confirmed read, or cannot be
// read now, is reported with status SyncError: its state is unknown and the agent has to
// read it again in full (ReadAgain). Reading it again fails with ErrMaildir while the
// Maildir stays unreadable.
#pragma once

#include "ChangeList.h"
#include "Config.h"
#include "Maildir.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace agentqx {

class MailboxStore {
public:
    explicit MailboxStore(std::vector<MailboxConfig> boxes);

    // True when some Maildir may differ from the last confirmed read.
    bool MayHaveChanged() const;

    // Builds the change list for mode ModeAll or ModeChanges; any earlier unconfirmed
    // list is discarded first.
    std::int32_t Read(std::int32_t mode, MailboxRecord** head);
    std::int32_t ReadAgain(MailboxRecord** record, std::int32_t mode, MailboxRecord* which);
    std::int32_t ConfirmOne(MailboxRecord** record);
    std::int32_t ConfirmAll(MailboxRecord** head);
    // Forgets everything not yet confirmed.
    void DiscardPending();

    // For lists whose shape is made by hand (test builds).
    ChangeList& StartList();

private:
    struct Known {
        std::uint32_t Id = 0;
        char Type = 'T';
    };
    using Contents = std::map<std::string, Known>;  // unique name -> message

    struct Box {
        MailboxConfig Config;
        Contents Confirmed;
        bool Valid = false;          // Confirmed is the Maildir's state as last confirmed
        bool HaveSignature = false;
        MaildirSignature Signature;  // as at the last confirmed read
        bool ReadAgainConfirmed = false;
        // Identifier and type of every message file the Maildir holds, waiting or not,
        // so that a message keeps its identifier for as long as its file exists.
        Contents Catalogue;
    };

    struct Snapshot {
        MaildirSignature Signature;
        bool Readable = false;
        Contents Waiting;
    };

    struct Pending {
        std::size_t Box = 0;
        Snapshot Snap;
        bool Sync = false;
    };

    Snapshot Scan(std::size_t box);
    std::vector<ListedGroup> AllGroups(const Contents& waiting) const;
    std::vector<ListedGroup> ChangeGroups(const Contents& before, const Contents& now) const;
    std::uint32_t NewId();

    std::vector<Box> Boxes;
    std::uint32_t NextId = 1;

    std::unique_ptr<ChangeList> List;
    std::map<const MailboxRecord*, Pending> ListPending;
    struct Again {
        std::unique_ptr<ChangeList> Record;
        Pending State;
    };
    std::map<const MailboxRecord*, Again> ReadAgainPending;
};

}  // namespace agentqx
