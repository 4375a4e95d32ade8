// orvex-client: sends one request of command bytes to the agent and prints the answer.
//   orvex-client [--host H] [--port P] [--timeout MS] 00 0B 03
//   orvex-client [--host H] [--port P] --uct      fetches accounting lines until none is left
#include "link/Data.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <cstdio>

namespace {

void out(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Reads what the agent answers: everything that arrives until it has been quiet for quietMs.
QByteArray readAnswer(QTcpSocket& s, int timeoutMs, int quietMs)
{
    QByteArray answer;
    QElapsedTimer total;
    total.start();
    while (total.elapsed() < timeoutMs) {
        const int wait = answer.isEmpty() ? int(timeoutMs - total.elapsed()) : quietMs;
        if (!s.waitForReadyRead(qMax(1, wait))) {
            if (!answer.isEmpty() || s.state() != QAbstractSocket::ConnectedState)
                break;
            continue;
        }
        answer += s.readAll();
    }
    return answer;
}

bool parseBytes(const QStringList& args, QByteArray* bytes)
{
    for (const QString& a : args) {
        bool ok = false;
        const uint v = a.toUInt(&ok, 16);
        if (!ok || v > 0xFF)
            return false;
        bytes->append(char(v));
    }
    return !bytes->isEmpty();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("orvex-client"));
    app.setApplicationVersion(QStringLiteral(ORVEX_VERSION_TEXT));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Sends exchange command bytes (hexadecimal) to the agent and prints the answer."));
    p.addHelpOption();
    p.addVersionOption();
    p.addOption({QStringLiteral("host"), QStringLiteral("Agent host (default 127.0.0.1)."), QStringLiteral("H"), QStringLiteral("127.0.0.1")});
    p.addOption({QStringLiteral("port"), QStringLiteral("Agent TCP port (default 1234)."), QStringLiteral("P"), QStringLiteral("1234")});
    p.addOption({QStringLiteral("timeout"), QStringLiteral("How long to wait for an answer, ms (default 3000)."), QStringLiteral("MS"), QStringLiteral("3000")});
    p.addOption({QStringLiteral("uct"), QStringLiteral("Fetch accounting lines (command 4) until the agent has none.")});
    p.addPositionalArgument(QStringLiteral("bytes"), QStringLiteral("Command bytes in hexadecimal, e.g. 00 0B 03."));
    p.process(app);

    const int timeout = p.value(QStringLiteral("timeout")).toInt();
    QByteArray request;
    if (!p.isSet(QStringLiteral("uct")) && !parseBytes(p.positionalArguments(), &request)) {
        std::fputs("orvex-client: give the command bytes in hexadecimal, e.g. 00 0B 03 (or --uct)\n", stderr);
        return 2;
    }

    QTcpSocket s;
    s.connectToHost(p.value(QStringLiteral("host")), p.value(QStringLiteral("port")).toUShort());
    if (!s.waitForConnected(timeout)) {
        std::fprintf(stderr, "orvex-client: cannot connect: %s\n", qPrintable(s.errorString()));
        return 1;
    }

    if (p.isSet(QStringLiteral("uct"))) {
        int lines = 0;
        for (;;) {
            s.write("\x04", 1);
            const QByteArray a = readAnswer(s, timeout, 150);
            if (a.isEmpty()) {
                std::fputs("orvex-client: no answer\n", stderr);
                return 1;
            }
            if (a.size() <= 1)
                break;  // a single 0x00: the agent has no further line
            // 0x00 + line, then one more 0x00
            QByteArray line = a.mid(1);
            if (line.endsWith('\0'))
                line.chop(1);
            out(QString::fromLatin1(line));
            ++lines;
        }
        out(QStringLiteral("(%1 accounting lines)").arg(lines));
        return 0;
    }

    s.write(request);
    const QByteArray a = readAnswer(s, timeout, 100);
    if (a.isEmpty()) {
        std::fputs("orvex-client: no answer\n", stderr);
        return 1;
    }
    const auto* req = reinterpret_cast<const uint8_t*>(request.constData());
    out(QStringLiteral("request: %1  (%2)")
            .arg(QString::fromLatin1(request.toHex(' ').toUpper()),
                 orvex::TData::DescribePacket(true, req, int(request.size()), req[0], false)));
    out(QStringLiteral("answer:  %1  (%2)")
            .arg(QString::fromLatin1(a.toHex(' ').toUpper()),
                 orvex::TData::DescribePacket(false, reinterpret_cast<const uint8_t*>(a.constData()), int(a.size()), req[0], false)));
    return 0;
}
