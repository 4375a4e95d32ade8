// A TCP client program of the agent, as a test drives it.
#pragma once

#include <QByteArray>
#include <QTcpSocket>

namespace orvex::test {

class TcpClient {
public:
    bool Connect(quint16 port, int timeoutMs = 3000);
    void Send(const QByteArray& bytes);
    // Everything that arrives until quietMs of silence after the first byte (or timeoutMs without any).
    QByteArray Receive(int timeoutMs = 3000, int quietMs = 80);
    QByteArray Ask(const QByteArray& bytes, int timeoutMs = 3000) { Send(bytes); return Receive(timeoutMs); }
    void Close();
    QTcpSocket& Socket() { return S; }

private:
    QTcpSocket S;
};

}  // namespace orvex::test
