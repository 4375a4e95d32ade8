// What the simulated exchange knows and how it answers one request. No I/O here: the
// simulator feeds it the command bytes of each good frame and sends back what it returns.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>

namespace orvex::sim {

// Largest answer that still fits a frame the agent accepts (LEN = 1 + answer bytes).
constexpr int MaxAnswerBytes = 2048;

class ExchangeModel {
public:
    ExchangeModel();

    // The answer's command bytes (status first) to the command bytes of one request.
    // Never empty; at most MaxAnswerBytes long.
    QByteArray Answer(const QByteArray& command);

    void SetCompat(uint8_t byte4, uint8_t byte5);
    void SetInfo(uint8_t major, uint8_t minor);
    // A comma-separated list of line numbers ("21,22,23"), each 1 to 4 characters of
    // "1234567890*#FPSABCD"; "a-b" adds a decimal range. Empty or "none" means no lines.
    // On a bad list nothing changes and *error says why.
    bool SetLines(const QString& list, QString* error);
    QStringList LineNumbers() const { return Numbers; }

    // TRAP record r of structure 1: type letter and text (address LF subject LF message).
    // Letter 0 empties the record.
    void SetTrap(uint8_t record, uint8_t letter, const QByteArray& text);
    QList<int> TrapsSet() const { return Traps.keys(); }
    QByteArray Trap(uint8_t record) const { return Traps.value(record); }

    // Accounting lines are handed out one per command 4; command 5 repeats the last one.
    void QueueUct(const QByteArray& line);
    int UctWaiting() const { return static_cast<int>(UctQueue.size()); }

    // The record bytes of the last write to structure 17 ("Zprávy") record 0, the mailbox counters.
    bool CountersWritten() const { return HaveCounters; }
    QByteArray LastCounters() const { return Counters; }

private:
    QByteArray read(uint8_t structure, uint8_t record);
    QByteArray write(uint8_t structure, uint8_t record, const QByteArray& data);

    std::array<uint8_t, 16> Compat{};
    std::array<uint8_t, 7> Info{};
    QStringList Numbers;
    QByteArray LineCodes;                 // four digit codes per line
    QMap<int, QByteArray> Traps;          // record -> letter followed by text
    QMap<int, QByteArray> Records;        // (structure << 8 | record) -> bytes last written
    std::deque<QByteArray> UctQueue;
    QByteArray LastUct;
    bool HaveLastUct = false;
    QByteArray Counters;
    bool HaveCounters = false;
    uint32_t LineStatusReads = 0;
    uint32_t SwitchReads = 0;
};

// Digit code of one character of a line number ('1'..'9' 1..9, '0' 10, '*' 11, '#' 12,
// 'F' 13, 'P' 14, 'S' 15, 'A' 16 .. 'D' 19), or 0 when it has none.
uint8_t DigitCode(QChar c);

}  // namespace orvex::sim
