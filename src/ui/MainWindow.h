// The main window (TForm1): the event log, the status bar, the hide button, the menus,
// the tray icon and the settings commands. It observes the engine and calls its
// operations; the engine knows nothing of it.
#pragma once

#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace orvex {

class IniFile;
class TAboutBox;
class TAgentEngine;
class TLogView;
class TTrayIcon;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(TAgentEngine& engine, QWidget* parent = nullptr);
    ~TForm1() override;

    // The About box is created by the entry point after the window and lives as long.
    void SetAboutBox(TAboutBox* about) { AboutBox = about; }

    // Agent menu, button and tray.
    void ShowOnTrayClickClick();
    void ShowOnClick();
    void ShutDownClick();
    void Zastavit1Click();
    // Settings menu (each dialog writes its own keys to Agent.ini after OK).
    void Mail6021Click();
    void LoklnTrapy1Click();
    void Volbasriovhoportu1Click();
    void VpisuLogu1Click();
    void tovn1Click();
    // Help menu.
    void Obsah1Click();
    void Kontextovnpovda1Click();
    void Jakpouvatnpovdu1Click();
    void Oaplikaci1Click();

    void FormResize();
    // Part of the shutdown: the icon leaves the tray whether or not it was added.
    void RemoveTrayIcon();

    bool TrayIconShown = false;

    TLogView* ListBox1 = nullptr;
    QPushButton* Button4 = nullptr;
    QLabel* StatusText = nullptr;  // the status bar's one panel
    TTrayIcon* Tray = nullptr;

    QMenu* Agent1 = nullptr;
    QMenu* Nastaven1 = nullptr;
    QMenu* Npovda1 = nullptr;
    QAction* ShowOnTrayClick = nullptr;
    QAction* Ukonit1 = nullptr;
    QAction* Zastavit1 = nullptr;
    QAction* Mail6021 = nullptr;
    QAction* LoklnTrapy1 = nullptr;
    QAction* Volbasriovhoportu1 = nullptr;
    QAction* VpisuLogu1 = nullptr;
    QAction* tovn1 = nullptr;
    QAction* Obsah1 = nullptr;
    QAction* Kontextovnpovda1 = nullptr;
    QAction* Jakpouvatnpovdu1 = nullptr;
    QAction* Oaplikaci1 = nullptr;

    static constexpr const char* HelpContextProperty = "helpContext";
    static const QString NoTrayText;

signals:
    // The window was closed: the program is to end.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    // Writes one dialog's keys through `write`; the first key that cannot be written is
    // reported and the rest are not tried.
    bool saveKeys(const std::function<bool(IniFile&)>& write);
    void reportError(const QString& text);

    TAgentEngine& Engine;
    TAboutBox* AboutBox = nullptr;
};

}  // namespace orvex
