// The settings commands of the main window: each opens its dialog on the engine's own
// variables, and after OK writes that dialog's keys to Agent.ini and does its follow-up.
#include "ui/MainWindow.h"

#include "engine/Engine.h"
#include "base/IniFile.h"
#include "mail/Mail602.h"
#include "ui/SetLogDialog.h"
#include "ui/SetM602Dialog.h"
#include "ui/SetPortDialog.h"
#include "ui/SetTrapDialog.h"
#include "ui/SetUctDialog.h"

namespace orvex {

namespace {

QString unableToWrite(const QString& path) { return QStringLiteral("Unable to write to %1").arg(path); }

// The dialogs edit the settings of the agent's own mail gateway.
TMail602* mailGateway(TAgentEngine& engine) { return dynamic_cast<TMail602*>(engine.Mail602.get()); }

}  // namespace

bool TForm1::saveKeys(const std::function<bool(IniFile&)>& write)
{
    IniFile ini(Engine.Options().ConfigPath);
    ini.Load();
    if (write(ini))
        return true;
    reportError(unableToWrite(ini.Path()));
    return false;
}

void TForm1::Mail6021Click()
{
    TMail602* gateway = mailGateway(Engine);
    if (!gateway)
        return;
    TMail602& mail = *gateway;
    TFSetM602 dialog({mail.ConfigPath, mail.WorkDir, mail.User, mail.Password}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The library keeps its start-up values until the next start.
    saveKeys([&mail](IniFile& ini) { return mail.WriteMailSettings(ini); });
}

void TForm1::LoklnTrapy1Click()
{
    TMail602* gateway = mailGateway(Engine);
    if (!gateway)
        return;
    TMail602& mail = *gateway;
    TFSetTrap dialog({mail.RecipientAddress, mail.AddressType, mail.Subject, mail.TextComOn, mail.TextComOff}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    saveKeys([&mail](IniFile& ini) { return mail.WriteTrapSettings(ini); });
}

void TForm1::Volbasriovhoportu1Click()
{
    const QString current = Engine.PortSettings;
    if (current.size() < 4) {
        reportError(QStringLiteral("Chyba indexu: nastavení portu \"%1\" nemá čtvrtý znak").arg(current));
        return;
    }
    uint8_t index = PortIndexOf(current);
    QString device;
    TFSetPort dialog(index, device, current.section(QLatin1Char(':'), 0, 0), this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    const QString next = PortSettingsAfterChoice(current, index, device);
    Engine.TimerMSG.stop();
    Engine.TimerSMS.stop();
    Engine.CommPack1.Close();
    if (!WriteIniString(Engine.Options().ConfigPath, QStringLiteral("Set"), QStringLiteral("Port"), next)) {
        // As when any write fails: the agent keeps the new value, the rest is not done.
        Engine.PortSettings = next;
        reportError(unableToWrite(Engine.Options().ConfigPath));
        return;
    }
    Engine.ChangePort(next);  // clears the status bar, or shows "Nevhodný COM"
}

void TForm1::VpisuLogu1Click()
{
    TAgentEngine& e = Engine;
    TFSetPis dialog({e.ComIn, e.ComPureIn, e.ComOut, e.ComLocOut, e.TcpIpIn, e.TcpIpOut}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString log = QStringLiteral("Log");
    saveKeys([&](IniFile& ini) {
        return ini.WriteBool(log, QStringLiteral("Com_In"), e.ComIn) && ini.WriteBool(log, QStringLiteral("Com_PureIn"), e.ComPureIn)
               && ini.WriteBool(log, QStringLiteral("Com_Out"), e.ComOut)
               && ini.WriteBool(log, QStringLiteral("Com_LocOut"), e.ComLocOut)
               && ini.WriteBool(log, QStringLiteral("TCP/IP_In"), e.TcpIpIn)
               && ini.WriteBool(log, QStringLiteral("TCP/IP_Out"), e.TcpIpOut);
    });
}

void TForm1::tovn1Click()
{
    TAgentEngine& e = Engine;
    TFSetUct dialog(e.ReadUct, e.SendUct, e.UctFile, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (e.ReadUct)
        TAgentEngine::EnableTimer(e.TimerUR);
    else
        e.TimerUR.stop();
    const QString set = QStringLiteral("Set");
    saveKeys([&](IniFile& ini) {
        return ini.WriteBool(set, QStringLiteral("ReadUct"), e.ReadUct) && ini.WriteBool(set, QStringLiteral("SendUct"), e.SendUct)
               && ini.WriteString(set, QStringLiteral("UctFile"), e.UctFile);
    });
}

}  // namespace orvex
