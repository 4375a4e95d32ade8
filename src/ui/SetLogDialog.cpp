#include "ui/SetLogDialog.h"

#include "ui/HelpViewer.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

QLabel* navyLabel(const QString& text)
{
    auto* label = new QLabel(text);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    label->setPalette(p);
    return label;
}

QCheckBox* box(const char* name, const QString& caption, bool checked)
{
    auto* b = new QCheckBox(caption);
    b->setObjectName(QLatin1String(name));
    b->setChecked(checked);
    return b;
}

}  // namespace

TFSetPis::TFSetPis(TLogSwitches switches, QWidget* parent)
    : TSettingsDialog(parent, false, HelpLog), Switches(switches)
{
    setObjectName(QStringLiteral("FSetPis"));
    setWindowTitle(QStringLiteral("Nastavení Logu"));
    resize(378, 296);

    CheckBox1 = box("CheckBox1", QStringLiteral("Příjmy dat"), Switches.ComIn);
    CheckBox6 = box("CheckBox6", QStringLiteral("Příjmy prázdné"), Switches.ComPureIn);
    CheckBox2 = box("CheckBox2", QStringLiteral("Výstupy dat z TCP/IP"), Switches.ComOut);
    CheckBox5 = box("CheckBox5", QStringLiteral("Výstupy lokálních dat"), Switches.ComLocOut);
    CheckBox3 = box("CheckBox3", QStringLiteral("Příjmy"), Switches.TcpIpIn);
    CheckBox4 = box("CheckBox4", QStringLiteral("Výstupy"), Switches.TcpIpOut);

    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    grid->addWidget(navyLabel(QStringLiteral("Sériová komunikace:")), 0, 0);
    grid->addWidget(navyLabel(QStringLiteral("Komunikace TCP/IP:")), 0, 1);
    grid->addWidget(CheckBox1, 1, 0);
    grid->addWidget(CheckBox6, 2, 0);
    grid->addWidget(CheckBox2, 3, 0);
    grid->addWidget(CheckBox5, 4, 0);
    grid->addWidget(CheckBox3, 1, 1);
    grid->addWidget(CheckBox4, 2, 1);
    grid->setRowStretch(5, 1);
    grid->setHorizontalSpacing(24);

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QWidget* buttons = MakeButtons(ok, cancel, QStringLiteral("Zrušit"));
    ok->setObjectName(QStringLiteral("BitBtn1"));
    cancel->setObjectName(QStringLiteral("BitBtn2"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(buttons);
}

void TFSetPis::accept()
{
    Switches.ComIn = CheckBox1->isChecked();
    Switches.ComPureIn = CheckBox6->isChecked();
    Switches.ComOut = CheckBox2->isChecked();
    Switches.ComLocOut = CheckBox5->isChecked();
    Switches.TcpIpIn = CheckBox3->isChecked();
    Switches.TcpIpOut = CheckBox4->isChecked();
    TSettingsDialog::accept();
}

}  // namespace orvex
