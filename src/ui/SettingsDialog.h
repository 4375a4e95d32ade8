// What the settings dialogs share: created for one use, modal, left with OK or cancel
// (Escape too), and F1 opens the help topic of their help context.
#pragma once

#include <QDialog>

class QPushButton;

namespace orvex {

class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // systemMenu false: no title-bar close button, the dialog is left with its buttons.
    TSettingsDialog(QWidget* parent, bool systemMenu, int helpContext = 0);

    int HelpContext() const { return Context; }

protected:
    // OK (default button) and cancel in a row at the bottom right.
    QWidget* MakeButtons(QPushButton*& ok, QPushButton*& cancel, const QString& cancelCaption);
    void keyPressEvent(QKeyEvent* event) override;

private:
    int Context = 0;
};

}  // namespace orvex
