// Call accounting from the simulator into the accounting file and out to TCP clients.
#include "Processes.h"
#include "TcpClient.h"

#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace orvex::test;

namespace {
QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Asks with command 4 until only the single 0x00 comes back; returns the lines received.
QList<QByteArray> fetchAll(TcpClient& c)
{
    QList<QByteArray> lines;
    for (int i = 0; i < 50; ++i) {
        const QByteArray a = c.Ask(QByteArray(1, '\x04'));
        if (a.size() <= 1)
            break;
        lines << a.mid(1, a.size() - 2);  // 0x00 + line, then 0x00
    }
    return lines;
}
}  // namespace

class AccountingE2E : public QObject {
    Q_OBJECT
private slots:
    void linesReachFileAndClientsOnce();
    void lockedFileIsReadAgainWithoutDuplicates();
    void servingOffAnswersOnlyTheEndByte();
};

void AccountingE2E::linesReachFileAndClientsOnce()
{
    AgentOnSimulator s;
    QVERIFY(s.start({"Set/ReadUct=1", "Set/SendUct=1", "Timer/URInterval=40", "Timer/URIntervalBezDat=80"}));
    Simulator& sim = s.sim;
    Agent& agent = s.agent;
    const quint16 port = s.port;
    QVERIFY(sim.Command("uct 11.12.26 10:01 21 0601234567 00:01:05"));
    QVERIFY(sim.Command("uct 11.12.26 10:02 22 0607654321 00:00:12"));
    const QString file = agent.Dir() + "/DATA.NEW";
    QTRY_COMPARE_WITH_TIMEOUT(readFile(file), QByteArray("11.12.26 10:01 21 0601234567 00:01:05\r\n"
                                                         "11.12.26 10:02 22 0607654321 00:00:12\r\n"), 5000);
    QVERIFY(agent.Count("<COM 11.12.26 10:01 21 0601234567 00:01:05") == 1);

    TcpClient c;
    QVERIFY(c.Connect(port));
    const QList<QByteArray> got = fetchAll(c);
    QCOMPARE(got, (QList<QByteArray>{"11.12.26 10:01 21 0601234567 00:01:05", "11.12.26 10:02 22 0607654321 00:00:12"}));
    // Command 5 gives the last line again without moving on; then 4 finds nothing new.
    QCOMPARE(c.Ask(QByteArray(1, '\x05')), QByteArray("\0" "11.12.26 10:02 22 0607654321 00:00:12" "\0", 39));
    QCOMPARE(c.Ask(QByteArray(1, '\x04')), QByteArray(1, '\0'));
    // Client commands 4 and 5 are logged as client packets but never reach the exchange.
    agent.Pump(200);
    QVERIFY(agent.Count("<IP:") >= 3);
    QCOMPARE(agent.Count(">COM Čtení účtu"), 0);
    QVERIFY(agent.Terminate());
}

void AccountingE2E::lockedFileIsReadAgainWithoutDuplicates()
{
    AgentOnSimulator s;
    QVERIFY(s.start({"Set/ReadUct=1", "Set/SendUct=1", "Timer/URInterval=40", "Timer/URIntervalBezDat=80"}));
    Simulator& sim = s.sim;
    Agent& agent = s.agent;
    const quint16 port = s.port;
    const QString file = agent.Dir() + "/DATA.NEW";
    // This test process holds the file locked, as another program would.
    const int held = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT, 0644);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX), 0);
    const int mark = sim.Lines().size();
    QVERIFY(sim.Command("uct LINE-A"));
    QVERIFY(sim.Command("uct LINE-B"));
    // The append fails while the file is held: the exchange is asked for the same line again.
    QVERIFY(sim.WaitFor("RX", 3000, mark) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(sim.Received(mark).filter(QRegularExpression(" 05$")).size() >= 2, 5000);
    QCOMPARE(readFile(file), QByteArray());
    ::close(held);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(file), QByteArray("LINE-A\r\nLINE-B\r\n"), 5000);
    sim.Pump(300);
    QCOMPARE(readFile(file), QByteArray("LINE-A\r\nLINE-B\r\n"));
    TcpClient c;
    QVERIFY(c.Connect(port));
    QCOMPARE(fetchAll(c), (QList<QByteArray>{"LINE-A", "LINE-B"}));
    QVERIFY(agent.Terminate());
}

void AccountingE2E::servingOffAnswersOnlyTheEndByte()
{
    AgentOnSimulator s;
    QVERIFY(s.start({"Set/ReadUct=1", "Set/SendUct=0", "Timer/URInterval=40"}));
    Simulator& sim = s.sim;
    Agent& agent = s.agent;
    const quint16 port = s.port;
    QVERIFY(sim.Command("uct SOME-LINE"));
    QTRY_VERIFY_WITH_TIMEOUT(readFile(agent.Dir() + "/DATA.NEW") == "SOME-LINE\r\n", 5000);
    TcpClient c;
    QVERIFY(c.Connect(port));
    QCOMPARE(c.Ask(QByteArray(1, '\x04')), QByteArray(1, '\0'));
    QCOMPARE(c.Ask(QByteArray(1, '\x05')), QByteArray(1, '\0'));
    sim.Pump(200);
    // Only the agent's own polls reach the line: a bare 04 with its own sequence, never a client packet.
    QCOMPARE(agent.Count(">COM Čtení účtu"), 0);
    QVERIFY(agent.Terminate());
}

QTEST_GUILESS_MAIN(AccountingE2E)
#include "test_accounting.moc"
