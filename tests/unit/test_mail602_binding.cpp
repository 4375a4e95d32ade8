// Binding the mail agent library at run time: the gateway is active only with a library
// that has all ten entry points and initialises; without it every call is skipped.
#include "MailTestSupport.h"
#include "link/Data.h"
#include "mail/Mail602.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace mailtest;
using orvex::TMail602;

class TestMail602Binding : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    QString Config;
    QString Maildir;
    orvex::TData Pbx;
    CollectingLog Log;
    bool Extent = true;

    // Every call of a gateway that is not active is skipped.
    void VerifyInert(TMail602& mail)
    {
        QVERIFY(!mail.Active);
        QCOMPARE(mail.SendMail("boss@orvex.test", 'I', "s", "t", 1), -1);
        mail.TextComOff = "lost";
        mail.SendStatusMail(1);
        QVERIFY(!mail.ReadMailboxChanges());
        QVERIFY(mail.FullReadPending);
        mail.StopActions();
        mail.DoneCommunication();
        QVERIFY(Log.Lines.isEmpty());
        QCOMPARE(QDir(Tmp.filePath("outbox")).entryList({"*.eml"}, QDir::Files).size(), 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Tmp.isValid());
        Maildir = Tmp.filePath("m21");
        QVERIFY(MakeMaildir(Maildir));
        QVERIFY(DropMessage(Maildir, "s1", "text"));
        AgentqxConfig c;
        c.Outbox = Tmp.filePath("outbox");
        c.Boxes = {{"Recepce", "21", Maildir}};
        Config = Tmp.filePath("agentqx.ini");
        QVERIFY(WriteConfig(Config, c));
        qstrcpy(Pbx.Lines[0].Number, "21");
        Pbx.LineCount = 1;
    }

    void init()
    {
        Log.Lines.clear();
        qunsetenv("AGENTQX_FAULTS");
    }

    void missingLibrary()
    {
        TMail602 mail(Pbx, Log, Extent, Tmp.filePath("nowhere/libagentqx.so"));
        QVERIFY(!mail.Active);
        QVERIFY(!mail.LoadError.isEmpty());
        mail.ConfigPath = Config;
        mail.InitCommunication();
        VerifyInert(mail);
    }

    void libraryWithoutOneEntryPoint()
    {
        TMail602 mail(Pbx, Log, Extent, LibraryFile("agentqx_noentry"));
        QVERIFY(!mail.Active);
        QVERIFY2(mail.LoadError.contains("ZastavAkci"), qPrintable(mail.LoadError));
        mail.ConfigPath = Config;
        mail.InitCommunication();
        VerifyInert(mail);
    }

    void initialisationFails_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("goodConfig");
        QTest::newRow("library refuses") << "agentqx_faults" << "init=2002" << true;
        QTest::newRow("configuration missing") << "agentqx" << "" << false;
    }

    void initialisationFails()
    {
        QFETCH(QString, library);
        QFETCH(QString, faults);
        QFETCH(bool, goodConfig);
        if (!faults.isEmpty())
            qputenv("AGENTQX_FAULTS", faults.toUtf8());
        TMail602 mail(Pbx, Log, Extent, LibraryFile(library));
        QVERIFY2(mail.Active, qPrintable(mail.LoadError));  // all ten bound
        mail.ConfigPath = goodConfig ? Config : Tmp.filePath("missing.ini");
        mail.InitCommunication();
        VerifyInert(mail);
    }

    void workingLibrary()
    {
        TMail602 mail(Pbx, Log, Extent, LibraryFile("agentqx"));
        QVERIFY(mail.Active);
        QVERIFY(mail.LoadError.isEmpty());
        mail.ConfigPath = Config;
        mail.InitCommunication();
        QVERIFY(mail.Active);
        QCOMPARE(mail.SendMail("boss@orvex.test", 'I', "s", "t", 1), 0);
        QVERIFY(mail.ReadMailboxChanges());
        QCOMPARE(Pbx.Lines[0].Other, uint8_t(1));
        mail.StopActions();
        QVERIFY(mail.Active);  // stopping actions does not end the gateway
        mail.DoneCommunication();
        QVERIFY(!mail.Active);
        QCOMPARE(mail.SendMail("boss@orvex.test", 'I', "s", "t", 1), -1);
        QVERIFY(!mail.ReadMailboxChanges());
        QCOMPARE(QDir(Tmp.filePath("outbox")).entryList({"*.eml"}, QDir::Files).size(), 1);
        QDir(Tmp.filePath("outbox")).removeRecursively();
    }

    void foundBesideTheProgram()
    {
        // Without a path the library is looked for beside the executable and in ../lib:
        // the tests run from bin/, the library lies in lib/.
        TMail602 mail(Pbx, Log, Extent);
        QVERIFY2(mail.Active, qPrintable(mail.LoadError));
        QCOMPARE(QFileInfo(mail.LibraryFile()).canonicalFilePath(),
                 QFileInfo(LibraryFile("agentqx")).canonicalFilePath());
    }

    void destructorEndsTheLibrary()
    {
        // A gateway destroyed without DoneCommunication still releases the library, and a
        // second gateway can initialise it again.
        for (int round = 0; round < 2; ++round) {
            TMail602 mail(Pbx, Log, Extent, LibraryFile("agentqx"));
            mail.ConfigPath = Config;
            mail.InitCommunication();
            QVERIFY(mail.Active);
            QVERIFY(mail.ReadMailboxChanges());
        }
    }
};

QTEST_GUILESS_MAIN(TestMail602Binding)
#include "test_mail602_binding.moc"
