// Readable packet descriptions for the event log.
#include "Bytes.h"
#include "link/Data.h"

#include <QtTest>

#include <cstring>

using namespace orvex;
using orvex::test::bytes;

class TestDescribe : public QObject {
    Q_OBJECT
private slots:
    void describe_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<bool>("request");
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("detail");
        QTest::addColumn<QString>("text");

        // The reference examples.
        QTest::newRow("read line status") << bytes({0x00, 0x16, 0x00}) << true << 0 << false << "Čtení Stav linek";
        QTest::newRow("read SMS 2") << bytes({0x00, 0x01, 0x02}) << true << 0 << false << "Čtení SMS[2]";
        QTest::newRow("write messages, detail") << bytes({0x01, 0x11, 0x00, 0x02, 0x03, 0x01, 0x00}) << true << 1 << true
                                                << "Zápis Zprávy 2 3 1 0";
        QTest::newRow("compatibility") << bytes({0x0D}) << true << 13 << false << "Čtení comatibility";
        QTest::newRow("accounting") << bytes({0x04}) << true << 4 << false << "Čtení účtu";
        QTest::newRow("structure beyond table") << bytes({0x00, 0x30, 0x05}) << true << 0 << false << "Čtení Str:48[5]";
        QTest::newRow("command beyond table") << bytes({0x10, 0x00, 0x00}) << true << 16 << false << "Cmd: 16 Global";
        QTest::newRow("answer line status") << bytes({0x00, 0x16, 0x00, 0x01, 0x02}) << false << 0 << false << "Stav linek";
        QTest::newRow("answer error 3") << bytes({0x03, 0x16, 0x00}) << false << 0 << false << "Stav linekError 3: ";
        QTest::newRow("answer compatibility error") << bytes({0x05}) << false << 13 << false << "Čtení comatibilityError 5: ";
        QTest::newRow("answer accounting") << bytes({0x00, 0x41, 0x42}) << false << 4 << false << "Čtení účtu ";

        // Request form.
        QTest::newRow("commands 2..14 by name alone") << bytes({0x0E, 0x05, 0x06}) << true << 14 << false << "Stav spínačů a skupin";
        QTest::newRow("known structure, index 0 hidden") << bytes({0x00, 0x0E, 0x00}) << true << 0 << false << "Čtení Čísla linek";
        QTest::newRow("unknown structure, index 0 shown") << bytes({0x01, 0x2E, 0x00}) << true << 1 << false << "Zápis Str:46[0]";
        QTest::newRow("last structure") << bytes({0x00, 0x2D, 0x03}) << true << 0 << false << "Čtení Stav spínačů a skupin[3]";
        QTest::newRow("command 255") << bytes({0xFF, 0xFF, 0xFF}) << true << 255 << false << "Cmd: 255 Str:255[255]";
        QTest::newRow("detail on 3-byte read") << bytes({0x00, 0x0B, 0x03}) << true << 0 << true << "Čtení Skupiny[3]";
        QTest::newRow("detail on command without structure") << bytes({0x0A, 0x01, 0x02}) << true << 10 << true << "Zápis času 1 2";
        QTest::newRow("detail off") << bytes({0x01, 0x11, 0x00, 0x02, 0x03}) << true << 1 << false << "Zápis Zprávy";

        // Requests cut short: nothing is read past the end.
        QTest::newRow("read, 1 byte") << bytes({0x00}) << true << 0 << true << "Čtení ";
        QTest::newRow("write, 2 bytes") << bytes({0x01, 0x11}) << true << 1 << true << "Zápis Zprávy";
        QTest::newRow("command 20, 1 byte") << bytes({0x14}) << true << 20 << false << "Cmd: 20 ";
        QTest::newRow("command 20, 2 bytes unknown structure") << bytes({0x14, 0x63}) << true << 20 << false << "Cmd: 20 Str:99";
        QTest::newRow("empty request") << QByteArray() << true << 0 << true << "";

        // Answer form.
        QTest::newRow("answer read, 1 byte ok") << bytes({0x00}) << false << 0 << true << "";
        QTest::newRow("answer read, 1 byte error") << bytes({0x09}) << false << 0 << false << "Error 9: ";
        QTest::newRow("answer read, 2 bytes") << bytes({0x00, 0x01}) << false << 0 << true << "SMS";
        QTest::newRow("answer read, 2 bytes unknown") << bytes({0x02, 0x40}) << false << 1 << false << "Str:64Error 2: ";
        QTest::newRow("answer index shown") << bytes({0x00, 0x0B, 0x07}) << false << 0 << false << "Skupiny[7]";
        QTest::newRow("answer unknown structure, index 0") << bytes({0x00, 0x30, 0x00}) << false << 0 << false << "Str:48";
        QTest::newRow("answer detail") << bytes({0x00, 0x11, 0x00, 0x04, 0xFF}) << false << 0 << true << "Zprávy 4 255";
        QTest::newRow("answer command 3 detail") << bytes({0x00, 0x07}) << false << 3 << true << "Save EPROM 7";
        QTest::newRow("answer command 5 error detail") << bytes({0x02, 0x41}) << false << 5 << true << "Znova čtení účtu Error 2:  65";
        QTest::newRow("answer command 15") << bytes({0x00, 0x02, 0x01}) << false << 15 << false << "Ars[1]";
        QTest::newRow("answer empty") << QByteArray() << false << 2 << true << "";
    }
    void describe()
    {
        QFETCH(QByteArray, packet);
        QFETCH(bool, request);
        QFETCH(int, command);
        QFETCH(bool, detail);
        QFETCH(QString, text);
        // Exactly len bytes on the heap, so that a read past the end is caught by ASan.
        auto* exact = new uint8_t[size_t(packet.size())];
        std::memcpy(exact, packet.constData(), size_t(packet.size()));
        const QString got = TData::DescribePacket(request, packet.isEmpty() ? nullptr : exact, int(packet.size()),
                                                  uint8_t(command), detail);
        delete[] exact;
        QCOMPARE(got, text);
    }

    void describeEmptyBufferWithLength0()
    {
        const uint8_t one = 0x00;
        QCOMPARE(TData::DescribePacket(true, &one, 0, 0, true), QString());
        QCOMPARE(TData::DescribePacket(false, &one, -1, 0, true), QString());
    }
};

QTEST_APPLESS_MAIN(TestDescribe)
#include "test_describe.moc"
