// The real agent with the real mail agent library, the exchange simulator, Maildirs on disk
// and a real SMTP server on loopback.
#include "MailTestSupport.h"
#include "Processes.h"

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

    QString path(const QString& name) const { return tmp.filePath(name); }

    bool startSmtp() { return QDir().mkpath(path("smtp")) && smtp.Start(path("smtp")); }

    bool startAgent(const QStringList& keys = {})
    {
        lib.SmtpHost = "127.0.0.1";
        lib.SmtpPort = smtp.Port;
        if (!WriteConfig(path("agentqx.ini"), lib) || !sim.Start())
            return false;
        const QStringList base{"M602/CestaKeKonfiguraciMail602=" + path("agentqx.ini"),
                               "M602/CestaKPracovnimuAdresari=" + tmp.path(),
                               "Trapy/AdresaPrijemce=operator@orvex.test",
                               "Trapy/TypAdresyPrijemce=I",
                               "Trapy/Subject=Ústředna",
                               "Timer/TrapInterval=100",
                               "Timer/MSGInterval=150"};
        if (!agent.Start(TestIni(sim.Device(), FreePort(), base + keys)))
            return false;
        return agent.WaitFor("-OK- Inicializace Mail602", 10000) >= 0 && agent.WaitFor("Načtena čísla linek", 10000) >= 0;
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
    void refusedTrapStaysUntilServerIsBack();
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

void MailE2E::refusedTrapStaysUntilServerIsBack()
{
    MailSetup s;
    QVERIFY(s.startSmtp());
    QVERIFY(s.startAgent());
    const quint16 port = s.smtp.Port;
    QVERIFY(s.smtp.Stop());
    QVERIFY(s.sim.Command("trap 1 I someone@orvex.test\\nUpozornění\\nText"));
    QVERIFY(s.agent.WaitForMatch(QRegularExpression("^\\S+  !Err .*3007.*Upozornění to someone@orvex\\.test"), 8000) >= 0);
    QVERIFY(s.agent.Count(">602 Mail: Upozornění") == 0);
    QVERIFY(s.simState().contains("traps=1"));
    SmtpServer again;
    QVERIFY(again.Start(s.path("smtp"), port));
    QTRY_VERIFY_WITH_TIMEOUT(again.Messages().size() >= 1, 10000);
    QCOMPARE(again.Envelope(1).value("to").toArray().at(0).toString(), QString("someone@orvex.test"));
    QVERIFY(s.agent.WaitFor(">602 Mail: Upozornění to someone@orvex.test", 3000) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.simState().contains("traps=-"), 5000);
    again.Stop();
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
