#include "engine/AgentProcess.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace orvex {

namespace {
#ifdef Q_OS_UNIX
// A signal only writes a byte; the event loop reads it and quits, so shutdown runs normally.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}
#else
BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return TRUE;
}
#endif
}  // namespace

void NameAgentApplication(QCoreApplication& app)
{
    app.setApplicationName(QStringLiteral("orvex-agent"));
    app.setApplicationVersion(QStringLiteral(ORVEX_VERSION_TEXT));
}

void AddAgentOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("Orvex Agent: the exchange's link to the office network."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("config"), QStringLiteral("Configuration file (default: Agent.ini beside the program)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("headless"), QStringLiteral("Run without a window; log lines go to standard output.")});
}

void QuitOnTerminationSignals()
{
#ifndef Q_OS_UNIX
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
#endif
}

}  // namespace orvex
