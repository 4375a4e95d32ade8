#include "ui/SettingsDialog.h"

#include "ui/HelpViewer.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

namespace orvex {

TSettingsDialog::TSettingsDialog(QWidget* parent, bool systemMenu, int helpContext)
    : QDialog(parent, systemMenu ? Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                                 : Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Context(helpContext)
{
    setModal(true);
}

QWidget* TSettingsDialog::MakeButtons(QPushButton*& ok, QPushButton*& cancel, const QString& cancelCaption)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    cancel = new QPushButton(cancelCaption);
    for (QPushButton* b : {ok, cancel}) {
        b->setMinimumWidth(88);
        layout->addWidget(b);
    }
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return row;
}

void TSettingsDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier && Context != 0) {
        THelpViewer::For(this)->ShowContext(Context);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace orvex
