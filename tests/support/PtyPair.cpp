#include "PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace orvex::test {

namespace {
void pumpEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool waitFor(int fd, short events, int ms)
{
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, ms) > 0 && (p.revents & events);
}
}  // namespace

PtyPair::PtyPair()
{
    char name[256] = {};
    if (::openpty(&MasterFd, &SlaveFd, name, nullptr, nullptr) != 0) {
        MasterFd = SlaveFd = -1;
        return;
    }
    Path = QString::fromLocal8Bit(name);
    for (int fd : {MasterFd, SlaveFd}) {
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::fcntl(MasterFd, F_SETFL, ::fcntl(MasterFd, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (MasterFd >= 0)
        ::close(MasterFd);
    if (SlaveFd >= 0)
        ::close(SlaveFd);
}

QString PtyPair::PortString(const QString& settings) const { return Path + QLatin1Char(':') + settings; }

bool PtyPair::Write(const QByteArray& bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(MasterFd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (w > 0) {
            done += w;
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (clock.elapsed() > timeoutMs)
            return false;
        // The pty is full: let the reader at the other end drain it.
        pumpEvents();
        waitFor(MasterFd, POLLOUT, 5);
    }
    return true;
}

QByteArray PtyPair::Read(int want, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    char buf[4096];
    while (got.size() < want && clock.elapsed() <= timeoutMs) {
        pumpEvents();
        if (!waitFor(MasterFd, POLLIN, 5))
            continue;
        const ssize_t r = ::read(MasterFd, buf, std::min(sizeof buf, static_cast<size_t>(want - got.size())));
        if (r > 0)
            got.append(buf, r);
    }
    return got;
}

QByteArray PtyPair::ReadAvailable(int quietMs, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock, quiet;
    clock.start();
    quiet.start();
    char buf[4096];
    while (quiet.elapsed() < quietMs && clock.elapsed() <= timeoutMs) {
        pumpEvents();
        if (!waitFor(MasterFd, POLLIN, 5))
            continue;
        const ssize_t r = ::read(MasterFd, buf, sizeof buf);
        if (r > 0) {
            got.append(buf, r);
            quiet.restart();
        }
    }
    return got;
}

}  // namespace orvex::test
