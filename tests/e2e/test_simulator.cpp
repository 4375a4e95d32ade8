// The exchange simulator as a separate process: its pseudo-terminal, the answers it gives
// to framed requests, and its control commands on standard input.
#include "link/FrameCodec.h"

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace orvex;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

QString spaced(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray encode(const QByteArray& payload)
{
    QByteArray out(static_cast<qsizetype>(MaxEncodedFrameSize(static_cast<size_t>(payload.size()))), '\0');
    const auto* p = reinterpret_cast<const uint8_t*>(payload.constData());
    const size_t n = EncodeFrame(p[0], p + 1, static_cast<int>(payload.size() - 1), reinterpret_cast<uint8_t*>(out.data()));
    out.truncate(static_cast<qsizetype>(n));
    return out;
}

// The simulator process with its standard output collected line by line.
class SimProcess {
public:
    ~SimProcess()
    {
        if (Proc.state() != QProcess::NotRunning) {
            Proc.kill();
            Proc.waitForFinished(3000);
        }
    }

    bool Start(const QStringList& args, const QString& firstWord = QStringLiteral("PTY"))
    {
        Proc.start(QStringLiteral(ORVEX_BIN_DIR "/orvex-exchange-sim"), args);
        if (!Proc.waitForStarted(5000))
            return false;
        const int i = WaitFor(firstWord + QLatin1Char(' '), 5000);
        if (i != 0)
            return false;
        Device = Out.at(0).mid(firstWord.size() + 1);
        return true;
    }

    // Index of the first line from `from` on that starts with prefix, or -1 after timeoutMs.
    int WaitFor(const QString& prefix, int timeoutMs = 3000, int from = 0)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            collect();
            for (int i = from; i < Out.size(); ++i)
                if (Out.at(i).startsWith(prefix))
                    return i;
            if (deadline.hasExpired() || Proc.state() == QProcess::NotRunning)
                return -1;
            Proc.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

    // Sends one control line and returns the simulator's reply (OK, ERR or STATE line).
    QString Command(const QString& line)
    {
        const int from = Lines();
        Proc.write(line.toUtf8() + '\n');
        QDeadlineTimer deadline(3000);
        while (!deadline.hasExpired()) {
            collect();
            for (int i = from; i < Out.size(); ++i) {
                const QString& l = Out.at(i);
                if (l.startsWith(QLatin1String("OK ")) || l.startsWith(QLatin1String("ERR ")) || l.startsWith(QLatin1String("STATE ")))
                    return l;
            }
            Proc.waitForReadyRead(50);
        }
        return QStringLiteral("<no reply>");
    }

    QStringList Since(int from, const QString& prefix)
    {
        collect();
        QStringList r;
        for (int i = from; i < Out.size(); ++i)
            if (Out.at(i).startsWith(prefix))
                r << Out.at(i);
        return r;
    }

    int Lines()
    {
        collect();
        return static_cast<int>(Out.size());
    }

    QProcess Proc;
    QString Device;

private:
    void collect()
    {
        Partial += Proc.readAllStandardOutput();
        qsizetype nl;
        while ((nl = Partial.indexOf('\n')) >= 0) {
            Out << QString::fromUtf8(Partial.left(nl));
            Partial.remove(0, nl + 1);
        }
    }

    QStringList Out;
    QByteArray Partial;
};

// The agent's end of the line: the pty slave opened like a serial device.
class LineEnd {
public:
    ~LineEnd() { Close(); }

    bool Open(const QString& path)
    {
        Fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (Fd < 0)
            return false;
        termios t{};
        if (tcgetattr(Fd, &t) != 0)
            return false;
        cfmakeraw(&t);
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        return tcsetattr(Fd, TCSANOW, &t) == 0;
    }

    void Close()
    {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
        Pending.clear();
        Reader.Reset();
    }

    bool Write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        QDeadlineTimer deadline(3000);
        while (done < bytes.size() && !deadline.hasExpired()) {
            const ssize_t n = ::write(Fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            else
                waitFor(POLLOUT, 10);
        }
        return done == bytes.size();
    }

    bool Send(const QByteArray& payload) { return Write(encode(payload)); }

    // The payload (sequence byte first) of the next good frame, or empty after timeoutMs.
    QByteArray Frame(int timeoutMs = 2000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (!Pending.isEmpty()) {
                size_t used = 0;
                const int len = Reader.Feed(reinterpret_cast<const uint8_t*>(Pending.constData()), static_cast<size_t>(Pending.size()), &used);
                Pending.remove(0, static_cast<qsizetype>(used));
                if (len > 0)
                    return QByteArray(reinterpret_cast<const char*>(Reader.InCom), len);
            }
            if (deadline.hasExpired())
                return {};
            Pending += Raw(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

    // Whatever bytes arrive within timeoutMs (returns as soon as some are there).
    QByteArray Raw(int timeoutMs)
    {
        if (!waitFor(POLLIN, timeoutMs))
            return {};
        char buf[4096];
        const ssize_t n = ::read(Fd, buf, sizeof buf);
        return n > 0 ? QByteArray(buf, n) : QByteArray();
    }

    // Sends one request and returns the answer's payload.
    QByteArray Ask(const QByteArray& payload, int timeoutMs = 2000)
    {
        if (!Send(payload))
            return {};
        return Frame(timeoutMs);
    }

    int Fd = -1;

private:
    bool waitFor(short events, int timeoutMs)
    {
        pollfd p{Fd, events, 0};
        return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & events);
    }

    FrameReader Reader;
    QByteArray Pending;
};

}  // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private:
    SimProcess Sim;  // one simulator with the default settings for most cases
    LineEnd Line;
    uint8_t Seq = 0x10;

    // A fresh sequence byte for each request, 0xEE included now and then.
    QByteArray request(const char* commandHex)
    {
        Seq = static_cast<uint8_t>(Seq == 0xFF ? 1 : Seq + 1);
        return QByteArray(1, static_cast<char>(Seq)) + hex(commandHex);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(ORVEX_BIN_DIR "/orvex-exchange-sim"), "build orvex-exchange-sim first");
        QVERIFY(Sim.Start({}));
        QVERIFY2(Sim.Device.startsWith("/dev/"), qPrintable(Sim.Device));
        QVERIFY(Line.Open(Sim.Device));
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("compatibility") << hex("0D") << hex("00" "0000000001000000" "0000000000000000");
        QTest::newRow("info, version 2.05") << hex("02") << hex("00" "02050000000000");
        QTest::newRow("line numbers 21..24") << hex("000E00") << hex("000E00" "02010000" "02020000" "02030000" "02040000");
        QTest::newRow("empty TRAP record") << hex("000102") << hex("00000200");
        QTest::newRow("TRAP record beyond 3 is empty too") << hex("000109") << hex("00000900");
        QTest::newRow("write of a record") << hex("01 23 04 AA BB") << hex("002304");
        QTest::newRow("unknown command") << hex("03") << hex("01");
        QTest::newRow("command 0xFF") << hex("FF 01 02") << hex("01");
        QTest::newRow("read without record index") << hex("000B") << hex("01");
        QTest::newRow("write without record index") << hex("01") << hex("01");
        QTest::newRow("no command at all") << QByteArray() << hex("01");
        QTest::newRow("0xEE bytes are stuffed both ways") << hex("01 2A EE EE EE") << hex("002AEE");
    }

    void answers()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        for (const uint8_t seq : {uint8_t(0x01), uint8_t(0xEE)}) {
            const QByteArray payload = QByteArray(1, static_cast<char>(seq)) + command;
            const int from = Sim.Lines();
            const QByteArray got = Line.Ask(payload);
            QCOMPARE(spaced(got), spaced(QByteArray(1, static_cast<char>(seq)) + answer));
            // Both frames are reported on standard output.
            QVERIFY(Sim.WaitFor("TX " + spaced(got), 2000, from) > 0);
            QCOMPARE(Sim.Since(from, "RX "), QStringList{"RX " + spaced(payload)});
        }
    }

    void recordsAreStoredAndDeterministic()
    {
        const QByteArray first = Line.Ask(request("00 0B 03")).mid(1);
        QCOMPARE(first.size(), 3 + 8);
        QCOMPARE(first.left(3), hex("000B03"));
        QCOMPARE(Line.Ask(request("00 0B 03")).mid(1), first);
        const QByteArray other = Line.Ask(request("00 0B 04")).mid(1);
        QCOMPARE(other.left(3), hex("000B04"));
        QVERIFY(other.mid(3) != first.mid(3));

        QCOMPARE(Line.Ask(request("01 0B 03 11 22 33")).mid(1), hex("000B03"));
        QCOMPARE(Line.Ask(request("00 0B 03")).mid(1), hex("000B03 112233"));
        QCOMPARE(Line.Ask(request("00 0B 04")).mid(1), other);
    }

    void lineAndSwitchStatusChange()
    {
        const QByteArray a1 = Line.Ask(request("00 16 00")).mid(1);
        const QByteArray a2 = Line.Ask(request("00 16 00")).mid(1);
        QCOMPARE(a1.size(), 3 + 16);
        QCOMPARE(a1.left(3), hex("001600"));
        QCOMPARE(a2.left(3), hex("001600"));
        QVERIFY(a1 != a2);
        QCOMPARE(Line.Ask(request("00 16 05")).mid(1).left(3), hex("001605"));

        const QByteArray s1 = Line.Ask(request("0E")).mid(1);
        const QByteArray s2 = Line.Ask(request("0E")).mid(1);
        QCOMPARE(s1.size(), 12);
        QCOMPARE(s1.at(0), '\0');
        QCOMPARE(s2.size(), 12);
        QVERIFY(s1 != s2);
    }

    void mailboxCountersAreRemembered()
    {
        QCOMPARE(Line.Ask(request("01 11 00 01 02 03 00 04 05 06 00")).mid(1), hex("001100"));
        QVERIFY(Sim.Command("status").contains(" counters=0102030004050600 "));
        // The shutdown write of zeros replaces them.
        QCOMPARE(Line.Ask(request("01 11 00 00 00 00 00")).mid(1), hex("001100"));
        QVERIFY(Sim.Command("status").contains(" counters=00000000 "));
    }

    void trapSetReadAndConfirmed()
    {
        QCOMPARE(Sim.Command("trap 1 L 100\\nPorucha linky\\nLinka 22 hlásí chybu"), QString("OK trap"));
        QCOMPARE(Sim.Command("trap 3 Q 603123456\\nSMS\\n"), QString("OK trap"));
        QVERIFY(Sim.Command("status").contains(" traps=1,3 "));

        QByteArray expected = hex("000001") + "L100\nPorucha linky\nLinka 22 hl\xE1s\xED chybu";
        QCOMPARE(spaced(Line.Ask(request("00 01 01")).mid(1)), spaced(expected));
        QCOMPARE(spaced(Line.Ask(request("00 01 03")).mid(1)), spaced(hex("000003") + "Q603123456\nSMS\n"));

        // The agent's confirmation: 01 01 r and 251 zero bytes.
        QByteArray confirm = request("01 01 01") + QByteArray(251, '\0');
        QCOMPARE(confirm.size(), 1 + 254);
        QCOMPARE(Line.Ask(confirm).mid(1), hex("000101"));
        QCOMPARE(Line.Ask(request("00 01 01")).mid(1), hex("00000100"));
        QVERIFY(Sim.Command("status").contains(" traps=3 "));

        QCOMPARE(Sim.Command("trap 3 0"), QString("OK trap"));
        QCOMPARE(Line.Ask(request("00 01 03")).mid(1), hex("00000300"));
        QVERIFY(Sim.Command("status").contains(" traps=- "));
    }

    void accountingLines()
    {
        QCOMPARE(Line.Ask(request("05")).mid(1), hex("00"));  // nothing given yet
        QCOMPARE(Sim.Command("uct 0001 22 603123456 00:01:05"), QString("OK uct"));
        QCOMPARE(Sim.Command("uct second line"), QString("OK uct"));
        QVERIFY(Sim.Command("status").contains(" uct=2 "));
        QCOMPARE(Line.Ask(request("04")).mid(1), QByteArray("\0" "0001 22 603123456 00:01:05", 27));
        QCOMPARE(Line.Ask(request("05")).mid(1), QByteArray("\0" "0001 22 603123456 00:01:05", 27));
        QCOMPARE(Line.Ask(request("04")).mid(1), QByteArray("\0second line", 12));
        QCOMPARE(Line.Ask(request("04")).mid(1), hex("00"));
        QCOMPARE(Line.Ask(request("05")).mid(1), QByteArray("\0second line", 12));
        QVERIFY(Sim.Command("status").contains(" uct=0 "));
    }

    void silentMode()
    {
        QCOMPARE(Sim.Command("silent on"), QString("OK silent"));
        const int from = Sim.Lines();
        const QByteArray payload = request("0D");
        QVERIFY(Line.Send(payload));
        QVERIFY(Sim.WaitFor("RX " + spaced(payload), 2000, from) > 0);
        QCOMPARE(Line.Raw(300), QByteArray());
        QVERIFY(Sim.Since(from, "TX ").isEmpty());

        QCOMPARE(Sim.Command("silent off"), QString("OK silent"));
        const QByteArray again = request("0D");
        QCOMPARE(Line.Ask(again).left(2), again.left(1) + '\0');
    }

    void delayedAnswersKeepTheirOrder()
    {
        QCOMPARE(Sim.Command("delay 300"), QString("OK delay"));
        const QByteArray r1 = request("02");
        const QByteArray r2 = request("0D");
        QElapsedTimer t;
        t.start();
        QVERIFY(Line.Write(encode(r1) + encode(r2)));  // two frames in one write
        const QByteArray a1 = Line.Frame(3000);
        const qint64 first = t.elapsed();
        const QByteArray a2 = Line.Frame(3000);
        QCOMPARE(Sim.Command("delay 0"), QString("OK delay"));
        QCOMPARE(a1.left(1), r1.left(1));
        QCOMPARE(a2.left(1), r2.left(1));
        QVERIFY2(first >= 250, qPrintable(QString::number(first)));
        QCOMPARE(a1.size(), 1 + 8);
        QCOMPARE(a2.size(), 1 + 17);
    }

    void noiseDoesNotBreakTheLine_data()
    {
        QTest::addColumn<QByteArray>("noise");
        QByteArray badCrc = encode(hex("4402"));
        badCrc[badCrc.size() - 1] = static_cast<char>(badCrc.at(badCrc.size() - 1) ^ 0x01);
        QTest::newRow("garbage without markers") << hex("00 01 02 23 23 FF 7F 80");
        QTest::newRow("frame with a bad CRC") << badCrc;
        QTest::newRow("frame cut short") << encode(hex("45 00 0E 00")).left(6);
        QTest::newRow("length too large") << hex("EE 23 FF 7F 01 02 03");
        QTest::newRow("broken escape") << hex("EE 23 03 00 46 EE 41 00");
        QTest::newRow("markers only") << hex("EE EE EE 23");
    }

    void noiseDoesNotBreakTheLine()
    {
        QFETCH(QByteArray, noise);
        const int from = Sim.Lines();
        QVERIFY(Line.Write(noise));
        const QByteArray good = request("02");
        QCOMPARE(Line.Ask(good).left(2), good.left(1) + '\0');
        QVERIFY(Sim.WaitFor("TX ", 2000, from) > 0);
        // Only the good frame was taken.
        QCOMPARE(Sim.Since(from, "RX "), QStringList{"RX " + spaced(good)});
    }

    void randomNoise()
    {
        QRandomGenerator rng(20240611);
        for (int round = 0; round < 20; ++round) {
            QByteArray noise(static_cast<qsizetype>(rng.bounded(1, 600)), '\0');
            for (char& c : noise)
                c = static_cast<char>(rng.bounded(256));
            QVERIFY(Line.Write(noise));
            // Noise can leave the reader inside a would-be frame header that swallows the
            // next frame's marker, so the agent's retry is allowed once.
            QByteArray answer;
            for (int attempt = 0; attempt < 2 && answer.isEmpty(); ++attempt)
                answer = Line.Ask(request("0D"), 500);
            QCOMPARE(answer.size(), 1 + 17);
        }
        QCOMPARE(Line.Ask(request("02")).size(), 1 + 8);
    }

    void rawBytesReachTheLine()
    {
        QCOMPARE(Sim.Command("raw EE 23 01 00 00 EE"), QString("OK raw"));
        QByteArray got;
        QDeadlineTimer deadline(2000);
        while (got.size() < 6 && !deadline.hasExpired())
            got += Line.Raw(100);
        QCOMPARE(spaced(got), QString("EE 23 01 00 00 EE"));
    }

    void reopenedLineStillWorks()
    {
        Line.Close();
        QVERIFY(Line.Open(Sim.Device));
        QCOMPARE(Line.Ask(request("02")).mid(1), hex("00 02 05 00 00 00 00 00"));
    }

    void settingsFromStdin()
    {
        QCOMPARE(Sim.Command("compat 1 3"), QString("OK compat"));
        QCOMPARE(Sim.Command("info 0x0A 31"), QString("OK info"));
        QCOMPARE(Sim.Command("lines 100,2*,#5"), QString("OK lines"));
        QCOMPARE(Line.Ask(request("0D")).mid(1), hex("00" "0000000001030000" "0000000000000000"));
        QCOMPARE(Line.Ask(request("02")).mid(1), hex("00" "0A1F0000000000"));
        QCOMPARE(Line.Ask(request("00 0E 00")).mid(1), hex("000E00" "010A0A00" "020B0000" "0C050000"));
        QCOMPARE(Sim.Command("lines none"), QString("OK lines"));
        QCOMPARE(Line.Ask(request("00 0E 00")).mid(1), hex("000E00"));
        QCOMPARE(Sim.Command("compat 1 0"), QString("OK compat"));
        QCOMPARE(Sim.Command("info 2 5"), QString("OK info"));
        QCOMPARE(Sim.Command("lines 21-24"), QString("OK lines"));
        QCOMPARE(Line.Ask(request("00 0E 00")).mid(1), hex("000E00" "02010000" "02020000" "02030000" "02040000"));
    }

    void badControlCommands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("unknown") << "bogus 1";
        QTest::newRow("silent without argument") << "silent";
        QTest::newRow("negative delay") << "delay -5";
        QTest::newRow("trap record too large") << "trap 300 L x";
        QTest::newRow("trap letter too long") << "trap 1 LL x";
        QTest::newRow("broken escape") << "trap 1 L x\\q";
        QTest::newRow("empty accounting line") << "uct ";
        QTest::newRow("compat one byte") << "compat 1";
        QTest::newRow("info too large") << "info 256 1";
        QTest::newRow("line number too long") << "lines 12345";
        QTest::newRow("line number letter") << "lines 2X";
        QTest::newRow("raw odd digits") << "raw EE 2";
        QTest::newRow("raw not hex") << "raw zz";
    }

    void badControlCommands()
    {
        QFETCH(QString, line);
        const QString before = Sim.Command("status");
        QVERIFY2(Sim.Command(line).startsWith("ERR "), qPrintable(line));
        // Nothing changed, and the simulator still answers.
        QCOMPARE(Sim.Command("status").section(" rx=", 0, 0), before.section(" rx=", 0, 0));
        QCOMPARE(Line.Ask(request("02")).size(), 1 + 8);
    }

    void optionsAndLink()
    {
        QTemporaryDir dir;
        const QString uct = dir.filePath("uct.txt");
        {
            QFile f(uct);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("first\r\n\r\nsecond\n");
        }
        const QString link = dir.filePath("ttyExchange");
        SimProcess sim;
        QVERIFY(sim.Start({"--link", link, "--silent", "--lines", "31,32", "--compat", "2,0", "--info", "1,0",
                           "--trap", "2:F:fax\\nSubject\\nBody", "--uct-file", uct}));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.Device);
        LineEnd line;
        QVERIFY(line.Open(link));
        QCOMPARE(line.Ask(hex("01 0D"), 300), QByteArray());  // --silent
        QCOMPARE(sim.Command("silent off"), QString("OK silent"));
        QCOMPARE(line.Ask(hex("02 0D")), hex("02 00" "0000000002000000" "0000000000000000"));
        QCOMPARE(line.Ask(hex("03 02")), hex("03 00" "01000000000000"));
        QCOMPARE(line.Ask(hex("04 00 0E 00")), hex("04 000E00" "03010000" "03020000"));
        QCOMPARE(line.Ask(hex("05 00 01 02")), hex("05 000002") + "Ffax\nSubject\nBody");
        QCOMPARE(line.Ask(hex("06 04")), QByteArray("\x06\0first", 7));
        QCOMPARE(line.Ask(hex("07 04")), QByteArray("\x07\0second", 8));
        QCOMPARE(line.Ask(hex("08 04")), hex("08 00"));

        QCOMPARE(sim.Command("quit"), QString("OK quit"));
        QVERIFY(sim.Proc.waitForFinished(5000));
        QCOMPARE(sim.Proc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.Proc.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void existingDevice()
    {
        // --device takes any terminal device: here the slave of a pty this test opens.
        int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString slave = QString::fromLocal8Bit(::ptsname(master));
        SimProcess sim;
        QVERIFY(sim.Start({"--device", slave}, "DEVICE"));
        QCOMPARE(sim.Device, slave);
        LineEnd line;
        line.Fd = master;  // the test plays the agent on the master side
        QVERIFY(::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) == 0);
        QCOMPARE(line.Ask(hex("2A 02")), hex("2A 00 02 05 00 00 00 00 00"));
        QCOMPARE(sim.Command("quit"), QString("OK quit"));
        QVERIFY(sim.Proc.waitForFinished(5000));
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("bad lines") << QStringList{"--lines", "1,2x"};
        QTest::newRow("bad compat") << QStringList{"--compat", "1"};
        QTest::newRow("bad trap") << QStringList{"--trap", "9"};
        QTest::newRow("missing uct file") << QStringList{"--uct-file", "/nonexistent/uct"};
        QTest::newRow("missing device") << QStringList{"--device", "/nonexistent/tty"};
        QTest::newRow("bad baud") << QStringList{"--baud", "1234"};
        QTest::newRow("stray argument") << QStringList{"extra"};
    }

    void badOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(QStringLiteral(ORVEX_BIN_DIR "/orvex-exchange-sim"), args);
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(!p.readAllStandardOutput().startsWith("PTY "));
        QVERIFY(!p.readAllStandardError().isEmpty());
    }

    void terminatesOnSignal()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("tty");
        SimProcess sim;
        QVERIFY(sim.Start({"--link", link}));
        QVERIFY(QFileInfo(link).isSymLink());
        sim.Proc.terminate();
        QVERIFY(sim.Proc.waitForFinished(5000));
        QCOMPARE(sim.Proc.exitStatus(), QProcess::NormalExit);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void cleanupTestCase()
    {
        QCOMPARE(Sim.Command("quit"), QString("OK quit"));
        QVERIFY(Sim.Proc.waitForFinished(5000));
        QCOMPARE(Sim.Proc.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "test_simulator.moc"
