// The serial packet component over QSerialPort.
#include "link/CommPack.h"

#include <QRegularExpression>

#include <algorithm>
#include <climits>

namespace orvex {

namespace {
struct BaudEntry {
    int Rate;
    TBaudRate Value;
};
constexpr BaudEntry BaudTable[] = {
    {110, br110},       {300, br300},       {600, br600},       {1200, br1200},     {2400, br2400},
    {4800, br4800},     {9600, br9600},     {14400, br14400},   {19200, br19200},   {38400, br38400},
    {56000, br56000},   {57600, br57600},   {115200, br115200}, {128000, br128000}, {256000, br256000},
};

// The mode syntax lets two digits stand for the classic rates ("96" is 9600).
int expandBaud(int rate)
{
    switch (rate) {
    case 11: return 110;
    case 15: return 150;
    case 30: return 300;
    case 60: return 600;
    case 12: return 1200;
    case 24: return 2400;
    case 48: return 4800;
    case 96: return 9600;
    case 19: return 19200;
    default: return rate;
    }
}

int baudValue(TBaudRate b)
{
    for (const BaudEntry& e : BaudTable)
        if (e.Value == b)
            return e.Rate;
    return 9600;
}

QSerialPort::Parity qtParity(TParity p)
{
    switch (p) {
    case paOdd: return QSerialPort::OddParity;
    case paEven: return QSerialPort::EvenParity;
    case paMark: return QSerialPort::MarkParity;
    case paSpace: return QSerialPort::SpaceParity;
    case paNone: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qtStopBits(TStopbits s)
{
    switch (s) {
    case sb15: return QSerialPort::OneAndHalfStop;
    case sb20: return QSerialPort::TwoStop;
    case sb10: break;
    }
    return QSerialPort::OneStop;
}

// Readable reason in the serial component's words, with the system's own text after it.
QString openFailure(const QSerialPort& port)
{
    const char* what = "Error accessing specified device";
    switch (port.error()) {
    case QSerialPort::PermissionError: what = "Invalid device handle, access denied"; break;
    case QSerialPort::OpenError: what = "Port already assigned (open)"; break;
    case QSerialPort::UnsupportedOperationError: what = "Error updating DataControlBlock"; break;
    default: break;
    }
    return QStringLiteral("%1 (Error: %2) %3").arg(QLatin1String(what)).arg(int(port.error())).arg(port.errorString());
}
}  // namespace

QString SystemDeviceName(const QString& deviceName)
{
#ifdef Q_OS_WIN
    return deviceName;
#else
    static const QRegularExpression com(QStringLiteral("^COM([0-9]{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(deviceName);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return deviceName;
#endif
}

TCommPack::TCommPack(QObject* parent) : QObject(parent)
{
    connect(&Port, &QSerialPort::readyRead, this, &TCommPack::onReadyRead);
}

TCommPack::~TCommPack() = default;

void TCommPack::Set(const QString& portString)
{
    const qsizetype colon = portString.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return;
    const QString device = portString.left(colon).trimmed();
    // An open port keeps its device; the caller closes it before naming another one.
    if (Port.isOpen() && SystemDeviceName(device) != SystemDeviceName(DeviceName))
        return;
    DeviceName = device;

    // BAUD,PARITY,DATA,STOP; an empty or unreadable field leaves its setting as it was.
    const QStringList f = portString.mid(colon + 1).split(QLatin1Char(','));
    auto field = [&f](int i) { return i < f.size() ? f[i].trimmed() : QString(); };
    bool ok = false;
    const int rate = expandBaud(field(0).toInt(&ok));
    if (ok) {
        for (const BaudEntry& e : BaudTable)
            if (e.Rate == rate)
                BaudRate = e.Value;
    }
    const QString parity = field(1).toUpper();
    if (parity == QLatin1String("N"))
        Parity = paNone;
    else if (parity == QLatin1String("O"))
        Parity = paOdd;
    else if (parity == QLatin1String("E"))
        Parity = paEven;
    else if (parity == QLatin1String("M"))
        Parity = paMark;
    // "S" (space) is understood but deliberately not applied.
    const int data = field(2).toInt(&ok);
    if (ok && data >= 4 && data <= 8)
        Databits = static_cast<TDatabits>(da4 + (data - 4));
    const QString stop = field(3);
    if (stop == QLatin1String("1"))
        Stopbits = sb10;
    else if (stop == QLatin1String("1.5"))
        Stopbits = sb15;
    else if (stop == QLatin1String("2"))
        Stopbits = sb20;

    if (Port.isOpen())
        applyLineSettings();
}

void TCommPack::applyLineSettings()
{
    Port.setBaudRate(baudValue(BaudRate));
    // Qt has no 4-bit characters; the port then keeps what it has.
    if (Databits != da4)
        Port.setDataBits(static_cast<QSerialPort::DataBits>(QSerialPort::Data5 + (Databits - da5)));
    Port.setParity(qtParity(Parity));
    Port.setStopBits(qtStopBits(Stopbits));
    Port.setFlowControl(QSerialPort::NoFlowControl);
}

bool TCommPack::Open(QString* error)
{
    if (Port.isOpen()) {
        if (error)
            *error = QStringLiteral("Port already assigned (open)");
        return false;
    }
    Port.setPortName(SystemDeviceName(DeviceName));
    // Settings made on a closed port are applied by open(); a device that refuses them fails it.
    applyLineSettings();
    if (!Port.open(QIODevice::ReadWrite)) {
        if (error)
            *error = openFailure(Port);
        return false;
    }
    Owed = 0;
    return true;
}

void TCommPack::Close()
{
    if (Port.isOpen())
        Port.close();
    Owed = 0;
}

bool TCommPack::Connected() const { return Port.isOpen(); }

void TCommPack::WriteChar(uint8_t c, bool stuffed)
{
    if (!Port.isOpen())
        return;
    const char pair[2] = {char(c), char(c)};
    Port.write(pair, (stuffed && c == FrameMarker1) ? 2 : 1);
    Port.flush();
}

void TCommPack::WritePacket(uint8_t first, const uint8_t* data, int count)
{
    // LEN cannot describe more than 65535 data bytes after `first`.
    if (!Port.isOpen() || count < 0 || count > 65535 || (count > 0 && data == nullptr))
        return;
    const size_t n = EncodeFrame(first, data, count, TxBuffer);
    Port.write(reinterpret_cast<const char*>(TxBuffer), static_cast<qint64>(n));
    Port.flush();
}

int TCommPack::ReadPacket(int count)
{
    // Bytes the caller has been told about but that are still at the port are read too,
    // so that a frame found early in a large read does not strand the rest.
    int budget = std::max(count, Owed);
    for (;;) {
        while (ChunkPos < ChunkLen) {
            size_t used = 0;
            const int len = Reader.Feed(Chunk + ChunkPos, static_cast<size_t>(ChunkLen - ChunkPos), &used);
            ChunkPos += static_cast<int>(used);
            if (len > 0) {
                Owed = budget;
                return len;
            }
            // 0 with bytes left means a frame of LEN 0: nothing to hand on, go on.
        }
        ChunkPos = ChunkLen = 0;
        if (budget <= 0 || !Port.isOpen())
            break;
        const qint64 got = Port.read(reinterpret_cast<char*>(Chunk), std::min(budget, ChunkSize));
        if (got <= 0)
            break;
        ChunkLen = static_cast<int>(got);
        budget -= ChunkLen;
    }
    Owed = 0;
    return 0;
}

void TCommPack::onReadyRead()
{
    const qint64 waiting = Port.bytesAvailable();
    if (waiting > 0)
        emit RxChar(this, static_cast<int>(std::min<qint64>(waiting, INT_MAX)));
}

}  // namespace orvex
