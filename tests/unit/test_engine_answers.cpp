// Answer handlers of the engine: TRAP records, accounting lines, mailbox-write answers and
// what the dispatch caches, with the exchange played on a pseudo-terminal.
#include "EngineFixture.h"
#include "gateway/TcpGateway.h"

#include <QFile>
#include <QTest>

using namespace orvex;
using namespace orvex::test;

namespace {
QByteArray trapAnswer(uint8_t record, char letter, const QByteArray& text)
{
    QByteArray a;
    a.append('\0').append('\0').append(char(record)).append(letter).append(text);
    return a;
}
}  // namespace

class EngineAnswersTest : public QObject {
    Q_OBJECT
private slots:
    void trapRecords_data();
    void trapRecords();
    void accountingLines();
    void accountingHoldsAtMost201();
    void messagesWrittenAnswer_data();
    void messagesWrittenAnswer();
    void dispatchCachesOnlyWhatItShould();
};

void EngineAnswersTest::trapRecords_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QString>("confirmation");  // hex of the command bytes sent, empty: nothing sent
    QTest::newRow("SMS") << trapAnswer(2, 'Q', "605111222\nPorucha\nLinka 21 nefunguje")
                         << QStringList{"<COM TRAP: SMS to 605111222", ">602 Mail: Porucha to 605111222"}
                         << "01 01 02" + QString(" 00").repeated(251);
    QTest::newRow("fax letter") << trapAnswer(1, 'F', "123\nS\nM") << QStringList{"<COM TRAP: FAX to 123", ">602 Mail: S to 123"}
                                << "01 01 01" + QString(" 00").repeated(251);
    QTest::newRow("no line feed") << trapAnswer(0, 'I', "nothing to split")
                                  << QStringList{"<COM TRAP: Internet to ", ">602 Mail:  to "}
                                  << "01 01 00" + QString(" 00").repeated(251);
    QTest::newRow("unknown letter") << trapAnswer(3, 'Y', "a\nb\nc") << QStringList{}
                                    << "01 01 03" + QString(" 00").repeated(251);
    QTest::newRow("empty record") << trapAnswer(1, '\0', "") << QStringList{"<COM Žádný TRAP"} << QString();
    QTest::newRow("read error") << QByteArray("\x03", 1) << QStringList{"<COM Chyba čtení TRAP :3"} << QString();
}

void EngineAnswersTest::trapRecords()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, logged);
    QFETCH(QString, confirmation);
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    e.RequestQueue->Clear();
    e.QueueRequest('S', 0, nullptr, 0);
    fx.Tick();
    const auto query = fx.TakeFrames();
    QCOMPARE(query.size(), 1);
    QCOMPARE(query[0].mid(1).toHex(' '), QByteArray("00 01 00"));
    const int before = fx.LogLines().size();
    fx.Answer(uint8_t(query[0][0]), answer);
    QCOMPARE(fx.LogLines().mid(before), logged);
    const auto sent = fx.TakeFrames();
    if (confirmation.isEmpty()) {
        QCOMPARE(sent.size(), 0);
    } else {
        QCOMPARE(sent.size(), 1);
        QCOMPARE(QString::fromLatin1(sent[0].mid(1).toHex(' ')).toUpper(), confirmation.toUpper());
        QVERIFY(!e.SentList->Peek(uint8_t(sent[0][0])));  // not filed: no answer is awaited
    }
    QCOMPARE(e.CommState, 0);
}

void EngineAnswersTest::accountingLines()
{
    EngineFixture fx({"Set/ReadUct=1", "Timer/URInterval=111", "Timer/URIntervalBezDat=333"});
    TAgentEngine& e = fx.E();
    e.HandleUctLine(reinterpret_cast<const uint8_t*>("\0"), 1);
    QCOMPARE(e.TimerUR.interval(), 333);
    QVERIFY(fx.LogLines().contains("<COM Prázdný účtovací řádek"));
    QCOMPARE(e.UctTotal, 0);
    const QByteArray a("\0LINE-A", 7), b("\0LINE-B", 7);
    e.HandleUctLine(reinterpret_cast<const uint8_t*>(a.constData()), int(a.size()));
    QCOMPARE(e.TimerUR.interval(), 111);
    e.HandleUctLine(reinterpret_cast<const uint8_t*>(b.constData()), int(b.size()));
    QFile f(e.UctFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("LINE-A\r\nLINE-B\r\n"));
    QCOMPARE(*e.UctLines, (QByteArrayList{"LINE-A", "LINE-B"}));
    QCOMPARE(e.UctTotal, 2);
    // An append that fails is asked for again; the repeat is written but held only once.
    e.UctFile = "/nonexistent-dir/DATA.NEW";
    const QByteArray c("\0LINE-C", 7);
    e.HandleUctLine(reinterpret_cast<const uint8_t*>(c.constData()), int(c.size()));
    QVERIFY(e.PbxData->UctReread);
    uint8_t query[4];
    QCOMPARE(e.PbxData->UctQuery(0, query, 0), 1);
    QCOMPARE(query[0], uint8_t(5));
    e.UctFile = f.fileName();
    e.HandleUctLine(reinterpret_cast<const uint8_t*>(c.constData()), int(c.size()));
    QVERIFY(!e.PbxData->UctReread);
    QCOMPARE(*e.UctLines, (QByteArrayList{"LINE-A", "LINE-B", "LINE-C"}));
    f.seek(0);
    QCOMPARE(f.readAll(), QByteArray("LINE-A\r\nLINE-B\r\nLINE-C\r\n"));
}

void EngineAnswersTest::accountingHoldsAtMost201()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    for (int i = 0; i < 202; ++i) {
        const QByteArray a = QByteArray(1, '\0') + "L" + QByteArray::number(i);
        e.HandleUctLine(reinterpret_cast<const uint8_t*>(a.constData()), int(a.size()));
    }
    QCOMPARE(e.UctLines->size(), 201);
    QCOMPARE(e.UctFirst, 1);
    QCOMPARE(e.UctTotal, 202);
    QCOMPARE(e.UctLines->first(), QByteArray("L1"));
}

void EngineAnswersTest::messagesWrittenAnswer_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("logged");
    QTest::newRow("ok") << QStringList{} << QByteArray("\0\x11\0", 3) << QStringList{"<COM Zápis zpráv"};
    QTest::newRow("ok, pure off") << QStringList{"Log/Com_PureIn=0"} << QByteArray("\0\x11\0", 3) << QStringList{};
    QTest::newRow("error") << QStringList{"Log/Com_PureIn=0"} << QByteArray("\x09", 1) << QStringList{"<COM Chyba zápisu zpráv:9"};
}

void EngineAnswersTest::messagesWrittenAnswer()
{
    QFETCH(QStringList, keys);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, logged);
    EngineFixture fx(keys);
    const int before = fx.LogLines().size();
    fx.E().HandleMessagesWritten(reinterpret_cast<const uint8_t*>(answer.constData()), int(answer.size()));
    QCOMPARE(fx.LogLines().mid(before), logged);
}

void EngineAnswersTest::dispatchCachesOnlyWhatItShould()
{
    EngineFixture fx({"Set/MaxCache=8"});
    TAgentEngine& e = fx.E();
    TResponseCache& cache = fx.Gateway().Cache;
    const uint8_t status[] = {0x00, 0x16, 0x00};
    // 'A' answers are snapshots, not cache entries; client reads are cached even without a client.
    e.RememberSent('A', status, 3, 0);
    e.HandleAnswer(e.PacketSeq, reinterpret_cast<const uint8_t*>("\0\x16\0\x01\x02"), 5);
    QCOMPARE(cache.CacheCount, 0);
    QCOMPARE(e.PbxData->LineStatusLen, 5);
    const uint8_t read[] = {0x00, 0x0B, 0x03};
    e.RememberSent('T', read, 3, 999999);
    e.CommState = 20;
    e.HandleAnswer(e.PacketSeq, reinterpret_cast<const uint8_t*>("\0\x0B\x03\x44"), 4);
    QCOMPARE(e.CommState, 0);
    QCOMPARE(cache.CacheCount, 1);
    // A frame whose sequence byte matches nothing changes nothing.
    e.CommState = 1;
    e.HandleAnswer(uint8_t(e.PacketSeq + 7), reinterpret_cast<const uint8_t*>("\0"), 1);
    QCOMPARE(e.CommState, 1);
}

QTEST_MAIN(EngineAnswersTest)
#include "test_engine_answers.moc"
