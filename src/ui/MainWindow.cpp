#include "ui/MainWindow.h"

#include "engine/Engine.h"
#include "ui/AboutBox.h"
#include "ui/AppIcon.h"
#include "ui/HelpViewer.h"
#include "ui/LogView.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace orvex {

const QString TForm1::NoTrayText = QStringLiteral("Systémová lišta není k dispozici – okno zůstává zobrazené");

namespace {

// A hint "short|long" as the menu items carry it: the short part is the tool tip, the
// long part goes to the status bar; a hint without "|" is both.
void setHint(QAction* action, const QString& hint)
{
    const int bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QString& hint = QString(), int helpContext = 0,
                 const QKeySequence& shortcut = QKeySequence())
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        setHint(a, hint);
    if (helpContext)
        a->setProperty(TForm1::HelpContextProperty, helpContext);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

void addSeparator(QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QLatin1String(name)); }

}  // namespace

TForm1::TForm1(TAgentEngine& engine, QWidget* parent) : QMainWindow(parent), Engine(engine)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvex Agent"));
    setWindowIcon(AppIcon());

    auto* client = new QWidget;
    setCentralWidget(client);
    ListBox1 = new TLogView(Engine.Log, client);
    ListBox1->setGeometry(7, 0, 464, 188);
    Button4 = new QPushButton(QStringLiteral("Skrýt"), client);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setFixedSize(79, 25);
    Button4->setDefault(true);
    connect(Button4, &QPushButton::clicked, this, &TForm1::ShowOnTrayClickClick);
    client->installEventFilter(this);

    StatusText = new QLabel;
    StatusText->setObjectName(QStringLiteral("StatusBar1"));
    StatusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusText->setText(Engine.Log.StatusText());
    statusBar()->addWidget(StatusText, 1);
    connect(&Engine.Log, &EventLog::StatusChanged, StatusText, &QLabel::setText);

    Tray = new TTrayIcon(AppIcon(), this);
    connect(Tray, &TTrayIcon::ShowRequested, this, &TForm1::ShowOnClick);
    connect(Tray, &TTrayIcon::QuitRequested, this, &TForm1::ShutDownClick);

    buildMenus();

    resize(493, 368);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

TForm1::~TForm1() = default;

void TForm1::buildMenus()
{
    Agent1 = menuBar()->addMenu(QStringLiteral("&Agent"));
    Agent1->setObjectName(QStringLiteral("Agent1"));
    ShowOnTrayClick = addItem(Agent1, "ShowOnTrayClick", QStringLiteral("&Skrýt"),
                              QStringLiteral("Do lišty|Skrýt okno do systémové lišty"));
    addSeparator(Agent1, "N1");
    Ukonit1 = addItem(Agent1, "Ukonit1", QStringLiteral("&Ukončit"), QStringLiteral("Ukončit program"));
    Zastavit1 = addItem(Agent1, "Zastavit1", QStringLiteral("Zastavit"));
    connect(ShowOnTrayClick, &QAction::triggered, this, &TForm1::ShowOnTrayClickClick);
    connect(Ukonit1, &QAction::triggered, this, &TForm1::ShutDownClick);
    connect(Zastavit1, &QAction::triggered, this, &TForm1::Zastavit1Click);

    Nastaven1 = menuBar()->addMenu(QStringLiteral("Na&stavení"));
    Nastaven1->setObjectName(QStringLiteral("Nastaven1"));
    Mail6021 = addItem(Nastaven1, "Mail6021", QStringLiteral("Mail&602"), QStringLiteral("Nastavení Mail602"), HelpMail602);
    LoklnTrapy1 = addItem(Nastaven1, "LoklnTrapy1", QStringLiteral("&Lokální Trapy"), QString(), HelpTrapy);
    Volbasriovhoportu1 = addItem(Nastaven1, "Volbasriovhoportu1", QStringLiteral("&Volba sériového portu"),
                                 QStringLiteral("Určení portu pro komunikaci s ústřednou"), HelpPort);
    VpisuLogu1 = addItem(Nastaven1, "VpisuLogu1", QStringLiteral("Výpisu Lo&gu"), QString(), HelpLog);
    tovn1 = addItem(Nastaven1, "tovn1", QStringLiteral("Účtování"));
    connect(Mail6021, &QAction::triggered, this, &TForm1::Mail6021Click);
    connect(LoklnTrapy1, &QAction::triggered, this, &TForm1::LoklnTrapy1Click);
    connect(Volbasriovhoportu1, &QAction::triggered, this, &TForm1::Volbasriovhoportu1Click);
    connect(VpisuLogu1, &QAction::triggered, this, &TForm1::VpisuLogu1Click);
    connect(tovn1, &QAction::triggered, this, &TForm1::tovn1Click);
    // F1 on a highlighted settings item opens the help topic of its dialog.
    Nastaven1->installEventFilter(this);

    Npovda1 = menuBar()->addMenu(QStringLiteral("&Nápověda"));
    Npovda1->setObjectName(QStringLiteral("Npovda1"));
    Obsah1 = addItem(Npovda1, "Obsah1", QStringLiteral("Obsah"), QString(), 0, QKeySequence(Qt::SHIFT | Qt::Key_F1));
    Kontextovnpovda1 = addItem(Npovda1, "Kontextovnpovda1", QStringLiteral("Kontextová nápověda"), QString(), 0,
                               QKeySequence(Qt::Key_F1));
    Jakpouvatnpovdu1 = addItem(Npovda1, "Jakpouvatnpovdu1", QStringLiteral("Používání nápovědu "));
    addSeparator(Npovda1, "N2");
    Oaplikaci1 = addItem(Npovda1, "Oaplikaci1", QStringLiteral("&O aplikaci..."), QStringLiteral("O aplikaci"));
    connect(Obsah1, &QAction::triggered, this, &TForm1::Obsah1Click);
    connect(Kontextovnpovda1, &QAction::triggered, this, &TForm1::Kontextovnpovda1Click);
    connect(Jakpouvatnpovdu1, &QAction::triggered, this, &TForm1::Jakpouvatnpovdu1Click);
    connect(Oaplikaci1, &QAction::triggered, this, &TForm1::Oaplikaci1Click);
}

void TForm1::FormResize()
{
    // The client area is all below the menu bar, the status bar included.
    const QWidget* client = centralWidget();
    const int width = client->width();
    const int height = this->height() - client->y();
    ListBox1->setGeometry(7, 0, qMax(0, width - 16), qMax(0, height - 70));
    Button4->move(width - Button4->width() - 8, ListBox1->height() + 8);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == centralWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        FormResize();
    if (watched == Nastaven1 && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QAction* active = Nastaven1->activeAction();
        const int context = active ? active->property(HelpContextProperty).toInt() : 0;
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && context != 0) {
            event->accept();
            if (event->type() == QEvent::KeyPress) {
                Nastaven1->close();
                THelpViewer::For(this)->ShowContext(context);
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    // Button4 is the window's default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && Button4->isEnabled()) {
        Button4->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::ShowOnTrayClickClick()
{
    // Without a tray the window could not be brought back: it stays shown.
    if (!Tray->Available()) {
        Engine.Log.SetStatusText(NoTrayText);
        return;
    }
    if (!TrayIconShown) {
        Tray->Add(windowTitle());
        TrayIconShown = true;
    }
    hide();
}

void TForm1::ShowOnClick()
{
    showNormal();
    raise();
    activateWindow();
}

void TForm1::ShutDownClick()
{
    TrayIconShown = false;
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    Engine.FormClose();
    event->accept();
    emit Closed();
}

void TForm1::RemoveTrayIcon() { Tray->Remove(); }

void TForm1::Zastavit1Click()
{
    // By the tick's actual state: the version check may have stopped it meanwhile.
    if (Engine.IsProcessing()) {
        Engine.SetProcessing(false);
        Zastavit1->setText(QStringLiteral("&Obnovit"));
    } else {
        Engine.SetProcessing(true);
        Zastavit1->setText(QStringLiteral("&Zastavit"));
    }
}

void TForm1::Obsah1Click() { THelpViewer::For(this)->ShowContents(); }

void TForm1::Kontextovnpovda1Click() { THelpViewer::For(this)->ShowKeywordSearch(); }

void TForm1::Jakpouvatnpovdu1Click() { THelpViewer::For(this)->ShowHelpOnHelp(); }

void TForm1::Oaplikaci1Click()
{
    if (AboutBox)
        AboutBox->exec();
}

void TForm1::reportError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, windowTitle(), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

}  // namespace orvex
