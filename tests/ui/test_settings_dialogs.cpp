// The settings dialogs opened from the main window over a running engine: what each
// shows, that OK writes exactly that dialog's keys to Agent.ini and cancel writes
// nothing, and the follow-up of each (port reopened, accounting poll started or stopped).
#include "EngineFixture.h"
#include "IniSnapshot.h"
#include "ModalDriver.h"
#include "base/IniFile.h"
#include "mail/Mail602.h"
#include "ui/MainWindow.h"
#include "ui/SetDirDialog.h"
#include "ui/SetLogDialog.h"
#include "ui/SetM602Dialog.h"
#include "ui/SetPortDialog.h"
#include "ui/SetTrapDialog.h"
#include "ui/SetUctDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace orvex;
using namespace orvex::test;

class SettingsDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void logDialog_data();
    void logDialog();
    void accountingDialog();
    void accountingFileChooser();
    void portRule_data();
    void portRule();
    void portDialogCom3();
    void portDialogReopensPort();
    void portDialogCancelAndShortString();
    void mailDialog_data();
    void mailDialog();
    void mailDialogBrowse();
    void trapDialog_data();
    void trapDialog();
    void directoryChooser();
    void unwritableConfiguration();
    void engineServedWhileDialogOpen();
};

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QPushButton* button(QWidget* dialog, const char* name) { return dialog->findChild<QPushButton*>(name); }

bool hasCloseButton(const QWidget* w) { return !(w->windowFlags() & Qt::CustomizeWindowHint) || (w->windowFlags() & Qt::WindowCloseButtonHint); }

}  // namespace

void SettingsDialogsTest::logDialog_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("ok") << true;
    QTest::newRow("cancel") << false;
}

void SettingsDialogsTest::logDialog()
{
    QFETCH(bool, ok);
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    const auto before = IniSnapshot(fx.IniPath());
    const QByteArray beforeBytes = fileBytes(fx.IniPath());
    QStringList captions;
    QList<bool> shown;
    ModalDriver driver;
    driver.On<TFSetPis>([&](TFSetPis* d) {
        QCOMPARE(d->windowTitle(), QString("Nastavení Logu"));
        QCOMPARE(d->HelpContext(), 102);
        QVERIFY(!hasCloseButton(d));
        for (QCheckBox* b : {d->CheckBox1, d->CheckBox6, d->CheckBox2, d->CheckBox5, d->CheckBox3, d->CheckBox4}) {
            captions << b->text();
            shown << b->isChecked();
            b->click();
        }
        button(d, ok ? "BitBtn1" : "BitBtn2")->click();
    });
    w.VpisuLogu1->trigger();
    QVERIFY(driver.Ran());
    QCOMPARE(captions, QStringList({"Příjmy dat", "Příjmy prázdné", "Výstupy dat z TCP/IP", "Výstupy lokálních dat", "Příjmy",
                                    "Výstupy"}));
    // The defaults of the test Agent.ini: Com_In, Com_PureIn and TCP/IP_In on.
    QCOMPARE(shown, QList<bool>({true, true, false, false, true, false}));
    if (!ok) {
        QCOMPARE(fileBytes(fx.IniPath()), beforeBytes);
        QVERIFY(e.ComIn && e.ComPureIn && !e.ComOut && !e.ComLocOut && e.TcpIpIn && !e.TcpIpOut);
        return;
    }
    QVERIFY(!e.ComIn && !e.ComPureIn && e.ComOut && e.ComLocOut && !e.TcpIpIn && e.TcpIpOut);
    QCOMPARE(IniChanges(before, IniSnapshot(fx.IniPath())),
             QStringList({"Log/Com_In=0", "Log/Com_LocOut=1", "Log/Com_Out=1", "Log/Com_PureIn=0", "Log/TCP/IP_In=0",
                          "Log/TCP/IP_Out=1"}));
    // The switches act from the next event: with "Příjmy dat" off no "<COM Compatibility".
    fx.Tick();
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 1);
    fx.Answer(uint8_t(frames[0][0]), Hex("00 00 00 00 00 01 00"));
    QVERIFY(!fx.LogLines().contains("<COM Compatibility"));
    QVERIFY(fx.LogLines().contains(">COM Compatibility"));  // Com_LocOut now on
}

void SettingsDialogsTest::accountingDialog()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    const QString oldFile = e.UctFile;
    const QString newFile = QDir(QDir::tempPath()).filePath("ucty.txt");
    QVERIFY(!e.ReadUct && !e.TimerUR.isActive());

    // Cancel after changing everything leaves no trace.
    const QByteArray untouched = fileBytes(fx.IniPath());
    ModalDriver cancel;
    cancel.On<TFSetUct>([&](TFSetUct* d) {
        d->CheckBoxUR->click();
        d->CheckBoxIP->click();
        d->EditUR->setText(newFile);
        button(d, "BitBtnCancel")->click();
    });
    w.tovn1->trigger();
    QVERIFY(cancel.Ran());
    QCOMPARE(fileBytes(fx.IniPath()), untouched);
    QVERIFY(!e.ReadUct && !e.SendUct && e.UctFile == oldFile && !e.TimerUR.isActive());

    const auto before = IniSnapshot(fx.IniPath());
    bool editEnabledBefore = true, editEnabledAfter = false, searchEnabled = false;
    QString title;
    ModalDriver ok;
    ok.On<TFSetUct>([&](TFSetUct* d) {
        title = d->windowTitle();
        QCOMPARE(d->EditUR->text(), oldFile);
        editEnabledBefore = d->EditUR->isEnabled();
        d->CheckBoxUR->click();
        editEnabledAfter = d->EditUR->isEnabled();
        d->CheckBoxUR->click();
        searchEnabled = d->Button1->isEnabled();  // "Vyhledat" stays usable
        d->CheckBoxUR->click();
        d->CheckBoxIP->click();
        d->EditUR->setText(newFile);
        button(d, "BitBtnOK")->click();
    });
    w.tovn1->trigger();
    QVERIFY(ok.Ran());
    QCOMPARE(title, QString("Nastavení účtování"));
    QVERIFY(!editEnabledBefore);
    QVERIFY(editEnabledAfter);
    QVERIFY(searchEnabled);
    QVERIFY(e.ReadUct && e.SendUct);
    QCOMPARE(e.UctFile, newFile);
    QVERIFY(e.TimerUR.isActive());
    QCOMPARE(IniChanges(before, IniSnapshot(fx.IniPath())),
             QStringList({"Set/ReadUct=1", "Set/SendUct=1", "Set/UctFile=" + newFile}));

    // Turning the download off stops the poll at once; the edit opens disabled next time.
    ModalDriver off;
    off.On<TFSetUct>([&](TFSetUct* d) {
        d->CheckBoxUR->click();
        button(d, "BitBtnOK")->click();
    });
    w.tovn1->trigger();
    QVERIFY(!e.ReadUct && !e.TimerUR.isActive());
    QCOMPARE(IniSnapshot(fx.IniPath()).value("Set/ReadUct"), QString("0"));
    bool enabledOnReopen = true;
    ModalDriver reopen;
    reopen.On<TFSetUct>([&](TFSetUct* d) {
        enabledOnReopen = d->EditUR->isEnabled();
        d->reject();
    });
    w.tovn1->trigger();
    QVERIFY(!enabledOnReopen);
}

void SettingsDialogsTest::accountingFileChooser()
{
    bool readUct = true, sendUct = false;
    QString file = "DATA.NEW";
    TFSetUct d(readUct, sendUct, file);
    const QString chosen = QDir(QDir::tempPath()).filePath("vyber.new");
    ModalDriver pick;
    pick.On<QFileDialog>([&](QFileDialog* f) {
        QCOMPARE(f->acceptMode(), QFileDialog::AcceptSave);
        f->selectFile(chosen);
        static_cast<QDialog*>(f)->accept();
    });
    d.Button1Click();
    QVERIFY(pick.Ran());
    QCOMPARE(d.EditUR->text(), chosen);
    ModalDriver cancel;
    cancel.On<QFileDialog>([](QFileDialog* f) { f->reject(); });
    d.Button1Click();
    QCOMPARE(d.EditUR->text(), chosen);
    QCOMPARE(file, QString("DATA.NEW"));  // nothing reaches the engine before OK
}

void SettingsDialogsTest::portRule_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("after");
    QTest::newRow("COM 3") << "COM2:19200,N,8,1" << 2 << "" << "COM3:19200,N,8,1";
    QTest::newRow("COM 1 keeps the line settings") << "COM4:9600,E,7,2" << 0 << "" << "COM1:9600,E,7,2";
    QTest::newRow("lower case") << "com2:19200,N,8,1" << 3 << "" << "com4:19200,N,8,1";
    QTest::newRow("no choice gives digit 0") << "COM7:19200,N,8,1" << 255 << "" << "COM0:19200,N,8,1";
    QTest::newRow("device path to COM 2") << "/dev/pts/7:19200,N,8,1" << 1 << "" << "COM2:19200,N,8,1";
    QTest::newRow("device path, no choice") << "/dev/pts/7:19200,N,8,1" << 255 << "" << "/dev/pts/7:19200,N,8,1";
    QTest::newRow("system port") << "COM2:19200,N,8,1" << 255 << "/dev/ttyUSB0" << "/dev/ttyUSB0:19200,N,8,1";
    QTest::newRow("no line settings") << "COM1" << 1 << "" << "COM2";
}

void SettingsDialogsTest::portRule()
{
    QFETCH(QString, before);
    QFETCH(int, index);
    QFETCH(QString, device);
    QFETCH(QString, after);
    QCOMPARE(PortSettingsAfterChoice(before, uint8_t(index), device), after);
    if (before.startsWith("COM"))
        QCOMPARE(int(PortIndexOf(before)), before.at(3).unicode() - '1');
}

void SettingsDialogsTest::portDialogCom3()
{
    EngineFixture fx({"Set/Port=COM2:19200,N,8,1"});
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    const auto before = IniSnapshot(fx.IniPath());
    QStringList items;
    int selected = -2;
    ModalDriver driver;
    driver.On<TFSetPort>([&](TFSetPort* d) {
        QCOMPARE(d->windowTitle(), QString("Serial port selection"));
        QCOMPARE(d->HelpContext(), 103);
        QVERIFY(!hasCloseButton(d));
        QCOMPARE(button(d, "BitBtn2")->text(), QString("Cancel"));
        for (int i = 0; i < TFSetPort::ComItems; ++i)
            items << d->ComboBox1->itemText(i);
        selected = d->ComboBox1->currentIndex();
        d->ComboBox1->setCurrentIndex(2);
        button(d, "BitBtn1")->click();
    });
    w.Volbasriovhoportu1->trigger();
    QVERIFY(driver.Ran());
    QCOMPARE(items, QStringList({"COM 1", "COM 2", "COM 3", "COM 4"}));
    QCOMPARE(selected, 1);
    QCOMPARE(e.PortSettings, QString("COM3:19200,N,8,1"));
    QCOMPARE(IniChanges(before, IniSnapshot(fx.IniPath())), QStringList({"Set/Port=COM3:19200,N,8,1"}));
    // COM3 is /dev/ttyS2 here; the status bar tells whether it could be opened.
    QCOMPARE(e.Log.StatusText(), e.CommPack1.Connected() ? QString() : QString("Nevhodný COM"));
    QCOMPARE(w.StatusText->text(), e.Log.StatusText());
}

void SettingsDialogsTest::portDialogReopensPort()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    const QString port = e.PortSettings;
    fx.Tick();  // 'C' sent, the engine waits for its answer
    QCOMPARE(fx.TakeFrames().size(), 1);
    QVERIFY(e.CommState != 0);
    e.ErrorCount = 1;
    e.RequestQueue->Clear();
    e.TimerMSG.start(3600000);
    e.TimerSMS.start(3600000);
    QString offered;
    ModalDriver driver;
    driver.On<TFSetPort>([&](TFSetPort* d) {
        // The port in use, a pseudo-terminal, is offered and selected.
        offered = d->ComboBox1->currentData().toString();
        button(d, "BitBtn1")->click();
    });
    w.Volbasriovhoportu1->trigger();
    QCOMPARE(offered, fx.Pty().SlavePath());
    QCOMPARE(e.PortSettings, port);
    QCOMPARE(IniSnapshot(fx.IniPath()).value("Set/Port"), port);
    QVERIFY(e.CommPack1.Connected());
    QVERIFY(!e.TimerMSG.isActive() && !e.TimerSMS.isActive());
    QCOMPARE(e.CommState, 0);
    QCOMPARE(e.ErrorCount, 0);
    QCOMPARE(e.RequestQueue->Count(), 3);
    QCOMPARE(e.RequestQueue->At(0).Key + e.RequestQueue->At(1).Key + e.RequestQueue->At(2).Key, QString("CIV"));
    QCOMPARE(e.Log.StatusText(), QString());
    // The reopened port carries the next request.
    fx.Tick();
    const auto frames = fx.TakeFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].mid(1).toHex(' '), QByteArray("0d"));
}

void SettingsDialogsTest::portDialogCancelAndShortString()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    const QString port = e.PortSettings;
    const QByteArray untouched = fileBytes(fx.IniPath());
    ModalDriver cancel;
    cancel.On<TFSetPort>([](TFSetPort* d) {
        d->ComboBox1->setCurrentIndex(0);
        QTest::keyClick(d, Qt::Key_Escape);
    });
    w.Volbasriovhoportu1->trigger();
    QVERIFY(cancel.Ran());
    QCOMPARE(e.PortSettings, port);
    QVERIFY(e.CommPack1.Connected());
    QCOMPARE(fileBytes(fx.IniPath()), untouched);

    // A port string without a fourth character: an error, no dialog, no change.
    e.PortSettings = "CO";
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalDriver error;
    error.On<QDialog>([&](QDialog* d) {
        title = d->metaObject()->className();
        if (auto* box = qobject_cast<QMessageBox*>(d))
            icon = box->icon();
        d->reject();
    });
    w.Volbasriovhoportu1->trigger();
    QVERIFY(error.Ran());
    QCOMPARE(title, QString("QMessageBox"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(e.PortSettings, QString("CO"));
    QVERIFY(e.CommPack1.Connected());
    QCOMPARE(fileBytes(fx.IniPath()), untouched);
}

void SettingsDialogsTest::mailDialog_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("ok") << true;
    QTest::newRow("cancel") << false;
}

void SettingsDialogsTest::mailDialog()
{
    QFETCH(bool, ok);
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    QVERIFY(e.Mail602);
    TMail602& mail = fx.Mail();
    mail.User = "novak";
    mail.Password = "tajne";
    TForm1 w(e);
    const auto before = IniSnapshot(fx.IniPath());
    const QByteArray untouched = fileBytes(fx.IniPath());
    const QString longPassword = "abcdefghijKLMNOPQRSTuvwxy";  // 25 characters
    QString shownUser, shownPassword, typed;
    bool masked = false;
    int limit = 0, pathLimit = 0;
    ModalDriver driver;
    driver.On<TFSetM602>([&](TFSetM602* d) {
        QCOMPARE(d->windowTitle(), QString("Nastavení Mail602"));
        QCOMPARE(d->HelpContext(), 101);
        QVERIFY(!hasCloseButton(d));
        shownUser = d->MaskEdit3->text();
        shownPassword = d->MaskEdit4->text();
        masked = d->MaskEdit4->echoMode() == QLineEdit::Password
                 && d->MaskEdit4->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, d->MaskEdit4) == '*';
        limit = d->MaskEdit4->maxLength();
        pathLimit = d->MaskEdit1->maxLength();
        d->MaskEdit4->clear();
        QTest::keyClicks(d->MaskEdit4, longPassword);
        typed = d->MaskEdit4->text();
        d->MaskEdit1->setText("/srv/602/mail.cfg");
        d->MaskEdit2->setText("/var/tmp/602");
        d->MaskEdit3->setText("dvorak");
        button(d, ok ? "BitBtn2" : "BitBtn1")->click();
    });
    w.Mail6021->trigger();
    QVERIFY(driver.Ran());
    QCOMPARE(shownUser, QString("novak"));
    QCOMPARE(shownPassword, QString("tajne"));  // the plain password, masked on screen
    QVERIFY(masked);
    QCOMPARE(limit, 20);
    QCOMPARE(pathLimit, 100);
    QCOMPARE(typed, longPassword.left(20));
    if (!ok) {
        QCOMPARE(fileBytes(fx.IniPath()), untouched);
        QCOMPARE(mail.User, QString("novak"));
        QCOMPARE(mail.Password, QString("tajne"));
        return;
    }
    QCOMPARE(mail.ConfigPath, QString("/srv/602/mail.cfg"));
    QCOMPARE(mail.WorkDir, QString("/var/tmp/602"));
    QCOMPARE(mail.User, QString("dvorak"));
    QCOMPARE(mail.Password, longPassword.left(20));
    const auto after = IniSnapshot(fx.IniPath());
    QString stored = after.value("M602/Heslo");
    QCOMPARE(IniChanges(before, after),
             QStringList({"M602/CestaKPracovnimuAdresari=/var/tmp/602", "M602/CestaKeKonfiguraciMail602=/srv/602/mail.cfg",
                          "M602/Heslo=" + stored, "M602/Uzivatel=dvorak"}));
    // Stored scrambled, and it reads back as typed.
    QVERIFY(stored != mail.Password);
    QCOMPARE(stored.size(), 20);
    TMail602::ScramblePassword(stored, false);
    QCOMPARE(stored, longPassword.left(20));
}

void SettingsDialogsTest::mailDialogBrowse()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("config/602"));
    QString config = root.filePath("config"), work, user, password;
    TFSetM602 d({config, work, user, password});
    ModalDriver pick;
    pick.On<TFSetDir>([&](TFSetDir* chooser) {
        QCOMPARE(chooser->Directory(), QDir::cleanPath(root.filePath("config")));
        const auto found = chooser->DirectoryListBox1->findItems("602", Qt::MatchEndsWith);
        QCOMPARE(found.size(), 1);
        chooser->DirectoryListBox1->setCurrentItem(found.first());
        chooser->accept();
    });
    d.BitBtn3Click();
    QVERIFY(pick.Ran());
    QCOMPARE(d.MaskEdit1->text(), QDir::cleanPath(root.filePath("config/602")));
    QCOMPARE(config, root.filePath("config"));  // the setting itself waits for OK
    ModalDriver cancel;
    cancel.On<TFSetDir>([](TFSetDir* chooser) { chooser->reject(); });
    d.BitBtn4Click();
    QVERIFY(cancel.Ran());
    QVERIFY(d.MaskEdit2->text().isEmpty());
}

void SettingsDialogsTest::trapDialog_data()
{
    QTest::addColumn<char>("stored");
    QTest::addColumn<int>("shown");       // selected item on open
    QTest::addColumn<QString>("choose");  // item to choose, empty for none
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("written"); // TypAdresyPrijemce after OK
    QTest::newRow("fax not offered") << 'F' << -1 << "" << true << "F";
    QTest::newRow("fax, choose Sms") << 'F' << -1 << "Sms" << true << "Q";
    QTest::newRow("internet to none") << 'I' << 1 << "--------" << true << "";
    QTest::newRow("none to local") << char(0) << 0 << "Mail602-lokální" << true << "L";
    QTest::newRow("zmodem, cancel") << 'Z' << 5 << "Internet" << false << "";
}

void SettingsDialogsTest::trapDialog()
{
    QFETCH(char, stored);
    QFETCH(int, shown);
    QFETCH(QString, choose);
    QFETCH(bool, ok);
    QFETCH(QString, written);
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TMail602& mail = fx.Mail();
    mail.AddressType = stored;
    mail.RecipientAddress = "dispecink@example.cz";
    TForm1 w(e);
    const auto before = IniSnapshot(fx.IniPath());
    const QByteArray untouched = fileBytes(fx.IniPath());
    const QString subject = QString("Ústředna ").repeated(12).left(100);  // 100 characters
    QStringList items;
    int selected = -2;
    ModalDriver driver;
    driver.On<TFSetTrap>([&](TFSetTrap* d) {
        QCOMPARE(d->windowTitle(), QString("Nastavení lokálních TRAPů"));
        QCOMPARE(d->HelpContext(), 104);
        for (int i = 0; i < d->ComboBox1->count(); ++i)
            items << d->ComboBox1->itemText(i) + ":" + QChar(d->ComboBox1->itemData(i).toInt() ? d->ComboBox1->itemData(i).toInt() : '0');
        selected = d->ComboBox1->currentIndex();
        QCOMPARE(d->MaskEdit3->text(), QString("dispecink@example.cz"));
        QCOMPARE(d->MaskEdit1->text(), mail.TextComOn);
        QCOMPARE(d->MaskEdit2->text(), mail.TextComOff);
        if (!choose.isEmpty())
            d->ComboBox1->setCurrentIndex(d->ComboBox1->findText(choose));
        d->MaskEdit4->setText(subject);
        d->MaskEdit2->setText("Ústředna neodpovídá");
        d->MaskEdit1->setText("Ústředna opět odpovídá");
        button(d, ok ? "BitBtn2" : "BitBtn1")->click();
    });
    w.LoklnTrapy1->trigger();
    QVERIFY(driver.Ran());
    QCOMPARE(items, QStringList({"--------:0", "Internet:I", "Sms:Q", "Mail602-vnější:V", "Mail602-lokální:L", "Zmodem:Z"}));
    QCOMPARE(selected, shown);
    if (!ok) {
        QCOMPARE(fileBytes(fx.IniPath()), untouched);
        QCOMPARE(mail.AddressType, stored);
        QVERIFY(mail.Subject.isEmpty());
        return;
    }
    QCOMPARE(mail.Subject, subject);
    QCOMPARE(IniChanges(before, IniSnapshot(fx.IniPath())),
             QStringList({"Trapy/AdresaPrijemce=dispecink@example.cz", "Trapy/Subject=" + subject,
                          "Trapy/TypAdresyPrijemce=" + written, "Trapy/ZpravaComOff=Ústředna neodpovídá",
                          "Trapy/ZpravaComOn=Ústředna opět odpovídá"}));
}

void SettingsDialogsTest::directoryChooser()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("alfa/vnitrni"));
    QVERIFY(QDir(root.path()).mkpath("beta"));
    const QString base = QDir::cleanPath(root.path());

    QString path = base;
    TFSetDir d(path);
    QCOMPARE(d.windowTitle(), QString("Výběr adresáře"));
    QCOMPARE(d.Directory(), base);
    QCOMPARE(d.SelectedPath(), base);
    QVERIFY(d.DriveComboBox1->count() >= 1);
    QStringList children;
    for (int i = d.DirectoryListBox1->currentRow() + 1; i < d.DirectoryListBox1->count(); ++i)
        children << d.DirectoryListBox1->item(i)->text().trimmed();
    QCOMPARE(children, QStringList({"alfa", "beta"}));
    // Opening a directory lists its subdirectories; OK takes the selected entry.
    emit d.DirectoryListBox1->itemActivated(d.DirectoryListBox1->findItems("alfa", Qt::MatchEndsWith).first());
    QCOMPARE(d.Directory(), base + "/alfa");
    d.DirectoryListBox1->setCurrentItem(d.DirectoryListBox1->findItems("vnitrni", Qt::MatchEndsWith).first());
    d.accept();
    QCOMPARE(path, base + "/alfa/vnitrni");

    QString kept = base + "/beta";
    TFSetDir cancelled(kept);
    cancelled.SetDirectory(base + "/alfa");
    cancelled.reject();
    QCOMPARE(kept, base + "/beta");

    QString empty;
    TFSetDir current(empty);
    QCOMPARE(current.Directory(), QDir::cleanPath(QDir::currentPath()));
    QString gone = base + "/beta/zmizel/hluboko";
    TFSetDir nearest(gone);
    QCOMPARE(nearest.Directory(), base + "/beta");
}

void SettingsDialogsTest::unwritableConfiguration()
{
    // Agent.ini "inside" a plain file cannot be written, whoever runs the test.
    QTemporaryFile blocker;
    QVERIFY(blocker.open());
    EngineOptions options;
    options.ConfigPath = blocker.fileName() + "/Agent.ini";
    TAgentEngine e(options, StandardPorts());
    TForm1 w(e);
    e.ComIn = true;
    QString text;
    ModalDriver dialog;
    ModalDriver error;
    dialog.On<TFSetPis>([&](TFSetPis* d) {
        error.On<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            box->accept();
        }, d);
        d->CheckBox1->setChecked(false);
        d->accept();
    });
    w.VpisuLogu1->trigger();
    QVERIFY(error.Ran());
    QCOMPARE(text, "Unable to write to " + options.ConfigPath);
    QVERIFY(!e.ComIn);  // the running agent keeps what the dialog set
}

void SettingsDialogsTest::engineServedWhileDialogOpen()
{
    EngineFixture fx;
    TAgentEngine& e = fx.E();
    TForm1 w(e);
    e.TimerTick.setInterval(10);
    e.TimerTick.start();
    QByteArray sentMeanwhile;
    QStringList loggedMeanwhile;
    ModalDriver driver;
    driver.On<TFSetPis>([&](TFSetPis* d) {
        // The tick sends 'C' and the answer is handled, all inside the dialog's loop.
        const auto frames = fx.TakeFrames(100);
        if (!frames.isEmpty()) {
            sentMeanwhile = frames[0];
            fx.Answer(uint8_t(frames[0][0]), Hex("00 00 00 00 00 01 00"));
            loggedMeanwhile = fx.LogLines();
        }
        d->reject();
    });
    w.VpisuLogu1->trigger();
    QVERIFY(driver.Ran());
    QCOMPARE(sentMeanwhile.mid(1).toHex(' '), QByteArray("0d"));
    QVERIFY(loggedMeanwhile.contains("<COM Compatibility"));
}

QTEST_MAIN(SettingsDialogsTest)
#include "test_settings_dialogs.moc"
