// The library's diagnostic output on standard error, chosen by SetDebugLevel. Both the
// entry points and the delivery thread write here; each line goes out in one piece.
#pragma once

#include <cstdint>
#include <string_view>

namespace agentqx {

constexpr std::uint32_t DebugTrace = 1;   // a line for every call and delivery attempt
constexpr std::uint32_t DebugSmtp = 2;    // libcurl's SMTP dialogue

void SetDiagnosticLevel(std::uint32_t level);
bool DiagnosticOn(std::uint32_t bit);

// A line when DebugTrace is on.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A line whatever the level: for what the operator must learn of (a mail set aside).
void Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Raw text of the SMTP dialogue, when DebugSmtp is on.
void TraceSmtp(char direction, std::string_view text);

}  // namespace agentqx
