// The library's delivery thread: sends the spooled mails through the SMTP server in the
// order they were accepted, and removes each one only after the server took it.
//
// - No connection, no answer in time, or the session refused (greeting, EHLO, AUTH,
//   STARTTLS, 421): the server is unavailable; the oldest mail is tried again after a
//   wait that starts at [spool] retry and doubles up to retry_max. A newly accepted mail
//   ends the wait.
// - A 4xx reply within a mail's own transaction (MAIL FROM, RCPT TO, DATA, the end of the
//   data): that mail waits with a back-off of its own while the mails after it go on.
// - A 5xx reply within its transaction, or a spool file that cannot be read as a mail:
//   the mail can never be sent; it is moved into failed/ and reported on standard error.
//
// Nothing of the thread reaches the caller: Start, Stop and Wake return at once (Stop
// after the thread has ended, which a transfer in progress does not delay).
#pragma once

#include "Config.h"
#include "Spool.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace agentqx {

class DeliveryWorker {
public:
    DeliveryWorker(const Spool& spool, SmtpConfig smtp, SpoolConfig retry);
    ~DeliveryWorker();
    DeliveryWorker(const DeliveryWorker&) = delete;
    DeliveryWorker& operator=(const DeliveryWorker&) = delete;

    // Starts the thread unless it runs; false when it cannot be started.
    bool Start();
    // Ends a transfer in progress (its mail stays spooled) and the thread.
    void Stop();
    // A mail was added to the spool; starts the thread when it was stopped.
    bool Wake();

private:
    using Clock = std::chrono::steady_clock;

    // A wait that doubles after each failure, from the first wait up to the longest.
    struct Backoff {
        Clock::duration Delay{};
        Clock::time_point Due{};
        void Failed(Clock::time_point now, const SpoolConfig& retry);
        void Succeeded() { *this = Backoff(); }
    };

    void Run();
    // The next mail to try, or empty with the time to look again (max() for never).
    std::string Next(Clock::time_point now, Clock::time_point& wakeAt);
    void Attempt(const std::string& name);
    // The mail is gone from the spool (delivered or set aside).
    void Done(const std::string& name);
    void WaitUntil(Clock::time_point wakeAt);

    const Spool& Mails;
    const SmtpConfig Smtp;
    const SpoolConfig Retry;
    CURLM* Multi = nullptr;

    std::thread Thread;
    std::mutex Mutex;
    std::condition_variable Changed;
    std::atomic<bool> Stopping{false};
    bool MailAdded = false;  // under Mutex

    // Used by the thread alone.
    std::deque<std::string> Queue;  // the spool as last listed, oldest first, less what was done
    bool Relist = true;             // list the directory before the next choice
    Backoff Server;
    std::map<std::string, Backoff> Deferred;
    std::set<std::string> Undeletable;  // taken by the server, but the file would not go
};

}  // namespace agentqx
