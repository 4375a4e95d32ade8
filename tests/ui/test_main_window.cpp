// The main window over a running engine: menus, the hide button and the tray, stop and
// resume, the layout, the About box and the help viewer.
#include "EngineFixture.h"
#include "ModalDriver.h"
#include "ui/AboutBox.h"
#include "ui/HelpViewer.h"
#include "ui/LogView.h"
#include "ui/MainWindow.h"
#include "ui/SetLogDialog.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

using namespace orvex;
using namespace orvex::test;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menuItems_data();
    void menuItems();
    void menuOrder();
    void windowAndStatusBar();
    void enterHidesToTray();
    void withoutTrayWindowStays();
    void trayMouseAndMenu();
    void trayQuitEndsProgram();
    void closeButtonEndsProgram();
    void stopAndResumeByTickState();
    void layoutOnResize();
    void aboutBox();
    void helpCommands();
    void helpContexts_data();
    void helpContexts();
    void f1InDialogOpensItsTopic();
    void f1OnSettingsItemOpensItsTopic();
};

namespace {

QAction* action(TForm1& w, const QString& name) { return w.findChild<QAction*>(name); }

QStringList names(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions())
        out << a->objectName();
    return out;
}

}  // namespace

void MainWindowTest::menuItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<int>("helpContext");
    QTest::addColumn<QString>("shortHint");
    QTest::addColumn<QString>("longHint");
    const QKeySequence none;
    QTest::newRow("hide") << "ShowOnTrayClick" << "&Skrýt" << none << 0 << "Do lišty" << "Skrýt okno do systémové lišty";
    QTest::newRow("quit") << "Ukonit1" << "&Ukončit" << none << 0 << "Ukončit program" << "Ukončit program";
    QTest::newRow("stop") << "Zastavit1" << "Zastavit" << none << 0 << "" << "";
    QTest::newRow("mail602") << "Mail6021" << "Mail&602" << none << 101 << "Nastavení Mail602" << "Nastavení Mail602";
    QTest::newRow("traps") << "LoklnTrapy1" << "&Lokální Trapy" << none << 104 << "" << "";
    QTest::newRow("port") << "Volbasriovhoportu1" << "&Volba sériového portu" << none << 103
                          << "Určení portu pro komunikaci s ústřednou" << "Určení portu pro komunikaci s ústřednou";
    QTest::newRow("log") << "VpisuLogu1" << "Výpisu Lo&gu" << none << 102 << "" << "";
    QTest::newRow("accounting") << "tovn1" << "Účtování" << none << 0 << "" << "";
    QTest::newRow("contents") << "Obsah1" << "Obsah" << QKeySequence(Qt::SHIFT | Qt::Key_F1) << 0 << "" << "";
    QTest::newRow("keyword") << "Kontextovnpovda1" << "Kontextová nápověda" << QKeySequence(Qt::Key_F1) << 0 << "" << "";
    QTest::newRow("help on help") << "Jakpouvatnpovdu1" << "Používání nápovědu " << none << 0 << "" << "";
    QTest::newRow("about") << "Oaplikaci1" << "&O aplikaci..." << none << 0 << "O aplikaci" << "O aplikaci";
}

void MainWindowTest::menuItems()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    QFETCH(int, helpContext);
    QFETCH(QString, shortHint);
    QFETCH(QString, longHint);
    EngineFixture fx;
    TForm1 w(fx.E());
    QAction* a = action(w, name);
    QVERIFY(a);
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->shortcut(), shortcut);
    QCOMPARE(a->property(TForm1::HelpContextProperty).toInt(), helpContext);
    QCOMPARE(a->statusTip(), longHint);
    if (!shortHint.isEmpty())
        QCOMPARE(a->toolTip(), shortHint);
}

void MainWindowTest::menuOrder()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    QStringList titles;
    for (const QAction* a : w.menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, QStringList({"&Agent", "Na&stavení", "&Nápověda"}));
    QCOMPARE(names(w.Agent1), QStringList({"ShowOnTrayClick", "N1", "Ukonit1", "Zastavit1"}));
    QCOMPARE(names(w.Nastaven1), QStringList({"Mail6021", "LoklnTrapy1", "Volbasriovhoportu1", "VpisuLogu1", "tovn1"}));
    QCOMPARE(names(w.Npovda1), QStringList({"Obsah1", "Kontextovnpovda1", "Jakpouvatnpovdu1", "N2", "Oaplikaci1"}));
    QVERIFY(action(w, "N1")->isSeparator());
    QVERIFY(action(w, "N2")->isSeparator());
    // A highlighted item puts its long hint into the status bar, over the status text.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.ShowOnTrayClick->showStatusText(&w));
    QCOMPARE(w.statusBar()->currentMessage(), QString("Skrýt okno do systémové lišty"));
    w.statusBar()->clearMessage();
    QVERIFY(w.StatusText->isVisible());
}

void MainWindowTest::windowAndStatusBar()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    QCOMPARE(w.windowTitle(), QString("Orvex Agent"));
    QCOMPARE(w.size(), QSize(493, 368));
    QCOMPARE(w.Button4->text(), QString("Skrýt"));
    QCOMPARE(w.Button4->size(), QSize(79, 25));
    // The start-up entries written before the window existed are shown, the newest selected.
    QCOMPARE(w.ListBox1->count(), fx.E().Log.Entries().size());
    QVERIFY(w.ListBox1->item(0)->text().endsWith("  ---- Start Orvex Agent ----"));
    QCOMPARE(w.StatusText->text(), fx.E().Log.StatusText());
    fx.E().WriteLog("<COM", "Stav linek");
    QCOMPARE(w.StatusText->text(), QString("<COM     Stav linek"));
    QCOMPARE(w.ListBox1->SelectedIndex(), w.ListBox1->count() - 1);
    fx.E().Log.SetStatusText("OnListen");
    QCOMPARE(w.StatusText->text(), QString("OnListen"));
}

void MainWindowTest::enterHidesToTray()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.Tray->SetAvailabilityCheck([] { return true; });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.Tray->Shown());
    w.ListBox1->setFocus();
    QTest::keyClick(w.ListBox1, Qt::Key_Return);
    QVERIFY(!w.isVisible());
    QVERIFY(w.TrayIconShown);
    QVERIFY(w.Tray->Shown());
    QCOMPARE(w.Tray->Tip(), QString("Orvex Agent"));
    // The engine goes on while hidden.
    QVERIFY(fx.E().IsProcessing());
    w.ShowOnClick();
    QVERIFY(w.isVisible());
    QVERIFY(w.Tray->Shown());  // the icon stays
    w.Button4->setFocus();
    QTest::keyClick(w.Button4, Qt::Key_Enter);
    QVERIFY(!w.isVisible());
}

void MainWindowTest::withoutTrayWindowStays()
{
    // The offscreen platform has no tray, as a bare desktop would not.
    EngineFixture fx;
    TForm1 w(fx.E());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.Tray->Available());
    QTest::keyClick(w.ListBox1, Qt::Key_Return);
    QVERIFY(w.isVisible());
    QVERIFY(!w.TrayIconShown);
    QVERIFY(!w.Tray->Shown());
    QCOMPARE(w.StatusText->text(), TForm1::NoTrayText);
    w.ShowOnTrayClick->trigger();
    QVERIFY(w.isVisible());
}

void MainWindowTest::trayMouseAndMenu()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.Tray->SetAvailabilityCheck([] { return true; });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.ShowOnTrayClickClick();
    QVERIFY(!w.isVisible());

    QCOMPARE(names(w.Tray->PopupMenu1), QStringList({"Zobrazit1", "Ukonit2"}));
    QCOMPARE(w.Tray->Zobrazit1->text(), QString("&Zobrazit"));
    QCOMPARE(w.Tray->Ukonit2->text(), QString("&Ukončit"));
    QCOMPARE(w.Tray->PopupMenu1->defaultAction(), w.Tray->Zobrazit1);

    w.Tray->Activated(QSystemTrayIcon::Trigger);  // a single click does nothing
    QVERIFY(!w.isVisible());
    QVERIFY(!w.Tray->PopupMenu1->isVisible());
    w.Tray->Activated(QSystemTrayIcon::Context);  // right button: the pop-up menu
    QVERIFY(w.Tray->PopupMenu1->isVisible());
    QVERIFY(!w.isVisible());
    w.Tray->PopupMenu1->close();
    w.Tray->Activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(w.isVisible());
    w.ShowOnTrayClickClick();
    w.Tray->Zobrazit1->trigger();
    QVERIFY(w.isVisible());
    QVERIFY(w.Tray->Shown());
}

void MainWindowTest::trayQuitEndsProgram()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.Tray->SetAvailabilityCheck([] { return true; });
    QSignalSpy closed(&w, &TForm1::Closed);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.ShowOnTrayClickClick();
    QVERIFY(w.Tray->Shown());
    w.Tray->Ukonit2->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!w.TrayIconShown);
    QVERIFY(!fx.E().IsProcessing());  // the close handler stopped the tick
    w.RemoveTrayIcon();
    QVERIFY(!w.Tray->Shown());
}

void MainWindowTest::closeButtonEndsProgram()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.Tray->SetAvailabilityCheck([] { return true; });
    QSignalSpy closed(&w, &TForm1::Closed);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.close());
    QCOMPARE(closed.count(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.Tray->Shown());  // closing is not hiding
    QVERIFY(!fx.E().IsProcessing());
}

void MainWindowTest::stopAndResumeByTickState()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    QVERIFY(e.IsProcessing());
    w.Zastavit1->trigger();
    QVERIFY(!e.IsProcessing());
    QCOMPARE(w.Zastavit1->text(), QString("&Obnovit"));
    w.Zastavit1->trigger();
    QVERIFY(e.IsProcessing());
    QCOMPARE(w.Zastavit1->text(), QString("&Zastavit"));
    // Stopped behind the item's back (the version check): the click goes by the tick.
    e.SetProcessing(false);
    QCOMPARE(w.Zastavit1->text(), QString("&Zastavit"));
    w.Zastavit1->trigger();
    QVERIFY(e.IsProcessing());
    QCOMPARE(w.Zastavit1->text(), QString("&Zastavit"));
}

void MainWindowTest::layoutOnResize()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (const QSize size : {QSize(493, 368), QSize(800, 600), QSize(300, 250)}) {
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        const int clientWidth = w.centralWidget()->width();
        const int clientHeight = w.height() - w.centralWidget()->y();  // below the menu bar
        QCOMPARE(w.ListBox1->geometry(), QRect(7, 0, clientWidth - 16, clientHeight - 70));
        QCOMPARE(w.Button4->pos(), QPoint(clientWidth - 79 - 8, clientHeight - 70 + 8));
        QVERIFY(w.statusBar()->geometry().bottom() == w.rect().bottom());
    }
}

void MainWindowTest::aboutBox()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    TAboutBox about(&w);
    w.SetAboutBox(&about);
    QCOMPARE(about.windowTitle(), QString("O aplikaci"));
    QCOMPARE(about.size(), QSize(348, 227));
    QCOMPARE(about.Label3->text(), QString("Orvex Agent"));
    QCOMPARE(about.Version->text(), QString("1.75"));
    QCOMPARE(about.LabelInfo->width(), 185);
    QVERIFY(about.LabelInfo->text().isEmpty());
    QVERIFY(!(about.windowFlags() & Qt::WindowSystemMenuHint));

    ModalDriver driver;
    driver.On<TAboutBox>([](TAboutBox* box) {
        QTest::mouseDClick(box->Label2, Qt::LeftButton);
        box->findChild<QPushButton*>("Button1")->click();
    });
    w.Oaplikaci1->trigger();
    QVERIFY(driver.Ran());
    const QRegularExpression stamp("^[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4},[0-9]{2}:[0-9]{2}:[0-9]{2}$");
    QVERIFY2(stamp.match(about.LabelInfo->text()).hasMatch(), qPrintable(about.LabelInfo->text()));
    QCOMPARE(about.LabelInfo->text(), BuildDateTime());
    // The box is kept, and so is its text, for the next time it is shown.
    ModalDriver again;
    QString kept;
    again.On<TAboutBox>([&kept](TAboutBox* box) {
        kept = box->LabelInfo->text();
        box->reject();
    });
    w.Oaplikaci1->trigger();
    QCOMPARE(kept, BuildDateTime());
}

void MainWindowTest::helpCommands()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Obsah1->trigger();
    auto* viewer = w.findChild<THelpViewer*>();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->CurrentTopic(), QString("uvod.html"));
    QCOMPARE(viewer->Tabs()->currentIndex(), 0);
    QVERIFY(viewer->Browser()->toPlainText().contains("Orvex Agent"));
    QVERIFY(viewer->ContentsList()->count() >= 8);

    w.Kontextovnpovda1->trigger();
    QCOMPARE(w.findChildren<THelpViewer*>().size(), 1);  // the same viewer
    QCOMPARE(viewer->Tabs()->currentIndex(), 1);
    QVERIFY(viewer->SearchEdit()->text().isEmpty());
    // Partial keys narrow the index; Enter opens the first match.
    const auto shown = [viewer](const QString& key) {
        int visible = 0;
        for (int i = 0; i < viewer->IndexList()->count(); ++i)
            if (!viewer->IndexList()->item(i)->isHidden()) {
                ++visible;
                if (!viewer->IndexList()->item(i)->text().startsWith(key, Qt::CaseInsensitive))
                    return -1;
            }
        return visible;
    };
    viewer->SearchEdit()->setText("sériov");
    QCOMPARE(shown("sériov"), 1);
    QTest::keyClick(viewer->SearchEdit(), Qt::Key_Return);
    QCOMPARE(viewer->CurrentTopic(), QString("port.html"));
    viewer->SearchEdit()->clear();
    QTest::keyClicks(viewer->SearchEdit(), "heslo");
    QCOMPARE(shown("heslo"), 1);
    QTest::keyClick(viewer->SearchEdit(), Qt::Key_Return);
    QCOMPARE(viewer->CurrentTopic(), QString("mail602.html"));
    viewer->SearchEdit()->setText("xyz");
    QCOMPARE(shown("xyz"), 0);
    QTest::keyClick(viewer->SearchEdit(), Qt::Key_Return);  // nothing to open
    QCOMPARE(viewer->CurrentTopic(), QString("mail602.html"));

    w.Jakpouvatnpovdu1->trigger();
    QCOMPARE(viewer->CurrentTopic(), QString("napoveda.html"));
    QVERIFY(viewer->Browser()->toPlainText().contains("Rejstřík"));

    // Links between topics resolve within the help.
    viewer->ShowContents();
    viewer->Browser()->setSource(QUrl("log.html"));
    QCOMPARE(viewer->CurrentTopic(), QString("log.html"));
    QVERIFY(viewer->Browser()->toPlainText().contains("Příjmy prázdné"));
}

void MainWindowTest::helpContexts_data()
{
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("mentions");  // the settings the topic explains
    QTest::newRow("101") << 101 << "Nastavení Mail602"
                         << QStringList{"Cesta na základní konfigurační soubor", "Pracovní adresář", "Heslo", "20 znaků"};
    QTest::newRow("102") << 102 << "Nastavení výpisu logu"
                         << QStringList{"Příjmy dat", "Příjmy prázdné", "Výstupy dat z TCP/IP", "Výstupy lokálních dat"};
    QTest::newRow("103") << 103 << "Volba sériového portu" << QStringList{"COM 1", "Nevhodný COM", "COM3:19200,N,8,1"};
    QTest::newRow("104") << 104 << "Nastavení lokálních TRAPů"
                         << QStringList{"Typ adresy", "Mail602-lokální", "Chyba komunikace s ústřednou"};
}

void MainWindowTest::helpContexts()
{
    QFETCH(int, context);
    QFETCH(QString, title);
    QFETCH(QStringList, mentions);
    THelpViewer viewer;
    QVERIFY(viewer.ShowContext(context));
    QCOMPARE(viewer.Browser()->documentTitle(), title);
    for (const QString& m : mentions)
        QVERIFY2(viewer.Browser()->toPlainText().contains(m), qPrintable(m));
    QVERIFY(!viewer.ShowContext(105));
}

void MainWindowTest::f1InDialogOpensItsTopic()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QString topic;
    bool usable = false;
    ModalDriver driver;
    driver.On<TFSetPis>([&](TFSetPis* dialog) {
        QTest::keyClick(dialog->CheckBox1, Qt::Key_F1);
        // The dialog's own viewer: a window of the modal dialog is not blocked by it.
        auto* viewer = dialog->findChild<THelpViewer*>();
        if (viewer) {
            topic = viewer->CurrentTopic();
            usable = viewer->isVisible() && viewer->parentWidget() == dialog;
        }
        dialog->reject();
    });
    w.VpisuLogu1->trigger();
    QVERIFY(driver.Ran());
    QCOMPARE(topic, QString("log.html"));
    QVERIFY(usable);
}

void MainWindowTest::f1OnSettingsItemOpensItsTopic()
{
    EngineFixture fx;
    TForm1 w(fx.E());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Nastaven1->popup(w.mapToGlobal(QPoint(40, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(w.Nastaven1));
    w.Nastaven1->setActiveAction(w.Volbasriovhoportu1);
    QTest::keyClick(w.Nastaven1, Qt::Key_F1);
    auto* viewer = w.findChild<THelpViewer*>();
    QVERIFY(viewer);
    QCOMPARE(viewer->CurrentTopic(), QString("port.html"));
    QVERIFY(!w.Nastaven1->isVisible());
    // An item without a help context opens no topic of its own.
    w.Nastaven1->popup(w.mapToGlobal(QPoint(40, 20)));
    w.Nastaven1->setActiveAction(w.tovn1);
    QTest::keyClick(w.Nastaven1, Qt::Key_F1);
    QCOMPARE(viewer->CurrentTopic(), QString("port.html"));
    w.Nastaven1->close();
}

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
