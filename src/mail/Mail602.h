// The Mail602 gateway: the mail agent library bound at run time, the mailbox
// synchronisation that keeps the exchange's per-line message counters, the agent's own
// status mails and the mail settings kept in Agent.ini.
#pragma once

#include "agentqx_abi.h"
#include "engine/MailPort.h"

#include <QLibrary>
#include <QList>
#include <QString>

#include <cstdint>

namespace orvex {

class IniFile;
class LogSink;
class TData;

// A message the agent counts as waiting: its type letter and the library's identifier.
struct TKnownMessage {
    char Letter = 0;
    uint32_t Id = 0;
};

class TMail602 : public TMailPort {
public:
    // libraryPath empty: "agentqx" beside the executable, then in the installed library
    // folder relative to it (../lib/<multiarch>/orvex-agent), then in ../lib (the build
    // tree), then on the system's library search path. Loads the library and binds its entry
    // points; Active only when all ten are there.
    TMail602(TData& pbx, LogSink& log, const bool& extent, const QString& libraryPath = QString());
    ~TMail602() override;  // DoneCommunication, then the library is unloaded
    TMail602(const TMail602&) = delete;
    TMail602& operator=(const TMail602&) = delete;

    bool Active = false;
    bool IsActive() const override { return Active; }

    // Settings (Agent.ini sections [M602] and [Trapy]); the dialogs edit them directly.
    QString ConfigPath;        // [M602] CestaKeKonfiguraciMail602, at most 100 characters
    QString User;              // [M602] Uzivatel, 100
    QString Password;          // [M602] Heslo, plain in memory, 20
    QString WorkDir;           // [M602] CestaKPracovnimuAdresari, 100
    uint32_t DebugLevel = 0;   // [M602] Debug, hexadecimal, never written
    QString RecipientAddress;  // [Trapy] AdresaPrijemce, 100
    char AddressType = 0;      // [Trapy] TypAdresyPrijemce, one letter or 0
    QString Subject;           // [Trapy] Subject, 100
    QString TextComOn;         // [Trapy] ZpravaComOn, 100
    QString TextComOff;        // [Trapy] ZpravaComOff, 100

    static constexpr int TextLimit = 100;
    static constexpr int PasswordLimit = 20;

    // Mailbox synchronisation state.
    QList<TKnownMessage> KnownMessages;
    bool FullReadPending = true;

    // Why the gateway is not active after loading: the loader's message, or the name of
    // the first missing entry point. Empty when all ten were bound.
    QString LoadError;
    // The file the library was loaded from.
    QString LibraryFile() const { return Library.fileName(); }

    void ReadSettings(const IniFile& ini) override;
    bool WriteMailSettings(IniFile& ini) const;
    bool WriteTrapSettings(IniFile& ini) const;

    // After ReadSettings: the debug level, then the library's initialisation with the
    // configuration path, user name, working directory and plain password.
    void InitCommunication() override;
    // The window is closing: ZastavAkci when it was bound, even when not Active.
    void StopActions() override;
    // DeInicializaceQXKomunikace when Active; the gateway is then no longer Active.
    void DoneCommunication() override;

    // One mailbox poll; true when the 'M' counters are to be sent to the exchange.
    bool ReadMailboxChanges() override;
    // 1 = the exchange has become unavailable, 2 = it answers again.
    void SendStatusMail(int type) override;
    // Hands one mail to the library; its result (0 accepted), or -1 when not Active.
    int SendMail(const QString& address, char type, const QString& subject, const QString& message,
                 uint8_t finalByte) override;

    // Turns a password into its stored form (toStoredForm) or back, in place.
    static void ScramblePassword(QString& text, bool toStoredForm);
    static const QString PasswordAlphabet;
    static const QString PasswordKey;

    // The default working directory for a reported temporary directory path: the path
    // without its trailing separator; empty when the path is empty or longer than 260.
    static QString DefaultWorkDir(const QString& tempPath);

private:
    bool Load(const QString& libraryPath);
    void ReadMailbox(agentqx::MailboxRecord* record, agentqx::ReadRequest& block, int32_t mode);

    TData& Pbx;
    LogSink& Log;
    const bool& Extent;
    QLibrary Library;

    agentqx::NactiZmenyVeSchranceFn NactiZmenyVeSchrance = nullptr;
    agentqx::PotvrdPreneseniZmenVeSchranceFn PotvrdPreneseniZmenVeSchrance = nullptr;
    agentqx::RychlyTestZmenVeSchrankachFn RychlyTestZmenVeSchrankach = nullptr;
    agentqx::NactiZmenyVeSchrankachFn NactiZmenyVeSchrankach = nullptr;
    agentqx::PotvrdPreneseniZmenVeSchrankachFn PotvrdPreneseniZmenVeSchrankach = nullptr;
    agentqx::PosliStavovouZpravuFn PosliStavovouZpravu = nullptr;
    agentqx::InicializaceQXKomunikaceFn InicializaceQXKomunikace = nullptr;
    agentqx::DeInicializaceQXKomunikaceFn DeInicializaceQXKomunikace = nullptr;
    agentqx::SetDebugLevelFn SetDebugLevel = nullptr;
    agentqx::ZastavAkciFn ZastavAkci = nullptr;
};

}  // namespace orvex
