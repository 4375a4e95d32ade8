// The request queue, the tick and the answer dispatch, driven by hand on a pseudo-terminal
// with a controlled clock: no real time passes between ticks.
#include "EngineFixture.h"
#include "base/Clock.h"
#include "gateway/TcpGateway.h"

#include <QTest>

using namespace orvex;
using namespace orvex::test;

class EngineTickTest : public QObject {
    Q_OBJECT
private slots:
    void queueRules();
    void sentListReplacesReusedSequence();
    void startRequestsGoOutWithSequenceOneTwoThree();
    void lineNumbersAnswerStartsPolls();
    void timeoutAtMaxTickAndErrorsAddUp();
    void outageDeclaredOnceRetriedAndRestored();
    void lateAnswerReturnsToReadyWithoutRestore();
    void noLocLineWhileErrorsCounted();
    void closedPortFreezesStateMachine();
    void clientRequestTimesOutWithoutError();
    void versionCheck_data();
    void versionCheck();
    void pollTimersQueueOnceAndSnapshotPollsStop();
    void clientRequestsDoNotPostponeThePoll();
};

void EngineTickTest::queueRules()
{
    TRequestQueue q;
    q.QueueOwn('A');
    q.QueueOwn('A');
    QCOMPARE(q.Count(), 1);
    const uint8_t first[] = {0, 11, 1};
    const uint8_t second[] = {0, 11, 2};
    q.QueueClient(7, TRequestItem::Make('T', 7, first, 3));
    q.QueueOwn('S');
    q.QueueClient(7, TRequestItem::Make('T', 7, second, 3));
    QCOMPARE(q.Count(), 3);
    QCOMPARE(q.At(0).Key, QString("A"));
    QCOMPARE(q.At(1).Key, QString("S"));
    QCOMPARE(q.At(2).Key, QString("T7"));
    QCOMPARE(q.At(2).Item->Payload[2], uint8_t(2));  // the newer request replaced the older

    TRequestQueue full;
    for (int i = 0; i < TRequestQueue::MaxEntries; ++i)
        full.QueueClient(i, TRequestItem::Make('T', i, first, 3));
    full.QueueOwn('U');
    QCOMPARE(full.Count(), TRequestQueue::MaxEntries);
    QCOMPARE(full.At(0).Key, QString("T1"));
    QCOMPARE(full.At(full.Count() - 1).Key, QString("U"));

    // A client packet longer than a record keeps its first 256 bytes.
    QByteArray big(600, '\x05');
    auto item = TRequestItem::Make('T', 1, reinterpret_cast<const uint8_t*>(big.constData()), big.size());
    QCOMPARE(item->Length, 256);
}

void EngineTickTest::sentListReplacesReusedSequence()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    e.PacketSeq = 255;
    const uint8_t req[] = {0x02};
    e.RememberSent('I', req, 1, 0);
    e.SendToPbx(">COM", "Informace", req, 1);
    QCOMPARE(e.PacketSeq, uint8_t(0));
    e.RememberSent('C', req, 1, 0);
    e.SendToPbx(">COM", "x", req, 1);
    QCOMPARE(e.PacketSeq, uint8_t(1));
    // Sequence 255 used again: the old request is released and replaced.
    e.PacketSeq = 255;
    e.RememberSent('A', req, 1, 0);
    QCOMPARE(e.SentList->Peek(255)->Kind, 'A');
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(uint8_t(frames[0][0]), uint8_t(255));
    QCOMPARE(uint8_t(frames[1][0]), uint8_t(0));
}

void EngineTickTest::startRequestsGoOutWithSequenceOneTwoThree()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    QCOMPARE(e.RequestQueue->Count(), 3);
    const QByteArray expected[] = {Hex("01 0D"), Hex("02 02"), Hex("03 00 0E 00")};
    for (const QByteArray& want : expected) {
        fx.Tick();
        QCOMPARE(e.CommState, 1);
        const auto frames = fx.TakeFrames();
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].toHex(' '), want.toHex(' '));
        fx.Answer(uint8_t(want[0]), want[1] == 0x0D ? Hex("00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00")
                                    : want[1] == 0x02 ? Hex("00 02 05 00 00 00 00 00")
                                                      : Hex("00 0E 00 02 01 00 00 02 02 00 00"));
        QCOMPARE(e.CommState, 0);
    }
    QCOMPARE(e.PbxData->LineCount, uint8_t(2));
    QCOMPARE(QByteArray(e.PbxData->Lines[1].Number), QByteArray("22"));
    QVERIFY(fx.LogLines().contains("<COM Načtena čísla linek"));
    QCOMPARE(e.ErrorCount, 0);
}

void EngineTickTest::lineNumbersAnswerStartsPolls()
{
    // No mail library: only the accounting poll starts, and only with ReadUct.
    EngineFixture fx({"Set/ReadUct=1"});
    TAgentEngine& e = fx.E();
    QVERIFY(e.ReadUct);
    fx.Tick(3);  // C is sent; no answers for it
    fx.TakeFrames();
    e.RequestQueue->Clear();
    e.CommState = 0;
    e.QueueRequest('V', 0, nullptr, 0);
    fx.Tick();
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 1);
    // A 3-byte answer with status 0 is an error and starts nothing.
    fx.Answer(uint8_t(frames[0][0]), Hex("00 0E 00"));
    QVERIFY(fx.LogLines().contains("<COM Chyba načtení čísel linek:0"));
    QVERIFY(!e.TimerUR.isActive());
    e.QueueRequest('V', 0, nullptr, 0);
    fx.Tick();
    const auto again = fx.TakeFrames();
    fx.Answer(uint8_t(again[0][0]), Hex("00 0E 00 02 01 00 00"));
    QVERIFY(e.TimerUR.isActive());
    QVERIFY(!e.TimerMSG.isActive());
    QVERIFY(!e.TimerSMS.isActive());
}

void EngineTickTest::timeoutAtMaxTickAndErrorsAddUp()
{
    EngineFixture fx({"Timer/MaxError=3"});
    TAgentEngine& e = fx.E();
    QCOMPARE(e.MaxError, 3);
    fx.Tick();  // 'C' out
    QCOMPARE(e.CommState, 1);
    fx.Tick(e.MaxTick - 1);
    QCOMPARE(e.CommState, 1);
    fx.Tick();  // the MaxTick-th tick gives up
    QCOMPARE(e.CommState, 0);
    QCOMPARE(e.ErrorCount, 1);
    fx.Tick();  // 'I' out
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 2);
    fx.Answer(uint8_t(frames[1][0]), Hex("00 02 05 00 00 00 00 00"));
    QCOMPARE(e.CommState, 0);
    QCOMPARE(e.ErrorCount, 1);  // an answer does not reset the count
}

void EngineTickTest::outageDeclaredOnceRetriedAndRestored()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    const QString lost = "!Err Ústředna není dostupná";
    fx.Tick();                 // C
    fx.Tick(e.MaxTick);        // time-out 1
    fx.Tick();                 // I
    fx.Tick(e.MaxTick);        // time-out 2 = MaxError
    QCOMPARE(e.CommState, 2);
    QCOMPARE(fx.LogLines().count(lost), 1);
    fx.Tick(e.MaxErrorTick - 1);
    QCOMPARE(e.CommState, 2);
    fx.Tick();
    QCOMPARE(e.CommState, 0);
    QVERIFY(e.ExchangeLost);
    QCOMPARE(e.ErrorCount, 0);
    QCOMPARE(e.RequestQueue->At(0).Key, QString("V"));  // V was still waiting; C and I joined it
    QCOMPARE(e.RequestQueue->Count(), 3);
    // Second outage while lost: no second report.
    for (int i = 0; i < 2; ++i) {
        fx.Tick();
        fx.Tick(e.MaxTick);
    }
    QCOMPARE(e.CommState, 2);
    QCOMPARE(fx.LogLines().count(lost), 1);
    fx.Tick(e.MaxErrorTick);
    fx.Tick();
    const auto frames = fx.TakeFrames();
    QVERIFY(!frames.isEmpty());
    // Any frame, even one that matches nothing, reports the restore once.
    fx.Answer(0x77, Hex("00"));
    fx.Answer(uint8_t(frames.last()[0]), Hex("00 00 00 00 00 01 00"));
    QCOMPARE(fx.LogLines().count("-OK- Obnova komunikace s ústřednou"), 1);
    QVERIFY(!e.ExchangeLost);
}

void EngineTickTest::lateAnswerReturnsToReadyWithoutRestore()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    fx.Tick();
    fx.Tick(e.MaxTick);
    fx.Tick();
    fx.Tick(e.MaxTick);
    QCOMPARE(e.CommState, 2);
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 2);
    fx.Answer(uint8_t(frames[0][0]), Hex("00 00 00 00 00 01 00"));  // the late 'C' answer
    QCOMPARE(e.CommState, 0);
    QCOMPARE(e.ErrorCount, 2);
    QVERIFY(!fx.LogLines().contains("-OK- Obnova komunikace s ústřednou"));
    // The next time-out declares the exchange unavailable again, and reports it again.
    fx.Tick();
    fx.Tick(e.MaxTick);
    QCOMPARE(e.CommState, 2);
    QCOMPARE(fx.LogLines().count("!Err Ústředna není dostupná"), 2);
}

void EngineTickTest::noLocLineWhileErrorsCounted()
{
    EngineFixture fx({"Log/Com_LocOut=1"});
    TAgentEngine& e = fx.E();
    fx.Tick();
    QVERIFY(fx.LogLines().contains("<LOC Compatibility"));
    QVERIFY(fx.LogLines().contains(">COM Compatibility"));
    fx.Tick(e.MaxTick);
    QCOMPARE(e.ErrorCount, 1);
    fx.Tick();
    QVERIFY(!fx.LogLines().contains("<LOC Informace"));
    QVERIFY(fx.LogLines().contains(">COM Informace"));
    QCOMPARE(e.Log.StatusText(), QString(">COM     Informace"));
}

void EngineTickTest::closedPortFreezesStateMachine()
{
    EngineFixture fx({}, false);
    TAgentEngine& e = fx.E();
    QVERIFY(fx.LogLines().last().startsWith("!Err Chyba při inicializaci Mail602"));
    QVERIFY(fx.LogLines().contains("!Err Chyba otevření sériového portu " + e.PortSettings));
    fx.Tick(50);
    QCOMPARE(e.CommState, 0);
    QCOMPARE(e.RequestQueue->Count(), 3);
    QCOMPARE(e.PacketSeq, uint8_t(1));
    // A port that cannot be opened changes nothing but the status bar.
    QVERIFY(!e.ChangePort("/nonexistent/tty:19200,N,8,1"));
    QCOMPARE(e.Log.StatusText(), QString("Nevhodný COM"));
    QCOMPARE(e.RequestQueue->Count(), 3);
    // A port opened later continues where the engine was.
    QVERIFY(e.ChangePort(fx.Pty().PortString()));
    QVERIFY(e.CommPack1.Connected());
    fx.Tick();
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].toHex(' '), QByteArray("01 0d"));
}

void EngineTickTest::clientRequestTimesOutWithoutError()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    e.RequestQueue->Clear();
    const uint8_t read[] = {0x00, 0x0B, 0x03};
    e.QueueRequest('T', 42, read, 3);
    fx.Tick();
    QCOMPARE(e.CommState, 20);
    fx.Tick(e.MaxTick);
    QCOMPARE(e.CommState, 0);
    QCOMPARE(e.ErrorCount, 0);
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].toHex(' '), QByteArray("01 00 0b 03"));
}

void EngineTickTest::versionCheck_data()
{
    QTest::addColumn<QByteArray>("compat");
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("tickAfter");
    QTest::addColumn<QString>("prompt");
    const QByteArray ok = Hex("00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00");
    const QByteArray differ = Hex("00 00 00 00 00 01 03 00 00 00 00 00 00 00 00 00 00");
    const QByteArray broken = Hex("00 00 00 00 00 02 00 00 00 00 00 00 00 00 00 00 00");
    const QString versions = "Verze agenta:1.75    Verze ústředny:A.1F";
    QTest::newRow("128 compatible") << ok << Hex("00 0A 1F 00 00 00 00 00") << true << "<COM Informace OK" << true << "";
    QTest::newRow("131 differs, yes") << differ << Hex("00 0A 1F") << true << "<COM Informace -odlišná verze !"
                                      << true << "Upozornění|" + versions + "\nPřesto pokračovat ?";
    QTest::newRow("131 differs, no") << differ << Hex("00 0A 1F") << false << "<COM Informace -odlišná verze !"
                                     << false << "Upozornění|" + versions + "\nPřesto pokračovat ?";
    QTest::newRow("130 non-functional") << broken << Hex("00 0A 1F") << true << "<COM Informace -nefunkční verze !"
                                        << false << "Chyba|" + versions + "\nUkončit ?";
    QTest::newRow("error status") << ok << Hex("07") << true << "<COM Informace Chyba:7" << true << "";
}

void EngineTickTest::versionCheck()
{
    QFETCH(QByteArray, compat);
    QFETCH(QByteArray, info);
    QFETCH(bool, yes);
    QFETCH(QString, logLine);
    QFETCH(bool, tickAfter);
    QFETCH(QString, prompt);
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    fx.Prompt.AnswerYes = yes;
    fx.Tick();
    auto frames = fx.TakeFrames();
    fx.Answer(uint8_t(frames[0][0]), compat);
    fx.Tick();
    frames = fx.TakeFrames();
    fx.Answer(uint8_t(frames[0][0]), info);
    QVERIFY2(fx.LogLines().contains(logLine), qPrintable(fx.LogLines().join('\n')));
    QCOMPARE(e.TimerTick.isActive(), tickAfter);
    QCOMPARE(fx.Prompt.Asked.isEmpty() ? QString() : fx.Prompt.Asked.last(), prompt);
    QCOMPARE(e.CommState, 0);
}

void EngineTickTest::pollTimersQueueOnceAndSnapshotPollsStop()
{
    EngineFixture fx({"Log/Com_LocOut=1", "Timer/ANTimeOut=2"});
    TAgentEngine& e = fx.E();
    e.RequestQueue->Clear();
    e.TimerANTimer();
    e.TimerANTimer();
    QCOMPARE(e.RequestQueue->Count(), 1);
    QCOMPARE(fx.LogLines().count("<LOC Čtení Stav linek"), 2);
    e.SetProcessing(false);
    e.TimerSWTimer();
    QCOMPARE(fx.LogLines().count("<LOC Stav spínačů a skupin"), 0);  // no poll line while stopped
    QCOMPARE(e.RequestQueue->Count(), 2);
    // TimerAN stops once no client asked for ANTimeOut seconds.
    e.SetProcessing(true);
    e.LastANRequest = fx.Clock;
    e.TimerAN.start();
    e.RequestQueue->Clear();
    fx.Clock += 2 * OneSecondInDays;
    fx.Tick();
    QVERIFY(e.TimerAN.isActive());
    fx.Clock += 0.1 * OneSecondInDays;
    fx.Tick();
    QVERIFY(!e.TimerAN.isActive());
}

void EngineTickTest::clientRequestsDoNotPostponeThePoll()
{
    EngineFixture fx({"Timer/ANInterval=400"});
    TAgentEngine& e = fx.E();
    const uint8_t lineStatus[] = {0x00, 0x16, 0x00};
    QVERIFY(!fx.Gateway().AnswerLineStatus(lineStatus, 3, nullptr));  // no snapshot yet
    QVERIFY(e.TimerAN.isActive());
    QTest::qWait(150);
    fx.Gateway().AnswerLineStatus(lineStatus, 3, nullptr);
    // A client asking more often than the poll interval must not keep pushing the poll back.
    QVERIFY2(e.TimerAN.remainingTime() < 300, qPrintable(QString::number(e.TimerAN.remainingTime())));
}

QTEST_MAIN(EngineTickTest)
#include "test_engine_tick.moc"
