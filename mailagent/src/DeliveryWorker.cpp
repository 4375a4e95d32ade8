#include "DeliveryWorker.h"

#include "Diagnostics.h"
#include "Smtp.h"

#include <algorithm>
#include <exception>

namespace agentqx {

namespace {

std::chrono::steady_clock::duration Seconds(double s)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(s));
}

double InSeconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

}  // namespace

void DeliveryWorker::Backoff::Failed(Clock::time_point now, const SpoolConfig& retry)
{
    Delay = Delay == Clock::duration::zero() ? Seconds(retry.RetrySeconds)
                                             : std::min(Delay * 2, Seconds(retry.RetryMaxSeconds));
    Due = now + Delay;
}

DeliveryWorker::DeliveryWorker(const Spool& spool, SmtpConfig smtp, SpoolConfig retry)
    : Mails(spool), Smtp(std::move(smtp)), Retry(std::move(retry)), Multi(curl_multi_init())
{
}

DeliveryWorker::~DeliveryWorker()
{
    Stop();
    if (Multi)
        curl_multi_cleanup(Multi);
}

bool DeliveryWorker::Start()
{
    if (Thread.joinable())
        return true;
    if (!Multi)
        return false;
    Stopping = false;
    try {
        Thread = std::thread(&DeliveryWorker::Run, this);
    } catch (const std::exception& e) {
        Report("cannot start the delivery thread: %s", e.what());
        return false;
    }
    return true;
}

void DeliveryWorker::Stop()
{
    if (!Thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Stopping = true;
    }
    Changed.notify_all();
    curl_multi_wakeup(Multi);
    Thread.join();
}

bool DeliveryWorker::Wake()
{
    {
        std::lock_guard<std::mutex> lock(Mutex);
        MailAdded = true;
    }
    Changed.notify_all();
    return Start();
}

void DeliveryWorker::Run()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            if (Stopping)
                return;
            // A new mail is tried at once, whatever the server did before.
            if (MailAdded) {
                Server.Due = Clock::time_point();
                Relist = true;
            }
            MailAdded = false;
        }
        // Nothing may escape the thread (it would end the agent): a failure is reported
        // and the spool is looked at again later.
        try {
            Clock::time_point wakeAt;
            const std::string name = Next(Clock::now(), wakeAt);
            if (name.empty())
                WaitUntil(wakeAt);
            else
                Attempt(name);
        } catch (const std::exception& e) {
            Report("delivery failed: %s", e.what());
            Server.Failed(Clock::now(), Retry);
        } catch (...) {
            Report("delivery failed");
            Server.Failed(Clock::now(), Retry);
        }
    }
}

// The directory is listed again only when a mail was added or nothing listed is due, so
// a long queue after an outage costs one listing, not one per mail.
std::string DeliveryWorker::Next(Clock::time_point now, Clock::time_point& wakeAt)
{
    if (Relist) {
        const std::vector<std::string> waiting = Mails.Waiting();
        Queue.assign(waiting.begin(), waiting.end());
        // Forget what is known of mails that are gone.
        const auto gone = [&](const std::string& name) {
            return !std::binary_search(waiting.begin(), waiting.end(), name);
        };
        std::erase_if(Deferred, [&](const auto& entry) { return gone(entry.first); });
        std::erase_if(Undeletable, gone);
        Relist = false;
    }
    wakeAt = Clock::time_point::max();
    if (now < Server.Due) {
        wakeAt = Server.Due;
        return {};
    }
    for (const std::string& name : Queue) {
        if (Undeletable.count(name))
            continue;
        const auto deferred = Deferred.find(name);
        if (deferred == Deferred.end() || deferred->second.Due <= now)
            return name;
        wakeAt = std::min(wakeAt, deferred->second.Due);
    }
    Relist = true;
    return {};
}

void DeliveryWorker::Done(const std::string& name)
{
    Deferred.erase(name);
    const auto at = std::find(Queue.begin(), Queue.end(), name);
    if (at != Queue.end())
        Queue.erase(at);
}

void DeliveryWorker::WaitUntil(Clock::time_point wakeAt)
{
    std::unique_lock<std::mutex> lock(Mutex);
    const auto woken = [this] { return Stopping || MailAdded; };
    if (wakeAt == Clock::time_point::max())
        Changed.wait(lock, woken);
    else
        Changed.wait_until(lock, wakeAt, woken);
}

void DeliveryWorker::Attempt(const std::string& name)
{
    OutgoingMail mail;
    switch (Mails.Load(name, mail)) {
    case Spool::LoadResult::Gone:
        Done(name);
        return;
    case Spool::LoadResult::Damaged:
        Report("spool file %s is not a mail; moved to %s", name.c_str(), Mails.FailedDir().c_str());
        if (!Mails.SetAside(name))
            Undeletable.insert(name);
        Done(name);
        return;
    case Spool::LoadResult::Loaded:
        break;
    }

    const SmtpResult result = SendThroughSmtp(Smtp, mail, Multi, Stopping);
    const Clock::time_point now = Clock::now();
    switch (result.Outcome) {
    case SmtpOutcome::Stopped:
        return;
    case SmtpOutcome::Accepted:
        Server.Succeeded();
        Trace("mail %s to %s accepted", name.c_str(), mail.Recipient.c_str());
        if (!Mails.Remove(name)) {
            Report("mail %s was delivered but its spool file cannot be removed", name.c_str());
            Undeletable.insert(name);
        }
        Done(name);
        return;
    case SmtpOutcome::Refused:
        Server.Succeeded();
        Report("mail %s to %s refused (%s); moved to %s", name.c_str(), mail.Recipient.c_str(),
               result.ReplyText.c_str(), Mails.FailedDir().c_str());
        if (!Mails.SetAside(name)) {
            Deferred[name].Failed(now, Retry);
            return;
        }
        Done(name);
        return;
    case SmtpOutcome::Deferred: {
        Server.Succeeded();
        Backoff& wait = Deferred[name];
        wait.Failed(now, Retry);
        Trace("mail %s to %s deferred (%s); again in %.1f s", name.c_str(), mail.Recipient.c_str(),
              result.ReplyText.c_str(), InSeconds(wait.Delay));
        return;
    }
    case SmtpOutcome::ServerTrouble:
        Server.Failed(now, Retry);
        Trace("mail %s: %s (%d%s%s); again in %.1f s", name.c_str(), OutcomeName(result.Outcome),
              static_cast<int>(result.Code), result.ReplyText.empty() ? "" : ", ", result.ReplyText.c_str(),
              InSeconds(Server.Delay));
        return;
    }
}

}  // namespace agentqx
