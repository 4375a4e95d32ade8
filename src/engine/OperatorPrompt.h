// The questions the engine puts to the operator. The window answers them with message
// boxes; the headless front end answers as a cautious operator would.
#pragma once

#include <QString>

namespace orvex {

class OperatorPrompt {
public:
    virtual ~OperatorPrompt() = default;
    // Agent.ini is missing; start-up goes on with the defaults.
    virtual void MissingConfig(const QString& text, const QString& caption) = 0;
    // The exchange's firmware does not work with this agent (OK only).
    virtual void NonFunctionalVersion(const QString& text, const QString& caption) = 0;
    // The exchange's firmware differs; true means "go on" (Yes).
    virtual bool DifferentVersion(const QString& text, const QString& caption) = 0;
};

}  // namespace orvex
