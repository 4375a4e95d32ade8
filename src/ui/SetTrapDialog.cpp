#include "ui/SetTrapDialog.h"

#include "ui/HelpViewer.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

QLineEdit* edit(const char* name, const QString& text)
{
    auto* e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(TFSetTrap::TextLimit);
    e->setText(text.left(TFSetTrap::TextLimit));
    return e;
}

QLabel* coloured(const QString& text, const QColor& colour)
{
    auto* label = new QLabel(text);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    return label;
}

}  // namespace

TFSetTrap::TFSetTrap(TTrapSettings settings, QWidget* parent)
    : TSettingsDialog(parent, false, HelpTrapy), Settings(settings)
{
    setObjectName(QStringLiteral("FSetTrap"));
    setWindowTitle(QStringLiteral("Nastavení lokálních TRAPů"));
    resize(418, 404);

    MaskEdit3 = edit("MaskEdit3", Settings.RecipientAddress);
    MaskEdit4 = edit("MaskEdit4", Settings.Subject);
    MaskEdit2 = edit("MaskEdit2", Settings.TextComOff);
    MaskEdit1 = edit("MaskEdit1", Settings.TextComOn);
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    const struct {
        const char* Caption;
        char Letter;
    } types[] = {{"--------", 0}, {"Internet", 'I'}, {"Sms", 'Q'}, {"Mail602-vnější", 'V'}, {"Mail602-lokální", 'L'}, {"Zmodem", 'Z'}};
    for (const auto& t : types)
        ComboBox1->addItem(QString::fromUtf8(t.Caption), QVariant(int(t.Letter)));
    ComboBox1->setCurrentIndex(ComboBox1->findData(QVariant(int(Settings.AddressType))));

    auto* recipient = new QGroupBox(QStringLiteral("Adresát"));
    auto* form = new QFormLayout(recipient);
    form->addRow(QStringLiteral("Jméno:"), MaskEdit3);
    form->addRow(QStringLiteral("Typ adresy:"), ComboBox1);
    form->addRow(QStringLiteral("Subject:"), MaskEdit4);

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QWidget* buttons = MakeButtons(ok, cancel, QStringLiteral("Zrušit"));
    ok->setObjectName(QStringLiteral("BitBtn2"));
    cancel->setObjectName(QStringLiteral("BitBtn1"));

    auto* lostLabel = coloured(QStringLiteral("Chyba komunikace s ústřednou"), Qt::red);
    lostLabel->setBuddy(MaskEdit2);
    auto* restoredLabel = coloured(QStringLiteral("Obnova komunikace s ústřednou"), QColor(0x00, 0x80, 0x00));
    restoredLabel->setBuddy(MaskEdit1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(recipient);
    layout->addSpacing(10);
    layout->addWidget(lostLabel);
    layout->addWidget(MaskEdit2);
    layout->addSpacing(6);
    layout->addWidget(restoredLabel);
    layout->addWidget(MaskEdit1);
    layout->addStretch();
    layout->addWidget(buttons);
}

void TFSetTrap::accept()
{
    Settings.RecipientAddress = MaskEdit3->text().left(TextLimit);
    if (ComboBox1->currentIndex() >= 0)
        Settings.AddressType = static_cast<char>(ComboBox1->currentData().toInt());
    Settings.Subject = MaskEdit4->text().left(TextLimit);
    Settings.TextComOn = MaskEdit1->text().left(TextLimit);
    Settings.TextComOff = MaskEdit2->text().left(TextLimit);
    TSettingsDialog::accept();
}

}  // namespace orvex
