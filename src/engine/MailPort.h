// What the engine needs of the mail gateway: its settings read and the library started at
// start-up, stopped and ended at shutdown, the mailbox poll, the TRAP mails and the status
// mails about the link.
#pragma once

#include <QString>
#include <cstdint>

namespace orvex {

class IniFile;

class TMailPort {
public:
    virtual ~TMailPort() = default;

    // The library was bound completely and has initialised.
    virtual bool IsActive() const = 0;

    virtual void ReadSettings(const IniFile& ini) = 0;
    virtual void InitCommunication() = 0;
    // The window is closing: the library's running actions stop.
    virtual void StopActions() = 0;
    // Ends the library's communication; the gateway is no longer active.
    virtual void DoneCommunication() = 0;

    // One mailbox poll; true when the 'M' counters are to be sent to the exchange.
    virtual bool ReadMailboxChanges() = 0;
    // 1 = the exchange has become unavailable, 2 = it answers again.
    virtual void SendStatusMail(int type) = 0;
    // Hands one mail to the library; its result (0 accepted), or -1 when not active.
    virtual int SendMail(const QString& address, char type, const QString& subject, const QString& message,
                         uint8_t finalByte) = 0;
};

}  // namespace orvex
