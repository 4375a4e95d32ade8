// Delivery through an SMTP server with libcurl.
#include "Delivery.h"

#include "agentqx_abi.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

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

}  // namespace

std::int32_t SendThroughSmtp(const SmtpConfig& smtp, const OutgoingMail& mail, bool verbose)
{
    CURL* curl = curl_easy_init();
    if (!curl)
        return ErrSmtpBase + CURLE_FAILED_INIT;
    const std::string url = std::string(smtp.Tls == 2 ? "smtps://" : "smtp://") + smtp.Host + ":"
                            + std::to_string(smtp.Port);
    const std::string from = "<" + mail.From + ">";
    const std::string to = "<" + mail.Recipient + ">";
    curl_slist* recipients = curl_slist_append(nullptr, to.c_str());
    Upload upload{&mail.Text};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, smtp.TimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, smtp.TimeoutSeconds);
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
    curl_easy_setopt(curl, CURLOPT_VERBOSE, verbose ? 1L : 0L);

    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    return rc == CURLE_OK ? ResultOk : ErrSmtpBase + static_cast<std::int32_t>(rc);
}

}  // namespace agentqx
