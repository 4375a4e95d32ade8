// The accounting settings dialog (TFSetUct).
#pragma once

#include "ui/SettingsDialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace orvex {

class TFSetUct : public TSettingsDialog {
    Q_OBJECT
public:
    // Fills its controls from the engine's accounting settings here, not when shown.
    TFSetUct(bool& readUct, bool& sendUct, QString& uctFile, QWidget* parent = nullptr);

    void accept() override;  // BitBtnOKClick
    void CheckBoxURClick();
    void Button1Click();

    QCheckBox* CheckBoxUR = nullptr;
    QLineEdit* EditUR = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* CheckBoxIP = nullptr;

private:
    bool& ReadUct;
    bool& SendUct;
    QString& UctFile;
};

}  // namespace orvex
