#include "ui/InfoDialog.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

TFInfo::TFInfo(const QString& entry, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FInfo"));
    setWindowTitle(QStringLiteral("Info"));
    resize(473, 459);
    QFont f = font();
    f.setPixelSize(10);
    setFont(f);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setPlainText(entry);

    auto* BitBtn1 = new QPushButton(QStringLiteral("Zrušit"));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    auto* panel = new QWidget;
    panel->setFixedHeight(34);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 4, 0, 4);
    row->addStretch();
    row->addWidget(BitBtn1);
    row->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1, 1);
    layout->addWidget(panel);
}

}  // namespace orvex
