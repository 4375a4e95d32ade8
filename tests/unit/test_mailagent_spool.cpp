// The mail agent library's spool and its delivery thread, loaded from the built .so,
// against real servers on loopback: aiosmtpd, nothing at all, a server that refuses the
// session, and one that accepts the connection and never answers.
#include "MailTestSupport.h"
#include "Processes.h"
#include "base/Cp1250.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace mailtest;

namespace {

// What the server is doing while the mails are handed over.
enum class ServerState { Down, RefusingSession, Silent, DeferringRecipients, RefusingRecipients };

QString Subject(int n)
{
    return QStringLiteral("Zpráva %1").arg(n);
}

}  // namespace

Q_DECLARE_METATYPE(ServerState)

class TestMailAgentSpool : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Tmp;
    Agentqx Lib;
    QString Root;
    QString Spool;
    quint16 Port = 0;

    // A configuration for the SMTP server on Port, with the spool in Root/spool.
    QString Config(int timeout = 30)
    {
        AgentqxConfig c;
        c.SmtpHost = "127.0.0.1";
        c.SmtpPort = Port;
        c.Timeout = timeout;
        c.Outbox = Root + "/outbox";
        c.Spool = Spool;
        c.Retry = "0.1";
        c.RetryMax = "0.4";
        const QString path = Root + "/agentqx.ini";
        return WriteConfig(path, c) ? path : QString();
    }

    int32_t Send(const QString& address, const QString& subject, char type = 'I')
    {
        const QByteArray a = orvex::ToCp1250(address);
        const QByteArray s = orvex::ToCp1250(subject);
        return Lib.Send(a.constData(), type, s.constData(), "text", 1);
    }

    static qint64 Median(QList<qint64> values)
    {
        std::sort(values.begin(), values.end());
        return values.isEmpty() ? 0 : values.at(values.size() / 2);
    }

    // The subjects of the messages the server stored, in arrival order.
    static QStringList Subjects(const SmtpServer& server)
    {
        QStringList out;
        for (const QString& eml : server.Messages())
            out << DecodedMail(eml).section(QLatin1Char('\n'), 0, 0);
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(Tmp.isValid());
        QVERIFY2(Lib.Load(), qPrintable(Lib.Lib.errorString()));
        Lib.SetDebugLevel(qEnvironmentVariableIntValue("AGENTQX_DEBUG"));
        if (PythonWithAiosmtpd().isEmpty())
            QSKIP("python3 with aiosmtpd (Debian package python3-aiosmtpd) is not installed");
    }

    void init()
    {
        Root = Tmp.filePath(QString::fromLatin1(QTest::currentTestFunction()) + "-"
                            + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        QVERIFY(QDir().mkpath(Root + "/received"));
        Spool = Root + "/spool";
        Port = orvex::test::FreePort();
    }

    void cleanup() { Lib.Done(); }

    // The call returns at once whatever the server does; the mails wait in the spool, a
    // stop does not wait for the server, and the next start delivers them in order.
    void acceptsAtOnceWhateverTheServerDoes_data()
    {
        QTest::addColumn<ServerState>("state");
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<bool>("deliverable");
        QTest::newRow("down") << ServerState::Down << "boss%1@orvex.test" << true;
        QTest::newRow("refusing the session") << ServerState::RefusingSession << "boss%1@orvex.test" << true;
        QTest::newRow("silent") << ServerState::Silent << "boss%1@orvex.test" << true;
        QTest::newRow("deferring the recipients") << ServerState::DeferringRecipients << "defer%1@orvex.test" << true;
        QTest::newRow("refusing the recipients") << ServerState::RefusingRecipients << "refuse%1@orvex.test" << false;
    }

    void acceptsAtOnceWhateverTheServerDoes()
    {
        QFETCH(ServerState, state);
        QFETCH(QString, recipient);
        QFETCH(bool, deliverable);
        constexpr int mails = 5;

        SmtpServer smtp;
        BadSmtpServer bad(state == ServerState::RefusingSession ? QByteArray("554 5.3.2 not accepting mail\r\n")
                                                                 : QByteArray());
        if (state == ServerState::RefusingSession || state == ServerState::Silent)
            QVERIFY(bad.Listen(Port));
        if (state == ServerState::DeferringRecipients || state == ServerState::RefusingRecipients)
            QVERIFY2(smtp.Start(Root + "/received", Port), qPrintable(smtp.Proc.StdErr()));
        QCOMPARE(Lib.InitWith(Config()), 0);

        QList<qint64> took;
        for (int n = 1; n <= mails; ++n) {
            QElapsedTimer t;
            t.start();
            QCOMPARE(Send(recipient.arg(n), Subject(n)), 0);
            took << t.elapsed();
            QTest::qWait(30);  // the servers in this process answer meanwhile
        }
        // Let the delivery thread meet the server a few times.
        QTest::qWait(800);
        if (state == ServerState::RefusingSession || state == ServerState::Silent)
            QVERIFY(bad.Connections >= 1);
        QCOMPARE(smtp.Messages().size(), 0);
        if (deliverable) {
            QCOMPARE(SpoolFiles(Spool).size(), mails);
            QVERIFY(FailedFiles(Spool).isEmpty());
        } else {
            QTRY_COMPARE(FailedFiles(Spool).size(), mails);
            QVERIFY(SpoolFiles(Spool).isEmpty());
        }
        // Each file is the whole mail with its envelope.
        const QString first = (deliverable ? Spool : Spool + "/failed") + "/"
                              + (deliverable ? SpoolFiles(Spool) : FailedFiles(Spool)).first();
        const QByteArray bytes = FileBytes(first);
        QVERIFY2(bytes.startsWith("AGENTQX-SPOOL 1\nMAIL FROM:<agent@orvex.test>\nRCPT TO:<" + recipient.arg(1).toUtf8()
                                  + ">\n\n"),
                 bytes.constData());

        QElapsedTimer stop;
        stop.start();
        QCOMPARE(Lib.Done(), 0);
        const qint64 stopped = stop.elapsed();
        qInfo("%s: PosliStavovouZpravu median %lld ms, longest %lld ms; DeInicializaceQXKomunikace %lld ms",
              QTest::currentDataTag(), Median(took), *std::max_element(took.begin(), took.end()), stopped);
        QVERIFY2(Median(took) < 100, qPrintable(QString::number(Median(took))));
        QVERIFY2(*std::max_element(took.begin(), took.end()) < 500, "a call waited for the server");
        QVERIFY2(stopped < 1000, qPrintable(QString::number(stopped)));
        QCOMPARE(SpoolFiles(Spool).size() + FailedFiles(Spool).size(), mails);  // nothing lost at the stop

        // The server is back (or takes the deferred recipients now); the next start
        // delivers what was left, in order, each mail once.
        bad.Close();
        QVERIFY(QFile(Root + "/received/accept-deferred").open(QIODevice::WriteOnly));
        if (smtp.Proc.Process().state() == QProcess::NotRunning)
            QVERIFY2(smtp.Start(Root + "/received", Port), qPrintable(smtp.Proc.StdErr()));
        QCOMPARE(Lib.InitWith(Config()), 0);
        if (!deliverable) {
            QTest::qWait(1000);
            QCOMPARE(smtp.Messages().size(), 0);
            QCOMPARE(FailedFiles(Spool).size(), mails);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(smtp.Messages().size(), mails, 10000);
        QStringList expected;
        for (int n = 1; n <= mails; ++n)
            expected << Subject(n);
        QCOMPARE(Subjects(smtp), expected);
        QCOMPARE(smtp.Envelope(1).value("to").toArray().at(0).toString(), recipient.arg(1));
        QTRY_VERIFY(SpoolFiles(Spool).isEmpty());
        QTest::qWait(600);
        QCOMPARE(smtp.Messages().size(), mails);
    }

    // A mail the server puts off waits on its own; one it refuses for good is set aside;
    // neither holds back the mails after it.
    void putOffAndRefusedMailsDoNotHoldBackTheOthers()
    {
        SmtpServer smtp;
        QVERIFY2(smtp.Start(Root + "/received", Port), qPrintable(smtp.Proc.StdErr()));
        QCOMPARE(Lib.InitWith(Config()), 0);
        QCOMPARE(Send("defer-a@orvex.test", "a"), 0);
        QCOMPARE(Send("b@orvex.test", "b"), 0);
        QCOMPARE(Send("refuse-c@orvex.test", "c"), 0);
        QCOMPARE(Send("d@orvex.test", "d"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(smtp.Messages().size(), 2, 10000);
        QCOMPARE(Subjects(smtp), QStringList({"b", "d"}));
        QTRY_COMPARE(FailedFiles(Spool).size(), 1);
        QVERIFY(FileBytes(Spool + "/failed/" + FailedFiles(Spool).first()).contains("\nRCPT TO:<refuse-c@orvex.test>\n"));
        QCOMPARE(SpoolFiles(Spool).size(), 1);  // the deferred one, tried again meanwhile
        QTest::qWait(600);
        QCOMPARE(smtp.Messages().size(), 2);

        QVERIFY(QFile(Root + "/received/accept-deferred").open(QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(smtp.Messages().size(), 3, 10000);
        QCOMPARE(Subjects(smtp).last(), QStringLiteral("a"));
        QTRY_VERIFY(SpoolFiles(Spool).isEmpty());
        QTest::qWait(600);
        QCOMPARE(smtp.Messages().size(), 3);
        QCOMPARE(FailedFiles(Spool).size(), 1);
    }

    // ZastavAkci ends a transfer to a server that never answers at once and keeps the
    // mail; the next mail starts the delivery again and both go out in order.
    void stopActionsEndsAStalledTransfer()
    {
        BadSmtpServer silent;
        QVERIFY(silent.Listen(Port));
        QCOMPARE(Lib.InitWith(Config()), 0);
        QCOMPARE(Send("boss@orvex.test", "first"), 0);
        QTRY_VERIFY(silent.Connections >= 1);
        QTest::qWait(100);
        QElapsedTimer t;
        t.start();
        QCOMPARE(Lib.Stop(), 0);
        const qint64 took = t.elapsed();
        qInfo("ZastavAkci during a stalled transfer: %lld ms", took);
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        QCOMPARE(SpoolFiles(Spool).size(), 1);

        silent.Close();
        SmtpServer smtp;
        QVERIFY2(smtp.Start(Root + "/received", Port), qPrintable(smtp.Proc.StdErr()));
        QTest::qWait(500);
        QCOMPARE(smtp.Messages().size(), 0);  // stopped: nothing is sent until the next mail
        QCOMPARE(Send("boss@orvex.test", "second"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(smtp.Messages().size(), 2, 10000);
        QCOMPARE(Subjects(smtp), QStringList({"first", "second"}));
        QTRY_VERIFY(SpoolFiles(Spool).isEmpty());
    }

    // Only complete files are mails: a temporary file is never sent (one left by a crash
    // goes at the next start), and a final file that is no mail is set aside.
    void onlyCompleteMailsAreSent()
    {
        const QByteArray stray = "AGENTQX-SPOOL 1\nMAIL FROM:<agent@orvex.test>\nRCPT TO:<stray@orvex.test>\n\n"
                                 "Subject: stray\r\n\r\nstray\r\n";
        QVERIFY(QDir().mkpath(Spool));
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        const QString leftover = Spool + "/.000000000001-1700000000-1.mail.tmp";
        QVERIFY(write(leftover, stray));
        QVERIFY(write(Spool + "/000000000007-1700000000-1.mail", "half a mail, cut off"));

        SmtpServer smtp;
        QVERIFY2(smtp.Start(Root + "/received", Port), qPrintable(smtp.Proc.StdErr()));
        QCOMPARE(Lib.InitWith(Config()), 0);
        QVERIFY(!QFileInfo::exists(leftover));
        QTRY_COMPARE(FailedFiles(Spool), QStringList({"000000000007-1700000000-1.mail"}));

        // A file being written while the thread delivers.
        const QString writing = Spool + "/.000000000099-1700000000-1.mail.tmp";
        QVERIFY(write(writing, stray));
        QCOMPARE(Send("boss@orvex.test", "real"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(smtp.Messages().size(), 1, 10000);
        QTest::qWait(800);
        QCOMPARE(Subjects(smtp), QStringList({"real"}));
        QCOMPARE(smtp.Envelope(1).value("to").toArray().at(0).toString(), QStringLiteral("boss@orvex.test"));
        QVERIFY(QFileInfo::exists(writing));
        QVERIFY(SpoolFiles(Spool).isEmpty());
    }

    // What the library refuses at once is not spooled.
    void refusedAtOnceIsNotSpooled_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("result");
        QTest::newRow("no pattern for the type") << 'Z' << "modem" << int(agentqx::ErrUndeliverableType);
        QTest::newRow("no type") << '\0' << "boss@orvex.test" << int(agentqx::ErrUndeliverableType);
        QTest::newRow("not a mail address") << 'I' << "boss at orvex" << int(agentqx::ErrBadAddress);
    }

    void refusedAtOnceIsNotSpooled()
    {
        QFETCH(char, type);
        QFETCH(QString, address);
        QFETCH(int, result);
        QCOMPARE(Lib.InitWith(Config()), 0);
        QCOMPARE(Send(address, "s", type), result);
        QVERIFY(SpoolFiles(Spool).isEmpty());
        QVERIFY(FailedFiles(Spool).isEmpty());
    }

    void unusableSpoolFailsInit()
    {
        QFile file(Root + "/plain-file");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Spool = Root + "/plain-file/spool";
        QCOMPARE(Lib.InitWith(Config()), agentqx::ErrSpool);
        QCOMPARE(Send("boss@orvex.test", "s"), agentqx::ErrNotInitialised);
    }
};

QTEST_GUILESS_MAIN(TestMailAgentSpool)
#include "test_mailagent_spool.moc"
