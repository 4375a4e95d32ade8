// An engine started on a pseudo-terminal with a controlled clock; the test plays the
// exchange on the master end and drives the tick by hand.
#pragma once

#include "PtyPair.h"
#include "app/StandardPorts.h"
#include "engine/Engine.h"
#include "gateway/TcpGateway.h"
#include "mail/Mail602.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace orvex::test {

// Records the operator questions and answers Yes or No as told.
class RecordingPrompt : public OperatorPrompt {
public:
    void MissingConfig(const QString& text, const QString& caption) override { Asked << caption + "|" + text; }
    void NonFunctionalVersion(const QString& text, const QString& caption) override { Asked << caption + "|" + text; }
    bool DifferentVersion(const QString& text, const QString& caption) override
    {
        Asked << caption + "|" + text;
        return AnswerYes;
    }
    QStringList Asked;
    bool AnswerYes = true;
};

class EngineFixture {
public:
    // The test Agent.ini has [Set] Port on the pty, IPPort 0 (any free port) and a tick interval
    // so long that only the test drives the tick; iniKeys ("Section/Key=Value") override it.
    explicit EngineFixture(const QStringList& iniKeys = {}, bool openPort = true);
    ~EngineFixture();

    TAgentEngine& E() { return *Engine; }
    // The engine's gateways as the agent puts them together.
    TcpGateway& Gateway() const { return dynamic_cast<TcpGateway&>(*Engine->Gateway); }
    TMail602& Mail() const { return dynamic_cast<TMail602&>(*Engine->Mail602); }
    PtyPair& Pty() { return Line; }
    RecordingPrompt Prompt;
    double Clock = 45000.5;  // days; tests move it by hand

    // Frames the engine wrote since the last call, as payloads (sequence byte first).
    QList<QByteArray> TakeFrames(int quietMs = 60);
    // Writes an answer frame into the line and lets the engine handle it.
    void Answer(uint8_t seq, const QByteArray& commandBytes);
    // Runs the tick n times.
    void Tick(int n = 1);
    // Log entries without their time stamps ("<prefix> <text>").
    QStringList LogLines() const;
    QString IniPath() const;

private:
    QTemporaryDir Dir;
    PtyPair Line;
    std::unique_ptr<TAgentEngine> Engine;
};

QByteArray Hex(const char* text);  // "00 16 00" -> bytes

}  // namespace orvex::test
