// The real agent, headless, against the real exchange simulator on a pseudo-terminal.
#include "Processes.h"

#include <QFile>
#include <QTest>

using namespace orvex::test;

class AgentEngineE2E : public QObject {
    Q_OBJECT
private slots:
    void startUpTalksToExchangeAndShutsDownInOrder();
    void silentExchangeIsDeclaredLostOnceAndRestoredOnce();
    void missingConfigAndBadDeviceStillRun();
    void noiseOnTheLineChangesNothing();
    void malformedConfigStartsWithDefaults();
};

void AgentEngineE2E::startUpTalksToExchangeAndShutsDownInOrder()
{
    Simulator sim;
    QVERIFY(sim.Start());
    Agent agent;
    const quint16 port = FreePort();
    QVERIFY(agent.Start(TestIni(sim.Device(), port)));
    QVERIFY(agent.WaitFor("Načtena čísla linek", 10000) >= 0);
    const QStringList log = agent.Entries();
    QCOMPARE(log.value(0), QString("---- Start Orvex Agent ----"));
    QCOMPARE(log.value(1), QString("-OK- Otevření socketu TCP/IP"));
    QCOMPARE(log.value(2), "-OK- Otevření sériového portu " + sim.Device() + ":19200,N,8,1");
    QVERIFY(log.value(3) == "-OK- Inicializace Mail602" || log.value(3) == "!Err Chyba při inicializaci Mail602");
    // Every entry is the time stamp, two blanks, prefix, blank, text.
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d  ---- Start Orvex Agent ----$").match(agent.Lines().value(0)).hasMatch());

    QVERIFY(sim.WaitFor("RX 03 00 0E 00") >= 0);
    const QStringList rx = sim.Received();
    QCOMPARE(rx.mid(0, 3), QStringList({"01 0D", "02 02", "03 00 0E 00"}));

    const int mark = sim.Lines().size();
    QVERIFY(agent.Terminate());
    QCOMPARE(agent.Process().exitStatus(), QProcess::NormalExit);
    sim.Pump(300);
    const QStringList after = sim.Received(mark);
    // Four lines from the simulator: the zeroed counters are 01 11 00 and 16 zero bytes.
    const QRegularExpression zeroed("^[0-9A-F]{2} 01 11 00( 00){16}$");
    QVERIFY2(!after.isEmpty() && zeroed.match(after.last()).hasMatch(), qPrintable(after.join('|')));
    QCOMPARE(after.filter(QRegularExpression(" 01 11 00")).size(), 1);
}

void AgentEngineE2E::silentExchangeIsDeclaredLostOnceAndRestoredOnce()
{
    Simulator sim;
    QVERIFY(sim.Start());
    Agent agent;
    // The accounting poll keeps requests going out while the exchange is silent.
    QVERIFY(agent.Start(TestIni(sim.Device(), FreePort(),
                                {"Set/ReadUct=1", "Timer/URInterval=50", "Timer/URIntervalBezDat=50"})));
    QVERIFY(agent.WaitFor("Načtena čísla linek", 10000) >= 0);
    QVERIFY(sim.Command("silent on"));
    QVERIFY(agent.WaitFor("!Err Ústředna není dostupná", 20000) >= 0);
    const int simMark = sim.Lines().size();
    agent.Pump(2500);  // MaxErrorTick 25 x 20 ms: several retries
    QCOMPARE(agent.Count("Ústředna není dostupná"), 1);
    QVERIFY2(sim.Received(simMark).filter(QRegularExpression(" 0D$")).size() >= 2, qPrintable(sim.Received(simMark).join('|')));
    QVERIFY(sim.Command("silent off"));
    QVERIFY(agent.WaitFor("-OK- Obnova komunikace s ústřednou", 10000) >= 0);
    agent.Pump(1500);
    QCOMPARE(agent.Count("Obnova komunikace s ústřednou"), 1);
    QCOMPARE(agent.Count("Ústředna není dostupná"), 1);
}

void AgentEngineE2E::missingConfigAndBadDeviceStillRun()
{
    Agent agent;
    QTemporaryDir dir;
    const QString missing = dir.filePath("none/Agent.ini");
    QVERIFY(agent.LineProcess::Start(ORVEX_BIN_DIR "/orvex-agent", {"--headless", "--config", missing}, dir.path()));
    QVERIFY(agent.WaitFor("Chyba otevření sériového portu COM2:19200,N,8,1", 10000) >= 0
            || agent.WaitFor("Otevření sériového portu COM2:19200,N,8,1", 100) >= 0);
    QVERIFY2(agent.WaitForMatch(QRegularExpression("(Inicializace|inicializaci) Mail602$"), 5000) >= 0, qPrintable(agent.Lines().join("\n") + agent.StdErr()));
    QVERIFY(agent.StdErr().contains("Neexistuje soubor Agent.ini"));
    agent.Pump(300);
    QCOMPARE(agent.Process().state(), QProcess::Running);
    QVERIFY(agent.Terminate());
}

void AgentEngineE2E::noiseOnTheLineChangesNothing()
{
    Simulator sim;
    QVERIFY(sim.Start());
    Agent agent;
    QVERIFY(agent.Start(TestIni(sim.Device(), FreePort())));
    QVERIFY(agent.WaitFor("Načtena čísla linek", 10000) >= 0);
    const int before = agent.Lines().size();
    // Garbage, a frame with a bad CRC, and a good frame with a sequence byte nobody sent.
    QVERIFY(sim.Command("raw 00 11 22 EE EE 23 05 00 01 02 03 04 05 AA BB CC DD FF EE 41"));
    QVERIFY(sim.Command("raw EE 23 02 00 C8 00 8B 4D 6E 0D"));
    agent.Pump(800);
    QCOMPARE(agent.Process().state(), QProcess::Running);
    const QStringList added = agent.Entries(before);
    QVERIFY2(added.filter("!Err").isEmpty(), qPrintable(added.join('\n')));
    QVERIFY(agent.Terminate());
}

void AgentEngineE2E::malformedConfigStartsWithDefaults()
{
    // A key outside any section, an unterminated section header, binary noise and a port
    // that is no number: every key falls back to its default.
    static const char raw[] = "Port=/dev/null:1\n\x01\xff\xfe[Set\nIPPort=not-a-number\n\x00\x9a=\x9a\n";
    const QByteArray junk(raw, sizeof raw - 1);
    QTemporaryDir dir;
    QFile f(dir.filePath("Agent.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(junk);
    f.close();
    Agent agent;
    QVERIFY(agent.LineProcess::Start(ORVEX_BIN_DIR "/orvex-agent", {"--headless", "--config", f.fileName()}, dir.path()));
    QVERIFY(agent.WaitFor("Chyba otevření sériového portu COM2:19200,N,8,1", 10000) >= 0);
    QVERIFY(agent.WaitForMatch(QRegularExpression("(Inicializace|inicializaci) Mail602$"), 5000) >= 0);
    QVERIFY(!agent.StdErr().contains("Neexistuje soubor Agent.ini"));
    QCOMPARE(agent.Process().state(), QProcess::Running);
    QVERIFY(agent.Terminate());
}

QTEST_GUILESS_MAIN(AgentEngineE2E)
#include "test_agent_engine.moc"
