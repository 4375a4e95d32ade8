// Text helpers of the library: the agent's Windows-1250 strings to UTF-8, and the
// pieces of an Internet mail message.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace agentqx {

// Windows-1250 to UTF-8. Bytes the code page leaves undefined become '?'.
std::string Cp1250ToUtf8(const char* text);

// Standard base64 of the bytes; lineLength > 0 breaks the output with CR LF.
std::string Base64(std::string_view bytes, std::size_t lineLength = 0);

// A Subject header value: plain ASCII as it is, anything else as UTF-8 encoded words
// folded onto continuation lines.
std::string EncodeHeaderText(std::string_view utf8);

// Every line break (CR LF, LF or CR) made CR LF.
std::string WithCrLf(std::string_view text);

// "Tue, 03 Jun 2025 14:05:09 +0200", independent of the process locale.
std::string MailDate(std::time_t when);

}  // namespace agentqx
