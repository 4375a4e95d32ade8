#include "Simulator.h"

#include "base/Cp1250.h"

#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace orvex::sim {

namespace {
// Output the line does not take (nobody has the other end open) is kept up to this size.
constexpr qsizetype MaxPendingOutput = 1 << 20;
constexpr int MaxDelayMs = 600000;

QByteArray hexCompact(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

bool parseNumber(const QString& text, int* out)
{
    bool ok = false;
    int v = 0;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = text.mid(2).toInt(&ok, 16);
    else
        v = text.toInt(&ok, 10);
    if (ok)
        *out = v;
    return ok;
}
}  // namespace

void PrintLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray HexLine(const QByteArray& bytes)
{
    return bytes.toHex(' ').toUpper();
}

bool ParseByte(const QString& text, uint8_t* out)
{
    int v = 0;
    if (!parseNumber(text, &v) || v < 0 || v > 255)
        return false;
    *out = static_cast<uint8_t>(v);
    return true;
}

bool UnescapeText(const QString& text, QByteArray* out)
{
    QByteArray result;
    QString plain;
    auto flush = [&] {
        result += ToCp1250(plain);
        plain.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            plain.append(c);
            continue;
        }
        if (++i >= text.size())
            return false;
        const QChar e = text.at(i);
        if (e == QLatin1Char('n'))
            plain.append(QLatin1Char('\n'));
        else if (e == QLatin1Char('r'))
            plain.append(QLatin1Char('\r'));
        else if (e == QLatin1Char('t'))
            plain.append(QLatin1Char('\t'));
        else if (e == QLatin1Char('\\'))
            plain.append(QLatin1Char('\\'));
        else if (e == QLatin1Char('x')) {
            bool ok = false;
            const int v = text.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok || text.mid(i + 1, 2).size() != 2)
                return false;
            flush();
            result.append(static_cast<char>(v));
            i += 2;
        } else {
            return false;
        }
    }
    flush();
    *out = result;
    return true;
}

Simulator::Simulator(int fd, ExchangeModel& model, QObject* parent) : QObject(parent), Fd(fd), Model(model)
{
    Clock.start();
    ReadNotifier = std::make_unique<QSocketNotifier>(Fd, QSocketNotifier::Read);
    connect(ReadNotifier.get(), &QSocketNotifier::activated, this, &Simulator::onReadable);
    WriteNotifier = std::make_unique<QSocketNotifier>(Fd, QSocketNotifier::Write);
    WriteNotifier->setEnabled(false);
    connect(WriteNotifier.get(), &QSocketNotifier::activated, this, &Simulator::onWritable);
    DelayTimer.setSingleShot(true);
    DelayTimer.setTimerType(Qt::PreciseTimer);
    connect(&DelayTimer, &QTimer::timeout, this, &Simulator::sendDue);
}

void Simulator::onReadable()
{
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(Fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            const QByteArray why = n == 0 ? QByteArray("end of file") : QByteArray(std::strerror(errno));
            PrintLine("ERR device: " + why);
            ReadNotifier->setEnabled(false);
            emit QuitRequested(1);
            return;
        }
        size_t off = 0;
        const auto total = static_cast<size_t>(n);
        // Unlike the agent's reader, every frame of a chunk is taken, not only the first.
        while (off < total) {
            size_t used = 0;
            const int len = Reader.Feed(buf + off, total - off, &used);
            off += used;
            if (len > 0)
                onFrame(Reader.InCom, len);
        }
    }
}

void Simulator::onFrame(const uint8_t* payload, int len)
{
    const QByteArray frame(reinterpret_cast<const char*>(payload), len);
    ++RxFrames;
    if (!Quiet)
        PrintLine("RX " + HexLine(frame));
    if (Silent)
        return;
    const auto seq = static_cast<uint8_t>(frame.at(0));
    const QByteArray answer = Model.Answer(frame.mid(1));
    if (DelayMs <= 0 && Queue.empty()) {
        sendAnswer(seq, answer);
        return;
    }
    qint64 due = Clock.elapsed() + DelayMs;
    if (!Queue.empty() && Queue.back().due > due)
        due = Queue.back().due;  // answers leave in the order of their requests
    Queue.push_back({due, seq, answer});
    sendDue();
}

void Simulator::sendDue()
{
    const qint64 now = Clock.elapsed();
    while (!Queue.empty() && Queue.front().due <= now) {
        const Pending p = Queue.front();
        Queue.pop_front();
        sendAnswer(p.seq, p.answer);
    }
    if (!Queue.empty())
        DelayTimer.start(static_cast<int>(Queue.front().due - now));
}

void Simulator::sendAnswer(uint8_t seq, const QByteArray& answer)
{
    QByteArray frame(static_cast<qsizetype>(MaxEncodedFrameSize(static_cast<size_t>(answer.size()) + 1)), '\0');
    const size_t n = EncodeFrame(seq, reinterpret_cast<const uint8_t*>(answer.constData()), static_cast<int>(answer.size()),
                                 reinterpret_cast<uint8_t*>(frame.data()));
    frame.truncate(static_cast<qsizetype>(n));
    writeRaw(frame);
    ++TxFrames;
    if (!Quiet)
        PrintLine("TX " + HexLine(QByteArray(1, static_cast<char>(seq)) + answer));
}

void Simulator::writeRaw(const QByteArray& bytes)
{
    if (Output.size() + bytes.size() > MaxPendingOutput) {
        std::fprintf(stderr, "orvex-exchange-sim: nobody reads the line, %lld bytes dropped\n",
                     static_cast<long long>(bytes.size()));
        return;
    }
    Output += bytes;
    flushOutput();
}

void Simulator::flushOutput()
{
    while (!Output.isEmpty()) {
        const ssize_t n = ::write(Fd, Output.constData(), static_cast<size_t>(Output.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            WriteNotifier->setEnabled(true);
            return;
        }
        if (n < 0) {
            std::fprintf(stderr, "orvex-exchange-sim: write error: %s\n", std::strerror(errno));
            Output.clear();
            break;
        }
        Output.remove(0, n);
    }
    WriteNotifier->setEnabled(false);
}

void Simulator::onWritable()
{
    flushOutput();
}

QByteArray Simulator::stateLine() const
{
    QByteArray traps;
    for (const int r : Model.TrapsSet())
        traps += (traps.isEmpty() ? "" : ",") + QByteArray::number(r);
    const QStringList lines = Model.LineNumbers();
    return "STATE counters=" + (Model.CountersWritten() ? hexCompact(Model.LastCounters()) : QByteArray("-")) +
           " traps=" + (traps.isEmpty() ? QByteArray("-") : traps) + " uct=" + QByteArray::number(Model.UctWaiting()) +
           " lines=" + (lines.isEmpty() ? QByteArray("-") : lines.join(QLatin1Char(',')).toLatin1()) +
           " silent=" + (Silent ? "on" : "off") + " delay=" + QByteArray::number(DelayMs) +
           " rx=" + QByteArray::number(RxFrames) + " tx=" + QByteArray::number(TxFrames);
}

void Simulator::Control(const QString& line)
{
    QString text = line;
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    static const QRegularExpression head(QStringLiteral("^\\s*(\\S+)(?:\\s(.*))?$"));
    const QRegularExpressionMatch m = head.match(text);
    if (!m.hasMatch())
        return;  // blank line
    const QString verb = m.captured(1).toLower();
    const QString rest = m.captured(2);
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QByteArray ok = "OK " + verb.toLatin1();
    auto fail = [&](const QString& why) { PrintLine("ERR " + verb.toUtf8() + ": " + why.toUtf8()); };

    if (verb == QLatin1String("silent")) {
        if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off")))
            return fail(QStringLiteral("usage: silent on|off"));
        Silent = args[0] == QLatin1String("on");
        PrintLine(ok);
    } else if (verb == QLatin1String("delay")) {
        int ms = 0;
        if (args.size() != 1 || !parseNumber(args[0], &ms) || ms < 0 || ms > MaxDelayMs)
            return fail(QStringLiteral("usage: delay MS (0..%1)").arg(MaxDelayMs));
        DelayMs = ms;
        PrintLine(ok);
    } else if (verb == QLatin1String("trap")) {
        static const QRegularExpression form(QStringLiteral("^\\s*(\\S+)\\s+(\\S+)(?:\\s(.*))?$"));
        const QRegularExpressionMatch t = form.match(rest);
        uint8_t record = 0;
        QByteArray body;
        if (!t.hasMatch() || !ParseByte(t.captured(1), &record) || t.captured(2).size() != 1)
            return fail(QStringLiteral("usage: trap R LETTER TEXT, or trap R 0"));
        const QChar letter = t.captured(2).at(0);
        if (letter == QLatin1Char('0')) {
            Model.SetTrap(record, 0, {});
            return PrintLine(ok);
        }
        if (letter.unicode() > 0x7F || !UnescapeText(t.captured(3), &body))
            return fail(QStringLiteral("bad letter or text escape"));
        Model.SetTrap(record, static_cast<uint8_t>(letter.unicode()), body);
        PrintLine(ok);
    } else if (verb == QLatin1String("uct")) {
        QByteArray body;
        if (rest.isEmpty() || !UnescapeText(rest, &body) || body.isEmpty())
            return fail(QStringLiteral("usage: uct LINE"));
        Model.QueueUct(body);
        PrintLine(ok);
    } else if (verb == QLatin1String("compat") || verb == QLatin1String("info")) {
        uint8_t a = 0, b = 0;
        if (args.size() != 2 || !ParseByte(args[0], &a) || !ParseByte(args[1], &b))
            return fail(verb == QLatin1String("info") ? QStringLiteral("usage: info MAJ MIN") : QStringLiteral("usage: compat B4 B5"));
        if (verb == QLatin1String("info"))
            Model.SetInfo(a, b);
        else
            Model.SetCompat(a, b);
        PrintLine(ok);
    } else if (verb == QLatin1String("lines")) {
        QString why;
        if (!Model.SetLines(rest, &why))
            return fail(why);
        PrintLine(ok);
    } else if (verb == QLatin1String("raw")) {
        QString hex = rest;
        hex.remove(QRegularExpression(QStringLiteral("\\s")));
        static const QRegularExpression hexOnly(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
        if (!hexOnly.match(hex).hasMatch())
            return fail(QStringLiteral("usage: raw HEX..."));
        writeRaw(QByteArray::fromHex(hex.toLatin1()));
        PrintLine(ok);
    } else if (verb == QLatin1String("status")) {
        PrintLine(stateLine());
    } else if (verb == QLatin1String("quit")) {
        PrintLine(ok);
        emit QuitRequested(0);
    } else {
        fail(QStringLiteral("unknown command"));
    }
}

}  // namespace orvex::sim
