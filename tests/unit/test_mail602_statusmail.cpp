// The agent's status mails and SendMail through the real library: into its outbox, and
// through its spool to a real SMTP server on loopback.
#include "MailTestSupport.h"
#include "link/Data.h"
#include "mail/Mail602.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

using namespace mailtest;
using orvex::TMail602;

class TestMail602StatusMail : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    orvex::TData Pbx;
    CollectingLog Log;
    bool Extent = false;

    QString Outbox() const { return Tmp.filePath("outbox"); }
    QStringList OutboxFiles() const { return QDir(Outbox()).entryList({"*.eml"}, QDir::Files, QDir::Time | QDir::Reversed); }

    std::unique_ptr<TMail602> Gateway(const QString& config)
    {
        auto mail = std::make_unique<TMail602>(Pbx, Log, Extent, LibraryFile("agentqx"));
        mail->ConfigPath = config;
        mail->RecipientAddress = "dispecink@orvex.test";
        mail->AddressType = 'I';
        mail->Subject = QStringLiteral("Ústředna");
        mail->TextComOn = QStringLiteral("Obnovena komunikace s ústřednou");
        mail->TextComOff = QStringLiteral("Chyba komunikace s ústřednou");
        mail->InitCommunication();
        return mail;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Tmp.isValid());
        AgentqxConfig c;
        c.Outbox = Outbox();
        QVERIFY(WriteConfig(Tmp.filePath("outbox.ini"), c));
    }

    void init()
    {
        Log.Lines.clear();
        QDir(Outbox()).removeRecursively();
    }

    void statusMail_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("off");
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("mailed");  // empty: nothing is sent
        QTest::newRow("lost") << 1 << "Chyba komunikace s ústřednou" << "Obnovena" << "Chyba komunikace s ústřednou";
        QTest::newRow("restored") << 2 << "Chyba" << "Obnovena komunikace s ústřednou"
                                  << "Obnovena komunikace s ústřednou";
        QTest::newRow("lost, switched off") << 1 << "" << "Obnovena" << "";
        QTest::newRow("restored while lost is off") << 2 << "" << "Obnovena" << "Obnovena";
        QTest::newRow("restored, switched off") << 2 << "Chyba" << "" << "";
        QTest::newRow("unknown type") << 3 << "Chyba" << "Obnovena" << "";
    }

    void statusMail()
    {
        QFETCH(int, type);
        QFETCH(QString, off);
        QFETCH(QString, on);
        QFETCH(QString, mailed);
        auto mail = Gateway(Tmp.filePath("outbox.ini"));
        QVERIFY(mail->Active);
        mail->TextComOff = off;
        mail->TextComOn = on;
        mail->SendStatusMail(type);
        if (mailed.isEmpty()) {
            QVERIFY(OutboxFiles().isEmpty());
            QVERIFY(Log.Lines.isEmpty());
            return;
        }
        QCOMPARE(Log.Lines, QStringList({"Mail|dispecink@orvex.test > " + mailed}));
        QCOMPARE(OutboxFiles().size(), 1);
        const QString eml = Outbox() + "/" + OutboxFiles().first();
        QCOMPARE(DecodedMail(eml).trimmed(), QStringLiteral("Ústředna\n") + mailed);
        QFile f(eml);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("\r\nX-Agentqx-Final: 1\r\n"));
    }

    void failedStatusMailIsSilent()
    {
        auto mail = Gateway(Tmp.filePath("outbox.ini"));
        mail->AddressType = 'Z';  // no pattern for ZModem in the library's configuration
        mail->SendStatusMail(1);
        mail->AddressType = 0;
        mail->SendStatusMail(2);
        QVERIFY(Log.Lines.isEmpty());
        QVERIFY(OutboxFiles().isEmpty());
        QCOMPARE(mail->SendMail("modem", 'Z', "s", "t", 0x31), int(agentqx::ErrUndeliverableType));
    }

    void inactiveGatewaySendsNothing()
    {
        auto mail = Gateway(Tmp.filePath("missing.ini"));
        QVERIFY(!mail->Active);
        mail->SendStatusMail(1);
        mail->SendStatusMail(2);
        QCOMPARE(mail->SendMail("dispecink@orvex.test", 'I', "s", "t", 1), -1);
        QVERIFY(Log.Lines.isEmpty());
        QVERIFY(OutboxFiles().isEmpty());
    }

    void throughSmtpServer()
    {
        SmtpServer server;
        QVERIFY(QDir().mkpath(Tmp.filePath("received")));
        if (PythonWithAiosmtpd().isEmpty())
            QSKIP("python3 with aiosmtpd (Debian package python3-aiosmtpd) is not installed");
        QVERIFY2(server.Start(Tmp.filePath("received")), qPrintable(server.Proc.StdErr()));
        AgentqxConfig c;
        c.SmtpHost = "127.0.0.1";
        c.SmtpPort = server.Port;
        c.Outbox = Outbox();
        QVERIFY(WriteConfig(Tmp.filePath("smtp.ini"), c));
        auto mail = Gateway(Tmp.filePath("smtp.ini"));
        QVERIFY(mail->Active);

        mail->SendStatusMail(1);
        QCOMPARE(Log.Lines, QStringList({"Mail|dispecink@orvex.test > Chyba komunikace s ústřednou"}));
        QElapsedTimer timer;
        timer.start();
        while (server.Messages().isEmpty() && timer.elapsed() < 5000)
            QTest::qWait(20);
        QCOMPARE(server.Messages().size(), 1);
        QCOMPARE(server.Envelope(1).value("to").toArray().at(0).toString(), QStringLiteral("dispecink@orvex.test"));
        QCOMPARE(DecodedMail(server.Messages().first()).trimmed(),
                 QStringLiteral("Ústředna\nChyba komunikace s ústřednou"));

        // A TRAP forwarded as SMS: the pattern makes the address, the server takes it.
        QCOMPARE(mail->SendMail("604123456", 'Q', "Alarm", QStringLiteral("Požár v serverovně"), 0x31), 0);
        timer.restart();
        while (server.Messages().size() < 2 && timer.elapsed() < 5000)
            QTest::qWait(20);
        QCOMPARE(server.Envelope(2).value("to").toArray().at(0).toString(), QStringLiteral("604123456@sms.orvex.test"));

        // A recipient the server refuses: accepted, then set aside by the library.
        QCOMPARE(mail->SendMail("refuse@orvex.test", 'I', "s", "t", 1), 0);
        QTRY_COMPARE(FailedFiles(Tmp.filePath("spool")).size(), 1);
        // A server that is gone: the status mail is accepted and logged at once and
        // arrives when the server is back.
        const quint16 port = server.Port;
        QVERIFY(server.Stop());
        Log.Lines.clear();
        timer.restart();
        mail->SendStatusMail(2);
        QVERIFY(timer.elapsed() < 500);
        QCOMPARE(Log.Lines, QStringList({"Mail|dispecink@orvex.test > Obnovena komunikace s ústřednou"}));
        QVERIFY(OutboxFiles().isEmpty());
        QVERIFY2(server.Start(Tmp.filePath("received"), port), qPrintable(server.Proc.StdErr()));
        timer.restart();
        while (server.Messages().size() < 3 && timer.elapsed() < 8000)
            QTest::qWait(20);
        QCOMPARE(server.Messages().size(), 3);
        QCOMPARE(server.Envelope(3).value("to").toArray().at(0).toString(), QStringLiteral("dispecink@orvex.test"));
        QCOMPARE(DecodedMail(server.Messages().last()).trimmed(), QStringLiteral("Ústředna\nObnovena komunikace s ústřednou"));
        server.Stop();
    }
};

QTEST_GUILESS_MAIN(TestMail602StatusMail)
#include "test_mail602_statusmail.moc"
