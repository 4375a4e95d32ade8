// The gateway's settings in Agent.ini ([M602] and [Trapy]) and the stored form of the
// password.
#include "mail/Mail602.h"

#include "base/Cp1250.h"
#include "base/IniFile.h"

#include <QDir>

namespace orvex {

namespace {

const QString M602 = QStringLiteral("M602");
const QString Trapy = QStringLiteral("Trapy");

// A value longer than its field is cut to the field.
QString Limited(const QString& value, int limit)
{
    return value.left(limit);
}

}  // namespace

const QString TMail602::PasswordAlphabet = QStringLiteral(
    "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    "ÁÉÍÝÓÚáéíýóúČĎĚŇŘŠŤŽčďěňřšťž+-*/=?!<>[](){}.,:;@#$%^&|_'");

// Stored passwords depend on this permutation: it must never change.
const QString TMail602::PasswordKey = QStringLiteral(
    "5Ť&J2woTMÝp4X!zA0Ň'@ř/1kj#fFeBI-ÉěŠWnx;U<83KóO%)ď$Úb,čv+ySa=úžhNŘmi(RšýÓí9_[6YÁVZČqEÍsPdĚŽ*.Gt{^g>ĎťL7r:éáDCuňlHQ]}?c|");

void TMail602::ScramblePassword(QString& text, bool toStoredForm)
{
    const QString& from = toStoredForm ? PasswordKey : PasswordAlphabet;
    const QString& to = toStoredForm ? PasswordAlphabet : PasswordKey;
    for (QChar& c : text) {
        const qsizetype i = from.indexOf(c);
        if (i >= 0)
            c = to.at(i);
    }
}

QString TMail602::DefaultWorkDir(const QString& tempPath)
{
    if (tempPath.isEmpty() || tempPath.size() > 260)
        return QString();
    if (tempPath.size() > 1 && (tempPath.endsWith(QLatin1Char('/')) || tempPath.endsWith(QLatin1Char('\\'))))
        return tempPath.left(tempPath.size() - 1);
    return tempPath;
}

void TMail602::ReadSettings(const IniFile& ini)
{
    ConfigPath = Limited(ini.ReadString(M602, QStringLiteral("CestaKeKonfiguraciMail602"), QString()), TextLimit);
    User = Limited(ini.ReadString(M602, QStringLiteral("Uzivatel"), QString()), TextLimit);
    QString password = ini.ReadString(M602, QStringLiteral("Heslo"), QString());
    ScramblePassword(password, false);
    Password = Limited(password, PasswordLimit);

    const QString workDirDefault = DefaultWorkDir(QDir::tempPath());
    WorkDir = Limited(ini.ReadString(M602, QStringLiteral("CestaKPracovnimuAdresari"), workDirDefault), TextLimit);

    RecipientAddress = Limited(ini.ReadString(Trapy, QStringLiteral("AdresaPrijemce"), QString()), TextLimit);
    const QByteArray type = ToCp1250(ini.ReadString(Trapy, QStringLiteral("TypAdresyPrijemce"), QString()).left(1));
    AddressType = type.isEmpty() ? 0 : type.at(0);
    Subject = Limited(ini.ReadString(Trapy, QStringLiteral("Subject"), QString()), TextLimit);
    TextComOn = Limited(ini.ReadString(Trapy, QStringLiteral("ZpravaComOn"), QStringLiteral("Obnovena komunikace s ústřednou")),
                        TextLimit);
    TextComOff = Limited(ini.ReadString(Trapy, QStringLiteral("ZpravaComOff"), QStringLiteral("Chyba komunikace s ústřednou")),
                         TextLimit);

    // An unreadable value gives level 0.
    bool ok = false;
    const uint level = ini.ReadString(M602, QStringLiteral("Debug"), QStringLiteral("0")).trimmed().toUInt(&ok, 16);
    DebugLevel = ok ? level : 0;
}

bool TMail602::WriteMailSettings(IniFile& ini) const
{
    QString stored = Password;
    ScramblePassword(stored, true);
    return ini.WriteString(M602, QStringLiteral("CestaKeKonfiguraciMail602"), ConfigPath)
           && ini.WriteString(M602, QStringLiteral("CestaKPracovnimuAdresari"), WorkDir)
           && ini.WriteString(M602, QStringLiteral("Uzivatel"), User)
           && ini.WriteString(M602, QStringLiteral("Heslo"), stored);
}

bool TMail602::WriteTrapSettings(IniFile& ini) const
{
    const QString type = AddressType ? FromCp1250(QByteArray(1, AddressType)) : QString();
    return ini.WriteString(Trapy, QStringLiteral("AdresaPrijemce"), RecipientAddress)
           && ini.WriteString(Trapy, QStringLiteral("TypAdresyPrijemce"), type)
           && ini.WriteString(Trapy, QStringLiteral("Subject"), Subject)
           && ini.WriteString(Trapy, QStringLiteral("ZpravaComOn"), TextComOn)
           && ini.WriteString(Trapy, QStringLiteral("ZpravaComOff"), TextComOff);
}

}  // namespace orvex
