// The real programs under test: the agent (headless) and the exchange simulator, each a
// child process whose output lines the test reads as they come.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

namespace orvex::test {

// A child process whose standard output is collected line by line.
class LineProcess {
public:
    LineProcess();
    ~LineProcess();
    bool Start(const QString& program, const QStringList& args, const QString& workDir = QString());
    // Waits until a line (since `from`) contains the text; returns its index or -1.
    int WaitFor(const QString& text, int timeoutMs = 5000, int from = 0);
    int WaitForMatch(const QRegularExpression& re, int timeoutMs = 5000, int from = 0);
    // Runs the event loop for ms milliseconds, collecting output.
    void Pump(int ms);
    int Count(const QString& text, int from = 0) const;
    QStringList Lines() const { return Out; }
    QString StdErr() const { return Err; }
    void Send(const QString& line);
    // SIGTERM, then waits for the exit; false when it did not end in time.
    bool Terminate(int timeoutMs = 10000);
    QProcess& Process() { return Proc; }

private:
    void collect();
    QProcess Proc;
    QByteArray Partial;
    QStringList Out;
    QString Err;
};

// orvex-exchange-sim on a pseudo-terminal of its own.
class Simulator : public LineProcess {
public:
    bool Start(const QStringList& extraArgs = {});
    QString Device() const { return Pty; }
    // Sends a command on standard input and waits until the simulator has taken it ("OK ...").
    bool Command(const QString& line, int timeoutMs = 5000);
    // Payloads ("01 0D" ...) of the frames the simulator received, in order, since line `from`.
    QStringList Received(int from = 0) const;

private:
    QString Pty;
};

// orvex-agent --headless with an Agent.ini written into a temporary directory.
class Agent : public LineProcess {
public:
    // iniText is the whole Agent.ini; the agent runs in the temporary directory.
    bool Start(const QString& iniText, const QStringList& extraArgs = {});
    QString Dir() const { return Tmp.path(); }
    QString ConfigPath() const { return Tmp.filePath("Agent.ini"); }
    // Log lines without their time stamps.
    QStringList Entries(int from = 0) const;

private:
    QTemporaryDir Tmp;
};

// A free TCP port on the loopback interface.
quint16 FreePort();

// A test Agent.ini for an agent on the simulator: short intervals, TCP on `port`;
// keys ("Section/Key=Value") override the base.
QString TestIni(const QString& device, quint16 port, const QStringList& keys = {});

// The agent started on a fresh simulator, ready once the exchange's line numbers are loaded.
struct AgentOnSimulator {
    Simulator sim;
    Agent agent;
    quint16 port = FreePort();
    bool start(const QStringList& keys = {})
    {
        return sim.Start() && agent.Start(TestIni(sim.Device(), port, keys))
               && agent.WaitFor(QStringLiteral("Načtena čísla linek"), 10000) >= 0;
    }
};

}  // namespace orvex::test
