// orvex-exchange-sim: plays the telephone exchange on the other end of the agent's serial
// line, on a pseudo-terminal of its own or on a real serial device.
#include "ExchangeModel.h"
#include "Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace orvex::sim;

namespace {

int SignalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[1], &b, 1);
}

[[noreturn]] void usageError(const QString& text)
{
    std::fprintf(stderr, "orvex-exchange-sim: %s\n", qPrintable(text));
    std::exit(2);
}

bool speedFor(int baud, speed_t* out)
{
    static const struct {
        int baud;
        speed_t speed;
    } table[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},    {19200, B19200},
                 {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}};
    for (const auto& e : table) {
        if (e.baud == baud) {
            *out = e.speed;
            return true;
        }
    }
    return false;
}

// Raw 8N1 at the given speed, no flow control, no modem control.
bool makeRaw(int fd, speed_t speed)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool setFlags(int fd)
{
    const int fl = fcntl(fd, F_GETFL);
    return fl >= 0 && fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0 && fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Standard input, one control command per line. At its end the simulator keeps running,
// so that it can be started in the background with no input at all.
class ControlInput : public QObject {
public:
    explicit ControlInput(Simulator& sim) : Sim(sim), Notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&Notifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
    }

private:
    void onReadable()
    {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0) {
            Notifier.setEnabled(false);
            if (!Partial.isEmpty())
                Sim.Control(QString::fromUtf8(Partial));
            Partial.clear();
            return;
        }
        Partial.append(buf, n);
        qsizetype nl;
        while ((nl = Partial.indexOf('\n')) >= 0) {
            const QByteArray line = Partial.left(nl);
            Partial.remove(0, nl + 1);
            Sim.Control(QString::fromUtf8(line));
        }
        if (Partial.size() > 65536)
            Partial.clear();  // no command is that long
    }

    Simulator& Sim;
    QSocketNotifier Notifier;
    QByteArray Partial;
};

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-exchange-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the Orvex telephone exchange on the far end of the agent's serial line.\n"
        "Prints \"PTY <slave path>\" first (\"DEVICE <path>\" with --device), then RX/TX lines for\n"
        "the frames received and sent (payload in hex, sequence byte first).\n"
        "\n"
        "Commands on standard input, one a line, answered with \"OK <command>\" or \"ERR ...\":\n"
        "  silent on|off           stop or resume answering\n"
        "  delay MS                answer after MS milliseconds\n"
        "  trap R LETTER TEXT      set TRAP record R (TEXT: \\n line feed, \\xHH byte); trap R 0 empties it\n"
        "  uct LINE                queue an accounting line\n"
        "  compat B4 B5            compatibility bytes 4 and 5\n"
        "  info MAJ MIN            version bytes\n"
        "  lines LIST              line numbers, e.g. 21,22,23 or 100-155; \"none\" for no lines\n"
        "  raw HEX...              write these bytes to the line as they are\n"
        "  status                  print a STATE line\n"
        "  quit                    end the simulator"));
    parser.addHelpOption();
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Use this serial device instead of a new pseudo-terminal."), QStringLiteral("path"));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Also make a symbolic link to the pseudo-terminal's slave."), QStringLiteral("path"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Line speed (default 19200), 8N1."), QStringLiteral("rate"), QStringLiteral("19200"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Start without answering (frames are still reported)."));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Answer after this many milliseconds."), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Do not print RX and TX lines."));
    const QCommandLineOption lines(QStringLiteral("lines"), QStringLiteral("Line numbers, e.g. 21,22,23,24 or 100-155."), QStringLiteral("list"));
    const QCommandLineOption compat(QStringLiteral("compat"), QStringLiteral("Compatibility bytes 4 and 5 (default 1,0)."), QStringLiteral("b4,b5"));
    const QCommandLineOption info(QStringLiteral("info"), QStringLiteral("Version bytes (default 2,5, shown as 2.05)."), QStringLiteral("major,minor"));
    const QCommandLineOption trap(QStringLiteral("trap"), QStringLiteral("Set TRAP record R to letter L and TEXT (\\n for line feeds); repeatable."), QStringLiteral("r:l:text"));
    const QCommandLineOption uctFile(QStringLiteral("uct-file"), QStringLiteral("Queue the lines of this file as accounting lines."), QStringLiteral("file"));
    parser.addOptions({device, link, baud, silent, delay, quiet, lines, compat, info, trap, uctFile});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        usageError(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    if (parser.isSet(device) && parser.isSet(link))
        usageError(QStringLiteral("--link applies only to the simulator's own pseudo-terminal"));

    ExchangeModel model;
    auto bytePair = [&](const QCommandLineOption& opt, uint8_t* a, uint8_t* b) {
        const QStringList parts = parser.value(opt).split(QLatin1Char(','));
        if (parts.size() != 2 || !ParseByte(parts[0].trimmed(), a) || !ParseByte(parts[1].trimmed(), b))
            usageError(QStringLiteral("--%1 wants two numbers 0..255 separated by a comma").arg(opt.names().first()));
    };
    if (parser.isSet(compat)) {
        uint8_t a = 0, b = 0;
        bytePair(compat, &a, &b);
        model.SetCompat(a, b);
    }
    if (parser.isSet(info)) {
        uint8_t a = 0, b = 0;
        bytePair(info, &a, &b);
        model.SetInfo(a, b);
    }
    if (parser.isSet(lines)) {
        QString why;
        if (!model.SetLines(parser.value(lines), &why))
            usageError(QStringLiteral("--lines: %1").arg(why));
    }
    for (const QString& t : parser.values(trap)) {
        const qsizetype c1 = t.indexOf(QLatin1Char(':'));
        const qsizetype c2 = c1 < 0 ? -1 : t.indexOf(QLatin1Char(':'), c1 + 1);
        uint8_t record = 0;
        QByteArray text;
        if (c2 != c1 + 2 || !ParseByte(t.left(c1), &record) || t.at(c1 + 1).unicode() > 0x7F ||
            !UnescapeText(t.mid(c2 + 1), &text))
            usageError(QStringLiteral("--trap wants R:L:TEXT, e.g. 0:L:100\\nSubject\\nText"));
        const char letter = static_cast<char>(t.at(c1 + 1).unicode());
        model.SetTrap(record, letter == '0' ? 0 : static_cast<uint8_t>(letter), text);
    }
    if (parser.isSet(uctFile)) {
        QFile f(parser.value(uctFile));
        if (!f.open(QIODevice::ReadOnly))
            usageError(QStringLiteral("cannot read %1").arg(f.fileName()));
        for (QByteArray l : f.readAll().split('\n')) {
            if (l.endsWith('\r'))
                l.chop(1);
            if (!l.isEmpty())
                model.QueueUct(l);
        }
    }
    bool delayOk = false;
    const int delayMs = parser.value(delay).toInt(&delayOk);
    if (!delayOk || delayMs < 0 || delayMs > 600000)
        usageError(QStringLiteral("--delay wants milliseconds 0..600000"));
    speed_t speed = B19200;
    if (!speedFor(parser.value(baud).toInt(), &speed))
        usageError(QStringLiteral("unsupported --baud %1").arg(parser.value(baud)));

    int lineFd = -1;
    int slaveFd = -1;
    QString path;
    if (parser.isSet(device)) {
        path = parser.value(device);
        lineFd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (lineFd < 0) {
            std::fprintf(stderr, "orvex-exchange-sim: cannot open %s: %s\n", qPrintable(path), std::strerror(errno));
            return 1;
        }
        if (!makeRaw(lineFd, speed)) {
            std::fprintf(stderr, "orvex-exchange-sim: %s is not a serial device: %s\n", qPrintable(path), std::strerror(errno));
            return 1;
        }
    } else {
        char name[256] = {};
        if (openpty(&lineFd, &slaveFd, name, nullptr, nullptr) != 0) {
            std::fprintf(stderr, "orvex-exchange-sim: openpty: %s\n", std::strerror(errno));
            return 1;
        }
        // The slave stays open here as well: the pty then survives the agent closing
        // and reopening its end.
        if (!makeRaw(slaveFd, speed) || !setFlags(slaveFd)) {
            std::fprintf(stderr, "orvex-exchange-sim: cannot set up %s: %s\n", name, std::strerror(errno));
            return 1;
        }
        path = QString::fromLocal8Bit(name);
    }
    if (!setFlags(lineFd)) {
        std::fprintf(stderr, "orvex-exchange-sim: fcntl: %s\n", std::strerror(errno));
        return 1;
    }

    QString linkPath;
    if (parser.isSet(link)) {
        linkPath = parser.value(link);
        const QFileInfo fi(linkPath);
        if (fi.isSymLink())
            QFile::remove(linkPath);
        else if (fi.exists())
            usageError(QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath));
        if (::symlink(QFile::encodeName(path).constData(), QFile::encodeName(linkPath).constData()) != 0) {
            std::fprintf(stderr, "orvex-exchange-sim: cannot link %s: %s\n", qPrintable(linkPath), std::strerror(errno));
            return 1;
        }
    }

    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "orvex-exchange-sim: pipe: %s\n", std::strerror(errno));
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    QSocketNotifier signalNotifier(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });

    Simulator sim(lineFd, model);
    sim.SetSilent(parser.isSet(silent));
    sim.SetDelay(delayMs);
    sim.SetQuiet(parser.isSet(quiet));
    QObject::connect(&sim, &Simulator::QuitRequested, &app, [](int code) { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    ControlInput control(sim);

    PrintLine((parser.isSet(device) ? "DEVICE " : "PTY ") + path.toLocal8Bit());
    const int rc = app.exec();

    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == QFileInfo(path).absoluteFilePath())
        QFile::remove(linkPath);
    ::close(lineFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
    return rc;
}
