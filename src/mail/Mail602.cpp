// Binding of the mail agent library and the calls that pass mail to it.
#include "mail/Mail602.h"

#include "base/Cp1250.h"
#include "base/LogSink.h"

#include <QCoreApplication>
#include <QDir>

#include <type_traits>

namespace orvex {

TMail602::TMail602(TData& pbx, LogSink& log, const bool& extent, const QString& libraryPath)
    : Pbx(pbx), Log(log), Extent(extent)
{
    Active = Load(libraryPath);
}

TMail602::~TMail602()
{
    DoneCommunication();
    if (Library.isLoaded())
        Library.unload();
}

bool TMail602::Load(const QString& libraryPath)
{
    QStringList candidates;
    if (!libraryPath.isEmpty()) {
        candidates << libraryPath;
    } else {
        if (QCoreApplication::instance()) {
            const QString dir = QCoreApplication::applicationDirPath();
            candidates << dir + QStringLiteral("/agentqx");
#ifdef ORVEX_MAIL_LIBDIR_FROM_BIN
            // An installed agent: its private library folder, relative to the program.
            candidates << QDir::cleanPath(dir + QStringLiteral("/" ORVEX_MAIL_LIBDIR_FROM_BIN "/agentqx"));
#endif
            candidates << QDir::cleanPath(dir + QStringLiteral("/../lib/agentqx"));
        }
        candidates << QStringLiteral("agentqx");
    }
    for (const QString& candidate : candidates) {
        Library.setFileName(candidate);
        if (Library.load())
            break;
    }
    if (!Library.isLoaded()) {
        LoadError = Library.errorString();
        return false;
    }

    // The order is the one the gateway has always bound them in; the first missing one
    // ends the binding.
    const auto bind = [this](const char* name, auto& target) {
        target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(Library.resolve(name));
        if (!target)
            LoadError = QStringLiteral("%1: entry point %2 missing").arg(Library.fileName(), QLatin1String(name));
        return target != nullptr;
    };
    const bool complete = bind("NactiZmenyVeSchrance", NactiZmenyVeSchrance)
                          && bind("PotvrdPreneseniZmenVeSchrance", PotvrdPreneseniZmenVeSchrance)
                          && bind("RychlyTestZmenVeSchrankach", RychlyTestZmenVeSchrankach)
                          && bind("NactiZmenyVeSchrankach", NactiZmenyVeSchrankach)
                          && bind("PotvrdPreneseniZmenVeSchrankach", PotvrdPreneseniZmenVeSchrankach)
                          && bind("PosliStavovouZpravu", PosliStavovouZpravu)
                          && bind("InicializaceQXKomunikace", InicializaceQXKomunikace)
                          && bind("DeInicializaceQXKomunikace", DeInicializaceQXKomunikace)
                          && bind("SetDebugLevel", SetDebugLevel)
                          && bind("ZastavAkci", ZastavAkci);
    return complete;
}

void TMail602::InitCommunication()
{
    if (!Active)
        return;
    SetDebugLevel(DebugLevel);
    const QByteArray config = ToCp1250(ConfigPath);
    const QByteArray user = ToCp1250(User);
    const QByteArray workDir = ToCp1250(WorkDir);
    const QByteArray password = ToCp1250(Password);
    if (InicializaceQXKomunikace(config.constData(), user.constData(), workDir.constData(), password.constData()) != 0)
        Active = false;
}

void TMail602::StopActions()
{
    if (ZastavAkci)
        ZastavAkci();
}

void TMail602::DoneCommunication()
{
    if (!Active)
        return;
    DeInicializaceQXKomunikace();
    Active = false;
}

int TMail602::SendMail(const QString& address, char type, const QString& subject, const QString& message,
                       uint8_t finalByte)
{
    if (!Active)
        return -1;
    const QByteArray a = ToCp1250(address);
    const QByteArray s = ToCp1250(subject);
    const QByteArray m = ToCp1250(message);
    return PosliStavovouZpravu(a.constData(), type, s.constData(), m.constData(), finalByte);
}

void TMail602::SendStatusMail(int type)
{
    if (!Active)
        return;
    QString text;
    if (type == 1)
        text = TextComOff;
    else if (type == 2)
        text = TextComOn;
    else
        return;
    // An empty text switches that status mail off.
    if (text.isEmpty())
        return;
    if (SendMail(RecipientAddress, AddressType, Subject, text, 1) == 0)
        Log.WriteLog(QStringLiteral("Mail"), RecipientAddress + QStringLiteral(" > ") + text);
}

}  // namespace orvex
