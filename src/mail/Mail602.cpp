// Binding of the mail agent library and the calls that pass mail to it.
#include "mail/Mail602.h"

#include "engine/IniFile.h"
#include "engine/LogSink.h"
#include "link/Data.h"

#include <QCoreApplication>
#include <QDir>

namespace orvex {

namespace {

// Resolves one entry point into its typed pointer; false when the library lacks it.
template <typename Fn>
bool Bind(QLibrary& library, const char* name, Fn& target)
{
    target = reinterpret_cast<Fn>(library.resolve(name));
    return target != nullptr;
}

}  // namespace

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
            candidates << dir + QStringLiteral("/agentqx") << QDir::cleanPath(dir + QStringLiteral("/../lib/agentqx"));
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
    const bool complete = Bind(Library, "NactiZmenyVeSchrance", NactiZmenyVeSchrance)
                          && Bind(Library, "PotvrdPreneseniZmenVeSchrance", PotvrdPreneseniZmenVeSchrance)
                          && Bind(Library, "RychlyTestZmenVeSchrankach", RychlyTestZmenVeSchrankach)
                          && Bind(Library, "NactiZmenyVeSchrankach", NactiZmenyVeSchrankach)
                          && Bind(Library, "PotvrdPreneseniZmenVeSchrankach", PotvrdPreneseniZmenVeSchrankach)
                          && Bind(Library, "PosliStavovouZpravu", PosliStavovouZpravu)
                          && Bind(Library, "InicializaceQXKomunikace", InicializaceQXKomunikace)
                          && Bind(Library, "DeInicializaceQXKomunikace", DeInicializaceQXKomunikace)
                          && Bind(Library, "SetDebugLevel", SetDebugLevel)
                          && Bind(Library, "ZastavAkci", ZastavAkci);
    if (!complete)
        LoadError = Library.errorString();
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
