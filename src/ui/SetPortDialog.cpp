#include "ui/SetPortDialog.h"

#include "link/CommPack.h"
#include "ui/HelpViewer.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>

namespace orvex {

namespace {

bool namesComPort(const QString& portSettings) { return portSettings.startsWith(QLatin1String("COM"), Qt::CaseInsensitive); }

}  // namespace

uint8_t PortIndexOf(const QString& portSettings)
{
    return static_cast<uint8_t>(portSettings.at(3).unicode() - u'1');
}

QString PortSettingsAfterChoice(const QString& portSettings, uint8_t index, const QString& device)
{
    const int colon = portSettings.indexOf(QLatin1Char(':'));
    const QString lineSettings = colon < 0 ? QString() : portSettings.mid(colon);
    if (!device.isEmpty())
        return device + lineSettings;
    if (namesComPort(portSettings) && portSettings.size() >= 4) {
        QString out = portSettings;
        out[3] = QChar(static_cast<char16_t>(static_cast<uint8_t>(index + 1) + u'0'));
        return out;
    }
    if (index < TFSetPort::ComItems)
        return QStringLiteral("COM") + QString::number(index + 1) + lineSettings;
    return portSettings;
}

TFSetPort::TFSetPort(uint8_t& index, QString& device, const QString& currentDevice, QWidget* parent)
    : TSettingsDialog(parent, false, HelpPort), Index(index), Device(device)
{
    setObjectName(QStringLiteral("FSetPort"));
    setWindowTitle(QStringLiteral("Serial port selection"));
    resize(314, 201);

    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    QStringList comDevices;
    for (int n = 1; n <= ComItems; ++n) {
        ComboBox1->addItem(QStringLiteral("COM %1").arg(n));
        comDevices << SystemDeviceName(QStringLiteral("COM%1").arg(n));
    }
    // The ports the system has, beyond COM1..COM4: USB adapters and the like.
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString location = info.systemLocation();
        if (comDevices.contains(location) || ComboBox1->findData(location) >= 0)
            continue;
        const QString text = info.description().isEmpty() ? location : location + QStringLiteral(" (") + info.description() + QLatin1Char(')');
        ComboBox1->addItem(text, location);
    }
    if (!currentDevice.isEmpty() && !namesComPort(currentDevice) && ComboBox1->findData(currentDevice) < 0
        && ComboBox1->findData(SystemDeviceName(currentDevice)) < 0)
        ComboBox1->addItem(currentDevice, currentDevice);

    if (Index < ComItems && namesComPort(currentDevice))
        ComboBox1->setCurrentIndex(Index);
    else if (!namesComPort(currentDevice)) {
        int i = ComboBox1->findData(currentDevice);
        if (i < 0)
            i = ComboBox1->findData(SystemDeviceName(currentDevice));
        ComboBox1->setCurrentIndex(i);
    } else
        ComboBox1->setCurrentIndex(-1);

    auto* label = new QLabel(QStringLiteral("&Port:"));
    label->setBuddy(ComboBox1);
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QWidget* buttons = MakeButtons(ok, cancel, QStringLiteral("Cancel"));
    ok->setObjectName(QStringLiteral("BitBtn1"));
    cancel->setObjectName(QStringLiteral("BitBtn2"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(24, 24, 24, 16);
    grid->addWidget(label, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
}

void TFSetPort::accept()
{
    const int i = ComboBox1->currentIndex();
    if (i >= 0 && i < ComItems) {
        Index = static_cast<uint8_t>(i);
        Device.clear();
    } else {
        Index = 255;
        Device = i < 0 ? QString() : ComboBox1->itemData(i).toString();
    }
    TSettingsDialog::accept();
}

}  // namespace orvex
