// The operator's message boxes: the missing Agent.ini at start-up and the version check,
// which stops the tick and, for a differing version, resumes it on Yes.
#include "EngineFixture.h"
#include "ModalDriver.h"
#include "ui/MainWindow.h"
#include "ui/WindowPrompt.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

using namespace orvex;
using namespace orvex::test;

class WindowPromptTest : public QObject {
    Q_OBJECT
private slots:
    void versionCheck_data();
    void versionCheck();
    void missingConfig();
};

void WindowPromptTest::versionCheck_data()
{
    QTest::addColumn<QByteArray>("compat");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("tickAfter");
    const QString versions = "Verze agenta:1.75    Verze ústředny:2.05";
    const QByteArray differ = Hex("00 00 00 00 00 01 03 00 00 00 00 00 00 00 00 00 00");
    const QByteArray broken = Hex("00 00 00 00 00 02 00 00 00 00 00 00 00 00 00 00 00");
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    QTest::newRow("different, yes") << differ << QMessageBox::Yes << "Upozornění" << versions + "\nPřesto pokračovat ?"
                                    << int(QMessageBox::Question) << yesNo << true;
    QTest::newRow("different, no") << differ << QMessageBox::No << "Upozornění" << versions + "\nPřesto pokračovat ?"
                                   << int(QMessageBox::Question) << yesNo << false;
    QTest::newRow("non-functional") << broken << QMessageBox::Ok << "Chyba" << versions + "\nUkončit ?"
                                    << int(QMessageBox::Critical) << int(QMessageBox::Ok) << false;
}

void WindowPromptTest::versionCheck()
{
    QFETCH(QByteArray, compat);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(bool, tickAfter);
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    TWindowPrompt prompt;
    prompt.SetOwner(&w);
    e.SetPrompt(&prompt);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    fx.Tick();
    auto frames = fx.TakeFrames();
    fx.Answer(uint8_t(frames[0][0]), compat);
    fx.Tick();
    frames = fx.TakeFrames();
    e.RequestQueue->Clear();
    e.TimerMSG.start(5);

    QString seenTitle, seenText;
    int seenIcon = -1, seenButtons = -1;
    bool tickWhileOpen = true, owned = false;
    int queuedWhileOpen = 0;
    ModalDriver driver;
    driver.On<QMessageBox>([&](QMessageBox* box) {
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        seenButtons = box->standardButtons();
        owned = box->parentWidget() == &w;
        tickWhileOpen = e.IsProcessing();
        // Timers keep running under the box: the mailbox poll queues its request.
        QTest::qWait(40);
        queuedWhileOpen = e.RequestQueue->Count();
        box->button(answer)->click();
    });
    fx.Answer(uint8_t(frames[0][0]), Hex("00 02 05"));
    QVERIFY(driver.Ran());
    QCOMPARE(seenTitle, title);
    QCOMPARE(seenText, text);
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenButtons, buttons);
    QVERIFY(owned);
    QVERIFY(!tickWhileOpen);  // stopped before the box opens
    QCOMPARE(queuedWhileOpen, 1);
    QCOMPARE(e.IsProcessing(), tickAfter);
    // The check does not touch the menu item; a click resumes by the tick's state.
    QCOMPARE(w.Zastavit1->text(), QString("Zastavit"));
    w.Zastavit1->trigger();
    QCOMPARE(e.IsProcessing(), !tickAfter);
    QCOMPARE(w.Zastavit1->text(), QString(tickAfter ? "&Obnovit" : "&Zastavit"));
}

void WindowPromptTest::missingConfig()
{
    QTemporaryDir dir;
    EngineOptions options;
    options.ConfigPath = dir.filePath("Agent.ini");
    options.MailLibraryPath = dir.filePath("no-mail-library.so");
    TWindowPrompt prompt;
    TAgentEngine e(options, StandardPorts(), &prompt);
    QString title, text;
    int icon = -1, buttons = -1, shown = 0;
    bool ownerless = false;
    ModalDriver driver;
    driver.On<QMessageBox>([&](QMessageBox* box) {
        ++shown;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        ownerless = box->parentWidget() == nullptr;
        box->button(QMessageBox::Ok)->click();
    });
    e.FormCreate();
    QCOMPARE(shown, 1);
    QCOMPARE(title, QString("Upozornění"));
    QCOMPARE(text, QString("Neexistuje soubor Agent.ini\nProjděte položky v menu Nastavení"));
    QCOMPARE(icon, int(QMessageBox::Warning));
    QCOMPARE(buttons, int(QMessageBox::Ok));
    QVERIFY(ownerless);
    // Start-up went on with the defaults and did not create the file.
    QCOMPARE(e.PortSettings, QString("COM2:19200,N,8,1"));
    QVERIFY(e.IsProcessing());
    QVERIFY(!QFile::exists(options.ConfigPath));
    e.FormClose();
    e.FormDestroy();
}

QTEST_MAIN(WindowPromptTest)
#include "test_window_prompt.moc"
