// A pseudo-terminal pair for serial tests: the program under test opens the slave path
// like a serial device, the test plays the other end through the master descriptor.
#pragma once

#include <QByteArray>
#include <QString>

namespace orvex::test {

class PtyPair {
public:
    // Opens the pair, both ends raw (no echo, no line editing, 8-bit clean). The master is
    // non-blocking. The slave stays open here too so that the pair lives until destruction.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsOpen() const { return MasterFd >= 0 && SlaveFd >= 0; }
    int Master() const { return MasterFd; }
    int Slave() const { return SlaveFd; }
    // "/dev/pts/N"
    QString SlavePath() const { return Path; }
    // The port string of the slave end, e.g. "/dev/pts/7:19200,N,8,1".
    QString PortString(const QString& settings = QStringLiteral("19200,N,8,1")) const;

    // Writes all bytes into the master, running the Qt event loop while the pty is full.
    // False when they could not be written within timeoutMs.
    bool Write(const QByteArray& bytes, int timeoutMs = 5000);
    // Reads what arrives at the master, running the event loop meanwhile, until `want`
    // bytes are there or timeoutMs passes; returns what it got (possibly less).
    QByteArray Read(int want, int timeoutMs = 2000);
    // Reads whatever arrives within quietMs of silence (at most timeoutMs in all).
    QByteArray ReadAvailable(int quietMs = 50, int timeoutMs = 2000);

private:
    int MasterFd = -1;
    int SlaveFd = -1;
    QString Path;
};

}  // namespace orvex::test
