#include "app/HeadlessFrontEnd.h"

#include "engine/Engine.h"

#include <QCoreApplication>
#include <cstdio>

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
void printLine(FILE* f, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), f);
    std::fputc('\n', f);
    std::fflush(f);
}

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

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

void HeadlessPrompt::MissingConfig(const QString& text, const QString& caption)
{
    printLine(stderr, caption + QStringLiteral(": ") + oneLine(text) + QStringLiteral(" [OK]"));
}

void HeadlessPrompt::NonFunctionalVersion(const QString& text, const QString& caption)
{
    printLine(stderr, caption + QStringLiteral(": ") + oneLine(text) + QStringLiteral(" [OK] - zpracování zastaveno"));
}

bool HeadlessPrompt::DifferentVersion(const QString& text, const QString& caption)
{
    printLine(stderr, caption + QStringLiteral(": ") + oneLine(text) + QStringLiteral(" [Ano]"));
    return true;
}

void MirrorLogToStdout(TAgentEngine& engine)
{
    QObject::connect(&engine.Log, &EventLog::EntryAdded, &engine.Log,
                     [](const QString& entry) { printLine(stdout, oneLine(entry)); });
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
