#include "Diagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace agentqx {

namespace {

std::atomic<std::uint32_t> g_level{0};

void WriteLine(const char* format, std::va_list args)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    const std::string line = std::string("agentqx: ") + text + "\n";
    std::fputs(line.c_str(), stderr);
}

}  // namespace

void SetDiagnosticLevel(std::uint32_t level)
{
    g_level.store(level, std::memory_order_relaxed);
}

bool DiagnosticOn(std::uint32_t bit)
{
    return (g_level.load(std::memory_order_relaxed) & bit) != 0;
}

void Trace(const char* format, ...)
{
    if (!DiagnosticOn(DebugTrace))
        return;
    std::va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
}

void Report(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
}

void TraceSmtp(char direction, std::string_view text)
{
    if (!DiagnosticOn(DebugSmtp))
        return;
    std::string line = "agentqx smtp ";
    line += direction;
    line += ' ';
    line.append(text.data(), text.size());
    if (line.empty() || line.back() != '\n')
        line += '\n';
    std::fputs(line.c_str(), stderr);
}

}  // namespace agentqx
