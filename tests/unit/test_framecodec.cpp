// The serial frame: CRC, writer, and the receive state machine under any chunking.
#include "Bytes.h"
#include "link/FrameCodec.h"

#include <QRandomGenerator>
#include <QtTest>

#include <zlib.h>

#include <vector>

using namespace orvex;
using orvex::test::bytes;
using orvex::test::u8;

namespace {



// CRC straight from zlib, independent of the table step under test.
uint32_t zcrc(const QByteArray& b) { return uint32_t(crc32(0L, u8(b), uInt(b.size()))); }

// Reference stuffing, written out independently of the writer.
QByteArray stuffed(const QByteArray& b)
{
    QByteArray out;
    for (char c : b) {
        out.append(c);
        if (uint8_t(c) == 0xEE)
            out.append(c);
    }
    return out;
}

QByteArray le16(int v) { return bytes({v & 0xFF, (v >> 8) & 0xFF}); }
QByteArray le32(uint32_t v) { return bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)}); }

// The wire bytes of a frame, built by hand: markers, then LEN, payload and CRC stuffed.
QByteArray wire(const QByteArray& payload, int len = -1, int crcXor = 0)
{
    const int l = len < 0 ? int(payload.size()) : len;
    return bytes({0xEE, 0x23}) + stuffed(le16(l) + payload + le32(zcrc(payload) ^ uint32_t(crcXor)));
}

QByteArray encode(const QByteArray& payload)
{
    std::vector<uint8_t> out(MaxEncodedFrameSize(size_t(payload.size())));
    const size_t n = EncodeFrame(uint8_t(payload[0]), u8(payload) + 1, int(payload.size()) - 1, out.data());
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(n));
}

// Feeds the stream in chunks of the given sizes (cycled) and returns every frame reported.
// Each reported payload is checked against the CRC bytes the reader kept after it.
struct Fed {
    QList<QByteArray> Frames;
    int BadCrc = 0;
};
Fed feed(FrameReader& r, const QByteArray& stream, const QList<int>& chunks)
{
    Fed result;
    qsizetype pos = 0;
    int ci = 0;
    while (pos < stream.size()) {
        const qsizetype size = qMin<qsizetype>(chunks[ci++ % chunks.size()], stream.size() - pos);
        qsizetype at = 0;
        while (at < size) {
            size_t used = 0;
            const int len = r.Feed(u8(stream) + pos + at, size_t(size - at), &used);
            if (used < 1 || qsizetype(used) > size - at) {
                QTest::qFail("Feed must consume at least one byte and never more than given", __FILE__, __LINE__);
                return result;
            }
            at += qsizetype(used);
            if (len > 0) {
                const QByteArray payload(reinterpret_cast<const char*>(r.InCom), len);
                const QByteArray crc(reinterpret_cast<const char*>(r.InCom) + len, 4);
                if (crc != le32(zcrc(payload)))
                    ++result.BadCrc;
                result.Frames.append(payload);
            }
        }
        pos += size;
    }
    return result;
}
Fed feed(FrameReader& r, const QByteArray& stream) { return feed(r, stream, {int(stream.size())}); }

// A payload of `size` bytes whose CRC has 0xEE at byte `crcByte` (0 lowest).
QByteArray payloadWithCrcByteEE(int size, int crcByte)
{
    QByteArray p(size, '\x41');
    for (quint32 i = 0;; ++i) {
        for (int k = 0; k < 4 && k < size; ++k)
            p[k] = char(i >> (8 * k));
        if (((zcrc(p) >> (8 * crcByte)) & 0xFF) == 0xEE)
            return p;
    }
}

}  // namespace

class TestFrameCodec : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue()
    {
        const QByteArray check("123456789");
        QCOMPARE(Crc32(u8(check), size_t(check.size())), 0xCBF43926u);
        uint32_t crc = 0xFFFFFFFFu;
        for (char c : check)
            crc = Update_CRC32(crc, uint8_t(c));
        QCOMPARE(crc ^ 0xFFFFFFFFu, 0xCBF43926u);
    }

    void crcStepAgreesWithWholeBuffer()
    {
        QRandomGenerator rng(7);
        for (int size : {0, 1, 2, 3, 4, 5, 17, 255, 256, 2049}) {
            QByteArray b(size, Qt::Uninitialized);
            for (char& c : b)
                c = char(rng.bounded(256));
            uint32_t crc = 0xFFFFFFFFu;
            for (char c : b)
                crc = Update_CRC32(crc, uint8_t(c));
            QCOMPARE(crc ^ 0xFFFFFFFFu, Crc32(u8(b), size_t(b.size())));
            QCOMPARE(Crc32(u8(b), size_t(b.size())), zcrc(b));
        }
    }

    void writerBytes_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("plain") << bytes({0x07, 0x00, 0x16, 0x00});
        QTest::newRow("0xEE in payload") << bytes({0xEE, 0x01, 0xEE, 0xEE, 0x23});
        QTest::newRow("LEN low 0xEE") << QByteArray(0xEE, '\x05');
        QTest::newRow("CRC byte 0 is 0xEE") << payloadWithCrcByteEE(6, 0);
        QTest::newRow("CRC byte 3 is 0xEE") << payloadWithCrcByteEE(6, 3);
        QTest::newRow("sequence byte only") << bytes({0x2A});
    }
    void writerBytes()
    {
        QFETCH(QByteArray, payload);
        const QByteArray got = encode(payload);
        QCOMPARE(got, wire(payload));
        QVERIFY(size_t(got.size()) <= MaxEncodedFrameSize(size_t(payload.size())));
    }

    void writerLenWraps()
    {
        // LEN is count + 1 modulo 65536: a payload of 65536 bytes announces 0.
        const QByteArray payload(65536, '\x01');
        QCOMPARE(encode(payload).mid(2, 2), bytes({0x00, 0x00}));
    }

    void roundTripAnyChunking_data()
    {
        QTest::addColumn<int>("chunk");
        for (int c : {1, 2, 3, 5, 7, 64, 100000})
            QTest::newRow(qPrintable(QStringLiteral("chunk %1").arg(c))) << c;
    }
    void roundTripAnyChunking()
    {
        QFETCH(int, chunk);
        const QList<QByteArray> payloads = {
            bytes({0x01}),
            bytes({0xEE}),
            bytes({0xEE, 0xEE, 0x23, 0xEE}),
            QByteArray(0xEE, '\xEE'),                 // LEN low byte 0xEE, every payload byte 0xEE
            payloadWithCrcByteEE(3, 0),
            payloadWithCrcByteEE(9, 1),
            payloadWithCrcByteEE(4, 2),
            payloadWithCrcByteEE(12, 3),
            QByteArray(MaxFrameLen, '\x23'),
        };
        QByteArray stream;
        for (const QByteArray& p : payloads)
            stream += encode(p);
        FrameReader r;
        const Fed fed = feed(r, stream, {chunk});
        QCOMPARE(fed.Frames, payloads);
        QCOMPARE(fed.BadCrc, 0);
        QCOMPARE(r.RxState, uint8_t(FrameReader::Hunting));
    }

    void feedStopsAfterEachFrame()
    {
        const QByteArray a = encode(bytes({1, 2, 3})), b = encode(bytes({4, 5}));
        const QByteArray stream = a + b;
        FrameReader r;
        size_t used = 0;
        QCOMPARE(r.Feed(u8(stream), size_t(stream.size()), &used), 3);
        QCOMPARE(used, size_t(a.size()));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.InCom), 3), bytes({1, 2, 3}));
        QCOMPARE(r.Feed(u8(stream) + used, size_t(stream.size()) - used, &used), 2);
        QCOMPARE(used, size_t(b.size()));
    }

    void lengthLimit_data()
    {
        QTest::addColumn<int>("len");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("2049") << 2049 << true;
        QTest::newRow("2050") << 2050 << false;
        QTest::newRow("65535") << 65535 << false;
    }
    void lengthLimit()
    {
        QFETCH(int, len);
        QFETCH(bool, accepted);
        FrameReader r;
        const QByteArray header = bytes({0xEE, 0x23}) + stuffed(le16(len));
        size_t used = 0;
        QCOMPARE(r.Feed(u8(header), size_t(header.size()), &used), 0);
        // Refused as soon as the high byte is in: the reader hunts again.
        QCOMPARE(r.RxState, accepted ? uint8_t(FrameReader::Body) : uint8_t(FrameReader::Hunting));

        FrameReader whole;
        const QByteArray payload(qMin(len, 4000), '\x11');
        const Fed fed = feed(whole, wire(payload, len) + encode(bytes({9, 9})));
        if (accepted)
            QCOMPARE(fed.Frames, (QList<QByteArray>{payload, bytes({9, 9})}));
        else
            QCOMPARE(fed.Frames, QList<QByteArray>{bytes({9, 9})});
    }

    void lenHighByteEEIsRefused()
    {
        // 0xEE doubled as LEN high byte means at least 0xEE00 bytes: refused at once.
        FrameReader r;
        const QByteArray payload(3, '\x01');
        const QByteArray stream = bytes({0xEE, 0x23, 0x03, 0xEE, 0xEE}) + payload + stuffed(le32(zcrc(payload)));
        const Fed fed = feed(r, stream + encode(bytes({7})), {1});
        QCOMPARE(fed.Frames, QList<QByteArray>{bytes({7})});
    }

    void resynchronisation_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        const QByteArray partial = encode(QByteArray(40, '\x33')).left(20);
        QTest::newRow("inside payload") << partial;
        QTest::newRow("inside CRC") << encode(QByteArray(10, '\x33')).chopped(2);
        QTest::newRow("after LEN low") << bytes({0xEE, 0x23, 0x05});
        QTest::newRow("after LEN low 0xEE pair") << bytes({0xEE, 0x23, 0xEE, 0xEE});
        QTest::newRow("after LEN high") << bytes({0xEE, 0x23, 0x05, 0x00});
        QTest::newRow("after payload 0xEE pair") << bytes({0xEE, 0x23, 0x05, 0x00, 0x01, 0xEE, 0xEE});
        QTest::newRow("several markers") << bytes({0xEE, 0xEE, 0xEE});
        QTest::newRow("noise") << bytes({0x00, 0x23, 0x23, 0xEE, 0x01, 0x99});
    }
    void resynchronisation()
    {
        QFETCH(QByteArray, prefix);
        const QByteArray payload = bytes({0x05, 0x00, 0x0E, 0x00});
        for (int chunk : {1, 3, 1000}) {
            FrameReader r;
            const Fed fed = feed(r, prefix + encode(payload), {chunk});
            QCOMPARE(fed.Frames, QList<QByteArray>{payload});
        }
    }

    void markerInsideFrameStartsNewOne_data()
    {
        // Each prefix ends with a lone 0xEE; the 0x23 after it starts a new frame.
        QTest::addColumn<QByteArray>("prefix");
        QTest::newRow("in payload") << bytes({0xEE, 0x23, 0x10, 0x00, 0x01, 0x02, 0xEE});
        QTest::newRow("in CRC") << bytes({0xEE, 0x23, 0x01, 0x00, 0x01, 0x02, 0xEE});
        QTest::newRow("as LEN low") << bytes({0xEE, 0x23, 0xEE});
        QTest::newRow("as LEN high") << bytes({0xEE, 0x23, 0x05, 0xEE});
    }
    void markerInsideFrameStartsNewOne()
    {
        // The two bytes after the marker are the new frame's LEN.
        QFETCH(QByteArray, prefix);
        FrameReader r;
        const QByteArray inner = bytes({0x42, 0x43});
        const QByteArray stream = prefix + bytes({0x23}) + stuffed(le16(2) + inner + le32(zcrc(inner)));
        QCOMPARE(feed(r, stream, {1}).Frames, QList<QByteArray>{inner});
    }

    void lastCrcByteEEWaitsForItsCopy()
    {
        const QByteArray payload = payloadWithCrcByteEE(5, 3);
        const QByteArray w = encode(payload);
        QCOMPARE(uint8_t(w.back()), uint8_t(0xEE));
        FrameReader r;
        size_t used = 0;
        QCOMPARE(r.Feed(u8(w), size_t(w.size() - 1), &used), 0);
        QCOMPARE(r.RxState, uint8_t(FrameReader::BodyEscaped));
        QCOMPARE(int(r.RxCount), int(payload.size()) + 4);
        QCOMPARE(r.Feed(u8(w) + w.size() - 1, 1, &used), int(payload.size()));

        // Without the copy the frame is malformed and dropped.
        FrameReader broken;
        const QByteArray cut = w.chopped(1) + bytes({0x00}) + encode(bytes({3}));
        QCOMPARE(feed(broken, cut).Frames, QList<QByteArray>{bytes({3})});
    }

    void corruptedFramesDropped_data()
    {
        QTest::addColumn<QByteArray>("bad");
        const QByteArray payload = bytes({0x11, 0x22, 0x33, 0x44, 0x55});
        QByteArray flipped = encode(payload);
        flipped[6] = char(flipped[6] ^ 0x01);
        QTest::newRow("payload bit") << flipped;
        QTest::newRow("CRC wrong") << wire(payload, -1, 0x00010000);
        // The next frame's first 0xEE is taken as the missing CRC byte; its 0x23 resynchronises.
        QTest::newRow("cut before last CRC byte") << encode(payload).chopped(1);
        QTest::newRow("0xEE then other byte in payload") << bytes({0xEE, 0x23, 0x03, 0x00, 0x01, 0xEE, 0x02, 0x03}) + le32(0);
        QTest::newRow("0xEE then other byte after LEN low") << bytes({0xEE, 0x23, 0xEE, 0x01, 0x00});
        QTest::newRow("0xEE then other byte after LEN high") << bytes({0xEE, 0x23, 0x01, 0xEE, 0x01});
        QTest::newRow("LEN larger than data") << wire(payload, 9);
        QTest::newRow("LEN smaller than data") << wire(payload, 2);
    }
    void corruptedFramesDropped()
    {
        QFETCH(QByteArray, bad);
        const QByteArray good = bytes({0x01, 0xEE, 0x02});
        for (int chunk : {1, 2, 1000}) {
            FrameReader r;
            const Fed fed = feed(r, bad + encode(good), {chunk});
            QCOMPARE(fed.BadCrc, 0);
            QCOMPARE(fed.Frames, QList<QByteArray>{good});
        }
    }

    void emptyFramePassesButReadsAsZero()
    {
        // LEN 0 with CRC 00 00 00 00 is a good frame that reads as 0; the reader still
        // stops after it so that what follows is not mistaken for its continuation.
        const QByteArray empty = bytes({0xEE, 0x23, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        const QByteArray stream = empty + encode(bytes({5}));
        FrameReader r;
        size_t used = 0;
        QCOMPARE(r.Feed(u8(stream), size_t(stream.size()), &used), 0);
        QCOMPARE(used, size_t(empty.size()));
        QCOMPARE(r.RxState, uint8_t(FrameReader::Hunting));
        QCOMPARE(feed(r, stream.mid(qsizetype(used))).Frames, QList<QByteArray>{bytes({5})});
    }

    void randomNoiseNeverYieldsBadFrames()
    {
        QRandomGenerator rng(20240611);
        FrameReader r;
        QByteArray noise(256 * 1024, Qt::Uninitialized);
        for (char& c : noise)
            c = char(rng.bounded(256));
        // Bias towards the marker so that the reader goes deep into its states.
        for (int i = 0; i < noise.size(); i += int(rng.bounded(1, 40)))
            noise[i] = char(rng.bounded(2) ? 0xEE : 0x23);
        QList<int> chunks;
        for (int i = 0; i < 64; ++i)
            chunks.append(int(rng.bounded(1, 700)));
        const Fed fed = feed(r, noise, chunks);
        QCOMPARE(fed.BadCrc, 0);
    }

    void validFramesFoundAmongNoise()
    {
        QRandomGenerator rng(424242);
        auto randomPayload = [&rng](int maxSize) {
            QByteArray p(int(rng.bounded(1, maxSize + 1)), Qt::Uninitialized);
            for (char& c : p)
                c = char(rng.bounded(4) == 0 ? 0xEE : rng.bounded(256));
            return p;
        };
        for (int round = 0; round < 40; ++round) {
            QByteArray stream;
            QList<QByteArray> expected;
            for (int seg = 0; seg < 60; ++seg) {
                QByteArray junk;
                switch (rng.bounded(5)) {
                case 0:  // random bytes
                    junk.resize(int(rng.bounded(1, 80)));
                    for (char& c : junk)
                        c = char(rng.bounded(3) == 0 ? 0xEE : rng.bounded(256));
                    break;
                case 1:  // a frame cut short
                    junk = encode(randomPayload(300));
                    junk.truncate(int(rng.bounded(1, int(junk.size()))));
                    break;
                case 2: {  // a frame with one flipped bit after the markers
                    junk = encode(randomPayload(300));
                    const int at = int(rng.bounded(2, int(junk.size())));
                    junk[at] = char(junk[at] ^ (1 << rng.bounded(8)));
                    break;
                }
                case 3:  // a frame that is too long
                    junk = wire(QByteArray(int(rng.bounded(2050, 2200)), '\x10'));
                    break;
                default:
                    break;
                }
                // A lone trailing 0xEE would pair with the next marker; the protocol
                // cannot recover from that, so the junk ends on another byte.
                if (!junk.isEmpty() && uint8_t(junk.back()) == 0xEE)
                    junk.append('\x00');
                const QByteArray payload = randomPayload(rng.bounded(4) == 0 ? MaxFrameLen : 64);
                stream += junk + encode(payload);
                expected.append(payload);
            }
            QList<int> chunks;
            for (int i = 0; i < 16; ++i)
                chunks.append(int(rng.bounded(1, 300)));
            const Fed fed = feed(r, stream, chunks);
            QCOMPARE(fed.BadCrc, 0);
            QCOMPARE(fed.Frames.size(), expected.size());
            QCOMPARE(fed.Frames, expected);
        }
    }

private:
    FrameReader r;
};

QTEST_APPLESS_MAIN(TestFrameCodec)
#include "test_framecodec.moc"
