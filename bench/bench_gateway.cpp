// Throughput and latency of answers served from the response cache, against a minimal
// loopback echo server as the ceiling, in the same run.
//   bench_gateway [--seconds S]
// Starts the exchange simulator and the agent (both beside this program), warms the cache
// with one read, then drives 1, 10 and 100 concurrent clients that each send the read and
// wait for its answer, again and again.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QByteArray Request = QByteArray::fromHex("000001");  // read of Global[1]: kept for an hour

struct Result {
    double perSecond = 0;
    double p50us = 0;
    double p99us = 0;
    long count = 0;
};

// N clients in one event loop, each with one request in flight.
Result drive(quint16 port, int clients, int millis)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<qint64> sentAt(static_cast<size_t>(clients));
    std::vector<qint64> latencies;
    latencies.reserve(1 << 20);
    QElapsedTimer clock;
    clock.start();
    bool running = true;
    for (int i = 0; i < clients; ++i) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!s->waitForConnected(3000)) {
            std::fprintf(stderr, "cannot connect client %d\n", i);
            return {};
        }
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QTcpSocket* raw = s.get();
        QObject::connect(raw, &QTcpSocket::readyRead, raw, [&, raw, i] {
            raw->readAll();
            latencies.push_back(clock.nsecsElapsed() - sentAt[static_cast<size_t>(i)]);
            if (!running)
                return;
            sentAt[static_cast<size_t>(i)] = clock.nsecsElapsed();
            raw->write(Request);
        });
        sockets.push_back(std::move(s));
    }
    const qint64 start = clock.nsecsElapsed();
    for (int i = 0; i < clients; ++i) {
        sentAt[static_cast<size_t>(i)] = clock.nsecsElapsed();
        sockets[static_cast<size_t>(i)]->write(Request);
    }
    QTimer::singleShot(millis, [&] { running = false; });
    while (running)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = (clock.nsecsElapsed() - start) / 1e9;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    Result r;
    r.count = static_cast<long>(latencies.size());
    r.perSecond = r.count / seconds;
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        r.p50us = latencies[latencies.size() / 2] / 1000.0;
        r.p99us = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)] / 1000.0;
    }
    return r;
}

int runEchoServer(quint16 port)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, port))
        return 1;
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->write(s->readAll()); });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    std::printf("ECHO %u\n", server.serverPort());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QString readLineStartingWith(QProcess& p, const QByteArray& prefix, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (p.canReadLine()) {
            const QByteArray line = p.readLine().trimmed();
            if (line.startsWith(prefix))
                return QString::fromUtf8(line.mid(prefix.size()));
            continue;
        }
        p.waitForReadyRead(100);
    }
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--echo-server"))
        return runEchoServer(args[2].toUShort());
    int seconds = 3;
    if (const int i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = args[i + 1].toInt();
    const QString bin = QCoreApplication::applicationDirPath();

    QProcess sim;
    sim.start(bin + QStringLiteral("/orvex-exchange-sim"), {});
    const QString pty = readLineStartingWith(sim, "PTY ", 5000);
    if (pty.isEmpty()) {
        std::fprintf(stderr, "the exchange simulator did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    const quint16 agentPort = freePort();
    QFile ini(dir.filePath(QStringLiteral("Agent.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write(QStringLiteral("[Set]\nPort=%1:19200,N,8,1\nIPPort=%2\nReadUct=0\nMaxCache=110\n"
                             "[Log]\nCom_In=0\nCom_PureIn=0\nTCP/IP_In=0\nTCP/IP_Out=0\n")
                  .arg(pty)
                  .arg(agentPort)
                  .toUtf8());
    ini.close();
    QProcess agent;
    agent.setWorkingDirectory(dir.path());
    agent.start(bin + QStringLiteral("/orvex-agent"), {QStringLiteral("--headless"), QStringLiteral("--config"), ini.fileName()});
    if (readLineStartingWith(agent, "", 5000).isEmpty()) {
        std::fprintf(stderr, "the agent did not start\n");
        return 1;
    }
    // Warm the cache: the first read goes to the exchange.
    {
        QTcpSocket warm;
        for (int i = 0; i < 50 && warm.state() != QAbstractSocket::ConnectedState; ++i) {
            warm.connectToHost(QStringLiteral("127.0.0.1"), agentPort);
            if (!warm.waitForConnected(200)) {
                warm.abort();
                agent.waitForReadyRead(100);  // the agent is still starting
            }
        }
        QByteArray got;
        for (int i = 0; i < 30 && got.isEmpty(); ++i) {
            warm.write(Request);
            warm.waitForReadyRead(500);
            got = warm.readAll();
        }
        if (got.isEmpty()) {
            agent.waitForReadyRead(500);
            std::fprintf(stderr, "no answer from the agent:\n%s\n", agent.readAll().constData());
            return 1;
        }
    }

    QProcess echo;
    echo.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--echo-server"), QString::number(freePort())});
    const quint16 echoPort = readLineStartingWith(echo, "ECHO ", 5000).toUShort();

    std::printf("%-8s %12s %10s %10s   %12s %10s %10s   %7s\n", "clients", "agent req/s", "p50 us", "p99 us", "echo req/s",
                "p50 us", "p99 us", "ratio");
    for (int clients : {1, 10, 100}) {
        const Result a = drive(agentPort, clients, seconds * 1000);
        const Result e = drive(echoPort, clients, seconds * 1000);
        std::printf("%-8d %12.0f %10.1f %10.1f   %12.0f %10.1f %10.1f   %6.0f%%\n", clients, a.perSecond, a.p50us, a.p99us,
                    e.perSecond, e.p50us, e.p99us, e.perSecond > 0 ? 100.0 * a.perSecond / e.perSecond : 0.0);
        std::fflush(stdout);
    }
    echo.kill();
    echo.waitForFinished(2000);
    agent.terminate();
    agent.waitForFinished(5000);
    sim.kill();
    sim.waitForFinished(2000);
    return 0;
}
