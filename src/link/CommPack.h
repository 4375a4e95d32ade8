// The serial packet component: a QSerialPort with the frame writer and reader.
// Port strings are "DEVICE:BAUD,PARITY,DATA,STOP"; "COMn" names /dev/ttyS(n-1) on Linux.
#pragma once

#include "link/FrameCodec.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

namespace orvex {

enum TBaudRate { br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
                 br56000, br57600, br115200, br128000, br256000 };
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sb10, sb15, sb20 };
enum TDatabits { da4, da5, da6, da7, da8 };

// Maps a device name as written in Agent.ini to the system's device ("COM2" -> "/dev/ttyS1").
QString SystemDeviceName(const QString& deviceName);

class TCommPack : public QObject {
    Q_OBJECT
public:
    explicit TCommPack(QObject* parent = nullptr);
    ~TCommPack() override;

    // Applies device name and line settings; a string without ':' changes nothing.
    // Does not open or close the port.
    void Set(const QString& portString);

    // Opens DeviceName for reading and writing with the line settings. On failure returns
    // false and puts the reason into *error.
    bool Open(QString* error = nullptr);
    void Close();
    bool Connected() const;
    // Pushes what is still buffered out to the device (used before the port closes at shutdown).
    void Flush();
    // Bytes waiting at the port (0 when closed).
    int BytesWaiting() const;

    // Writes one frame: payload = first followed by count bytes of data.
    void WritePacket(uint8_t first, const uint8_t* data, int count);
    // Writes c, twice when stuffed and c is 0xEE.
    void WriteChar(uint8_t c, bool stuffed);

    // Reads up to count waiting bytes (in chunks of at most 2100) and runs them through
    // the receive state machine. Returns LEN of the next complete frame (payload in
    // InCom()), or 0. Bytes after a completed frame are kept, and so is the part of count
    // not read yet: call again with count 0 until it returns 0 to take every frame.
    int ReadPacket(int count);

    const uint8_t* InCom() const { return Reader.InCom; }
    FrameReader& Receiver() { return Reader; }

    QString DeviceName = QStringLiteral("Com2");
    TBaudRate BaudRate = br9600;
    TParity Parity = paNone;
    TStopbits Stopbits = sb10;
    TDatabits Databits = da8;

    static constexpr int ChunkSize = 2100;

signals:
    // Bytes have arrived; count is the number waiting (never 0).
    void RxChar(QObject* sender, int count);

private:
    void applyLineSettings();
    void onReadyRead();

    QSerialPort Port;
    FrameReader Reader;
    uint8_t Chunk[ChunkSize];
    int ChunkPos = 0;
    int ChunkLen = 0;
    int Owed = 0;  // bytes of an earlier count still waiting at the port
    uint8_t TxBuffer[MaxEncodedFrameSize(65536)];
};

}  // namespace orvex
