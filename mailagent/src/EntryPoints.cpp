// The ten entry points the agent binds by name. Every failure is a result code; nothing
// here throws across the boundary.
#include "agentqx_abi.h"

#include "Config.h"
#include "Delivery.h"
#include "Faults.h"
#include "MailboxStore.h"
#include "Text.h"

#include <curl/curl.h>

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <memory>

namespace agentqx {

namespace {

struct Library {
    Config Settings;
    std::unique_ptr<MailboxStore> Store;
};

std::unique_ptr<Library> g_library;
std::uint32_t g_debugLevel = 0;
bool g_curlReady = false;

constexpr std::uint32_t DebugTrace = 1;   // a line on stderr for every call
constexpr std::uint32_t DebugSmtp = 2;    // libcurl's SMTP dialogue on stderr

void Trace(const char* format, ...)
{
    if (!(g_debugLevel & DebugTrace))
        return;
    std::va_list args;
    va_start(args, format);
    std::fputs("agentqx: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

// Runs body, turning anything thrown (out of memory, above all) into a result.
template <typename Body>
std::int32_t Guarded(const char* name, Body body)
{
    try {
        return body();
    } catch (const std::exception& e) {
        Trace("%s failed: %s", name, e.what());
    } catch (...) {
        Trace("%s failed", name);
    }
    return ErrBadArgument;
}

void Release()
{
    g_library.reset();
    if (g_curlReady) {
        curl_global_cleanup();
        g_curlReady = false;
    }
}

}  // namespace

}  // namespace agentqx

using namespace agentqx;

extern "C" {

AGENTQX_API int32_t AGENTQX_CALL SetDebugLevel(uint32_t level)
{
    g_debugLevel = level;
    Trace("debug level %#x", static_cast<unsigned>(level));
    return ResultOk;
}

AGENTQX_API int32_t AGENTQX_CALL InicializaceQXKomunikace(const char* configPath, const char* user,
                                                          const char* workDir, const char* password)
{
    return Guarded("InicializaceQXKomunikace", [&]() -> int32_t {
        Release();
        if (auto fault = InjectedResult("init"))
            return *fault;
        const std::string path = Cp1250ToUtf8(configPath);
        std::string error;
        auto library = std::make_unique<Library>();
        if (!LoadConfig(path, Cp1250ToUtf8(workDir), library->Settings, error)) {
            Trace("%s", error.c_str());
            return ErrConfig;
        }
        // The agent's own user name and password log in to the SMTP server when the
        // configuration names none.
        SmtpConfig& smtp = library->Settings.Smtp;
        const std::string agentUser = Cp1250ToUtf8(user);
        if (smtp.User.empty() && !agentUser.empty()) {
            smtp.User = agentUser;
            smtp.Password = Cp1250ToUtf8(password);
        }
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            return ErrSmtpBase + CURLE_FAILED_INIT;
        g_curlReady = true;
        library->Store = std::make_unique<MailboxStore>(library->Settings.Mailboxes);
        Trace("initialised from %s: %zu mailboxes, smtp %s", path.c_str(), library->Settings.Mailboxes.size(),
              smtp.Host.empty() ? "(outbox)" : smtp.Host.c_str());
        g_library = std::move(library);
        return ResultOk;
    });
}

AGENTQX_API int32_t AGENTQX_CALL RychlyTestZmenVeSchrankach()
{
    return Guarded("RychlyTestZmenVeSchrankach", [&]() -> int32_t {
        if (auto fault = InjectedResult("quick"))
            return *fault;
        if (!g_library)
            return 0;
        const bool changed = g_library->Store->MayHaveChanged();
        Trace("quick test: %s", changed ? "changed" : "unchanged");
        return changed ? 1 : 0;
    });
}

AGENTQX_API int32_t AGENTQX_CALL NactiZmenyVeSchrankach(MailboxRecord** head, ReadRequest* request)
{
    return Guarded("NactiZmenyVeSchrankach", [&]() -> int32_t {
        if (!head || !request)
            return ErrBadArgument;
        *head = nullptr;
        if (!g_library)
            return ErrNotInitialised;
        if (auto fault = InjectedResult("read"))
            return *fault;
        if (InjectedFlag("badlist"))
            return BuildAwkwardList(*g_library->Store, head);
        const int32_t rc = g_library->Store->Read(request->Mode, head);
        Trace("read mode %d: %d", static_cast<int>(request->Mode), static_cast<int>(rc));
        return rc;
    });
}

AGENTQX_API int32_t AGENTQX_CALL NactiZmenyVeSchrance(MailboxRecord** record, ReadRequest* request,
                                                      MailboxRecord* reread)
{
    return Guarded("NactiZmenyVeSchrance", [&]() -> int32_t {
        if (!record || !request)
            return ErrBadArgument;
        if (!g_library) {
            *record = nullptr;
            return ErrNotInitialised;
        }
        if (auto fault = InjectedResult("reread")) {
            *record = nullptr;
            return *fault;
        }
        if (InjectedFlag("badlist")) {
            *record = nullptr;
            return ResultOk;
        }
        const int32_t rc = g_library->Store->ReadAgain(record, request->Mode, reread);
        Trace("read mailbox again, mode %d: %d", static_cast<int>(request->Mode), static_cast<int>(rc));
        return rc;
    });
}

AGENTQX_API int32_t AGENTQX_CALL PotvrdPreneseniZmenVeSchrance(MailboxRecord** record)
{
    return Guarded("PotvrdPreneseniZmenVeSchrance", [&]() -> int32_t {
        if (!g_library)
            return ErrNotInitialised;
        return g_library->Store->ConfirmOne(record);
    });
}

AGENTQX_API int32_t AGENTQX_CALL PotvrdPreneseniZmenVeSchrankach(MailboxRecord** head)
{
    return Guarded("PotvrdPreneseniZmenVeSchrankach", [&]() -> int32_t {
        if (!g_library)
            return ErrNotInitialised;
        const int32_t rc = g_library->Store->ConfirmAll(head);
        Trace("confirmed: %d", static_cast<int>(rc));
        return rc;
    });
}

AGENTQX_API int32_t AGENTQX_CALL PosliStavovouZpravu(const char* address, char addressType, const char* subject,
                                                     const char* text, unsigned char finalByte)
{
    return Guarded("PosliStavovouZpravu", [&]() -> int32_t {
        if (!g_library)
            return ErrNotInitialised;
        if (auto fault = InjectedResult("send"))
            return *fault;
        const Config& config = g_library->Settings;
        std::string recipient;
        const int32_t rc = RecipientFor(config, addressType, Cp1250ToUtf8(address), recipient);
        if (rc != ResultOk) {
            Trace("no recipient for type %d: %d", static_cast<int>(addressType), static_cast<int>(rc));
            return rc;
        }
        const OutgoingMail mail =
            ComposeMail(config, recipient, addressType, Cp1250ToUtf8(subject), Cp1250ToUtf8(text), finalByte);
        const int32_t sent = config.Smtp.Host.empty() ? WriteToOutbox(config.OutboxDir, mail)
                                                      : SendThroughSmtp(config.Smtp, mail, g_debugLevel & DebugSmtp);
        Trace("mail to %s: %d", recipient.c_str(), static_cast<int>(sent));
        return sent;
    });
}

AGENTQX_API int32_t AGENTQX_CALL DeInicializaceQXKomunikace()
{
    return Guarded("DeInicializaceQXKomunikace", [&]() -> int32_t {
        Trace("released");
        Release();
        return ResultOk;
    });
}

#if !defined(AGENTQX_WITHOUT_ZASTAVAKCI)
// Nothing of the library runs between calls; what is "in progress" is a change list
// read but not confirmed. It is dropped, so the next read starts again from the last
// confirmed state.
AGENTQX_API int32_t AGENTQX_CALL ZastavAkci()
{
    return Guarded("ZastavAkci", [&]() -> int32_t {
        if (!g_library)
            return ErrNotInitialised;
        g_library->Store->DiscardPending();
        Trace("stopped");
        return ResultOk;
    });
}
#endif

}  // extern "C"
