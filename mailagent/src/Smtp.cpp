// Delivery through an SMTP server with libcurl.
#include "Smtp.h"

#include "Diagnostics.h"
#include "agentqx_abi.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace agentqx {

namespace {

struct Upload {
    const std::string* Text;
    std::size_t Offset = 0;
};

std::size_t ReadUpload(char* buffer, std::size_t size, std::size_t count, void* user)
{
    auto* upload = static_cast<Upload*>(user);
    const std::size_t room = size * count;
    const std::size_t n = std::min(room, upload->Text->size() - upload->Offset);
    std::memcpy(buffer, upload->Text->data() + upload->Offset, n);
    upload->Offset += n;
    return n;
}

// What the dialogue showed: whether the mail's own transaction (MAIL FROM onwards) had
// begun, and the server's last reply before the session was being closed (the answer to
// QUIT says nothing of the mail).
struct Dialogue {
    bool InTransaction = false;
    bool Quitting = false;
    int Reply = 0;
    std::string ReplyText;
    curl_socket_t Socket = CURL_SOCKET_BAD;
};

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user)
{
    auto* dialogue = static_cast<Dialogue*>(user);
    const std::string_view text = Trimmed(std::string_view(data, size));
    switch (type) {
    case CURLINFO_HEADER_OUT:
        if (text.substr(0, 9) == "MAIL FROM") {
            dialogue->InTransaction = true;
            dialogue->Reply = 0;
            dialogue->ReplyText.clear();
        }
        if (text.substr(0, 4) == "QUIT")
            dialogue->Quitting = true;
        TraceSmtp('>', text);
        break;
    case CURLINFO_HEADER_IN:
        if (!dialogue->Quitting && text.size() >= 3 && std::isdigit(static_cast<unsigned char>(text[0]))
            && std::isdigit(static_cast<unsigned char>(text[1])) && std::isdigit(static_cast<unsigned char>(text[2]))) {
            dialogue->Reply = (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
            dialogue->ReplyText.assign(text.data(), text.size());
        }
        TraceSmtp('<', text);
        break;
    case CURLINFO_TEXT:
        TraceSmtp('*', text);
        break;
    default:
        break;
    }
    return 0;
}

// The connection's socket, known so that a stop can cut it off: curl closes an SMTP
// session with QUIT and waits for the answer, which a server that never answers would
// draw out to the whole time-out.
int OnSocketOpened(void* user, curl_socket_t socket, curlsocktype)
{
    static_cast<Dialogue*>(user)->Socket = socket;
    return CURL_SOCKOPT_OK;
}

int OnSocketClosed(void* user, curl_socket_t socket)
{
    auto* dialogue = static_cast<Dialogue*>(user);
    if (dialogue->Socket == socket)
        dialogue->Socket = CURL_SOCKET_BAD;
    return ::close(socket);
}

// Also asked while curl waits inside a call, so a stop ends those waits too.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

// 421 closes the session whatever command it answers: the server, not the mail.
SmtpOutcome Judge(CURLcode rc, const Dialogue& dialogue)
{
    if (rc == CURLE_OK)
        return SmtpOutcome::Accepted;
    if (dialogue.InTransaction && dialogue.Reply >= 500 && dialogue.Reply < 600)
        return SmtpOutcome::Refused;
    if (dialogue.InTransaction && dialogue.Reply >= 400 && dialogue.Reply < 500 && dialogue.Reply != 421)
        return SmtpOutcome::Deferred;
    return SmtpOutcome::ServerTrouble;
}

// Drives the transfer until it ends or stop is set; CURLE_OK or the transfer's error.
CURLcode Perform(CURLM* multi, CURL* curl, const Dialogue& dialogue, const std::atomic<bool>& stop, bool& stopped)
{
    if (curl_multi_add_handle(multi, curl) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_FAILED_INIT;
    for (;;) {
        if (stop.load()) {
            stopped = true;
            if (dialogue.Socket != CURL_SOCKET_BAD)
                ::shutdown(dialogue.Socket, SHUT_RDWR);
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left))
                if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
                    result = message->data.result;
            break;
        }
        // A second at most, so that the time-outs are looked at even without wake-ups.
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK)
            break;
    }
    curl_multi_remove_handle(multi, curl);
    return result;
}

}  // namespace

const char* OutcomeName(SmtpOutcome outcome)
{
    switch (outcome) {
    case SmtpOutcome::Accepted: return "accepted";
    case SmtpOutcome::Refused: return "refused";
    case SmtpOutcome::Deferred: return "deferred";
    case SmtpOutcome::ServerTrouble: return "server unavailable";
    case SmtpOutcome::Stopped: return "stopped";
    }
    return "?";
}

SmtpResult SendThroughSmtp(const SmtpConfig& smtp, const OutgoingMail& mail, CURLM* multi,
                           const std::atomic<bool>& stop)
{
    SmtpResult result;
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.Code = ErrSmtpBase + CURLE_FAILED_INIT;
        return result;
    }
    const std::string url = std::string(smtp.Tls == 2 ? "smtps://" : "smtp://") + smtp.Host + ":"
                            + std::to_string(smtp.Port);
    const std::string from = "<" + mail.From + ">";
    const std::string to = "<" + mail.Recipient + ">";
    curl_slist* recipients = curl_slist_append(nullptr, to.c_str());
    Upload upload{&mail.Text};
    Dialogue dialogue;

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, smtp.TimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, smtp.TimeoutSeconds);
    // Each attempt on a connection of its own: a server that went away leaves nothing
    // stale behind.
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    if (smtp.Tls == 1)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (smtp.Tls != 0 && !smtp.VerifyPeer) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!smtp.User.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, smtp.User.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, smtp.Password.c_str());
    }
    // The dialogue is watched always (the debug function runs only in verbose mode) and
    // shown when DebugSmtp is on.
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &dialogue);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    // The socket callbacks keep a pointer to the dialogue: the connection must not
    // outlive this transfer (FORBID_REUSE above).
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, OnSocketOpened);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &dialogue);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, OnSocketClosed);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &dialogue);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &stop);

    bool stopped = false;
    const CURLcode rc = Perform(multi, curl, dialogue, stop, stopped);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);

    // Only a stop makes OnProgress abort.
    stopped = stopped || rc == CURLE_ABORTED_BY_CALLBACK;
    result.Outcome = stopped ? SmtpOutcome::Stopped : Judge(rc, dialogue);
    result.Code = rc == CURLE_OK && !stopped ? ResultOk : ErrSmtpBase + static_cast<std::int32_t>(rc);
    result.Reply = dialogue.Reply;
    result.ReplyText = dialogue.ReplyText;
    return result;
}

}  // namespace agentqx
