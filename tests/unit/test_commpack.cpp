// The serial packet component through a real pseudo-terminal pair.
#include "Bytes.h"
#include "PtyPair.h"
#include "link/CommPack.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <termios.h>
#include <vector>

using namespace orvex;
using orvex::test::bytes;
using orvex::test::u8;
using orvex::test::PtyPair;

namespace {



QByteArray encode(const QByteArray& payload)
{
    std::vector<uint8_t> out(MaxEncodedFrameSize(size_t(payload.size())));
    const size_t n = EncodeFrame(uint8_t(payload[0]), u8(payload) + 1, int(payload.size()) - 1, out.data());
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(n));
}

// Takes every frame the way the agent's receive handler does: the reported count first,
// then 0 until nothing more is complete. Counts the bytes the events announced.
struct Receiver {
    explicit Receiver(TCommPack& pack) : Pack(pack)
    {
        QObject::connect(&pack, &TCommPack::RxChar, &pack, [this](QObject* sender, int count) {
            if (sender != &Pack || count <= 0)
                ++BadEvents;
            Announced += count;
            for (int n = Pack.ReadPacket(count); n > 0; n = Pack.ReadPacket(0))
                Frames.append(QByteArray(reinterpret_cast<const char*>(Pack.InCom()), n));
        });
    }
    TCommPack& Pack;
    QList<QByteArray> Frames;
    qint64 Announced = 0;
    int BadEvents = 0;
};

}  // namespace

// A packet component opened on the slave end of a fresh pseudo-terminal.
struct PortOnPty {
    PtyPair Pty;
    TCommPack Pack;
    QString Error;
    bool Open()
    {
        if (!Pty.IsOpen())
            return false;
        Pack.Set(Pty.PortString());
        return Pack.Open(&Error);
    }
};

class TestCommPack : public QObject {
    Q_OBJECT
private slots:
    void setParsesPortStrings_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("stop");
        // Every row starts from /dev/ttyUSB9, br38400, paOdd, da6, sb15.
        QTest::newRow("COM1 9600 E 7 2") << "COM1:9600,E,7,2" << "COM1" << int(br9600) << int(paEven) << int(da7) << int(sb20);
        QTest::newRow("pty path") << "/dev/pts/7:19200,N,8,1" << "/dev/pts/7" << int(br19200) << int(paNone) << int(da8) << int(sb10);
        QTest::newRow("no colon") << "COM2 19200,N,8,1" << "/dev/ttyUSB9" << int(br38400) << int(paOdd) << int(da6) << int(sb15);
        QTest::newRow("baud 1000 keeps rate") << "COM3:1000,N,8,1" << "COM3" << int(br38400) << int(paNone) << int(da8) << int(sb10);
        QTest::newRow("space parity not applied") << "COM3:9600,S,8,1" << "COM3" << int(br9600) << int(paOdd) << int(da8) << int(sb10);
        QTest::newRow("mark, 5 bits, 1.5 stop") << "COM4:256000,M,5,1.5" << "COM4" << int(br256000) << int(paMark) << int(da5) << int(sb15);
        QTest::newRow("4 data bits") << "COM4:115200,o,4,1" << "COM4" << int(br115200) << int(paOdd) << int(da4) << int(sb10);
        QTest::newRow("9 data bits kept") << "COM4:110,N,9,3" << "COM4" << int(br110) << int(paNone) << int(da6) << int(sb15);
        QTest::newRow("short form baud") << "COM5:96,E,7,1" << "COM5" << int(br9600) << int(paEven) << int(da7) << int(sb10);
        QTest::newRow("only a baud rate") << "COM6:14400" << "COM6" << int(br14400) << int(paOdd) << int(da6) << int(sb15);
        QTest::newRow("first colon splits") << "COM7:56000,N,8,1:x" << "COM7" << int(br56000) << int(paNone) << int(da8) << int(sb15);
        QTest::newRow("rubbish settings") << "COM8:fast,?,x,y" << "COM8" << int(br38400) << int(paOdd) << int(da6) << int(sb15);
    }
    void setParsesPortStrings()
    {
        QFETCH(QString, port);
        QFETCH(QString, device);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, data);
        QFETCH(int, stop);
        TCommPack pack;
        pack.DeviceName = QStringLiteral("/dev/ttyUSB9");
        pack.BaudRate = br38400;
        pack.Parity = paOdd;
        pack.Databits = da6;
        pack.Stopbits = sb15;
        pack.Set(port);
        QCOMPARE(pack.DeviceName, device);
        QCOMPARE(int(pack.BaudRate), baud);
        QCOMPARE(int(pack.Parity), parity);
        QCOMPARE(int(pack.Databits), data);
        QCOMPARE(int(pack.Stopbits), stop);
        QVERIFY(!pack.Connected());
    }

    void systemDeviceNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("system");
        QTest::newRow("COM2") << "COM2" << "/dev/ttyS1";
        QTest::newRow("com1") << "com1" << "/dev/ttyS0";
        QTest::newRow("Com12") << "Com12" << "/dev/ttyS11";
        QTest::newRow("COM0 is no COM port") << "COM0" << "COM0";
        QTest::newRow("COMX") << "COMX" << "COMX";
        QTest::newRow("path") << "/dev/ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("pty") << "/dev/pts/7" << "/dev/pts/7";
    }
    void systemDeviceNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, system);
        QCOMPARE(SystemDeviceName(name), system);
    }

    void openFailsWithReason()
    {
        TCommPack pack;
        pack.Set(QStringLiteral("/dev/orvex-no-such-tty:19200,N,8,1"));
        QString error;
        QVERIFY(!pack.Open(&error));
        QVERIFY(!pack.Connected());
        QVERIFY2(error.startsWith(QLatin1String("Error accessing specified device (Error: ")), qPrintable(error));

        PtyPair pty;
        QVERIFY(pty.IsOpen());
        pack.Set(pty.PortString());
        QVERIFY(pack.Open(&error));
        QVERIFY(!pack.Open(&error));
        QCOMPARE(error, QStringLiteral("Port already assigned (open)"));
        QVERIFY(pack.Connected());
        pack.Close();
        QVERIFY(!pack.Connected());
    }

    void setOnOpenPort()
    {
        PtyPair pty;
        QVERIFY(pty.IsOpen());
        TCommPack pack;
        pack.Set(pty.PortString(QStringLiteral("19200,N,8,1")));
        QString error;
        QVERIFY2(pack.Open(&error), qPrintable(error));
        termios t{};
        QCOMPARE(::tcgetattr(pty.Slave(), &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B19200));
        QVERIFY(!(t.c_cflag & CSTOPB));

        // Line settings reach the open device at once. (A pty forces 8 bits without
        // parity, so speed and stop bits are what can be seen here.)
        pack.Set(pty.PortString(QStringLiteral("9600,E,7,2")));
        QCOMPARE(::tcgetattr(pty.Slave(), &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QVERIFY(t.c_cflag & CSTOPB);

        // Another device while open is refused as a whole; the caller closes first.
        pack.Set(QStringLiteral("COM1:115200,N,8,1"));
        QCOMPARE(pack.DeviceName, pty.SlavePath());
        QCOMPARE(int(pack.BaudRate), int(br9600));
        QVERIFY(pack.Connected());
        pack.Close();
        pack.Set(QStringLiteral("COM1:115200,N,8,1"));
        QCOMPARE(pack.DeviceName, QStringLiteral("COM1"));
        QCOMPARE(int(pack.BaudRate), int(br115200));
    }

    void writePacketReachesTheOtherEnd_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("line status request") << bytes({0x07, 0x00, 0x16, 0x00});
        QTest::newRow("0xEE everywhere") << bytes({0xEE, 0xEE, 0x23, 0xEE});
        QByteArray confirm(254, '\0');
        confirm[0] = 0x01;
        confirm[1] = 0x01;
        confirm[2] = 0x02;
        QTest::newRow("TRAP confirmation") << bytes({0x11}) + confirm;
        QTest::newRow("largest frame") << QByteArray(MaxFrameLen, '\xEE');
    }
    void writePacketReachesTheOtherEnd()
    {
        QFETCH(QByteArray, payload);
        PortOnPty port;
        QVERIFY2(port.Open(), qPrintable(port.Error));
        PtyPair& pty = port.Pty;
        TCommPack& pack = port.Pack;
        pack.WritePacket(uint8_t(payload[0]), u8(payload) + 1, int(payload.size()) - 1);
        const QByteArray expected = encode(payload);
        const QByteArray got = pty.Read(int(expected.size()));
        QCOMPARE(got.size(), expected.size());
        QCOMPARE(got, expected);
        FrameReader r;
        size_t used = 0;
        QCOMPARE(r.Feed(u8(got), size_t(got.size()), &used), int(payload.size()));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.InCom), payload.size()), payload);
        QVERIFY(pty.ReadAvailable(50).isEmpty());  // one frame, nothing more
    }

    void writeCharStuffs()
    {
        PortOnPty port;
        QVERIFY2(port.Open(), qPrintable(port.Error));
        PtyPair& pty = port.Pty;
        TCommPack& pack = port.Pack;
        pack.WriteChar(0xEE, true);
        pack.WriteChar(0xEE, false);
        pack.WriteChar(0x23, true);
        QCOMPARE(pty.Read(4), bytes({0xEE, 0xEE, 0xEE, 0x23}));
    }

    void nothingWrittenWhenClosed()
    {
        PtyPair pty;
        QVERIFY(pty.IsOpen());
        TCommPack pack;
        pack.Set(pty.PortString());
        const uint8_t data[2] = {1, 2};
        pack.WritePacket(9, data, 2);
        pack.WriteChar(0x41, false);
        QVERIFY(pack.Open());
        pack.Close();
        pack.WritePacket(9, data, 2);
        QVERIFY(pty.ReadAvailable(100).isEmpty());
        QCOMPARE(pack.ReadPacket(100), 0);
    }

    void readFramesWithAnyChunking_data()
    {
        QTest::addColumn<int>("maxPiece");
        QTest::newRow("1 byte per event") << 1;
        QTest::newRow("up to 7 bytes") << 7;
        QTest::newRow("up to 300 bytes") << 300;
    }
    void readFramesWithAnyChunking()
    {
        QFETCH(int, maxPiece);
        PortOnPty port;
        QVERIFY2(port.Open(), qPrintable(port.Error));
        PtyPair& pty = port.Pty;
        TCommPack& pack = port.Pack;
        Receiver rx(pack);

        QRandomGenerator rng{quint32(maxPiece)};
        QList<QByteArray> payloads;
        QByteArray stream;
        for (int i = 0; i < 12; ++i) {
            QByteArray p(int(rng.bounded(1, 200)), Qt::Uninitialized);
            for (char& c : p)
                c = char(rng.bounded(3) == 0 ? 0xEE : rng.bounded(256));
            payloads.append(p);
            stream += bytes({0x00, 0x23, 0x55}) + encode(p);  // some line noise between frames
        }
        qsizetype sent = 0;
        while (sent < stream.size()) {
            const qsizetype piece = qMin<qsizetype>(rng.bounded(1, maxPiece + 1), stream.size() - sent);
            QVERIFY(pty.Write(stream.mid(sent, piece)));
            sent += piece;
            // Each piece is taken by its own receive event before the next is written.
            QTRY_COMPARE_WITH_TIMEOUT(rx.Announced, qint64(sent), 5000);
        }
        QCOMPARE(rx.BadEvents, 0);
        QCOMPARE(rx.Frames, payloads);
    }

    void twoFramesInOneChunkAreBothDelivered()
    {
        PortOnPty port;
        QVERIFY2(port.Open(), qPrintable(port.Error));
        PtyPair& pty = port.Pty;
        TCommPack& pack = port.Pack;
        const QList<QByteArray> payloads = {bytes({0x01, 0x00, 0x16, 0x00, 0x05}), bytes({0x02, 0x00}), bytes({0x03, 0xEE})};
        QByteArray stream;
        for (const QByteArray& p : payloads)
            stream += encode(p);
        QVERIFY(pty.Write(stream));

        // Wait until the whole burst is waiting at the port, then take it as one read.
        QSignalSpy events(&pack, &TCommPack::RxChar);
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty() && events.last().at(1).toInt() == stream.size(), 5000);
        QList<QByteArray> got;
        int n = pack.ReadPacket(int(stream.size()));
        QCOMPARE(n, 5);
        got.append(QByteArray(reinterpret_cast<const char*>(pack.InCom()), n));
        // The rest stays with the component; count 0 continues with it.
        while ((n = pack.ReadPacket(0)) > 0)
            got.append(QByteArray(reinterpret_cast<const char*>(pack.InCom()), n));
        QCOMPARE(got, payloads);
        QCOMPARE(pack.ReadPacket(0), 0);
    }

    void readLargerThanOneChunk()
    {
        PortOnPty port;
        QVERIFY2(port.Open(), qPrintable(port.Error));
        PtyPair& pty = port.Pty;
        TCommPack& pack = port.Pack;
        // The first chunk of 2100 bytes ends inside the second frame, the second chunk inside
        // the third; the last frame lies entirely in the third chunk.
        QList<QByteArray> payloads = {QByteArray(1500, '\x31'), QByteArray(1200, '\x32'), QByteArray(1800, '\x34'),
                                      bytes({0x33, 1, 2, 3, 4})};
        payloads[1][600] = char(0xEE);
        QByteArray stream;
        for (const QByteArray& p : payloads)
            stream += encode(p);
        QVERIFY(stream.size() > 2 * TCommPack::ChunkSize);
        QVERIFY(pty.Write(stream));
        QSignalSpy events(&pack, &TCommPack::RxChar);
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty() && events.last().at(1).toInt() == stream.size(), 5000);

        QList<QByteArray> got;
        for (int n = pack.ReadPacket(int(stream.size())); n > 0; n = pack.ReadPacket(0))
            got.append(QByteArray(reinterpret_cast<const char*>(pack.InCom()), n));
        QCOMPARE(got, payloads);
    }

    void readRequestAboveWaitingBytes()
    {
        // Asking for more than is waiting reads what is there and keeps the partial frame.
        PortOnPty port;
        QVERIFY2(port.Open(), qPrintable(port.Error));
        PtyPair& pty = port.Pty;
        TCommPack& pack = port.Pack;
        const QByteArray payload = bytes({0x04, 0x00, 0x41, 0x42});
        const QByteArray w = encode(payload);
        QSignalSpy events(&pack, &TCommPack::RxChar);
        QVERIFY(pty.Write(w.left(5)));
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty(), 5000);
        QCOMPARE(pack.ReadPacket(4096), 0);
        QCOMPARE(pack.ReadPacket(4096), 0);
        QVERIFY(pty.Write(w.mid(5)));
        QTRY_VERIFY_WITH_TIMEOUT(events.size() >= 2, 5000);
        QCOMPARE(pack.ReadPacket(4096), int(payload.size()));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(pack.InCom()), payload.size()), payload);
    }
};

QTEST_GUILESS_MAIN(TestCommPack)
#include "test_commpack.moc"
