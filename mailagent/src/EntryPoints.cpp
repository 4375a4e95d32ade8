// The ten entry points the agent binds by name. Every failure is a result code; nothing
// here throws across the boundary.
#include "agentqx_abi.h"

#include "Config.h"
#include "Delivery.h"
#include "DeliveryWorker.h"
#include "Diagnostics.h"
#include "Faults.h"
#include "MailboxStore.h"
#include "Spool.h"
#include "Text.h"

#include <curl/curl.h>

#include <exception>
#include <memory>

namespace agentqx {

namespace {

// Destroyed in reverse order: the delivery thread ends before the spool it reads goes.
struct Library {
    Config Settings;
    std::unique_ptr<MailboxStore> Store;
    std::unique_ptr<Spool> Outgoing;          // with an SMTP server only
    std::unique_ptr<DeliveryWorker> Worker;   // sends what Outgoing holds
};

std::unique_ptr<Library> g_library;
bool g_curlReady = false;

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
    SetDiagnosticLevel(level);
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
        if (!smtp.Host.empty()) {
            // Mails left by an earlier run are sent first, in their order.
            library->Outgoing = std::make_unique<Spool>(library->Settings.Spool.Dir);
            if (!library->Outgoing->Prepare(error)) {
                Trace("%s", error.c_str());
                return ErrSpool;
            }
            library->Worker = std::make_unique<DeliveryWorker>(*library->Outgoing, smtp, library->Settings.Spool);
            if (!library->Worker->Start())
                return ErrSpool;
        }
        Trace("initialised from %s: %zu mailboxes, smtp %s, %s %s", path.c_str(), library->Settings.Mailboxes.size(),
              smtp.Host.empty() ? "(none)" : smtp.Host.c_str(), smtp.Host.empty() ? "outbox" : "spool",
              smtp.Host.empty() ? library->Settings.OutboxDir.c_str() : library->Settings.Spool.Dir.c_str());
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
        if (!g_library->Outgoing) {
            const int32_t written = WriteToOutbox(config.OutboxDir, mail);
            Trace("mail to %s into the outbox: %d", recipient.c_str(), static_cast<int>(written));
            return written;
        }
        // Accepted once it is in the spool; the delivery thread takes it from there.
        const int32_t spooled = g_library->Outgoing->Add(mail);
        Trace("mail to %s spooled: %d", recipient.c_str(), static_cast<int>(spooled));
        if (spooled == ResultOk)
            g_library->Worker->Wake();
        return spooled;
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
// What is in progress: a change list read but not confirmed, which is dropped so that
// the next read starts again from the last confirmed state; and the delivery of the
// spool, which stops (a transfer under way is cut short, its mail stays spooled) until
// the next mail is accepted or the library is initialised again.
AGENTQX_API int32_t AGENTQX_CALL ZastavAkci()
{
    return Guarded("ZastavAkci", [&]() -> int32_t {
        if (!g_library)
            return ErrNotInitialised;
        g_library->Store->DiscardPending();
        if (g_library->Worker)
            g_library->Worker->Stop();
        Trace("stopped");
        return ResultOk;
    });
}
#endif

}  // extern "C"
