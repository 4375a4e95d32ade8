// The tray icon and its pop-up menu (PopupMenu1). The icon is added at the first hide of
// the main window and stays until the program ends.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

class QAction;
class QMenu;

namespace orvex {

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TTrayIcon(const QIcon& icon, QObject* parent = nullptr);
    ~TTrayIcon() override;

    // Whether the desktop has a tray to put the icon in. Replaceable, since the offscreen
    // and bare X servers used for tests have none.
    bool Available() const;
    void SetAvailabilityCheck(std::function<bool()> check) { Check = std::move(check); }

    // Shows the icon with the tip (at most 63 characters, as the tip field holds).
    void Add(const QString& tip);
    void Remove();
    bool Shown() const;
    QString Tip() const;

    QMenu* PopupMenu1 = nullptr;
    QAction* Zobrazit1 = nullptr;
    QAction* Ukonit2 = nullptr;

    // A mouse event on the icon, as the tray reports it.
    void Activated(QSystemTrayIcon::ActivationReason reason);

signals:
    void ShowRequested();
    void QuitRequested();

private:
    QSystemTrayIcon Icon;
    std::function<bool()> Check;
};

}  // namespace orvex
