// The log settings dialog (TFSetPis): which events are written to the event log.
#pragma once

#include "ui/SettingsDialog.h"

class QCheckBox;

namespace orvex {

// The six switches the dialog edits, by reference to the engine's own.
struct TLogSwitches {
    bool& ComIn;
    bool& ComPureIn;
    bool& ComOut;
    bool& ComLocOut;
    bool& TcpIpIn;
    bool& TcpIpOut;
};

class TFSetPis : public TSettingsDialog {
    Q_OBJECT
public:
    explicit TFSetPis(TLogSwitches switches, QWidget* parent = nullptr);

    void accept() override;

    QCheckBox* CheckBox1 = nullptr;  // Příjmy dat
    QCheckBox* CheckBox6 = nullptr;  // Příjmy prázdné
    QCheckBox* CheckBox2 = nullptr;  // Výstupy dat z TCP/IP
    QCheckBox* CheckBox5 = nullptr;  // Výstupy lokálních dat
    QCheckBox* CheckBox3 = nullptr;  // Příjmy (TCP/IP)
    QCheckBox* CheckBox4 = nullptr;  // Výstupy (TCP/IP)

private:
    TLogSwitches Switches;
};

}  // namespace orvex
