// The exchange's command set: request builders, answer parsers, the stored snapshots,
// the line table with its message counters, and the readable packet description.
// Pure code: no event loop; the current time comes from the injectable clock.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orvex {

struct TStructInfo {
    uint32_t MaxAge;  // ms for which a stored answer about the structure may be served
    const char* Name; // UTF-8
};

constexpr int CmdCount = 15;
constexpr int StructCount = 46;
extern const char* const CmdNames[CmdCount];          // UTF-8
extern const TStructInfo StructTable[StructCount];
extern const char DigitAlphabet[];                     // ".1234567890*#FPSABCD"

constexpr int MaxLines = 56;
constexpr int LineStatusCapacity = 256;
constexpr int SwitchCapacity = 12;

struct TLineEntry {
    char Number[5] = {};  // at most 4 characters, NUL-terminated
    uint8_t Other = 0;    // text messages ("sms")
    uint8_t Voice = 0;
    uint8_t Fax = 0;
    uint8_t Fourth = 0;   // always 0 from the mailbox synchronisation
};

class TData {
public:
    TData();

    // Per-kind handlers: mode 0 builds the request into buf and returns its length;
    // mode 1 takes the answer (status first, len bytes) and returns a result code;
    // any other mode does nothing and returns 0.
    int LineStatus(int mode, uint8_t* buf, int len);    // 'A'
    int Compatibility(int mode, uint8_t* buf, int len); // 'C'
    int Info(int mode, uint8_t* buf, int len);          // 'I'
    int TrapQuery(int mode, uint8_t* buf, int len);     // 'S'
    int UctQuery(int mode, uint8_t* buf, int len);      // 'U'
    int LineNumbers(int mode, uint8_t* buf, int len);   // 'V'
    int SwitchStatus(int mode, uint8_t* buf, int len);  // 'X'

    int MessagesRequest(uint8_t* buf) const;            // 'M': 01 11 00 + 4 counters per line
    static int TrapConfirm(uint8_t* buf, uint8_t record); // 254 bytes

    void ClearLineCounters();
    void SetLineCounters(const QByteArray& number, uint8_t other, uint8_t fax, uint8_t voice, uint8_t fourth);
    void AddLineCounters(const QByteArray& number, uint8_t other, uint8_t fax, uint8_t voice, uint8_t fourth);
    uint8_t FindLine(const QByteArray& number) const;  // index or 255

    // Up to n characters; stops at code 0, and at any code of 20 or above.
    static QByteArray DecodeDigits(const uint8_t* codes, int n);

    // Appends line + CR LF to the file under an exclusive lock; sets UctReread on failure.
    bool AppendUctLine(const QString& fileName, const QByteArray& line);

    // Readable text of a packet for the log.
    static QString DescribePacket(bool request, const uint8_t* bytes, int len, uint8_t command, bool detail);

    // Snapshots, read by the TCP/IP gateway.
    uint8_t LineStatusData[LineStatusCapacity] = {};
    uint8_t SwitchData[SwitchCapacity] = {};
    int LineStatusLen = 0;
    int SwitchLen = 0;
    double LineStatusTime = 0;
    double SwitchTime = 0;
    const int CmdCount_ = CmdCount;
    const int StructCount_ = StructCount;
    uint8_t InfoData[7] = {};
    TLineEntry Lines[MaxLines];
    uint8_t LineCount = 0;
    uint8_t CompatData[16] = {};
    bool UctReread = false;

    // The shared TRAP record counter: 0, 1, 2, 3, 0, ...
    uint8_t TrapRecord = 0;
};

}  // namespace orvex
