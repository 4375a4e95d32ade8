// Request builders, answer parsers, snapshots, the line table and the accounting file.
#include "link/Data.h"

#include "base/Clock.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace orvex {

namespace {
constexpr uint8_t CmdRead = 0;
constexpr uint8_t CmdWrite = 1;
constexpr uint8_t CmdInfo = 2;
constexpr uint8_t CmdUctNext = 4;
constexpr uint8_t CmdUctAgain = 5;
constexpr uint8_t CmdCompat = 13;
constexpr uint8_t CmdSwitches = 14;
constexpr uint8_t StructSms = 1;
constexpr uint8_t StructLineNumbers = 14;
constexpr uint8_t StructMessages = 17;
constexpr uint8_t StructLineStatus = 22;

// Result of Compatibility and Info for an answer that has no status byte at all.
constexpr int NoStatus = 255;

// Copies at most `capacity` bytes of the answer and returns how many were kept.
int storeSnapshot(uint8_t* dst, int capacity, const uint8_t* src, int len)
{
    const int n = (src == nullptr || len <= 0) ? 0 : std::min(len, capacity);
    if (n > 0)
        std::memcpy(dst, src, static_cast<size_t>(n));
    return n;
}
}  // namespace

TData::TData() = default;

int TData::LineStatus(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        buf[0] = CmdRead;
        buf[1] = StructLineStatus;
        buf[2] = 0;
        return 3;
    }
    if (mode == 1) {
        // Stored whatever the status; clients see it as byte 0. A longer answer is cut.
        LineStatusLen = storeSnapshot(LineStatusData, LineStatusCapacity, buf, len);
        LineStatusTime = Now();
    }
    return 0;
}

int TData::SwitchStatus(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        buf[0] = CmdSwitches;
        return 1;
    }
    if (mode == 1) {
        SwitchLen = storeSnapshot(SwitchData, SwitchCapacity, buf, len);
        SwitchTime = Now();
    }
    return 0;
}

namespace {
// Copies the record that follows an answer's status byte into a fixed field, cut to its size.
template <size_t N>
void copyRecord(uint8_t (&field)[N], const uint8_t* answer, int len)
{
    const int n = std::min(len - 1, static_cast<int>(N));
    if (n > 0)
        std::memcpy(field, answer + 1, static_cast<size_t>(n));
}
}  // namespace

int TData::Compatibility(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        buf[0] = CmdCompat;
        return 1;
    }
    if (mode != 1)
        return 0;
    if (buf == nullptr || len <= 0)
        return NoStatus;
    if (buf[0] != 0)
        return buf[0];
    copyRecord(CompatData, buf, len);
    return 128;
}

int TData::Info(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        buf[0] = CmdInfo;
        return 1;
    }
    if (mode != 1)
        return 0;
    if (buf == nullptr || len <= 0)
        return NoStatus;
    if (buf[0] != 0)
        return buf[0];
    copyRecord(InfoData, buf, len);
    if (CompatData[4] != 1)
        return 130;
    if (CompatData[5] != 0)
        return 131;
    return 128;
}

int TData::TrapQuery(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        buf[0] = CmdRead;
        buf[1] = StructSms;
        buf[2] = TrapRecord;
        TrapRecord = static_cast<uint8_t>((TrapRecord + 1) % 4);
        return 3;
    }
    return 0;
}

int TData::UctQuery(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        // After a failed append the exchange is asked for the same line again.
        buf[0] = UctReread ? CmdUctAgain : CmdUctNext;
        return 1;
    }
    return 0;
}

int TData::LineNumbers(int mode, uint8_t* buf, int len)
{
    if (mode == 0) {
        buf[0] = CmdRead;
        buf[1] = StructLineNumbers;
        buf[2] = 0;
        return 3;
    }
    if (mode != 1 || buf == nullptr || len < 3 || buf[0] != 0)
        return 0;
    // Numbers beyond the table's room are dropped; the counters stay with their positions.
    const int count = std::min((len - 3) / 4, MaxLines);
    LineCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray number = DecodeDigits(buf + 3 + 4 * i, 4);
        std::memset(Lines[i].Number, 0, sizeof Lines[i].Number);
        std::memcpy(Lines[i].Number, number.constData(), static_cast<size_t>(std::min<qsizetype>(number.size(), 4)));
    }
    return 0;
}

int TData::MessagesRequest(uint8_t* buf) const
{
    buf[0] = CmdWrite;
    buf[1] = StructMessages;
    buf[2] = 0;
    int n = 3;
    for (int i = 0; i < LineCount; ++i) {
        buf[n++] = Lines[i].Other;
        buf[n++] = Lines[i].Voice;
        buf[n++] = Lines[i].Fax;
        buf[n++] = Lines[i].Fourth;
    }
    return n;
}

int TData::TrapConfirm(uint8_t* buf, uint8_t record)
{
    buf[0] = CmdWrite;
    buf[1] = StructSms;
    buf[2] = record;
    std::memset(buf + 3, 0, 251);
    return 254;
}

void TData::ClearLineCounters()
{
    for (int i = 0; i < LineCount; ++i) {
        Lines[i].Other = 0;
        Lines[i].Voice = 0;
        Lines[i].Fax = 0;
        Lines[i].Fourth = 0;
    }
}

void TData::SetLineCounters(const QByteArray& number, uint8_t other, uint8_t fax, uint8_t voice, uint8_t fourth)
{
    const uint8_t i = FindLine(number);
    if (i == 255)
        return;
    Lines[i].Other = other;
    Lines[i].Voice = voice;
    Lines[i].Fax = fax;
    Lines[i].Fourth = fourth;
}

void TData::AddLineCounters(const QByteArray& number, uint8_t other, uint8_t fax, uint8_t voice, uint8_t fourth)
{
    const uint8_t i = FindLine(number);
    if (i == 255)
        return;
    Lines[i].Other = static_cast<uint8_t>(Lines[i].Other + other);
    Lines[i].Voice = static_cast<uint8_t>(Lines[i].Voice + voice);
    Lines[i].Fax = static_cast<uint8_t>(Lines[i].Fax + fax);
    Lines[i].Fourth = static_cast<uint8_t>(Lines[i].Fourth + fourth);
}

uint8_t TData::FindLine(const QByteArray& number) const
{
    for (int i = 0; i < LineCount && i < MaxLines; ++i) {
        if (number == QByteArrayView(Lines[i].Number, qstrnlen(Lines[i].Number, sizeof Lines[i].Number)))
            return static_cast<uint8_t>(i);
    }
    return 255;
}

QByteArray TData::DecodeDigits(const uint8_t* codes, int n)
{
    QByteArray text;
    if (codes == nullptr)
        return text;
    // Codes of 20 and above lie outside the alphabet; they end the number like 0.
    for (int i = 0; i < n && codes[i] != 0 && codes[i] < 20; ++i)
        text.append(DigitAlphabet[codes[i]]);
    return text;
}

bool TData::AppendUctLine(const QString& fileName, const QByteArray& line)
{
    QByteArray record = line;
    record.append("\r\n", 2);
    bool ok = false;
#ifdef Q_OS_WIN
    // No sharing, and a lock that fails at once when another program holds the file.
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(fileName.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        OVERLAPPED whole = {};
        if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
            LARGE_INTEGER zero = {};
            DWORD written = 0;
            ok = SetFilePointerEx(h, zero, nullptr, FILE_END)
                 && WriteFile(h, record.constData(), static_cast<DWORD>(record.size()), &written, nullptr)
                 && written == static_cast<DWORD>(record.size());
            UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
        }
        CloseHandle(h);
    }
#else
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = path.isEmpty() ? -1 : ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
        // Another program holding the file locked makes it busy: fail now, ask again later.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lseek(fd, 0, SEEK_END) >= 0) {
            const char* p = record.constData();
            qsizetype left = record.size();
            while (left > 0) {
                const ssize_t w = ::write(fd, p, static_cast<size_t>(left));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    break;
                p += w;
                left -= w;
            }
            ok = (left == 0);
        }
        ::close(fd);  // also releases the lock
    }
#endif
    UctReread = !ok;
    return ok;
}

}  // namespace orvex
