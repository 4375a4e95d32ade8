#include "gateway/TcpGateway.h"

#include "base/Clock.h"
#include "engine/Engine.h"
#include "base/Cp1250.h"

#include <QHostAddress>
#include <algorithm>

namespace orvex {

TcpGateway::TcpGateway(TAgentEngine& engine) : QObject(&engine), ServerSocket1(this), Engine(engine)
{
    connect(&ServerSocket1, &QTcpServer::newConnection, this, &TcpGateway::onNewConnection);
    connect(&ServerSocket1, &QTcpServer::acceptError, this,
            [this](QAbstractSocket::SocketError) { Engine.Log.SetStatusText(QStringLiteral("OnClientError")); });
}

TcpGateway::~TcpGateway() { Close(); }

bool TcpGateway::Open(int port, QString* error)
{
    if (port < 0 || port > 65535) {
        if (error)
            *error = QStringLiteral("Neplatné číslo portu %1").arg(port);
        return false;
    }
    if (!ServerSocket1.listen(QHostAddress::Any, static_cast<quint16>(port))) {
        if (error)
            *error = ServerSocket1.errorString();
        return false;
    }
    Engine.Log.SetStatusText(QStringLiteral("OnListen"));
    return true;
}

void TcpGateway::Close()
{
    const std::vector<QTcpSocket*> clients = std::move(Clients);
    Clients.clear();
    for (QTcpSocket* s : clients) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    UctCursor.clear();
    if (ServerSocket1.isListening())
        ServerSocket1.close();
}

int32_t TcpGateway::Handle(const QTcpSocket* socket) { return static_cast<int32_t>(socket->socketDescriptor()); }

QString TcpGateway::ClientTag(const QTcpSocket* socket)
{
    QHostAddress a = socket->peerAddress();
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    const QString address = ok ? QHostAddress(v4).toString() : a.toString();
    return address + QLatin1Char(':') + QString::number(Handle(socket));
}

QTcpSocket* TcpGateway::FindClientSocket(int32_t number) const
{
    for (QTcpSocket* s : Clients)
        if (Handle(s) == number)
            return s;
    return nullptr;
}

QString TcpGateway::SendAnswer(int32_t number, const uint8_t* data, int length)
{
    QTcpSocket* s = FindClientSocket(number);
    if (!s)
        return QString();
    // The tag is taken first: a failing send closes the socket.
    const QString tag = ClientTag(s);
    SendToClient(s, data, length);
    return tag;
}

void TcpGateway::CacheStore(const uint8_t* request, int requestLength, int answerLength, const uint8_t* answer)
{
    Cache.CacheStore(request, requestLength, answerLength, answer, Now());
}

void TcpGateway::SendToClient(QTcpSocket* socket, const uint8_t* data, int length)
{
    if (length > 0 && socket->state() == QAbstractSocket::ConnectedState)
        socket->write(reinterpret_cast<const char*>(data), length);
}

void TcpGateway::onNewConnection()
{
    while (QTcpSocket* s = ServerSocket1.nextPendingConnection()) {
        Engine.Log.SetStatusText(QStringLiteral("OnGetSocket"));
        Engine.Log.SetStatusText(QStringLiteral("OnAccept"));
        Clients.push_back(s);
        UctCursor.insert(s, 0);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { onDisconnected(s); });
        connect(s, &QTcpSocket::bytesWritten, this, [this](qint64) { Engine.Log.SetStatusText(QStringLiteral("OnClientWrite")); });
        connect(s, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
            Engine.Log.SetStatusText(QStringLiteral("OnClientError"));
        });
        bool ok = false;
        const quint32 v4 = s->peerAddress().toIPv4Address(&ok);
        Engine.Log.SetStatusText(QStringLiteral("OnClientConnect ")
                                 + (ok ? QHostAddress(v4).toString() : s->peerAddress().toString()));
    }
}

void TcpGateway::onDisconnected(QTcpSocket* socket)
{
    const auto it = std::find(Clients.begin(), Clients.end(), socket);
    if (it == Clients.end())
        return;
    Clients.erase(it);
    UctCursor.remove(socket);
    bool ok = false;
    const quint32 v4 = socket->peerAddress().toIPv4Address(&ok);
    Engine.Log.SetStatusText(QStringLiteral("OnClientDisconnect ")
                             + (ok ? QHostAddress(v4).toString() : socket->peerAddress().toString()));
    socket->deleteLater();
}

void TcpGateway::onReadyRead(QTcpSocket* socket)
{
    if (std::find(Clients.begin(), Clients.end(), socket) == Clients.end())
        return;
    ServerSocket1ClientRead(socket);
}

void TcpGateway::ServerSocket1ClientRead(QTcpSocket* socket)
{
    const qint64 waiting = socket->bytesAvailable();
    if (waiting <= 0)
        return;  // nothing arrived: there is no request
    const int len = static_cast<int>(socket->read(reinterpret_cast<char*>(ClientBuffer), ClientBufferSize));
    if (len <= 0)
        return;
    if (waiting > ClientBufferSize) {
        // No request is that long: what does not fit is dropped, not taken as further requests.
        const qint64 dropped = socket->skip(socket->bytesAvailable());
        Engine.WriteLog(QStringLiteral("!Err"), QStringLiteral("Příliš dlouhý požadavek od TCP/IP klienta %1: zpracováno %2 B, zahozeno %3 B")
                                                    .arg(ClientTag(socket)).arg(len).arg(dropped));
    }
    // The description is only needed for the log and for a packet that goes to the exchange;
    // answers from the stores must not pay for it.
    QString text;
    if (Engine.TcpIpIn) {
        text = TData::DescribePacket(true, ClientBuffer, len, ClientBuffer[0], false);
        Engine.WriteLog(QStringLiteral("<IP:") + ClientTag(socket), text);
    }

    if (AnswerLineStatus(ClientBuffer, len, socket) || AnswerSwitchStatus(ClientBuffer, len, socket)
        || ServeUctRequest(ClientBuffer, len, socket) || AnswerFromCache(ClientBuffer, len, socket))
        return;

    const int32_t handle = Handle(socket);
    if (Engine.CommState == 0 && Engine.RequestQueue && Engine.RequestQueue->IsEmpty()) {
        if (text.isNull())
            text = TData::DescribePacket(true, ClientBuffer, len, ClientBuffer[0], false);
        Engine.RememberSent('T', ClientBuffer, len, handle);
        Engine.SendToPbx(QStringLiteral(">COM"), text, ClientBuffer, len);
        if (Engine.ComOut && !Engine.ComLocOut)
            Engine.WriteLog(QStringLiteral(">COM"), text);
        Engine.CommState = 20;
        Engine.TickCount = 0;
    } else {
        Engine.QueueRequest('T', handle, ClientBuffer, len);
    }
}

bool TcpGateway::AnswerLineStatus(const uint8_t* b, int len, QTcpSocket* socket)
{
    if (len < 2 || b[0] != 0 || b[1] != 22 || !Engine.PbxData)
        return false;
    Engine.LastANRequest = Now();
    TAgentEngine::EnableTimer(Engine.TimerAN);
    const TData& d = *Engine.PbxData;
    if (AgeMs(Engine.LastANRequest, d.LineStatusTime) > StructTable[22].MaxAge)
        return false;
    if (d.LineStatusLen == 0)
        return false;
    if (Engine.ComIn)
        Engine.WriteLog(QStringLiteral("<CCH"), QStringLiteral("Stav linek"));
    if (Engine.TcpIpOut)
        Engine.WriteLog(QStringLiteral(">IP:") + ClientTag(socket), QStringLiteral("Stav linek"));
    SendToClient(socket, d.LineStatusData, d.LineStatusLen);
    return true;
}

bool TcpGateway::AnswerSwitchStatus(const uint8_t* b, int len, QTcpSocket* socket)
{
    if (len < 1 || b[0] != 14 || !Engine.PbxData)
        return false;
    Engine.LastSWRequest = Now();
    TAgentEngine::EnableTimer(Engine.TimerSW);
    const TData& d = *Engine.PbxData;
    if (AgeMs(Engine.LastSWRequest, d.SwitchTime) > StructTable[45].MaxAge)
        return false;
    if (d.SwitchLen == 0)
        return false;
    if (Engine.ComIn)
        Engine.WriteLog(QStringLiteral("<CCH"), QStringLiteral("Stav spínačů a skupin"));
    if (Engine.TcpIpOut)
        Engine.WriteLog(QStringLiteral(">IP:") + ClientTag(socket), QStringLiteral("Stav spínačů a skupin"));
    SendToClient(socket, d.SwitchData, d.SwitchLen);
    return true;
}

bool TcpGateway::AnswerFromCache(const uint8_t* b, int len, QTcpSocket* socket)
{
    if (Engine.MaxCache == 0)
        return false;
    const int i = Cache.CacheFind(b, len, true, Now());
    if (i < 0)
        return false;
    const TCacheEntry& e = Cache.Entry(i);
    SendToClient(socket, e.Answer, e.AnswerLen);
    if (Engine.ComIn || Engine.TcpIpOut) {
        const QString text = TData::DescribePacket(true, e.Answer, e.AnswerLen, e.Request[0], false);
        if (Engine.ComIn)
            Engine.WriteLog(QStringLiteral("<CCH"), text);
        if (Engine.TcpIpOut)
            Engine.WriteLog(QStringLiteral(">IP:") + ClientTag(socket), text);
    }
    return true;
}

bool TcpGateway::ServeUctRequest(const uint8_t* b, int len, QTcpSocket* socket)
{
    if (len < 1 || (b[0] != 4 && b[0] != 5))
        return false;
    const QByteArrayList* lines = Engine.UctLines.get();
    if (Engine.SendUct && Engine.ReadUct && lines && Engine.UctFirst != Engine.UctTotal) {
        int32_t cursor = UctCursor.value(socket, 0);
        if (b[0] == 5)
            --cursor;
        cursor = std::max(cursor, Engine.UctFirst);
        if (cursor < Engine.UctTotal) {
            const QByteArray& line = lines->at(cursor - Engine.UctFirst);
            if (Engine.TcpIpOut)
                Engine.WriteLog(QStringLiteral(">IP:") + ClientTag(socket), FromCp1250(line));
            QByteArray answer(1, '\0');
            answer += line;
            SendToClient(socket, reinterpret_cast<const uint8_t*>(answer.constData()), static_cast<int>(answer.size()));
            UctCursor.insert(socket, cursor + 1);
        }
    }
    const uint8_t end = 0;
    socket->write(reinterpret_cast<const char*>(&end), 1);
    return true;
}

}  // namespace orvex
