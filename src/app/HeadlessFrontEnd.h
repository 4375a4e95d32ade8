// Runs the engine without a window: every log entry goes to standard output as one line,
// questions to the operator and their answers to standard error.
#pragma once

#include "engine/OperatorPrompt.h"

namespace orvex {

class TAgentEngine;

class HeadlessPrompt : public OperatorPrompt {
public:
    void MissingConfig(const QString& text, const QString& caption) override;
    void NonFunctionalVersion(const QString& text, const QString& caption) override;
    bool DifferentVersion(const QString& text, const QString& caption) override;
};

// Prints the engine's log entries to standard output, UTF-8, flushed at once.
void MirrorLogToStdout(TAgentEngine& engine);

}  // namespace orvex
