// Fault injection for the test builds of the library (AGENTQX_FAULTS): the environment
// variable AGENTQX_FAULTS lists faults separated by commas, read at every call:
//   init=N     InicializaceQXKomunikace returns N
//   read=N     NactiZmenyVeSchrankach returns N and no list
//   reread=N   NactiZmenyVeSchrance returns N
//   quick=N    RychlyTestZmenVeSchrankach returns N
//   send=N     PosliStavovouZpravu returns N without sending
//   badlist    NactiZmenyVeSchrankach returns a hand-made list of awkward records
// In the real library none of this exists.
#pragma once

#include <cstdint>
#include <optional>

namespace agentqx {

class MailboxStore;
struct MailboxRecord;

#if defined(AGENTQX_FAULTS)
std::optional<std::int32_t> InjectedResult(const char* name);
bool InjectedFlag(const char* name);
// The awkward list: see Faults.cpp.
std::int32_t BuildAwkwardList(MailboxStore& store, MailboxRecord** head);
#else
inline std::optional<std::int32_t> InjectedResult(const char*) { return std::nullopt; }
inline bool InjectedFlag(const char*) { return false; }
inline std::int32_t BuildAwkwardList(MailboxStore&, MailboxRecord**) { return 0; }
#endif

}  // namespace agentqx
