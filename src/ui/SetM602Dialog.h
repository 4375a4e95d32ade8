// The Mail602 connection dialog (TFSetM602).
#pragma once

#include "ui/SettingsDialog.h"

class QLineEdit;
class QPushButton;

namespace orvex {

// The four connection settings the dialog edits, by reference to the gateway's own.
struct TMailConnection {
    QString& ConfigPath;
    QString& WorkDir;
    QString& User;
    QString& Password;
};

class TFSetM602 : public TSettingsDialog {
    Q_OBJECT
public:
    explicit TFSetM602(TMailConnection settings, QWidget* parent = nullptr);

    void accept() override;
    void BitBtn3Click();  // browse for the configuration path
    void BitBtn4Click();  // browse for the working directory

    QLineEdit* MaskEdit1 = nullptr;  // configuration path
    QLineEdit* MaskEdit2 = nullptr;  // working directory
    QLineEdit* MaskEdit3 = nullptr;  // user
    QLineEdit* MaskEdit4 = nullptr;  // password
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;

    static constexpr int TextLimit = 100;
    static constexpr int PasswordLimit = 20;

private:
    void browse(QLineEdit* edit);

    TMailConnection Settings;
};

}  // namespace orvex
