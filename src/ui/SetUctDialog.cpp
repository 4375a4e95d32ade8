#include "ui/SetUctDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

TFSetUct::TFSetUct(bool& readUct, bool& sendUct, QString& uctFile, QWidget* parent)
    : TSettingsDialog(parent, true), ReadUct(readUct), SendUct(sendUct), UctFile(uctFile)
{
    setObjectName(QStringLiteral("FSetUct"));
    setWindowTitle(QStringLiteral("Nastavení účtování"));
    resize(432, 317);

    CheckBoxUR = new QCheckBox(QStringLiteral("Stahovat účtovací data"));
    CheckBoxUR->setObjectName(QStringLiteral("CheckBoxUR"));
    EditUR = new QLineEdit;
    EditUR->setObjectName(QStringLiteral("EditUR"));
    Button1 = new QPushButton(QStringLiteral("Vyhledat"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    CheckBoxIP = new QCheckBox(QStringLiteral("Předávat účtovací data na IP"));
    CheckBoxIP->setObjectName(QStringLiteral("CheckBoxIP"));
    auto* fileLabel = new QLabel(QStringLiteral("Účtovací soubor:"));
    fileLabel->setBuddy(EditUR);

    CheckBoxUR->setChecked(ReadUct);
    CheckBoxIP->setChecked(SendUct);
    EditUR->setText(UctFile);
    EditUR->setEnabled(CheckBoxUR->isChecked());
    connect(CheckBoxUR, &QCheckBox::clicked, this, &TFSetUct::CheckBoxURClick);
    connect(Button1, &QPushButton::clicked, this, &TFSetUct::Button1Click);

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QWidget* buttons = MakeButtons(ok, cancel, QStringLiteral("Zrušit"));
    ok->setObjectName(QStringLiteral("BitBtnOK"));
    cancel->setObjectName(QStringLiteral("BitBtnCancel"));

    auto* grid = new QGridLayout;
    grid->addWidget(CheckBoxUR, 0, 0, 1, 2);
    grid->addWidget(fileLabel, 1, 0, 1, 2);
    grid->addWidget(EditUR, 2, 0);
    grid->addWidget(Button1, 2, 1);
    grid->setRowMinimumHeight(3, 16);
    grid->addWidget(CheckBoxIP, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(buttons);
}

void TFSetUct::CheckBoxURClick() { EditUR->setEnabled(CheckBoxUR->isChecked()); }

void TFSetUct::Button1Click()
{
    QFileDialog SaveDialog1(this);
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);  // the agent appends to the file
    SaveDialog1.selectFile(EditUR->text());
    if (SaveDialog1.exec() == QDialog::Accepted && !SaveDialog1.selectedFiles().isEmpty())
        EditUR->setText(SaveDialog1.selectedFiles().constFirst());
}

void TFSetUct::accept()
{
    SendUct = CheckBoxIP->isChecked();
    ReadUct = CheckBoxUR->isChecked();
    UctFile = EditUR->text();
    TSettingsDialog::accept();
}

}  // namespace orvex
