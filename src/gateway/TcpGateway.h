// The TCP server for client programs: each read event is one request of raw command
// bytes, answered from the snapshots, the accounting list, the response cache, or by
// the exchange through the engine.
#pragma once

#include "engine/ClientPort.h"
#include "gateway/ResponseCache.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <vector>

namespace orvex {

class TAgentEngine;

class TcpGateway : public QObject, public TClientPort {
    Q_OBJECT
public:
    static constexpr int ClientBufferSize = 500;

    explicit TcpGateway(TAgentEngine& engine);
    ~TcpGateway() override;

    // The engine's client port.
    bool Open(int port, QString* error) override;
    void Close() override;
    QString SendAnswer(int32_t number, const uint8_t* data, int length) override;
    bool AllocateCache(int entries) override { return Cache.Allocate(entries); }
    void CacheStore(const uint8_t* request, int requestLength, int answerLength, const uint8_t* answer) override;

    bool IsActive() const { return ServerSocket1.isListening(); }
    quint16 Port() const { return ServerSocket1.serverPort(); }
    int ClientCount() const { return static_cast<int>(Clients.size()); }

    QTcpSocket* FindClientSocket(int32_t number) const;
    // "<address>:<handle>" as the log prefixes show a client.
    static QString ClientTag(const QTcpSocket* socket);
    static int32_t Handle(const QTcpSocket* socket);
    // Sends an answer to a client; a failing socket is closed by the socket layer.
    static void SendToClient(QTcpSocket* socket, const uint8_t* data, int length);

    void ServerSocket1ClientRead(QTcpSocket* socket);
    bool AnswerLineStatus(const uint8_t* b, int len, QTcpSocket* socket);
    bool AnswerSwitchStatus(const uint8_t* b, int len, QTcpSocket* socket);
    bool AnswerFromCache(const uint8_t* b, int len, QTcpSocket* socket);
    bool ServeUctRequest(const uint8_t* b, int len, QTcpSocket* socket);

    TResponseCache Cache;
    QTcpServer ServerSocket1;

private:
    void onNewConnection();
    void onDisconnected(QTcpSocket* socket);
    void onReadyRead(QTcpSocket* socket);

    TAgentEngine& Engine;
    std::vector<QTcpSocket*> Clients;        // connected clients, in order
    QHash<QTcpSocket*, int32_t> UctCursor;   // next accounting line per client
    uint8_t ClientBuffer[ClientBufferSize];
};

}  // namespace orvex
