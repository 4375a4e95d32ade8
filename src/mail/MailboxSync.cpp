// Mailbox synchronisation: the library's change list turned into the per-line message
// counters that the 'M' request sends to the exchange.
#include "mail/Mail602.h"

#include "base/Cp1250.h"
#include "base/LogSink.h"
#include "link/Data.h"

#include <cstring>

namespace orvex {

namespace {

// A text field of a record: up to its size, or to its NUL, whichever comes first.
template <std::size_t N>
QByteArray FieldText(const char (&field)[N])
{
    const void* nul = std::memchr(field, 0, N);
    const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : N;
    return QByteArray(field, static_cast<qsizetype>(length));
}

bool Removed(uint32_t flags)
{
    return (flags & (agentqx::FlagRemoved | agentqx::FlagRemovedAlt)) != 0;
}

}  // namespace

bool TMail602::ReadMailboxChanges()
{
    if (!Active)
        return false;
    int32_t mode = agentqx::ModeAll;
    if (!FullReadPending) {
        if (RychlyTestZmenVeSchrankach() == 0)
            return false;
        mode = agentqx::ModeChanges;
    }

    agentqx::ReadRequest block{};
    block.Mode = mode;
    agentqx::MailboxRecord* head = nullptr;
    const int32_t result = NactiZmenyVeSchrankach(&head, &block);
    agentqx::MailboxRecord* headCopy = head;
    if (result != 0) {
        Log.WriteLog(QStringLiteral("!Err"), QStringLiteral("602 Chyba NactiZmenyVeSchrankach : ") + QString::number(result));
        FullReadPending = true;
        return true;
    }

    if (mode == agentqx::ModeAll)
        Pbx.ClearLineCounters();

    for (agentqx::MailboxRecord* record = head; record != nullptr;) {
        agentqx::MailboxRecord* next = record->Next;
        ReadMailbox(record, block, mode);
        record = next;
    }

    PotvrdPreneseniZmenVeSchrankach(&headCopy);
    FullReadPending = false;
    return true;
}

void TMail602::ReadMailbox(agentqx::MailboxRecord* record, agentqx::ReadRequest& block, int32_t mode)
{
    const int32_t status = record->Status;
    const bool resync = status == agentqx::SyncError;
    int32_t reread = 0;
    if (resync) {
        if (Extent)
            Log.WriteLog(QStringLiteral("!Err"), QStringLiteral("602 Synchro Error"));
        block.Mode = agentqx::ModeAll;
        reread = NactiZmenyVeSchrance(&record, &block, record);
    }

    int sms = 0;
    int fax = 0;
    int voice = 0;
    if (record == nullptr || (resync && reread != 0)) {
        Log.WriteLog(QStringLiteral("!Err"), QStringLiteral("602 Chyba při synchro ") + QString::number(reread));
    } else {
        for (const agentqx::MessageGroup* group = record->FirstGroup; group != nullptr; group = group->Next) {
            char letter = group->Type;
            int count = 0;
            if (mode == agentqx::ModeChanges) {
                for (const agentqx::MessageEntry* entry = group->FirstEntry; entry != nullptr; entry = entry->Next) {
                    const uint32_t id = entry->Id;
                    if (!Removed(entry->Flags)) {
                        ++count;
                        KnownMessages.append(TKnownMessage{letter, id});
                        continue;
                    }
                    for (qsizetype i = 0; i < KnownMessages.size(); ++i) {
                        if (KnownMessages.at(i).Id == id) {
                            letter = KnownMessages.at(i).Letter;
                            KnownMessages.removeAt(i);
                            --count;
                            break;
                        }
                    }
                }
            } else {
                count = group->Count;
                for (const agentqx::MessageEntry* entry = group->FirstEntry; entry != nullptr; entry = entry->Next)
                    KnownMessages.append(TKnownMessage{letter, entry->Id});
            }
            if (letter == 'F')
                fax += count;
            else if (letter == 'H')
                voice += count;
            else
                sms += count;
        }

        const QByteArray number = FieldText(record->Number);
        if (Extent)
            Log.WriteLog(QStringLiteral("Name:") + FromCp1250(FieldText(record->Name)),
                         QStringLiteral("Tel:") + FromCp1250(number) + QStringLiteral(" sms:") + QString::number(sms)
                             + QStringLiteral(",fax:") + QString::number(fax) + QStringLiteral(",hlas:")
                             + QString::number(voice));
        // Only the low 8 bits reach the exchange; adding them works modulo 256.
        const auto low = [](int n) { return static_cast<uint8_t>(n & 0xFF); };
        if (mode == agentqx::ModeAll || resync)
            Pbx.SetLineCounters(number, low(sms), low(fax), low(voice), 0);
        else
            Pbx.AddLineCounters(number, low(sms), low(fax), low(voice), 0);
    }

    if (resync) {
        PotvrdPreneseniZmenVeSchrance(&record);
        block.Mode = mode;
    }
}

}  // namespace orvex
