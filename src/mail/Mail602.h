// The Mail602 gateway: the mail agent library bound at run time, its settings, the status
// mails and the mailbox synchronisation.
#pragma once

#include <QString>
#include <cstdint>

namespace orvex {

class IniFile;
class LogSink;
class TData;

class TMail602 {
public:
    TMail602(TData& pbx, LogSink& log, const bool& extent, const QString& libraryPath = QString());
    ~TMail602();
    bool Active = false;
    void ReadSettings(const IniFile& ini);
    void InitCommunication();
    void StopActions();
    void DoneCommunication();
    bool ReadMailboxChanges();
    void SendStatusMail(int type);
    int SendMail(const QString& address, char type, const QString& subject, const QString& message, uint8_t finalByte);
    bool WriteMailSettings(IniFile& ini) const;
    bool WriteTrapSettings(IniFile& ini) const;
};

}  // namespace orvex
