// TCP client programs reach the exchange through the real agent and the real simulator.
#include "Processes.h"
#include "TcpClient.h"

#include <QTest>
#include <memory>
#include <vector>

using namespace orvex::test;

namespace {
QByteArray hex(const char* t) { return QByteArray::fromHex(QByteArray(t).replace(' ', "")); }

// The simulator's answer to the last frame it received with these command bytes, without the sequence byte.
QByteArray lastAnswerTo(const Simulator& sim, const QString& commandHex)
{
    const QStringList lines = sim.Lines();
    for (int i = lines.size() - 1; i >= 0; --i) {
        if (!lines[i].startsWith("RX ") || lines[i].mid(6) != commandHex)
            continue;
        const QString seq = lines[i].mid(3, 2);
        for (int j = i + 1; j < lines.size(); ++j)
            if (lines[j].startsWith("TX " + seq))
                return QByteArray::fromHex(lines[j].mid(6).toLatin1().replace(' ', ""));
        return {};
    }
    return {};
}

struct Setup : AgentOnSimulator {
    bool start(const QStringList& keys = {})
    {
        return AgentOnSimulator::start(QStringList{"Log/TCP/IP_Out=1", "Log/Com_Out=1", "Timer/ANTimeOut=1",
                                                   "Timer/ANInterval=100", "Timer/MaxTick=25"}
                                       + keys);
    }
    // The simulator's answer to these command bytes, once its output has been read.
    QByteArray simAnswer(const QString& commandHex)
    {
        QByteArray a;
        for (int i = 0; i < 100 && (a = lastAnswerTo(sim, commandHex)).isEmpty(); ++i)
            sim.Pump(20);
        return a;
    }
    int rxCount(const QString& commandHex, int from = 0)
    {
        sim.Pump(100);
        int n = 0;
        for (const QString& r : sim.Received(from))
            n += r.mid(3) == commandHex ? 1 : 0;
        return n;
    }
};
}  // namespace

class GatewayE2E : public QObject {
    Q_OBJECT
private slots:
    void readForwardedThenServedFromCache();
    void lineStatusSnapshotAndPollTimeout();
    void disconnectedClientAnswerIsStillCached();
    void queuedRequestsOfOneClientReplaceEachOther();
    void writesAreNeverCached();
    void badClientsDoNotHurtOthers();
    void commandLineClientDescribesTheAnswer();
};

void GatewayE2E::readForwardedThenServedFromCache()
{
    Setup s;
    QVERIFY(s.start());
    TcpClient a;
    QVERIFY(a.Connect(s.port));
    const QByteArray answer = a.Ask(hex("00 0B 03"));
    QVERIFY(!answer.isEmpty());
    QCOMPARE(answer, s.simAnswer("00 0B 03"));
    QVERIFY(s.agent.WaitForMatch(QRegularExpression("<IP:127\\.0\\.0\\.1:\\d+ Čtení Skupiny\\[3\\]$")) >= 0);
    QVERIFY(s.agent.WaitForMatch(QRegularExpression(">IP:127\\.0\\.0\\.1:\\d+ Skupiny\\[3\\]$")) >= 0);

    const int mark = s.sim.Lines().size();
    TcpClient b;
    QVERIFY(b.Connect(s.port));
    QCOMPARE(b.Ask(hex("00 0B 03")), answer);
    QCOMPARE(b.Ask(hex("00 0B")), answer);  // two bytes match the stored three-byte request
    s.sim.Pump(200);
    QCOMPARE(s.rxCount("00 0B 03", mark) + s.rxCount("00 0B", mark), 0);
    QVERIFY(s.agent.Count("<CCH Čtení Skupiny[3]") >= 2);
}

void GatewayE2E::lineStatusSnapshotAndPollTimeout()
{
    Setup s;
    QVERIFY(s.start());
    TcpClient c;
    QVERIFY(c.Connect(s.port));
    // No snapshot yet: forwarded to the exchange; the line-status poll starts.
    const QByteArray first = c.Ask(hex("00 16 05"));
    QVERIFY(first.startsWith(hex("00 16")));
    QVERIFY(s.sim.WaitFor("RX", 3000) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(s.rxCount("00 16 00") >= 2, 3000);
    // A request right after a poll answer is served from the snapshot (record 0 for any index).
    const int mark = s.sim.Lines().size();
    const int seen = s.agent.Count("<CCH Stav linek");
    for (int i = 0; i < 40 && s.agent.Count("<CCH Stav linek") == seen; ++i) {
        const QByteArray a = c.Ask(hex("00 16 05"));
        QVERIFY(a.startsWith(hex("00 16 00")) || a.startsWith(hex("00 16 05")));
        s.agent.Pump(30);
    }
    QVERIFY(s.agent.Count("<CCH Stav linek") > seen);
    // ANTimeOut 1 s after the last request the poll stops.
    s.agent.Pump(1600);
    const int quiet = s.sim.Lines().size();
    s.agent.Pump(700);
    QCOMPARE(s.rxCount("00 16 00", quiet), 0);
    QVERIFY(s.rxCount("00 16 00", mark) > 0);
}

void GatewayE2E::disconnectedClientAnswerIsStillCached()
{
    Setup s;
    QVERIFY(s.start());
    QVERIFY(s.sim.Command("delay 300"));
    {
        TcpClient gone;
        QVERIFY(gone.Connect(s.port));
        gone.Send(hex("00 0C 01"));
        gone.Close();
    }
    // The answer arrives after the client has gone; it is still cached.
    QVERIFY(!s.simAnswer("00 0C 01").isEmpty());
    s.agent.Pump(300);
    QVERIFY(s.sim.Command("delay 0"));
    const int mark = s.sim.Lines().size();
    TcpClient next;
    QVERIFY(next.Connect(s.port));
    const QByteArray a = next.Ask(hex("00 0C 01"));
    QCOMPARE(a, s.simAnswer("00 0C 01"));
    QCOMPARE(s.rxCount("00 0C 01", mark), 0);
    QCOMPARE(s.agent.Process().state(), QProcess::Running);
}

void GatewayE2E::queuedRequestsOfOneClientReplaceEachOther()
{
    Setup s;
    QVERIFY(s.start({"Timer/MaxTick=150"}));  // the engine waits 3 s: long enough on a loaded machine
    QVERIFY(s.sim.Command("delay 1500"));  // the window in which the second packet must replace the first
    TcpClient a, b;
    QVERIFY(a.Connect(s.port));
    QVERIFY(b.Connect(s.port));
    // Each packet must reach the agent as a read event of its own before the next is sent.
    const auto sendAndWaitForAgent = [&s](TcpClient& c, const char* bytes, const char* described) {
        const int from = s.agent.Lines().size();
        c.Send(hex(bytes));
        return s.agent.WaitFor(described, 5000, from) >= 0;
    };
    QVERIFY(sendAndWaitForAgent(a, "00 14 01", "Čtení COProvoz[1]"));  // goes out at once; the engine then waits
    QTRY_VERIFY_WITH_TIMEOUT(s.rxCount("00 14 01") == 1, 3000);
    QVERIFY(sendAndWaitForAgent(b, "00 15 01", "Čtení Blok služeb[1]"));
    QVERIFY(sendAndWaitForAgent(b, "00 15 02", "Čtení Blok služeb[2]"));  // replaces the waiting 00 15 01
    QVERIFY(!a.Receive(3000).isEmpty());
    const QByteArray bAnswer = b.Receive(3000);
    QVERIFY2(bAnswer.startsWith(hex("00 15 02")), bAnswer.toHex(' ').constData());
    s.sim.Pump(300);
    QCOMPARE(s.rxCount("00 15 01"), 0);
    QCOMPARE(s.rxCount("00 15 02"), 1);
}

void GatewayE2E::writesAreNeverCached()
{
    Setup s;
    QVERIFY(s.start());
    TcpClient c;
    QVERIFY(c.Connect(s.port));
    QVERIFY(!c.Ask(hex("01 0B 07 11 22")).isEmpty());
    QVERIFY(!c.Ask(hex("01 0B 07 11 22")).isEmpty());
    QCOMPARE(s.rxCount("01 0B 07 11 22"), 2);
}

void GatewayE2E::badClientsDoNotHurtOthers()
{
    Setup s;
    QVERIFY(s.start());
    {
        TcpClient garbage;
        QVERIFY(garbage.Connect(s.port));
        QByteArray junk(64 * 1024, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919) & 0xFF);
        garbage.Send(junk);
        TcpClient quick;
        QVERIFY(quick.Connect(s.port));
        quick.Close();
        TcpClient neverReads;
        QVERIFY(neverReads.Connect(s.port));
        neverReads.Send(hex("00 0B 04"));
        std::vector<std::unique_ptr<QTcpSocket>> flood;
        for (int i = 0; i < 200; ++i) {
            flood.push_back(std::make_unique<QTcpSocket>());
            flood.back()->connectToHost("127.0.0.1", s.port);
        }
        for (auto& f : flood)
            f->waitForConnected(2000);
        s.agent.Pump(500);
        for (auto& f : flood)
            f->abort();
        s.agent.Pump(300);
    }
    QVERIFY(s.agent.Count("!Err Příliš dlouhý požadavek") >= 1);
    TcpClient good;
    QVERIFY(good.Connect(s.port));
    const QByteArray a = good.Ask(hex("00 0B 05"), 5000);
    QVERIFY(a.startsWith(hex("00 0B 05")));
    QCOMPARE(s.agent.Process().state(), QProcess::Running);
    QVERIFY(s.agent.Terminate());
}

void GatewayE2E::commandLineClientDescribesTheAnswer()
{
    Setup s;
    QVERIFY(s.start());
    QProcess client;
    client.start(ORVEX_BIN_DIR "/orvex-client", {"--port", QString::number(s.port), "00", "0B", "03"});
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 0);
    const QString out = QString::fromUtf8(client.readAllStandardOutput());
    const QString answer = QString::fromLatin1(s.simAnswer("00 0B 03").toHex(' ').toUpper());
    QVERIFY2(out.contains("request: 00 0B 03  (Čtení Skupiny[3])"), qPrintable(out));
    QVERIFY2(out.contains("answer:  " + answer + "  (Skupiny[3])"), qPrintable(out));
}

QTEST_GUILESS_MAIN(GatewayE2E)
#include "test_gateway.moc"
