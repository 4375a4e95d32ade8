#include "ui/TrayIcon.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

namespace orvex {

TTrayIcon::TTrayIcon(const QIcon& icon, QObject* parent) : QObject(parent), Icon(icon)
{
    PopupMenu1 = new QMenu;
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Zobrazit1 = PopupMenu1->addAction(QStringLiteral("&Zobrazit"));
    Zobrazit1->setObjectName(QStringLiteral("Zobrazit1"));
    Ukonit2 = PopupMenu1->addAction(QStringLiteral("&Ukončit"));
    Ukonit2->setObjectName(QStringLiteral("Ukonit2"));
    PopupMenu1->setDefaultAction(Zobrazit1);
    connect(Zobrazit1, &QAction::triggered, this, &TTrayIcon::ShowRequested);
    connect(Ukonit2, &QAction::triggered, this, &TTrayIcon::QuitRequested);
    connect(&Icon, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
}

TTrayIcon::~TTrayIcon()
{
    Icon.hide();
    delete PopupMenu1;
}

bool TTrayIcon::Available() const { return Check ? Check() : QSystemTrayIcon::isSystemTrayAvailable(); }

void TTrayIcon::Add(const QString& tip)
{
    Icon.setToolTip(tip.left(63));
    Icon.show();
}

void TTrayIcon::Remove() { Icon.hide(); }

bool TTrayIcon::Shown() const { return Icon.isVisible(); }

QString TTrayIcon::Tip() const { return Icon.toolTip(); }

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit ShowRequested();
        break;
    case QSystemTrayIcon::Context:
        // A little above the cursor, so the menu does not open under the pointer.
        PopupMenu1->popup(QCursor::pos() - QPoint(0, 25));
        break;
    default:  // a single click does nothing
        break;
    }
}

}  // namespace orvex
