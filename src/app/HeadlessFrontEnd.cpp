#include "app/HeadlessFrontEnd.h"

#include "engine/Engine.h"

#include <cstdio>

namespace orvex {

namespace {
void printLine(FILE* f, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), f);
    std::fputc('\n', f);
    std::fflush(f);
}

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

}  // namespace

void HeadlessPrompt::MissingConfig(const QString& text, const QString& caption)
{
    printLine(stderr, caption + QStringLiteral(": ") + oneLine(text) + QStringLiteral(" [OK]"));
}

void HeadlessPrompt::NonFunctionalVersion(const QString& text, const QString& caption)
{
    printLine(stderr, caption + QStringLiteral(": ") + oneLine(text) + QStringLiteral(" [OK] - zpracování zastaveno"));
}

bool HeadlessPrompt::DifferentVersion(const QString& text, const QString& caption)
{
    printLine(stderr, caption + QStringLiteral(": ") + oneLine(text) + QStringLiteral(" [Ano]"));
    return true;
}

void MirrorLogToStdout(TAgentEngine& engine)
{
    QObject::connect(&engine.Log, &EventLog::EntryAdded, &engine.Log,
                     [](const QString& entry) { printLine(stdout, oneLine(entry)); });
}

}  // namespace orvex
