// The engine's questions to the operator as message boxes. Each box runs its own event
// loop, so timers, sockets and the serial link are served while it is open.
#pragma once

#include "engine/OperatorPrompt.h"

#include <QPointer>
#include <QWidget>

namespace orvex {

class TWindowPrompt : public OperatorPrompt {
public:
    // The version-check boxes belong to the main window; set it once it exists.
    void SetOwner(QWidget* owner) { Owner = owner; }

    // Warning box with no owner window, OK only.
    void MissingConfig(const QString& text, const QString& caption) override;
    // Stop icon, OK only.
    void NonFunctionalVersion(const QString& text, const QString& caption) override;
    // Question icon, Yes and No; true for Yes.
    bool DifferentVersion(const QString& text, const QString& caption) override;

private:
    QPointer<QWidget> Owner;
};

}  // namespace orvex
