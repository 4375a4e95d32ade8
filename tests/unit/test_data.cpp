// The command set: request bytes, answer parsing, the line table and the accounting file.
#include "Bytes.h"
#include "base/Clock.h"
#include "link/Data.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace orvex;
using orvex::test::bytes;
using orvex::test::u8;

namespace {


uint8_t* u8(QByteArray& b) { return reinterpret_cast<uint8_t*>(b.data()); }

// A line-number answer: status 0, structure 14, record 0, then four digit codes per line.
QByteArray lineAnswer(const QList<QByteArray>& codes)
{
    QByteArray a = bytes({0x00, 0x0E, 0x00});
    for (const QByteArray& c : codes)
        a += c.leftJustified(4, '\0', true);
    return a;
}

QList<QByteArray> numbers(const TData& d)
{
    QList<QByteArray> list;
    for (int i = 0; i < d.LineCount; ++i)
        list.append(QByteArray(d.Lines[i].Number));
    return list;
}

QByteArray counters(const TLineEntry& e) { return bytes({e.Other, e.Voice, e.Fax, e.Fourth}); }

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class TestData : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetClock({}); }

    void builders_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("A") << "A" << bytes({0x00, 0x16, 0x00});
        QTest::newRow("C") << "C" << bytes({0x0D});
        QTest::newRow("I") << "I" << bytes({0x02});
        QTest::newRow("S first") << "S" << bytes({0x00, 0x01, 0x00});
        QTest::newRow("U") << "U" << bytes({0x04});
        QTest::newRow("U after failed append") << "U again" << bytes({0x05});
        QTest::newRow("V") << "V" << bytes({0x00, 0x0E, 0x00});
        QTest::newRow("X") << "X" << bytes({0x0E});
        QTest::newRow("M without lines") << "M" << bytes({0x01, 0x11, 0x00});
        QTest::newRow("TRAP confirmation") << "confirm 7" << bytes({0x01, 0x01, 0x07}) + QByteArray(251, '\0');
    }
    void builders()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, expected);
        TData d;
        QByteArray buf(300, '\x5A');
        uint8_t* b = u8(buf);
        int n = -1;
        if (kind == "A") n = d.LineStatus(0, b, 0);
        else if (kind == "C") n = d.Compatibility(0, b, 0);
        else if (kind == "I") n = d.Info(0, b, 0);
        else if (kind == "S") n = d.TrapQuery(0, b, 0);
        else if (kind == "U") n = d.UctQuery(0, b, 0);
        else if (kind == "U again") { d.UctReread = true; n = d.UctQuery(0, b, 0); }
        else if (kind == "V") n = d.LineNumbers(0, b, 0);
        else if (kind == "X") n = d.SwitchStatus(0, b, 0);
        else if (kind == "M") n = d.MessagesRequest(b);
        else if (kind == "confirm 7") n = TData::TrapConfirm(b, 7);
        QCOMPARE(n, int(expected.size()));
        QCOMPARE(buf.left(n), expected);
        QCOMPARE(buf.at(n), '\x5A');  // nothing written beyond the request
    }

    void otherModesDoNothing()
    {
        TData d;
        QByteArray buf = bytes({0x00, 0x0E, 0x00, 1, 2, 3, 4, 0x00, 0x16});
        const QByteArray before = buf;
        for (int mode : {-1, 2, 7}) {
            QCOMPARE(d.LineStatus(mode, u8(buf), int(buf.size())), 0);
            QCOMPARE(d.Compatibility(mode, u8(buf), int(buf.size())), 0);
            QCOMPARE(d.Info(mode, u8(buf), int(buf.size())), 0);
            QCOMPARE(d.TrapQuery(mode, u8(buf), int(buf.size())), 0);
            QCOMPARE(d.UctQuery(mode, u8(buf), int(buf.size())), 0);
            QCOMPARE(d.LineNumbers(mode, u8(buf), int(buf.size())), 0);
            QCOMPARE(d.SwitchStatus(mode, u8(buf), int(buf.size())), 0);
        }
        QCOMPARE(buf, before);
        QCOMPARE(int(d.LineCount), 0);
        QCOMPARE(d.LineStatusLen, 0);
        QCOMPARE(d.SwitchLen, 0);
        QCOMPARE(d.TrapRecord, uint8_t(0));
    }

    void trapRecordsCycle()
    {
        TData d;
        uint8_t buf[3];
        QList<int> seen;
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(d.TrapQuery(0, buf, 0), 3);
            seen.append(buf[2]);
            // Taking an answer does not move the counter.
            QCOMPARE(d.TrapQuery(1, buf, 3), 0);
        }
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1}));
    }

    void messagesRequestWithThreeLines()
    {
        TData d;
        QByteArray answer = lineAnswer({bytes({2, 1}), bytes({2, 2}), bytes({3, 10, 1})});
        QCOMPARE(d.LineNumbers(1, u8(answer), int(answer.size())), 0);
        QCOMPARE(numbers(d), (QList<QByteArray>{"21", "22", "301"}));
        d.SetLineCounters("21", 2, 1, 3, 0);
        d.SetLineCounters("22", 4, 5, 6, 7);
        d.SetLineCounters("301", 0, 0, 9, 0);
        uint8_t buf[3 + 4 * MaxLines];
        QCOMPARE(d.MessagesRequest(buf), 15);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(buf), 15),
                 bytes({0x01, 0x11, 0x00, 2, 3, 1, 0, 4, 6, 5, 7, 0, 9, 0, 0}));
    }

    void lineCounters()
    {
        TData d;
        QByteArray answer = lineAnswer({bytes({1, 2}), bytes({1, 2, 3})});
        d.LineNumbers(1, u8(answer), int(answer.size()));

        d.SetLineCounters("12", 2, 1, 3, 0);  // other, fax, voice, fourth
        QCOMPARE(counters(d.Lines[0]), bytes({2, 3, 1, 0}));  // other, voice, fax, fourth
        QCOMPARE(counters(d.Lines[1]), bytes({0, 0, 0, 0}));

        d.AddLineCounters("12", 250, 1, 10, 255);
        QCOMPARE(counters(d.Lines[0]), bytes({252, 13, 2, 255}));
        d.AddLineCounters("12", 10, 0, 0, 2);
        QCOMPARE(counters(d.Lines[0]), bytes({6, 13, 2, 1}));  // modulo 256

        // Only an exact number matches; unknown numbers change nothing.
        for (const QByteArray& other : {QByteArray("1"), QByteArray("1234"), QByteArray("12 "), QByteArray()}) {
            d.SetLineCounters(other, 9, 9, 9, 9);
            d.AddLineCounters(other, 9, 9, 9, 9);
        }
        QCOMPARE(counters(d.Lines[0]), bytes({6, 13, 2, 1}));
        QCOMPARE(counters(d.Lines[1]), bytes({0, 0, 0, 0}));
        QCOMPARE(int(d.FindLine("123")), 1);
        QCOMPARE(int(d.FindLine("1")), 255);

        d.SetLineCounters("123", 1, 1, 1, 1);
        d.ClearLineCounters();
        QCOMPARE(counters(d.Lines[0]), bytes({0, 0, 0, 0}));
        QCOMPARE(counters(d.Lines[1]), bytes({0, 0, 0, 0}));
    }

    void lineNumbers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("length 11: two lines") << lineAnswer({bytes({1, 2}), bytes({19, 11, 12, 10})})
                                              << QList<QByteArray>{"12", "D*#0"};
        QTest::newRow("length 5: none") << bytes({0, 14, 0, 1, 2}) << QList<QByteArray>{};
        QTest::newRow("length 3: none") << bytes({0, 14, 0}) << QList<QByteArray>{};
        QTest::newRow("partial last entry ignored") << lineAnswer({bytes({5})}) + bytes({6, 6, 6})
                                                    << QList<QByteArray>{"5"};
        QTest::newRow("code 20 ends the number") << lineAnswer({bytes({1, 20, 3, 4}), bytes({20, 1})})
                                                 << QList<QByteArray>{"1", ""};
        QTest::newRow("codes above 20 end the number") << lineAnswer({bytes({2, 21, 3}), bytes({255})})
                                                       << QList<QByteArray>{"2", ""};
        QList<QByteArray> codes, first56;
        for (int i = 0; i < 60; ++i) {
            codes.append(bytes({1 + i / 10, 1 + i % 10}));
            first56.append(QByteArray::number(1 + i / 10) + (i % 10 == 9 ? QByteArray("0") : QByteArray::number(1 + i % 10)));
        }
        first56.resize(MaxLines);
        QTest::newRow("60 numbers keep the first 56") << lineAnswer(codes) << first56;
        QList<QByteArray> many;
        for (int i = 0; i < 511; ++i)
            many.append(bytes({19, 19, 19, 19}));
        QTest::newRow("511 numbers") << lineAnswer(many).left(2048) << QList<QByteArray>(MaxLines, "DDDD");
    }
    void lineNumbers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QList<QByteArray>, expected);
        TData d;
        QByteArray before = lineAnswer({bytes({9, 9}), bytes({8}), bytes({7})});
        d.LineNumbers(1, u8(before), int(before.size()));
        QCOMPARE(d.LineNumbers(1, u8(answer), int(answer.size())), 0);
        QCOMPARE(numbers(d), expected);
    }

    void lineNumbersIgnoredAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("error status") << bytes({0x03, 0x0E, 0x00, 1, 2, 3, 4});
        QTest::newRow("no bytes") << QByteArray();
        QTest::newRow("status only") << bytes({0x00});
        QTest::newRow("two bytes") << bytes({0x00, 0x0E});
    }
    void lineNumbersIgnoredAnswers()
    {
        QFETCH(QByteArray, answer);
        TData d;
        QByteArray first = lineAnswer({bytes({4, 4}), bytes({5, 5})});
        d.LineNumbers(1, u8(first), int(first.size()));
        d.SetLineCounters("55", 1, 2, 3, 4);
        QCOMPARE(d.LineNumbers(1, answer.isEmpty() ? nullptr : u8(answer), int(answer.size())), 0);
        QCOMPARE(numbers(d), (QList<QByteArray>{"44", "55"}));
        QCOMPARE(counters(d.Lines[1]), bytes({1, 3, 2, 4}));
    }

    void shorterAnswerKeepsCountersByPosition()
    {
        TData d;
        QByteArray first = lineAnswer({bytes({1}), bytes({2}), bytes({3})});
        d.LineNumbers(1, u8(first), int(first.size()));
        d.SetLineCounters("1", 1, 1, 1, 0);
        d.SetLineCounters("2", 2, 2, 2, 0);
        d.SetLineCounters("3", 3, 3, 3, 0);
        QByteArray second = lineAnswer({bytes({7}), bytes({8})});
        d.LineNumbers(1, u8(second), int(second.size()));
        QCOMPARE(numbers(d), (QList<QByteArray>{"7", "8"}));
        QCOMPARE(counters(d.Lines[0]), bytes({1, 1, 1, 0}));
        QCOMPARE(counters(d.Lines[1]), bytes({2, 2, 2, 0}));
        QCOMPARE(int(d.FindLine("3")), 255);  // no longer valid
        uint8_t buf[3 + 4 * MaxLines];
        QCOMPARE(d.MessagesRequest(buf), 11);
    }

    void decodeDigits_data()
    {
        QTest::addColumn<QByteArray>("codes");
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("123 then end") << bytes({1, 2, 3, 0, 5}) << 5 << QByteArray("123");
        QTest::newRow("0 * #") << bytes({10, 11, 12}) << 3 << QByteArray("0*#");
        QTest::newRow("letters") << bytes({13, 14, 15, 16, 17, 18, 19}) << 7 << QByteArray("FPSABCD");
        QTest::newRow("count limits") << bytes({4, 5, 6, 7, 8, 9}) << 4 << QByteArray("4567");
        QTest::newRow("n 0") << bytes({1}) << 0 << QByteArray();
        QTest::newRow("code 20 ends") << bytes({9, 20, 9}) << 3 << QByteArray("9");
        QTest::newRow("code 200 ends") << bytes({9, 200, 9}) << 3 << QByteArray("9");
    }
    void decodeDigits()
    {
        QFETCH(QByteArray, codes);
        QFETCH(int, n);
        QFETCH(QByteArray, text);
        QCOMPARE(TData::DecodeDigits(reinterpret_cast<const uint8_t*>(codes.constData()), n), text);
    }

    void compatibility_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("stored");
        const QByteArray old(16, '\x77');
        QByteArray thirty;
        for (int i = 1; i <= 30; ++i)
            thirty.append(char(i));
        QTest::newRow("30 bytes store 16") << bytes({0}) + thirty << 128 << thirty.left(16);
        QTest::newRow("3 bytes store 3") << bytes({0, 1, 2, 3}) << 128 << bytes({1, 2, 3}) + old.mid(3);
        QTest::newRow("status only") << bytes({0}) << 128 << old;
        QTest::newRow("error status") << bytes({6, 1, 2, 3}) << 6 << old;
        QTest::newRow("no bytes") << QByteArray() << 255 << old;
    }
    void compatibility()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, result);
        QFETCH(QByteArray, stored);
        TData d;
        std::memset(d.CompatData, 0x77, sizeof d.CompatData);
        std::memset(d.InfoData, 0x66, sizeof d.InfoData);
        QCOMPARE(d.Compatibility(1, answer.isEmpty() ? nullptr : u8(answer), int(answer.size())), result);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.CompatData), 16), stored);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.InfoData), 7), QByteArray(7, '\x66'));
    }

    void infoVerdicts_data()
    {
        QTest::addColumn<int>("byte4");
        QTest::addColumn<int>("byte5");
        QTest::addColumn<int>("result");
        QTest::newRow("4 is 1, 5 is 0") << 1 << 0 << 128;
        QTest::newRow("4 is 1, 5 is 2") << 1 << 2 << 131;
        QTest::newRow("4 is 0") << 0 << 0 << 130;
        QTest::newRow("4 is 2, 5 is 2") << 2 << 2 << 130;
    }
    void infoVerdicts()
    {
        QFETCH(int, byte4);
        QFETCH(int, byte5);
        QFETCH(int, result);
        TData d;
        QByteArray compat = bytes({0, 0, 0, 0, 0, byte4, byte5});
        QCOMPARE(d.Compatibility(1, u8(compat), int(compat.size())), 128);
        QByteArray info = bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        QCOMPARE(d.Info(1, u8(info), int(info.size())), result);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.InfoData), 7), bytes({1, 2, 3, 4, 5, 6, 7}));
    }

    void infoBeforeCompatibilityAndFailures()
    {
        TData d;
        QByteArray info = bytes({0, 9});
        QCOMPARE(d.Info(1, u8(info), int(info.size())), 130);  // CompatData still all zeros
        QCOMPARE(int(d.InfoData[0]), 9);
        QCOMPARE(int(d.InfoData[1]), 0);

        QByteArray failed = bytes({4, 1, 1, 1});
        QCOMPARE(d.Info(1, u8(failed), int(failed.size())), 4);
        QCOMPARE(int(d.InfoData[0]), 9);
        QCOMPARE(d.Info(1, nullptr, 0), 255);
        uint8_t dummy = 0;
        QCOMPARE(d.Info(1, &dummy, -3), 255);
        QCOMPARE(int(d.InfoData[0]), 9);
    }

    void snapshots_data()
    {
        QTest::addColumn<bool>("lineStatus");
        QTest::addColumn<int>("len");
        QTest::addColumn<int>("kept");
        QTest::newRow("line status 5") << true << 5 << 5;
        QTest::newRow("line status 256") << true << 256 << 256;
        QTest::newRow("line status 2048 cut") << true << 2048 << 256;
        QTest::newRow("line status empty") << true << 0 << 0;
        QTest::newRow("switches 3") << false << 3 << 3;
        QTest::newRow("switches 12") << false << 12 << 12;
        QTest::newRow("switches 13 cut") << false << 13 << 12;
        QTest::newRow("switches 2048 cut") << false << 2048 << 12;
    }
    void snapshots()
    {
        QFETCH(bool, lineStatus);
        QFETCH(int, len);
        QFETCH(int, kept);
        SetClock([] { return 45000.25; });
        TData d;
        std::memset(d.SwitchData, 0xAB, sizeof d.SwitchData);
        std::memset(d.LineStatusData, 0xAB, sizeof d.LineStatusData);
        QByteArray answer(len, Qt::Uninitialized);
        for (int i = 0; i < len; ++i)
            answer[i] = char(i % 251 + 1);
        answer.prepend('\x07');  // an error status is stored like any other
        answer.chop(1);
        uint8_t* a = len ? u8(answer) : nullptr;
        if (lineStatus) {
            QCOMPARE(d.LineStatus(1, a, len), 0);
            QCOMPARE(d.LineStatusLen, kept);
            QCOMPARE(d.LineStatusTime, 45000.25);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.LineStatusData), kept), answer.left(kept));
            // Neighbouring fields are untouched.
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.SwitchData), 12), QByteArray(12, '\xAB'));
            QCOMPARE(d.SwitchLen, 0);
            QCOMPARE(d.SwitchTime, 0.0);
        } else {
            QCOMPARE(d.SwitchStatus(1, a, len), 0);
            QCOMPARE(d.SwitchLen, kept);
            QCOMPARE(d.SwitchTime, 45000.25);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.SwitchData), kept), answer.left(kept));
            QCOMPARE(d.LineStatusLen, 0);
            QCOMPARE(d.LineStatusTime, 0.0);
            QCOMPARE(int(d.LineStatusData[255]), 0xAB);
        }
    }

    void appendUctLine()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("DATA.NEW"));
        TData d;
        d.UctReread = true;
        QVERIFY(d.AppendUctLine(path, QByteArray("01 22 \xe8\x01 0:12")));
        QVERIFY(!d.UctReread);
        QVERIFY(d.AppendUctLine(path, QByteArray("second")));
        QVERIFY(d.AppendUctLine(path, QByteArray()));
        QCOMPARE(fileBytes(path), QByteArray("01 22 \xe8\x01 0:12\r\nsecond\r\n\r\n"));
    }

    void appendUctLineRelativeToCurrentDir()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        TData d;
        const bool ok = d.AppendUctLine(QStringLiteral("DATA.NEW"), "x");
        QDir::setCurrent(before);
        QVERIFY(ok);
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("DATA.NEW"))), QByteArray("x\r\n"));
    }

    void appendUctLineFailsWhenUnwritable()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TData d;
        QVERIFY(!d.AppendUctLine(dir.filePath(QStringLiteral("no/such/dir/DATA.NEW")), "x"));
        QVERIFY(d.UctReread);
        QVERIFY(!d.AppendUctLine(dir.path(), "x"));  // a directory
        QVERIFY(d.UctReread);
        uint8_t buf[1];
        QCOMPARE(d.UctQuery(0, buf, 0), 1);
        QCOMPARE(int(buf[0]), 5);
    }

    void appendUctLineBusyWhileAnotherProgramLocksIt()
    {
        const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
        if (flock.isEmpty())
            QSKIP("util-linux flock is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("DATA.NEW"));
        TData d;
        QVERIFY(d.AppendUctLine(path, "A"));

        // Another program takes the lock and holds it until its standard input closes.
        QProcess holder;
        holder.start(flock, {QStringLiteral("-x"), QStringLiteral("-o"), path, QStringLiteral("sh"),
                             QStringLiteral("-c"), QStringLiteral("echo locked; read x; true")});
        QVERIFY(holder.waitForStarted(5000));
        QVERIFY(holder.waitForReadyRead(5000));
        QCOMPARE(holder.readAllStandardOutput(), QByteArray("locked\n"));

        QVERIFY(!d.AppendUctLine(path, "B"));
        QVERIFY(d.UctReread);
        uint8_t buf[1];
        d.UctQuery(0, buf, 0);
        QCOMPARE(int(buf[0]), 5);
        QCOMPARE(fileBytes(path), QByteArray("A\r\n"));

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));
        QCOMPARE(holder.exitCode(), 0);

        QVERIFY(d.AppendUctLine(path, "B"));
        QVERIFY(!d.UctReread);
        d.UctQuery(0, buf, 0);
        QCOMPARE(int(buf[0]), 4);
        QCOMPARE(fileBytes(path), QByteArray("A\r\nB\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
