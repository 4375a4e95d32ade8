#include "Text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace agentqx {

std::string Cp1250ToUtf8(const char* text)
{
    if (!text)
        return {};
    std::string in(text);
    std::string out;
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // Without the converter only ASCII survives unchanged.
        for (char c : in)
            out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        return out;
    }
    std::vector<char> buffer(in.size() * 3 + 4);
    char* src = in.data();
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buffer.data();
        std::size_t dstLeft = buffer.size();
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno != EILSEQ && errno != EINVAL)
                break;
            out.push_back('?');
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

std::string Base64(std::string_view bytes, std::size_t lineLength)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t column = 0;
    const auto put = [&](char c) {
        if (lineLength > 0 && column == lineLength) {
            out += "\r\n";
            column = 0;
        }
        out.push_back(c);
        ++column;
    };
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8
                           | static_cast<unsigned char>(bytes[i + 2]);
        put(alphabet[v >> 18 & 63]);
        put(alphabet[v >> 12 & 63]);
        put(alphabet[v >> 6 & 63]);
        put(alphabet[v & 63]);
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        put(alphabet[v >> 18 & 63]);
        put(alphabet[v >> 12 & 63]);
        put(i + 1 < bytes.size() ? alphabet[v >> 6 & 63] : '=');
        put('=');
    }
    return out;
}

std::string EncodeHeaderText(std::string_view utf8)
{
    bool plain = utf8.size() <= 900;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            plain = false;
    if (plain)
        return std::string(utf8);
    // Encoded words of at most 75 characters, never splitting a UTF-8 sequence.
    constexpr std::size_t maxChunk = 45;
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t end = std::min(pos + maxChunk, utf8.size());
        while (end < utf8.size() && end > pos + 1 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + Base64(utf8.substr(pos, end - pos)) + "?=";
        pos = end;
    }
    return out;
}

std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string MailDate(std::time_t when)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&when, &local);
    const long offset = local.tm_gmtoff / 60;
    const long absOffset = offset < 0 ? -offset : offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[local.tm_wday % 7],
                  local.tm_mday, months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
    return buffer;
}

}  // namespace agentqx
