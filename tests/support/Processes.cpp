#include "Processes.h"

#include "TestIni.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <csignal>

namespace orvex::test {

LineProcess::LineProcess()
{
    QObject::connect(&Proc, &QProcess::readyReadStandardOutput, [this] { collect(); });
    QObject::connect(&Proc, &QProcess::readyReadStandardError,
                     [this] { Err += QString::fromUtf8(Proc.readAllStandardError()); });
}

LineProcess::~LineProcess()
{
    if (Proc.state() != QProcess::NotRunning) {
        Proc.kill();
        Proc.waitForFinished(3000);
    }
}

bool LineProcess::Start(const QString& program, const QStringList& args, const QString& workDir)
{
    if (!workDir.isEmpty())
        Proc.setWorkingDirectory(workDir);
    Proc.start(program, args);
    return Proc.waitForStarted(5000);
}

void LineProcess::collect()
{
    Partial += Proc.readAllStandardOutput();
    int nl;
    while ((nl = Partial.indexOf('\n')) >= 0) {
        Out << QString::fromUtf8(Partial.left(nl)).remove(QLatin1Char('\r'));
        Partial.remove(0, nl + 1);
    }
}

void LineProcess::Pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        Proc.waitForReadyRead(qMax<qint64>(1, qMin<qint64>(20, ms - t.elapsed())));
        collect();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

int LineProcess::WaitForMatch(const QRegularExpression& re, int timeoutMs, int from)
{
    QElapsedTimer t;
    t.start();
    int checked = from;
    for (;;) {
        collect();
        for (; checked < Out.size(); ++checked)
            if (re.match(Out[checked]).hasMatch())
                return checked;
        if (t.elapsed() >= timeoutMs || Proc.state() == QProcess::NotRunning)
            return -1;
        Pump(10);
    }
}

int LineProcess::WaitFor(const QString& text, int timeoutMs, int from)
{
    return WaitForMatch(QRegularExpression(QRegularExpression::escape(text)), timeoutMs, from);
}

int LineProcess::Count(const QString& text, int from) const
{
    int n = 0;
    for (int i = from; i < Out.size(); ++i)
        n += Out[i].contains(text) ? 1 : 0;
    return n;
}

void LineProcess::Send(const QString& line)
{
    Proc.write((line + QLatin1Char('\n')).toUtf8());
    Proc.waitForBytesWritten(1000);
}

bool LineProcess::Terminate(int timeoutMs)
{
    if (Proc.state() == QProcess::NotRunning)
        return true;
    ::kill(static_cast<pid_t>(Proc.processId()), SIGTERM);
    QElapsedTimer t;
    t.start();
    while (Proc.state() != QProcess::NotRunning && t.elapsed() < timeoutMs)
        Pump(20);
    collect();
    return Proc.state() == QProcess::NotRunning;
}

bool Simulator::Start(const QStringList& extraArgs)
{
    if (!LineProcess::Start(QStringLiteral(ORVEX_BIN_DIR "/orvex-exchange-sim"), extraArgs))
        return false;
    const int i = WaitFor(QStringLiteral("PTY "), 5000);
    if (i < 0)
        return false;
    Pty = Lines().at(i).mid(4).trimmed();
    return true;
}

bool Simulator::Command(const QString& line, int timeoutMs)
{
    const int from = Lines().size();
    Send(line);
    const int i = WaitForMatch(QRegularExpression(QStringLiteral("^(OK|ERR) ")), timeoutMs, from);
    return i >= 0 && Lines().at(i).startsWith(QStringLiteral("OK "));
}

QStringList Simulator::Received(int from) const
{
    QStringList out;
    const QStringList all = Lines();
    for (int i = from; i < all.size(); ++i)
        if (all[i].startsWith(QStringLiteral("RX ")))
            out << all[i].mid(3);
    return out;
}

bool Agent::Start(const QString& iniText, const QStringList& extraArgs)
{
    QFile f(ConfigPath());
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(iniText.toUtf8());
    f.close();
    return LineProcess::Start(QStringLiteral(ORVEX_BIN_DIR "/orvex-agent"),
                              QStringList{QStringLiteral("--headless"), QStringLiteral("--config"), ConfigPath()} + extraArgs,
                              Tmp.path());
}

QStringList Agent::Entries(int from) const
{
    QStringList out;
    const QStringList all = Lines();
    for (int i = from; i < all.size(); ++i) {
        const int at = all[i].indexOf(QStringLiteral("  "));
        out << (at >= 0 ? all[i].mid(at + 2) : all[i]);
    }
    return out;
}

quint16 FreePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QString TestIni(const QString& device, quint16 port, const QStringList& keys)
{
    return BuildIni(QStringList{"Set/Port=" + device + ":19200,N,8,1", "Set/IPPort=" + QString::number(port),
                                "Set/ReadUct=0", "Timer/Interval=20", "Timer/MaxTick=10", "Timer/MaxError=3",
                                "Timer/MaxErrorTick=25"}
                    + keys);
}

}  // namespace orvex::test
