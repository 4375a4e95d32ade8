// The mail agent library delivering through a real SMTP server (aiosmtpd on loopback);
// the mails pass through its spool beside the configuration file.
#include "MailTestSupport.h"
#include "base/Cp1250.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

using namespace mailtest;

class TestMailAgentSmtp : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    Agentqx Lib;
    SmtpServer Server;
    QString Config;

    int32_t Send(const QString& address, char type, const QString& subject, const QString& text)
    {
        const QByteArray a = orvex::ToCp1250(address);
        const QByteArray s = orvex::ToCp1250(subject);
        const QByteArray t = orvex::ToCp1250(text);
        return Lib.Send(a.constData(), type, s.constData(), t.constData(), 1);
    }

    // Waits briefly for the server to have stored n messages (it writes them on its own thread).
    bool WaitForMessages(int n)
    {
        QElapsedTimer timer;
        timer.start();
        while (Server.Messages().size() < n && timer.elapsed() < 5000)
            QTest::qWait(20);
        return Server.Messages().size() == n;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Tmp.isValid());
        QVERIFY2(Lib.Load(), qPrintable(Lib.Lib.errorString()));
        QVERIFY(QDir().mkpath(Tmp.filePath("received")));
        if (PythonWithAiosmtpd().isEmpty())
            QSKIP("python3 with aiosmtpd (Debian package python3-aiosmtpd) is not installed");
        QVERIFY2(Server.Start(Tmp.filePath("received")), qPrintable(Server.Proc.StdErr()));
        AgentqxConfig c;
        c.SmtpHost = "127.0.0.1";
        c.SmtpPort = Server.Port;
        c.Outbox = Tmp.filePath("outbox");
        Config = Tmp.filePath("agentqx.ini");
        QVERIFY(WriteConfig(Config, c));
        QCOMPARE(Lib.InitWith(Config), 0);
    }

    void cleanupTestCase() { Lib.Done(); }

    void deliversThroughTheServer_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::newRow("internet, Czech texts")
            << 'I' << "boss@orvex.test" << "boss@orvex.test" << QStringLiteral("Chyba komunikace s ústřednou")
            << QStringLiteral("Ústředna neodpovídá, zkuste později.");
        QTest::newRow("sms pattern") << 'Q' << "604123456" << "604123456@sms.orvex.test" << "Trap"
                                     << "plain ASCII text";
        QTest::newRow("long subject folded")
            << 'I' << "it@orvex.test" << "it@orvex.test" << QString(QStringLiteral("Příliš žluťoučký kůň ")).repeated(5).trimmed()
            << QStringLiteral("řádek 1\nřádek 2");
    }

    void deliversThroughTheServer()
    {
        QFETCH(char, type);
        QFETCH(QString, address);
        QFETCH(QString, recipient);
        QFETCH(QString, subject);
        QFETCH(QString, text);
        const int before = static_cast<int>(Server.Messages().size());
        QCOMPARE(Send(address, type, subject, text), 0);
        QVERIFY(WaitForMessages(before + 1));
        const QJsonObject envelope = Server.Envelope(before + 1);
        QCOMPARE(envelope.value("from").toString(), QStringLiteral("agent@orvex.test"));
        QCOMPARE(envelope.value("to").toArray().size(), 1);
        QCOMPARE(envelope.value("to").toArray().at(0).toString(), recipient);
        const QString decoded = DecodedMail(Server.Messages().last());
        QCOMPARE(decoded.section(QLatin1Char('\n'), 0, 0), subject);
        QCOMPARE(decoded.section('\n', 1).trimmed(), QString(text).replace("\n", "\r\n"));
    }

    // The server's refusal comes after the call: the mail is accepted, never delivered,
    // and kept aside, while the next mail goes out.
    void refusedRecipientIsSetAside()
    {
        const int before = static_cast<int>(Server.Messages().size());
        QCOMPARE(Send("refuse-me@orvex.test", 'I', "refused", "t"), 0);
        QCOMPARE(Send("boss@orvex.test", 'I', "after the refused one", "t"), 0);
        QVERIFY(WaitForMessages(before + 1));
        QCOMPARE(Server.Envelope(before + 1).value("to").toArray().at(0).toString(), QStringLiteral("boss@orvex.test"));
        const QStringList failed = FailedFiles(Tmp.filePath("spool"));
        QCOMPARE(failed.size(), 1);
        QVERIFY(FileBytes(Tmp.filePath("spool/failed/") + failed.first()).contains("RCPT TO:<refuse-me@orvex.test>"));
        QTest::qWait(300);
        QCOMPARE(Server.Messages().size(), before + 1);
    }

    // A server that is gone: the mail waits in the spool and arrives once the server is
    // back on its port; nothing is diverted into the outbox.
    void stoppedServerGetsTheMailWhenBack()
    {
        const int before = static_cast<int>(Server.Messages().size());
        const quint16 port = Server.Port;
        QVERIFY(Server.Stop());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Send("boss@orvex.test", 'I', "while away", "t"), 0);
        QVERIFY(timer.elapsed() < 500);
        QTest::qWait(300);
        QCOMPARE(SpoolFiles(Tmp.filePath("spool")).size(), 1);
        QVERIFY2(Server.Start(Tmp.filePath("received"), port), qPrintable(Server.Proc.StdErr()));
        QVERIFY(WaitForMessages(before + 1));
        QCOMPARE(DecodedMail(Server.Messages().last()).section(QLatin1Char('\n'), 0, 0), QStringLiteral("while away"));
        QTRY_VERIFY(SpoolFiles(Tmp.filePath("spool")).isEmpty());
        QCOMPARE(QDir(Tmp.filePath("outbox")).entryList({"*.eml"}, QDir::Files).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMailAgentSmtp)
#include "test_mailagent_smtp.moc"
