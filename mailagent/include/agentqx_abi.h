// The boundary between the agent and the mail agent library agentqx: the ten entry
// points and the records of the change list. Both sides include this one header, so
// the layout is written down once.
//
// Texts cross the boundary as NUL-terminated Windows-1250 strings, results are 32-bit
// integers (0 = success). Records are packed; a pointer field is as wide as the
// platform's pointers, so on a 64-bit build every field after a pointer lies
// sizeof(void*) - 4 bytes further on than on a 32-bit build.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define AGENTQX_CALL __stdcall
#else
#define AGENTQX_CALL
#endif

#if defined(AGENTQX_BUILDING)
#if defined(_WIN32)
#define AGENTQX_API __declspec(dllexport)
#else
#define AGENTQX_API __attribute__((visibility("default")))
#endif
#else
#define AGENTQX_API
#endif

namespace agentqx {

struct MessageEntry;
struct MessageGroup;
struct MailboxRecord;

#pragma pack(push, 1)

// One message of a group. Flags: bit 2 or bit 4 set = removed, neither = new.
struct MessageEntry {
    uint8_t Reserved0[4];
    uint32_t Flags;
    uint32_t Id;
    uint8_t Reserved1[42];
    MessageEntry* Next;
};

// The messages of one type within a mailbox: 'F' fax, 'H' voice, anything else text.
struct MessageGroup {
    char Type;
    uint16_t Count;           // messages in the group; meaningful in full reads
    MessageEntry* FirstEntry;
    MessageGroup* Next;
};

struct MailboxRecord {
    uint8_t Reserved0[9];
    char Name[60];            // NUL-terminated
    char Number[40];          // line number, NUL-terminated
    int32_t Status;           // 0, or SyncError
    MessageGroup* FirstGroup;
    uint8_t Reserved1[204];
    MailboxRecord* Next;
};

// Owned by the agent; only Mode is set by it.
struct ReadRequest {
    int32_t Mode;
    uint8_t Reserved[24];
};

#pragma pack(pop)

constexpr int32_t ModeAll = 1;       // every waiting message
constexpr int32_t ModeChanges = 3;   // new and removed since the last confirmed read

constexpr uint32_t FlagRemoved = 2;
constexpr uint32_t FlagRemovedAlt = 4;

// Record status: the mailbox must be read again in full (NactiZmenyVeSchrance, mode 1).
constexpr int32_t SyncError = 2005;

// Result codes of the library (0 = success).
constexpr int32_t ResultOk = 0;
constexpr int32_t ErrNotInitialised = 2001;
constexpr int32_t ErrConfig = 2002;
constexpr int32_t ErrBadArgument = 2003;
constexpr int32_t ErrNoList = 2004;
constexpr int32_t ErrMaildir = 2006;
constexpr int32_t ErrUndeliverableType = 2007;
constexpr int32_t ErrBadAddress = 2008;
constexpr int32_t ErrOutbox = 2009;
constexpr int32_t ErrSpool = 2010;     // the mail could not be written into the spool
constexpr int32_t ErrSmtpBase = 3000;  // + libcurl's error code

// Bytes that each pointer field adds beyond the 4 of a 32-bit build.
constexpr std::size_t PointerShift = sizeof(void*) - 4;

static_assert(sizeof(ReadRequest) == 28);
static_assert(offsetof(ReadRequest, Mode) == 0);

static_assert(offsetof(MailboxRecord, Name) == 9);
static_assert(offsetof(MailboxRecord, Number) == 69);
static_assert(offsetof(MailboxRecord, Status) == 109);
static_assert(offsetof(MailboxRecord, FirstGroup) == 113);
static_assert(offsetof(MailboxRecord, Reserved1) == 117 + PointerShift);
static_assert(offsetof(MailboxRecord, Next) == 321 + PointerShift);
static_assert(sizeof(MailboxRecord) == 325 + 2 * PointerShift);

static_assert(offsetof(MessageGroup, Type) == 0);
static_assert(offsetof(MessageGroup, Count) == 1);
static_assert(offsetof(MessageGroup, FirstEntry) == 3);
static_assert(offsetof(MessageGroup, Next) == 7 + PointerShift);
static_assert(sizeof(MessageGroup) == 11 + 2 * PointerShift);

static_assert(offsetof(MessageEntry, Flags) == 4);
static_assert(offsetof(MessageEntry, Id) == 8);
static_assert(offsetof(MessageEntry, Reserved1) == 12);
static_assert(offsetof(MessageEntry, Next) == 54);
static_assert(sizeof(MessageEntry) == 58 + PointerShift);

}  // namespace agentqx

extern "C" {

// The library's diagnostic output; the result is not examined.
AGENTQX_API int32_t AGENTQX_CALL SetDebugLevel(uint32_t level);
// Non-zero: the library cannot be used until it is initialised again.
AGENTQX_API int32_t AGENTQX_CALL InicializaceQXKomunikace(const char* configPath, const char* user,
                                                          const char* workDir, const char* password);
// 0: nothing changed since the last confirmed read.
AGENTQX_API int32_t AGENTQX_CALL RychlyTestZmenVeSchrankach();
// Fills *head with a change list that stays valid until PotvrdPreneseniZmenVeSchrankach.
AGENTQX_API int32_t AGENTQX_CALL NactiZmenyVeSchrankach(agentqx::MailboxRecord** head, agentqx::ReadRequest* request);
// Reads one mailbox again; *record receives the new record (null on failure).
AGENTQX_API int32_t AGENTQX_CALL NactiZmenyVeSchrance(agentqx::MailboxRecord** record, agentqx::ReadRequest* request,
                                                      agentqx::MailboxRecord* reread);
// Makes a re-read mailbox's state the confirmed one and releases that record.
AGENTQX_API int32_t AGENTQX_CALL PotvrdPreneseniZmenVeSchrance(agentqx::MailboxRecord** record);
// Makes the reported state the confirmed one and releases the whole list.
AGENTQX_API int32_t AGENTQX_CALL PotvrdPreneseniZmenVeSchrankach(agentqx::MailboxRecord** head);
// 0: the mail was accepted for delivery.
AGENTQX_API int32_t AGENTQX_CALL PosliStavovouZpravu(const char* address, char addressType, const char* subject,
                                                     const char* text, unsigned char finalByte);
AGENTQX_API int32_t AGENTQX_CALL DeInicializaceQXKomunikace();
AGENTQX_API int32_t AGENTQX_CALL ZastavAkci();

}  // extern "C"

namespace agentqx {

// Pointer types of the entry points, for binding them by name at run time.
using SetDebugLevelFn = decltype(&::SetDebugLevel);
using InicializaceQXKomunikaceFn = decltype(&::InicializaceQXKomunikace);
using RychlyTestZmenVeSchrankachFn = decltype(&::RychlyTestZmenVeSchrankach);
using NactiZmenyVeSchrankachFn = decltype(&::NactiZmenyVeSchrankach);
using NactiZmenyVeSchranceFn = decltype(&::NactiZmenyVeSchrance);
using PotvrdPreneseniZmenVeSchranceFn = decltype(&::PotvrdPreneseniZmenVeSchrance);
using PotvrdPreneseniZmenVeSchrankachFn = decltype(&::PotvrdPreneseniZmenVeSchrankach);
using PosliStavovouZpravuFn = decltype(&::PosliStavovouZpravu);
using DeInicializaceQXKomunikaceFn = decltype(&::DeInicializaceQXKomunikace);
using ZastavAkciFn = decltype(&::ZastavAkci);

}  // namespace agentqx
