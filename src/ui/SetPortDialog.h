// The serial port dialog (TFSetPort) and the port-string rule behind it.
#pragma once

#include "ui/SettingsDialog.h"

#include <QString>
#include <cstdint>

class QComboBox;

namespace orvex {

// The port index the menu passes to the dialog: the fourth character of the port string
// minus '1', kept to 8 bits ("COM2:..." gives 1). The string must hold four characters.
uint8_t PortIndexOf(const QString& portSettings);

// The port string after a choice in the dialog. With no device chosen, index 0..3 names
// COM1..COM4: the fourth character becomes the digit index + 1 (kept to 8 bits, so 255
// gives '0'); a port string that names a device path instead of a COM port gets "COMn"
// as its device, and a choice outside 0..3 leaves it as it is. A chosen device (a system
// serial port) replaces the device part. The line settings after ':' always stay.
QString PortSettingsAfterChoice(const QString& portSettings, uint8_t index, const QString& device);

class TFSetPort : public TSettingsDialog {
    Q_OBJECT
public:
    // index: the COM item to select (0..3) and, after OK, the chosen one (255 for none or a
    // device). device: after OK, the system device chosen from the list, else empty.
    // currentDevice: the device part of the port string, offered and selected when it is
    // one of the system ports or a device path.
    TFSetPort(uint8_t& index, QString& device, const QString& currentDevice, QWidget* parent = nullptr);

    QComboBox* ComboBox1 = nullptr;

    void accept() override;

    static constexpr int ComItems = 4;

private:
    uint8_t& Index;
    QString& Device;
};

}  // namespace orvex
