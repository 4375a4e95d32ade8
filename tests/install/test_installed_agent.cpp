// The agent as `cmake --install` lays it out, run from a temporary prefix with no
// LD_LIBRARY_PATH: it finds its mail library relative to itself, serves clients, and tells
// a service manager (a notify socket of the test's own) how it is doing.
#include "MailTestSupport.h"
#include "Processes.h"
#include "TestIni.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orvex::test;

namespace {

// The installed tree, once per test program.
struct Installed {
    QTemporaryDir Tmp;
    QString Prefix() const { return Tmp.filePath("prefix"); }
    QString Bin(const QString& program) const { return Prefix() + "/bin/" + program; }
    QString MailLibrary() const { return Prefix() + "/" ORVEX_MAIL_LIBDIR "/libagentqx.so"; }

    QString Install() { return InstallInto(Prefix()); }
    static QString InstallInto(const QString& prefix)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(ORVEX_CMAKE_COMMAND), {"--install", QStringLiteral(ORVEX_BUILD_DIR), "--prefix", prefix});
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QString::fromUtf8(p.readAll()) + p.errorString();
        return QString();
    }
};

// The environment of an installed program: no library path, nothing of a service manager
// unless the test adds it.
QProcessEnvironment CleanEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LD_LIBRARY_PATH", "LD_PRELOAD", "NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// The installed agent, headless, in a directory of its own.
struct InstalledAgent : LineProcess {
    QTemporaryDir Dir;
    bool Start(const QString& program, const QString& iniText, const QProcessEnvironment& env)
    {
        QFile f(Dir.filePath("Agent.ini"));
        if (!f.open(QIODevice::WriteOnly) || f.write(iniText.toUtf8()) <= 0)
            return false;
        f.close();
        Process().setProcessEnvironment(env);
        return LineProcess::Start(program, {"--headless", "--config", Dir.filePath("Agent.ini")}, Dir.path());
    }
};

// A notify socket as systemd has one: a unix datagram socket, each message a datagram.
class NotifySocket {
public:
    ~NotifySocket()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    bool Bind(const QString& path)
    {
        Path = path;
        Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        if (Fd < 0 || p.size() >= qsizetype(sizeof a.sun_path))
            return false;
        std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
        return ::bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    struct Message {
        qint64 AtMs;
        QString Text;
    };
    // Takes every datagram waiting, stamped with the clock's time.
    void Collect(const QElapsedTimer& clock)
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(Fd, buf, sizeof buf, 0);
            if (n < 0)
                return;
            Messages.push_back({clock.elapsed(), QString::fromUtf8(buf, int(n))});
        }
    }
    // The messages with a line that starts with the text ("READY=1", "STATUS=Ústředna").
    QList<Message> With(const QString& assignment) const
    {
        QList<Message> out;
        for (const Message& m : Messages)
            for (const QString& line : m.Text.split('\n'))
                if (line.startsWith(assignment))
                    out << m;
        return out;
    }
    QString Path;
    QList<Message> Messages;

private:
    int Fd = -1;
};

// The keys the sources read from Agent.ini with their defaults as the example writes
// them: ReadString/ReadInteger/ReadBool(section, "Key", default). A default that is not a
// literal (computed at run time) maps to a null string.
QMap<QString, QString> KeysReadBySources()
{
    static const QRegularExpression call(
        QStringLiteral("Read(String|Integer|Bool)\\(\\s*(?:QStringLiteral\\(\"[^\"]*\"\\)|[^,()]+),\\s*QStringLiteral\\(\"([^\"]+)\"\\)\\s*,\\s*(QStringLiteral\\(\"([^\"]*)\"\\)|QString\\(\\)|[^,()]+)\\s*\\)"));
    QMap<QString, QString> keys;
    QDirIterator it(QStringLiteral(ORVEX_SOURCE_DIR "/src"), {"*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = call.globalMatch(text); m.hasNext();) {
            const auto match = m.next();
            const QString def = match.captured(3).trimmed();
            QString value;
            if (def.startsWith("QStringLiteral"))
                value = match.captured(4);
            else if (def == "QString()")
                value = QString("");
            else if (def == "true" || def == "false")
                value = def == "true" ? "1" : "0";
            else if (QRegularExpression(QStringLiteral("^-?[0-9]+$")).match(def).hasMatch())
                value = def;
            keys.insert(match.captured(2), value);
        }
    }
    return keys;
}

// "Key=value" of a line that sets or (commented out) documents a key of the example.
QMap<QString, QString> KeysOfExample(const QString& path)
{
    QMap<QString, QString> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    static const QRegularExpression line(QStringLiteral("^;?([A-Za-z0-9_/]+)=(.*)$"));
    for (const QString& l : QString::fromUtf8(f.readAll()).split('\n')) {
        const auto m = line.match(l.trimmed());
        if (m.hasMatch() && !keys.contains(m.captured(1)))
            keys.insert(m.captured(1), m.captured(2));
    }
    return keys;
}

QString SimState(Simulator& sim)
{
    const int from = int(sim.Lines().size());
    sim.Send("status");
    const int i = sim.WaitFor("STATE ", 3000, from);
    return i < 0 ? QString() : sim.Lines().at(i);
}

}  // namespace

class InstalledAgentTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void layout();
    void exampleDocumentsEveryKey();
    void unitVerifies();
    void runsWithoutLibraryPath();
    void notifiesServiceManager_data();
    void notifiesServiceManager();
    void notifiesClosedPort();

private:
    Installed Tree;
};

void InstalledAgentTest::initTestCase()
{
    QVERIFY(Tree.Tmp.isValid());
    const QString error = Tree.Install();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void InstalledAgentTest::layout()
{
    const QString p = Tree.Prefix();
    for (const QString& f : {Tree.Bin("orvex-agent"), Tree.Bin("orvex-exchange-sim"), Tree.Bin("orvex-client")})
        QVERIFY2(QFileInfo(f).isExecutable(), qPrintable(f));
    QVERIFY2(QFileInfo::exists(Tree.MailLibrary()), qPrintable(Tree.MailLibrary()));
    // The test variants of the library stay in the build tree.
    QVERIFY(QDir(QFileInfo(Tree.MailLibrary()).path()).entryList(QDir::Files) == QStringList{"libagentqx.so"});
    for (const char* f : {"share/doc/orvex-agent/examples/Agent.ini", "share/doc/orvex-agent/examples/agentqx.ini",
                             "etc/orvex-agent/Agent.ini", "etc/orvex-agent/agentqx.ini",
                             "share/man/man1/orvex-agent.1", "share/man/man1/orvex-client.1",
                             "share/man/man1/orvex-exchange-sim.1"})
        QVERIFY2(QFileInfo::exists(p + "/" + f), f);

    QFile unit(p + "/lib/systemd/system/orvex-agent.service");
    QVERIFY(unit.open(QIODevice::ReadOnly));
    const QString u = QString::fromUtf8(unit.readAll());
    for (const char* line : {"Type=notify", "WatchdogSec=30", "DynamicUser=yes", "SupplementaryGroups=dialout",
                                "StateDirectory=orvex-agent", "ConfigurationDirectory=orvex-agent",
                                "Restart=on-failure", "--headless --config /etc/orvex-agent/Agent.ini"})
        QVERIFY2(u.contains(QLatin1String(line)), line);

    QProcess version;
    version.setProcessEnvironment(CleanEnvironment());
    version.start(Tree.Bin("orvex-agent"), {"--version"});
    QVERIFY(version.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(version.readAllStandardOutput()).trimmed(), QString("orvex-agent 1.75"));
}

void InstalledAgentTest::exampleDocumentsEveryKey()
{
    const QMap<QString, QString> read = KeysReadBySources();
    QVERIFY2(read.size() >= 30, qPrintable(QStringList(read.keys()).join(' ')));
    const QMap<QString, QString> example = KeysOfExample(Tree.Prefix() + "/share/doc/orvex-agent/examples/Agent.ini");
    QString readme;
    QFile r(QStringLiteral(ORVEX_SOURCE_DIR "/README.md"));
    if (r.open(QIODevice::ReadOnly))
        readme = QString::fromUtf8(r.readAll());
    for (auto it = read.begin(); it != read.end(); ++it) {
        QVERIFY2(example.contains(it.key()), qPrintable("example Agent.ini lacks " + it.key()));
        // The service's example points the mail library at its configuration; every other
        // key stands there with the default the agent applies.
        if (!it.value().isNull() && it.key() != "CestaKeKonfiguraciMail602")
            QVERIFY2(example.value(it.key()) == it.value(),
                     qPrintable(it.key() + ": example " + example.value(it.key()) + ", agent " + it.value()));
        QVERIFY2(readme.contains("`" + it.key() + "`"), qPrintable("README lacks " + it.key()));
    }
}

void InstalledAgentTest::unitVerifies()
{
    // systemd-analyze checks the unit against a root holding the system's units and the
    // agent installed at the prefix the unit names; every complaint is printed.
    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (analyze.isEmpty() || !QFileInfo::exists("/lib/systemd/system/sysinit.target"))
        QSKIP("systemd-analyze and the system's units are not here");
    QTemporaryDir root;
    const QString error = Installed::InstallInto(root.path() + ORVEX_INSTALL_PREFIX);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString unitDir = root.path() + "/lib/systemd/system";
    QVERIFY(QDir().mkpath(unitDir));
    QProcess copy;
    copy.start("cp", {"-a", "/lib/systemd/system/.", unitDir});
    QVERIFY(copy.waitForFinished(30000) && copy.exitCode() == 0);
    QVERIFY(QFile::copy(root.path() + ORVEX_INSTALL_PREFIX "/lib/systemd/system/orvex-agent.service",
                        unitDir + "/orvex-agent.service"));

    QProcess verify;
    QProcessEnvironment env = CleanEnvironment();
    env.insert("MANPATH", root.path() + ORVEX_INSTALL_PREFIX "/share/man");
    verify.setProcessEnvironment(env);
    verify.setProcessChannelMode(QProcess::MergedChannels);
    verify.start(analyze, {"verify", "--root=" + root.path(), "/lib/systemd/system/orvex-agent.service"});
    QVERIFY(verify.waitForFinished(60000));
    const QString out = QString::fromUtf8(verify.readAll()).trimmed();
    QVERIFY2(verify.exitCode() == 0 && out.isEmpty(), qPrintable(out));
}

void InstalledAgentTest::runsWithoutLibraryPath()
{
    QTemporaryDir work;
    const QString box = work.filePath("box21");
    QVERIFY(mailtest::MakeMaildir(box));
    QVERIFY(mailtest::DropMessage(box, "voice1", "voice"));
    mailtest::AgeMaildir(box);
    mailtest::AgentqxConfig lib;
    lib.Outbox = work.filePath("outbox");
    lib.Boxes = {{"Recepce", "21", box}};
    QVERIFY(mailtest::WriteConfig(work.filePath("agentqx.ini"), lib));

    Simulator sim;
    QVERIFY(sim.Start());
    const quint16 port = FreePort();
    const QString ini = TestIni(sim.Device(), port,
                                {"M602/CestaKeKonfiguraciMail602=" + work.filePath("agentqx.ini"),
                                 "M602/CestaKPracovnimuAdresari=" + work.path(), "Timer/MSGInterval=150"});
    {
        InstalledAgent agent;
        QVERIFY(agent.Start(Tree.Bin("orvex-agent"), ini, CleanEnvironment()));
        QVERIFY2(agent.WaitFor("-OK- Inicializace Mail602", 15000) >= 0, qPrintable(agent.Lines().join('\n')));
        QVERIFY(agent.WaitFor("Načtena čísla linek", 10000) >= 0);

        QProcess client;
        client.setProcessEnvironment(CleanEnvironment());
        client.start(Tree.Bin("orvex-client"), {"--port", QString::number(port), "00", "0B", "03"});
        QVERIFY(client.waitForStarted(5000));
        while (client.state() != QProcess::NotRunning)
            agent.Pump(20);  // the agent's output keeps flowing while the client waits
        const QString answer = QString::fromUtf8(client.readAllStandardOutput());
        QVERIFY2(client.exitCode() == 0 && answer.contains(QRegularExpression("^answer:  00 ", QRegularExpression::MultilineOption)),
                 qPrintable(answer + client.readAllStandardError()));

        // The installed library reads the Maildir: line 21 shows one voice message.
        QTRY_VERIFY2_WITH_TIMEOUT(SimState(sim).contains("counters=00010000"), qPrintable(SimState(sim)), 10000);
        QVERIFY(agent.Terminate());
        QCOMPARE(agent.Process().exitCode(), 0);
    }

    // Without the installed library nothing else is found: the one it used was that one.
    QVERIFY(QFile::remove(Tree.MailLibrary()));
    InstalledAgent again;
    QVERIFY(again.Start(Tree.Bin("orvex-agent"), ini, CleanEnvironment()));
    QVERIFY(again.WaitFor("!Err Chyba při inicializaci Mail602", 15000) >= 0);
    QVERIFY(again.Terminate());
    QVERIFY(QFile::copy(ORVEX_LIB_DIR "/libagentqx.so", Tree.MailLibrary()));
}

void InstalledAgentTest::notifiesServiceManager_data()
{
    QTest::addColumn<int>("watchdogMs");
    QTest::newRow("watchdog 1 s") << 1000;
    QTest::newRow("no watchdog") << 0;
}

void InstalledAgentTest::notifiesServiceManager()
{
#ifndef ORVEX_HAVE_SYSTEMD
    QSKIP("built without libsystemd: the agent tells no service manager anything");
#endif
    QFETCH(int, watchdogMs);
    QTemporaryDir dir;
    NotifySocket manager;
    QVERIFY(manager.Bind(dir.filePath("notify")));
    QProcessEnvironment env = CleanEnvironment();
    env.insert("NOTIFY_SOCKET", manager.Path);
    if (watchdogMs > 0)
        env.insert("WATCHDOG_USEC", QString::number(qint64(watchdogMs) * 1000));

    Simulator sim;
    QVERIFY(sim.Start());
    InstalledAgent agent;
    QElapsedTimer clock;
    clock.start();
    // Accounting polls keep the line busy, so a silent exchange is noticed.
    const QStringList polls{"Set/ReadUct=1", "Timer/URInterval=100", "Timer/URIntervalBezDat=100"};
    QVERIFY(agent.Start(Tree.Bin("orvex-agent"), TestIni(sim.Device(), FreePort(), polls), env));
    const auto waitFor = [&](const QString& assignment, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (manager.With(assignment).isEmpty() && t.elapsed() < timeoutMs) {
            agent.Pump(10);
            manager.Collect(clock);
        }
        return !manager.With(assignment).isEmpty();
    };

    // Ready once start-up has finished: the port is open, the exchange not asked yet.
    QVERIFY2(waitFor("READY=1", 15000), qPrintable(agent.Lines().join('\n')));
    const NotifySocket::Message ready = manager.With("READY=1").first();
    QVERIFY2(ready.Text.contains("STATUS=Čekání na ústřednu na portu " + sim.Device()), qPrintable(ready.Text));
    agent.Pump(100);
    // The last start-up line (no mail library configured here) was out before READY.
    QVERIFY2(agent.Count("Start Orvex Agent") == 1 && agent.Count("!Err Chyba při inicializaci Mail602") == 1,
             qPrintable(agent.Lines().join('\n')));
    QVERIFY(waitFor("STATUS=Ústředna odpovídá", 10000));

    // Watchdog pings from the event loop at half the period, for three periods.
    const qint64 from = clock.elapsed();
    while (clock.elapsed() - from < 3000) {
        agent.Pump(10);
        manager.Collect(clock);
    }
    QList<qint64> pings;
    for (const auto& m : manager.With("WATCHDOG=1"))
        pings << m.AtMs;
    if (watchdogMs == 0) {
        QVERIFY(pings.isEmpty());
    } else {
        QVERIFY2(pings.size() >= 4 && pings.size() <= 8, qPrintable(QString::number(pings.size())));
        qint64 longest = pings.first() - ready.AtMs;
        for (int i = 1; i < pings.size(); ++i)
            longest = qMax(longest, pings[i] - pings[i - 1]);
        const double mean = double(pings.last() - pings.first()) / (pings.size() - 1);
        qInfo("watchdog period %d ms: %lld pings, mean gap %.0f ms, longest %lld ms", watchdogMs,
              static_cast<long long>(pings.size()), mean, static_cast<long long>(longest));
        QVERIFY2(mean >= 0.4 * watchdogMs && mean <= 0.65 * watchdogMs, qPrintable(QString::number(mean)));
        QVERIFY2(longest < watchdogMs, qPrintable(QString::number(longest)));
    }

    // The link state follows the exchange: declared unavailable, then answering again.
    QVERIFY(sim.Command("silent on"));
    QVERIFY(waitFor("STATUS=Ústředna není dostupná na portu " + sim.Device(), 15000));
    const int answering = int(manager.With("STATUS=Ústředna odpovídá").size());
    QVERIFY(sim.Command("silent off"));
    QElapsedTimer t;
    t.start();
    while (manager.With("STATUS=Ústředna odpovídá").size() == answering && t.elapsed() < 15000) {
        agent.Pump(10);
        manager.Collect(clock);
    }
    QCOMPARE(manager.With("STATUS=Ústředna odpovídá").size(), answering + 1);

    // SIGTERM: STOPPING=1, then the orderly end; no ping after it.
    QVERIFY(agent.Terminate());
    manager.Collect(clock);
    QCOMPARE(agent.Process().exitCode(), 0);
    QCOMPARE(manager.With("STOPPING=1").size(), 1);
    const qint64 stopping = manager.With("STOPPING=1").first().AtMs;
    for (const auto& m : manager.With("WATCHDOG=1"))
        QVERIFY(m.AtMs <= stopping);
    QVERIFY(manager.Messages.last().Text == "STOPPING=1");
}

void InstalledAgentTest::notifiesClosedPort()
{
#ifndef ORVEX_HAVE_SYSTEMD
    QSKIP("built without libsystemd: the agent tells no service manager anything");
#endif
    // The configuration as installed names a port this machine may not have: the agent
    // still comes up (and says so), it only cannot reach the exchange.
    QTemporaryDir dir;
    NotifySocket manager;
    QVERIFY(manager.Bind(dir.filePath("notify")));
    QProcessEnvironment env = CleanEnvironment();
    env.insert("NOTIFY_SOCKET", manager.Path);
    InstalledAgent agent;
    QElapsedTimer clock;
    clock.start();
    const QString port = dir.filePath("no-such-device") + ":19200,N,8,1";
    QVERIFY(agent.Start(Tree.Bin("orvex-agent"), BuildIni({"Set/Port=" + port, "Set/IPPort=0"}), env));
    while (manager.With("READY=1").isEmpty() && clock.elapsed() < 15000) {
        agent.Pump(10);
        manager.Collect(clock);
    }
    QVERIFY2(!manager.With("READY=1").isEmpty(), qPrintable(agent.Lines().join('\n')));
    QVERIFY2(manager.With("READY=1").first().Text.contains("STATUS=Sériový port " + port + " není otevřen"),
             qPrintable(manager.With("READY=1").first().Text));
    QVERIFY(agent.Terminate());
    manager.Collect(clock);
    QCOMPARE(agent.Process().exitCode(), 0);
    QCOMPARE(manager.Messages.last().Text, QString("STOPPING=1"));
}

QTEST_GUILESS_MAIN(InstalledAgentTest)
#include "test_installed_agent.moc"
