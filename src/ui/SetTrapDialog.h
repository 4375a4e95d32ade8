// The local TRAP dialog (TFSetTrap): recipient and texts of the agent's own status mails.
#pragma once

#include "ui/SettingsDialog.h"

class QComboBox;
class QLineEdit;

namespace orvex {

// The five status-mail settings the dialog edits, by reference to the gateway's own.
struct TTrapSettings {
    QString& RecipientAddress;
    char& AddressType;
    QString& Subject;
    QString& TextComOn;
    QString& TextComOff;
};

class TFSetTrap : public TSettingsDialog {
    Q_OBJECT
public:
    explicit TFSetTrap(TTrapSettings settings, QWidget* parent = nullptr);

    // OK keeps the stored letter when no address type is selected (a letter the list
    // does not offer, such as 'F').
    void accept() override;

    QLineEdit* MaskEdit3 = nullptr;  // recipient
    QComboBox* ComboBox1 = nullptr;  // address type
    QLineEdit* MaskEdit4 = nullptr;  // subject
    QLineEdit* MaskEdit2 = nullptr;  // text of the exchange-lost mail
    QLineEdit* MaskEdit1 = nullptr;  // text of the exchange-restored mail

    static constexpr int TextLimit = 100;

private:
    TTrapSettings Settings;
};

}  // namespace orvex
