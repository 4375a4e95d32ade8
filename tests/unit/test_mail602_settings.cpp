// The gateway's settings in Agent.ini and the stored form of the password. The settings
// work whether or not the mail library is there, so these tests run without one.
#include "MailTestSupport.h"
#include "base/Cp1250.h"
#include "base/IniFile.h"
#include "link/Data.h"
#include "mail/Mail602.h"

#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace mailtest;
using orvex::IniFile;
using orvex::TMail602;

class TestMail602Settings : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    orvex::TData Pbx;
    CollectingLog Log;
    bool Extent = false;
    int FileNumber = 0;

    std::unique_ptr<TMail602> Gateway()
    {
        return std::make_unique<TMail602>(Pbx, Log, Extent, Tmp.filePath("no-library.so"));
    }

    // A new Agent.ini holding the given bytes.
    QString IniWith(const QByteArray& bytes)
    {
        const QString path = Tmp.filePath(QStringLiteral("Agent%1.ini").arg(++FileNumber));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }

    QByteArray FileBytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { QVERIFY(Tmp.isValid()); }

    void keyIsAPermutationOfTheAlphabet()
    {
        QCOMPARE(TMail602::PasswordAlphabet.size(), 118);
        QCOMPARE(TMail602::PasswordKey.size(), 118);
        QSet<QChar> alphabet(TMail602::PasswordAlphabet.begin(), TMail602::PasswordAlphabet.end());
        QSet<QChar> key(TMail602::PasswordKey.begin(), TMail602::PasswordKey.end());
        QCOMPARE(alphabet.size(), 118);
        QCOMPARE(key, alphabet);
        // Every character is one byte of Windows-1250 and comes back unchanged.
        const QByteArray bytes = orvex::ToCp1250(TMail602::PasswordAlphabet);
        QCOMPARE(bytes.size(), 118);
        QCOMPARE(orvex::FromCp1250(bytes), TMail602::PasswordAlphabet);
        QVERIFY(TMail602::PasswordAlphabet.contains(QStringLiteral("ČĎĚŇŘŠŤŽčďěňřšťž")));
    }

    void scrambleRoundTrip_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::newRow("letters and digits") << "Heslo2024";
        QTest::newRow("Czech letters") << QStringLiteral("ŽluťoučkýKůň");
        QTest::newRow("signs") << "+-*/=?!<>[](){}";
        QTest::newRow("blanks") << "moje tajne  heslo";
        QTest::newRow("outside the alphabet") << QStringLiteral("ä€~ ab");
        QTest::newRow("empty") << "";
    }

    void scrambleRoundTrip()
    {
        QFETCH(QString, plain);
        QString stored = plain;
        TMail602::ScramblePassword(stored, true);
        QCOMPARE(stored.size(), plain.size());
        for (qsizetype i = 0; i < plain.size(); ++i) {
            if (TMail602::PasswordAlphabet.contains(plain.at(i)))
                QVERIFY2(stored.at(i) != plain.at(i), "an alphabet character must change");
            else
                QCOMPARE(stored.at(i), plain.at(i));  // blanks and strangers stay
        }
        QString back = stored;
        TMail602::ScramblePassword(back, false);
        QCOMPARE(back, plain);
    }

    void passwordSurvivesSaveAndRestart_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("ascii") << "Tajne123";
        QTest::newRow("Czech") << QStringLiteral("řeřicháČŠ");
        QTest::newRow("blank inside") << "ab cd";
    }

    void passwordSurvivesSaveAndRestart()
    {
        QFETCH(QString, password);
        const QString path = IniWith("[M602]\r\nDebug=1f\r\n");
        IniFile ini(path);
        QVERIFY(ini.Load());
        auto mail = Gateway();
        mail->ReadSettings(ini);
        mail->Password = password;
        QVERIFY(mail->WriteMailSettings(ini));
        QCOMPARE(mail->Password, password);  // the field stays plain
        IniFile first(path);
        QVERIFY(first.Load());
        const QString stored = first.ReadString("M602", "Heslo", "?");
        QCOMPARE(stored.size(), password.size());
        QVERIFY(stored != password);
        QCOMPARE(stored.indexOf(' '), password.indexOf(' '));

        QVERIFY(mail->WriteMailSettings(ini));
        IniFile second(path);
        QVERIFY(second.Load());
        QCOMPARE(second.ReadString("M602", "Heslo", "?"), stored);
        // Windows-1250 on disk: one byte per character of the stored form.
        QVERIFY(FileBytes(path).contains("Heslo=" + orvex::ToCp1250(stored) + "\r\n"));
        QCOMPARE(second.ReadString("M602", "Debug", "?"), QStringLiteral("1f"));  // never written

        auto restarted = Gateway();
        restarted->ReadSettings(second);
        QCOMPARE(restarted->Password, password);
        QCOMPARE(restarted->DebugLevel, 31u);
    }

    void defaultsWithoutKeys()
    {
        IniFile ini(Tmp.filePath("absent.ini"));
        QVERIFY(!ini.Load());
        auto mail = Gateway();
        mail->ReadSettings(ini);
        QVERIFY(mail->ConfigPath.isEmpty());
        QVERIFY(mail->User.isEmpty());
        QVERIFY(mail->Password.isEmpty());
        QCOMPARE(mail->WorkDir, TMail602::DefaultWorkDir(QDir::tempPath()));
        QVERIFY(!mail->WorkDir.isEmpty());
        QVERIFY(!mail->WorkDir.endsWith('/'));
        QCOMPARE(mail->DebugLevel, 0u);
        QVERIFY(mail->RecipientAddress.isEmpty());
        QCOMPARE(mail->AddressType, char(0));
        QVERIFY(mail->Subject.isEmpty());
        QCOMPARE(mail->TextComOn, QStringLiteral("Obnovena komunikace s ústřednou"));
        QCOMPARE(mail->TextComOff, QStringLiteral("Chyba komunikace s ústřednou"));
        QVERIFY(Log.Lines.isEmpty());
    }

    void defaultWorkDir_data()
    {
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("expected");
        QTest::newRow("windows, trailing backslash") << "C:\\WINDOWS\\TEMP\\" << "C:\\WINDOWS\\TEMP";
        QTest::newRow("unix, trailing slash") << "/var/tmp/" << "/var/tmp";
        QTest::newRow("no trailing separator") << "/tmp" << "/tmp";
        QTest::newRow("root") << "/" << "/";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("260 characters") << "/" + QString(258, 'a') + "/" << "/" + QString(258, 'a');
        QTest::newRow("261 characters") << "/" + QString(259, 'a') + "/" << "";
    }

    void defaultWorkDir()
    {
        QFETCH(QString, temp);
        QFETCH(QString, expected);
        QCOMPARE(TMail602::DefaultWorkDir(temp), expected);
    }

    void readValues_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<char>("type");
        QTest::addColumn<uint>("debug");
        QTest::newRow("two letters, I then Z") << QByteArray("[Trapy]\r\nTypAdresyPrijemce=IZ\r\n") << 'I' << 0u;
        QTest::newRow("empty letter") << QByteArray("[Trapy]\r\nTypAdresyPrijemce=\r\n") << char(0) << 0u;
        QTest::newRow("debug 1f") << QByteArray("[M602]\r\nDebug=1f\r\n") << char(0) << 31u;
        QTest::newRow("debug upper case") << QByteArray("[M602]\r\nDebug=FF00\r\n") << char(0) << 0xFF00u;
        QTest::newRow("debug unreadable") << QByteArray("[M602]\r\nDebug=xyz\r\n") << char(0) << 0u;
        QTest::newRow("debug full 32 bits") << QByteArray("[M602]\r\nDebug=ffffffff\r\n") << char(0) << 0xFFFFFFFFu;
    }

    void readValues()
    {
        QFETCH(QByteArray, ini);
        QFETCH(char, type);
        QFETCH(uint, debug);
        IniFile file(IniWith(ini));
        QVERIFY(file.Load());
        auto mail = Gateway();
        mail->ReadSettings(file);
        QCOMPARE(mail->AddressType, type);
        QCOMPARE(mail->DebugLevel, debug);
    }

    void overlongValuesAreCut()
    {
        QByteArray text = "[M602]\r\nUzivatel=" + QByteArray(150, 'u') + "\r\n";
        QString longPassword = QString(25, 'p');
        TMail602::ScramblePassword(longPassword, true);
        text += "Heslo=" + orvex::ToCp1250(longPassword) + "\r\n";
        text += "[Trapy]\r\nSubject=" + QByteArray(120, 's') + "\r\nZpravaComOff=" + QByteArray(100, 'x') + "\r\n";
        IniFile ini(IniWith(text));
        QVERIFY(ini.Load());
        auto mail = Gateway();
        mail->ReadSettings(ini);
        QCOMPARE(mail->User, QString(100, 'u'));
        QCOMPARE(mail->Password, QString(20, 'p'));
        QCOMPARE(mail->Subject, QString(100, 's'));
        QCOMPARE(mail->TextComOff, QString(100, 'x'));  // exactly at the limit: whole
    }

    void writeTrapSettings()
    {
        const QString path = IniWith("; agent\r\n[Set]\r\nPort=COM1:9600,N,8,1\r\n");
        IniFile ini(path);
        QVERIFY(ini.Load());
        auto mail = Gateway();
        mail->ReadSettings(ini);
        mail->RecipientAddress = "604123456";
        mail->AddressType = 'Q';
        mail->Subject = QString(100, 'S');
        mail->TextComOn = QStringLiteral("Ústředna opět odpovídá");
        mail->TextComOff = QString();
        QVERIFY(mail->WriteTrapSettings(ini));

        IniFile back(path);
        QVERIFY(back.Load());
        QCOMPARE(back.ReadString("Trapy", "AdresaPrijemce", "?"), QStringLiteral("604123456"));
        QCOMPARE(back.ReadString("Trapy", "TypAdresyPrijemce", "?"), QStringLiteral("Q"));
        QCOMPARE(back.ReadString("Trapy", "Subject", "?"), QString(100, 'S'));
        QCOMPARE(back.ReadString("Trapy", "ZpravaComOn", "?"), QStringLiteral("Ústředna opět odpovídá"));
        QCOMPARE(back.ReadString("Trapy", "ZpravaComOff", "?"), QString());
        QCOMPARE(back.ReadString("Set", "Port", "?"), QStringLiteral("COM1:9600,N,8,1"));
        QVERIFY(back.ReadString("M602", "Heslo", "?") == "?");  // the other dialog's keys untouched

        // No letter is written as an empty value and read back as none.
        mail->AddressType = 0;
        QVERIFY(mail->WriteTrapSettings(ini));
        IniFile again(path);
        QVERIFY(again.Load());
        QCOMPARE(again.ReadString("Trapy", "TypAdresyPrijemce", "?"), QString());
        auto restarted = Gateway();
        restarted->ReadSettings(again);
        QCOMPARE(restarted->AddressType, char(0));
        QCOMPARE(restarted->TextComOff, QString());  // an empty text stays empty: the mail is off
        QCOMPARE(restarted->Subject, QString(100, 'S'));
    }

    void writeMailSettings()
    {
        const QString path = IniWith("");
        IniFile ini(path);
        ini.Load();
        auto mail = Gateway();
        mail->ConfigPath = "/etc/orvex/agentqx.ini";
        mail->WorkDir = "/var/lib/orvex";
        mail->User = QStringLiteral("správce");
        mail->Password = "x y";
        mail->DebugLevel = 7;
        QVERIFY(mail->WriteMailSettings(ini));
        IniFile back(path);
        QVERIFY(back.Load());
        QCOMPARE(back.ReadString("M602", "CestaKeKonfiguraciMail602", "?"), QStringLiteral("/etc/orvex/agentqx.ini"));
        QCOMPARE(back.ReadString("M602", "CestaKPracovnimuAdresari", "?"), QStringLiteral("/var/lib/orvex"));
        QCOMPARE(back.ReadString("M602", "Uzivatel", "?"), QStringLiteral("správce"));
        QCOMPARE(back.ReadString("M602", "Debug", "?"), QStringLiteral("?"));
        const QByteArray bytes = FileBytes(path);
        QVERIFY(bytes.indexOf("CestaKeKonfiguraciMail602=") < bytes.indexOf("CestaKPracovnimuAdresari="));
        QVERIFY(bytes.indexOf("CestaKPracovnimuAdresari=") < bytes.indexOf("Uzivatel="));
        QVERIFY(bytes.indexOf("Uzivatel=") < bytes.indexOf("Heslo="));
        auto restarted = Gateway();
        restarted->ReadSettings(back);
        QCOMPARE(restarted->Password, QStringLiteral("x y"));
        QCOMPARE(restarted->DebugLevel, 0u);
    }
};

QTEST_GUILESS_MAIN(TestMail602Settings)
#include "test_mail602_settings.moc"
