// The real agent with the real mail agent library, the exchange simulator, Maildirs on disk
// and a real SMTP server on loopback (or one that never answers).
#include "MailTestSupport.h"
#include "Processes.h"
#include "TcpClient.h"

#include <QJsonArray>
#include <QTest>

using namespace orvex::test;
using namespace mailtest;

namespace {

struct MailSetup {
    QTemporaryDir tmp;
    Simulator sim;
    Agent agent;
    SmtpServer smtp;
    AgentqxConfig lib;
    quint16 smtpPort = 0;           // 0: the port the first startSmtp gets
    quint16 ipPort = FreePort();

    QString path(const QString& name) const { return tmp.filePath(name); }
    QString spool() const { return path("spool"); }

    bool startSmtp()
    {
        if (!QDir().mkpath(path("smtp")) || !smtp.Start(path("smtp"), smtpPort))
            return false;
        smtpPort = smtp.Port;
        return true;
    }

    // Starts the agent (again, after a stop) on the running simulator.
    bool startAgent(const QStringList& keys = {})
    {
        lib.SmtpHost = "127.0.0.1";
        lib.SmtpPort = smtpPort ? smtpPort : (smtpPort = FreePort());
        if (!WriteConfig(path("agentqx.ini"), lib))
            return false;
        if (sim.Process().state() == QProcess::NotRunning && !sim.Start())
            return false;
        const QStringList base{"M602/CestaKeKonfiguraciMail602=" + path("agentqx.ini"),
                               "M602/CestaKPracovnimuAdresari=" + tmp.path(),
                               "Trapy/AdresaPrijemce=operator@orvex.test",
                               "Trapy/TypAdresyPrijemce=I",
                               "Trapy/Subject=Ústředna",
                               "Timer/TrapInterval=100",
                               "Timer/MSGInterval=150"};
        const int from = agent.Lines().size();
        if (!agent.Start(TestIni(sim.Device(), ipPort, base + keys)))
            return false;
        return agent.WaitFor("-OK- Inicializace Mail602", 10000, from) >= 0
               && agent.WaitFor("Načtena čísla linek", 10000, from) >= 0;
    }

    // The simulator's state line: "STATE counters=... traps=... ..."
    QString simState()
    {
        const int from = sim.Lines().size();
        sim.Send("status");
        const int i = sim.WaitFor("STATE ", 3000, from);
        return i < 0 ? QString() : sim.Lines().at(i);
    }

    bool waitMessages(int n, int ms = 8000)
    {
        QElapsedTimer t;
        t.start();
        while (smtp.Messages().size() < n && t.elapsed() < ms)
            agent.Pump(50);
        return smtp.Messages().size() >= n;
    }
};

QString recipient(const SmtpServer& s, int n)
{
    return s.Envelope(n).value("to").toArray().at(0).toString();
}

}  // namespace

class MailE2E : public QObject {
    Q_OBJECT
private slots:
    void trapIsMailedThenCleared();
    void trapRefusedAtOnceStaysInTheExchange();
    void trapWhileServerDownIsMailedOnceAfterRestart();
    void clientsAreServedWhileTheMailServerIsSilent();
    void statusMailsOnLossAndRestore();
    void mailboxCountersFollowMaildirs();
};

void MailE2E::trapIsMailedThenCleared()
{
    MailSetup s;
    QVERIFY(s.startSmtp());
    QVERIFY(s.startAgent());
    QVERIFY(s.sim.Command("trap 2 Q 605111222\\nPorucha linky\\nLinka 21 nemá oznamovací tón"));
    QVERIFY(s.waitMessages(1));
    QCOMPARE(recipient(s.smtp, 1), QString("605111222@sms.orvex.test"));
    QCOMPARE(DecodedMail(s.smtp.Messages().at(0)).trimmed(), QString("Porucha linky\nLinka 21 nemá oznamovací tón"));
    QVERIFY(s.agent.WaitFor(">602 Mail: Porucha linky to 605111222", 3000) >= 0);
    QVERIFY(s.agent.WaitFor("<COM TRAP: SMS to 605111222", 100) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.simState().contains("traps=-"), 5000);
    s.agent.Pump(500);
    QCOMPARE(s.smtp.Messages().size(), 1);  // cleared: not mailed twice
}

void MailE2E::trapRefusedAtOnceStaysInTheExchange()
{
    MailSetup s;
    QVERIFY(s.startSmtp());
    QVERIFY(s.startAgent());
    // No address pattern for ZModem in the library's configuration.
    QVERIFY(s.sim.Command("trap 1 Z modem\\nUpozornění\\nText"));
    QVERIFY(s.agent.WaitForMatch(QRegularExpression("^\\S+  !Err .*2007.*Upozornění to modem"), 8000) >= 0);
    QCOMPARE(s.agent.Count(">602 Mail: Upozornění"), 0);
    s.agent.Pump(500);
    QVERIFY(s.simState().contains("traps=1"));
    QVERIFY(SpoolFiles(s.spool()).isEmpty());
    QCOMPARE(s.smtp.Messages().size(), 0);
}

void MailE2E::trapWhileServerDownIsMailedOnceAfterRestart()
{
    MailSetup s;
    s.smtpPort = FreePort();  // nothing listens there yet
    QVERIFY(s.startAgent());
    QVERIFY(s.sim.Command("trap 1 I someone@orvex.test\\nUpozornění\\nText"));
    // Accepted into the spool: reported, and cleared in the exchange.
    QVERIFY(s.agent.WaitFor(">602 Mail: Upozornění to someone@orvex.test", 8000) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.simState().contains("traps=-"), 5000);
    QCOMPARE(SpoolFiles(s.spool()).size(), 1);

    // Stopped while the server is still away; the mail stays.
    QVERIFY(s.agent.Terminate());
    QCOMPARE(SpoolFiles(s.spool()).size(), 1);

    QVERIFY(s.startAgent());
    QVERIFY(s.startSmtp());
    QVERIFY(s.waitMessages(1, 10000));
    QCOMPARE(recipient(s.smtp, 1), QString("someone@orvex.test"));
    QCOMPARE(DecodedMail(s.smtp.Messages().at(0)).trimmed(), QString("Upozornění\nText"));
    s.agent.Pump(2000);
    QCOMPARE(s.smtp.Messages().size(), 1);
    QVERIFY(SpoolFiles(s.spool()).isEmpty());
    QCOMPARE(s.agent.Count(">602 Mail: Upozornění"), 1);  // read once, over both runs
}

void MailE2E::clientsAreServedWhileTheMailServerIsSilent()
{
    MailSetup s;
    BadSmtpServer silent;
    QVERIFY(silent.Listen());
    s.smtpPort = silent.Port();
    QVERIFY(s.startAgent());
    TcpClient client;
    QVERIFY(client.Connect(s.ipPort));

    // Reads of groups records, some from the cache and some through the exchange, while
    // a TRAP goes to the mail server that never answers (one attempt lasts the library's
    // 5 s time-out).
    const QList<QByteArray> reads{QByteArray::fromHex("000B01"), QByteArray::fromHex("000B02"),
                                  QByteArray::fromHex("000B03"), QByteArray::fromHex("000B04")};
    QElapsedTimer run;
    run.start();
    qint64 trapAt = -1;
    qint64 worst = 0;
    int answered = 0;
    int asked = 0;
    while (run.elapsed() < 7000) {
        if (trapAt < 0 && run.elapsed() > 500) {
            QVERIFY(s.sim.Command("trap 2 Q 605111222\\nPorucha linky\\nLinka 21 bez tónu"));
            trapAt = run.elapsed();
        }
        client.Send(reads.at(asked++ % reads.size()));
        QElapsedTimer t;
        t.start();
        const bool ready = client.Socket().waitForReadyRead(3000);
        worst = qMax(worst, t.elapsed());
        if (ready && !client.Receive(200, 30).isEmpty())
            ++answered;
        s.agent.Pump(50);
    }
    qInfo("%d of %d client reads answered while the mail server was silent, the slowest after %lld ms", answered,
          asked, worst);
    QCOMPARE(answered, asked);
    QVERIFY2(worst < 1000, qPrintable(QString::number(worst)));
    QVERIFY(s.agent.Count(">602 Mail: Porucha linky to 605111222") == 1);
    QVERIFY(silent.Connections >= 1);  // the library did try the server meanwhile
    QTRY_VERIFY_WITH_TIMEOUT(s.simState().contains("traps=-"), 5000);
    QCOMPARE(SpoolFiles(s.spool()).size(), 1);

    QElapsedTimer stop;
    stop.start();
    QVERIFY(s.agent.Terminate());
    qInfo("the agent stopped %lld ms after SIGTERM", stop.elapsed());
    QCOMPARE(SpoolFiles(s.spool()).size(), 1);
}

void MailE2E::statusMailsOnLossAndRestore()
{
    MailSetup s;
    QVERIFY(s.startSmtp());
    // The loss text is switched off by leaving it empty; the restore text is sent.
    QVERIFY(s.startAgent({"Trapy/ZpravaComOff=", "Trapy/ZpravaComOn=Spojení s ústřednou obnoveno"}));
    QVERIFY(s.sim.Command("silent on"));
    QVERIFY(s.agent.WaitFor("!Err Ústředna není dostupná", 20000) >= 0);
    s.agent.Pump(500);
    QCOMPARE(s.smtp.Messages().size(), 0);
    QCOMPARE(s.agent.Count("  Mail "), 0);
    QVERIFY(s.sim.Command("silent off"));
    QVERIFY(s.agent.WaitFor("-OK- Obnova komunikace s ústřednou", 10000) >= 0);
    QVERIFY(s.waitMessages(1));
    QCOMPARE(recipient(s.smtp, 1), QString("operator@orvex.test"));
    QCOMPARE(DecodedMail(s.smtp.Messages().at(0)).trimmed(), QString("Ústředna\nSpojení s ústřednou obnoveno"));
    QVERIFY(s.agent.WaitFor("Mail operator@orvex.test > Spojení s ústřednou obnoveno", 3000) >= 0);
    s.agent.Pump(500);
    QCOMPARE(s.smtp.Messages().size(), 1);
}

void MailE2E::mailboxCountersFollowMaildirs()
{
    MailSetup s;
    const QString box21 = s.path("box21"), box22 = s.path("box22");
    QVERIFY(MakeMaildir(box21) && MakeMaildir(box22));
    for (int i = 0; i < 3; ++i)
        QVERIFY(DropMessage(box21, QString("sms%1").arg(i), QString()));
    QVERIFY(DropMessage(box21, "voice1", "voice"));
    QVERIFY(DropMessage(box21, "fax1", "fax"));
    for (int i = 0; i < 300; ++i)
        QVERIFY(DropMessage(box22, QString("m%1").arg(i), "text"));
    AgeMaildir(box21);
    AgeMaildir(box22);
    s.lib.Boxes = {{"Recepce", "21", box21}, {"Sklad", "22", box22}};
    QVERIFY(s.startSmtp());
    QVERIFY(s.startAgent());
    // Lines 21, 22, 23, 24: counters sms, voice, fax, fourth; 300 wraps to 44 (0x2C).
    const auto counters = [](const char* line21) { return "counters=" + QString(line21) + "2C000000" "00000000" "00000000 "; };
    QTRY_VERIFY2_WITH_TIMEOUT(s.simState().contains(counters("03010100")), qPrintable(s.simState()), 8000);
    QVERIFY(s.agent.Count("<602 Změny ve schránkách") >= 1);
    QVERIFY(MarkSeen(box21, "sms1"));
    QTRY_VERIFY2_WITH_TIMEOUT(s.simState().contains(counters("02010100")), qPrintable(s.simState()), 8000);
    QVERIFY(DropMessage(box21, "fax2", "fax"));
    QTRY_VERIFY2_WITH_TIMEOUT(s.simState().contains(counters("02010200")), qPrintable(s.simState()), 8000);
    // Shutdown zeroes every counter in the exchange.
    QVERIFY(s.agent.Terminate());
    s.agent.Pump(200);
    QVERIFY2(s.simState().contains("counters=00000000000000000000000000000000 "), qPrintable(s.simState()));
}

QTEST_GUILESS_MAIN(MailE2E)
#include "test_mail_e2e.moc"
