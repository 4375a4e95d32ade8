#include "ui/SetM602Dialog.h"

#include "ui/HelpViewer.h"
#include "ui/SetDirDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace orvex {

namespace {

QLineEdit* edit(const char* name, const QString& text, int limit)
{
    auto* e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(limit);
    e->setText(text.left(limit));
    return e;
}

}  // namespace

TFSetM602::TFSetM602(TMailConnection settings, QWidget* parent)
    : TSettingsDialog(parent, false, HelpMail602), Settings(settings)
{
    setObjectName(QStringLiteral("FSetM602"));
    setWindowTitle(QStringLiteral("Nastavení Mail602"));
    resize(336, 358);

    MaskEdit1 = edit("MaskEdit1", Settings.ConfigPath, TextLimit);
    MaskEdit2 = edit("MaskEdit2", Settings.WorkDir, TextLimit);
    MaskEdit3 = edit("MaskEdit3", Settings.User, TextLimit);
    MaskEdit4 = edit("MaskEdit4", Settings.Password, PasswordLimit);
    MaskEdit4->setEchoMode(QLineEdit::Password);
    MaskEdit4->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // '*' whatever the style
    BitBtn3 = new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon), QString());
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setToolTip(QStringLiteral("Vybrat adresář"));
    BitBtn4 = new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon), QString());
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setToolTip(QStringLiteral("Vybrat adresář"));
    for (QPushButton* b : {BitBtn3, BitBtn4})
        b->setAutoDefault(false);
    connect(BitBtn3, &QPushButton::clicked, this, &TFSetM602::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TFSetM602::BitBtn4Click);

    auto* paths = new QGridLayout;
    auto* configLabel = new QLabel(QStringLiteral("Cesta na základní konfigurační soubor:"));
    configLabel->setBuddy(MaskEdit1);
    auto* workLabel = new QLabel(QStringLiteral("Pracovní adresář"));
    workLabel->setBuddy(MaskEdit2);
    paths->addWidget(configLabel, 0, 0, 1, 2);
    paths->addWidget(MaskEdit1, 1, 0);
    paths->addWidget(BitBtn3, 1, 1);
    paths->setRowMinimumHeight(2, 10);
    paths->addWidget(workLabel, 3, 0, 1, 2);
    paths->addWidget(MaskEdit2, 4, 0);
    paths->addWidget(BitBtn4, 4, 1);

    auto* user = new QGroupBox(QStringLiteral("Uživatel"));
    auto* userGrid = new QGridLayout(user);
    auto* nameLabel = new QLabel(QStringLiteral("Jméno:"));
    nameLabel->setBuddy(MaskEdit3);
    auto* passwordLabel = new QLabel(QStringLiteral("Heslo:"));
    passwordLabel->setBuddy(MaskEdit4);
    userGrid->addWidget(nameLabel, 0, 0);
    userGrid->addWidget(MaskEdit3, 0, 1);
    userGrid->addWidget(passwordLabel, 1, 0);
    userGrid->addWidget(MaskEdit4, 1, 1);

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QWidget* buttons = MakeButtons(ok, cancel, QStringLiteral("Zrušit"));
    ok->setObjectName(QStringLiteral("BitBtn2"));
    cancel->setObjectName(QStringLiteral("BitBtn1"));

    setTabOrder(MaskEdit1, BitBtn3);
    setTabOrder(BitBtn3, MaskEdit2);
    setTabOrder(MaskEdit2, BitBtn4);
    setTabOrder(BitBtn4, MaskEdit3);
    setTabOrder(MaskEdit3, MaskEdit4);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(paths);
    layout->addSpacing(12);
    layout->addWidget(user);
    layout->addStretch();
    layout->addWidget(buttons);
}

void TFSetM602::browse(QLineEdit* target)
{
    QString path = target->text();
    TFSetDir chooser(path, this);
    chooser.exec();
    target->setText(path.left(TextLimit));
}

void TFSetM602::BitBtn3Click() { browse(MaskEdit1); }
void TFSetM602::BitBtn4Click() { browse(MaskEdit2); }

void TFSetM602::accept()
{
    Settings.ConfigPath = MaskEdit1->text().left(TextLimit);
    Settings.WorkDir = MaskEdit2->text().left(TextLimit);
    Settings.User = MaskEdit3->text().left(TextLimit);
    Settings.Password = MaskEdit4->text().left(PasswordLimit);
    TSettingsDialog::accept();
}

}  // namespace orvex
