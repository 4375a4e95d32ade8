// The exchange end of the serial line: takes frames from the device, answers them from
// the model, and takes control commands from standard input. One event loop, no threads.
#pragma once

#include "ExchangeModel.h"
#include "link/FrameCodec.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>
#include <memory>

namespace orvex::sim {

// One line on standard output, flushed at once.
void PrintLine(const QByteArray& line);
// "01 0D" style: uppercase, bytes separated by blanks.
QByteArray HexLine(const QByteArray& bytes);
// Control-text escapes: \n line feed, \r, \t, \\ backslash, \xHH any byte. Other text is
// converted to Windows-1250, as the exchange's own texts are. False on a broken escape.
bool UnescapeText(const QString& text, QByteArray* out);
// Decimal or 0x hexadecimal, 0..255.
bool ParseByte(const QString& text, uint8_t* out);

class Simulator : public QObject {
    Q_OBJECT
public:
    // fd: the open device (master of our own pty, or a serial device), non-blocking.
    Simulator(int fd, ExchangeModel& model, QObject* parent = nullptr);

    void SetSilent(bool on) { Silent = on; }
    void SetDelay(int ms) { DelayMs = ms; }
    void SetQuiet(bool on) { Quiet = on; }

    // Runs one control line and prints its outcome ("OK <verb>", "ERR <why>", "STATE ...").
    void Control(const QString& line);

signals:
    void QuitRequested(int exitCode);

private:
    void onReadable();
    void onWritable();
    void onFrame(const uint8_t* payload, int len);
    void sendDue();
    void sendAnswer(uint8_t seq, const QByteArray& answer);
    void writeRaw(const QByteArray& bytes);
    void flushOutput();
    QByteArray stateLine() const;

    struct Pending {
        qint64 due;
        uint8_t seq;
        QByteArray answer;
    };

    int Fd;
    ExchangeModel& Model;
    std::unique_ptr<QSocketNotifier> ReadNotifier;
    std::unique_ptr<QSocketNotifier> WriteNotifier;
    FrameReader Reader;
    QByteArray Output;  // bytes the device did not take yet
    std::deque<Pending> Queue;
    QTimer DelayTimer;
    QElapsedTimer Clock;
    bool Silent = false;
    bool Quiet = false;
    int DelayMs = 0;
    quint64 RxFrames = 0;
    quint64 TxFrames = 0;
};

}  // namespace orvex::sim
