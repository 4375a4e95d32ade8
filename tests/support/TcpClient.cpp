#include "TcpClient.h"

#include <QElapsedTimer>

namespace orvex::test {

bool TcpClient::Connect(quint16 port, int timeoutMs)
{
    S.connectToHost(QStringLiteral("127.0.0.1"), port);
    return S.waitForConnected(timeoutMs);
}

void TcpClient::Send(const QByteArray& bytes)
{
    S.write(bytes);
    S.waitForBytesWritten(1000);
}

QByteArray TcpClient::Receive(int timeoutMs, int quietMs)
{
    QByteArray got = S.readAll();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        const int wait = got.isEmpty() ? int(timeoutMs - t.elapsed()) : quietMs;
        if (!S.waitForReadyRead(qMax(1, wait))) {
            if (!got.isEmpty() || S.state() != QAbstractSocket::ConnectedState)
                break;
            continue;
        }
        got += S.readAll();
    }
    return got;
}

void TcpClient::Close()
{
    S.disconnectFromHost();
    if (S.state() != QAbstractSocket::UnconnectedState)
        S.waitForDisconnected(1000);
}

}  // namespace orvex::test
