#include "ui/SetDirDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>

namespace orvex {

TFSetDir::TFSetDir(QString& path, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint), Path(path)
{
    setObjectName(QStringLiteral("FSetDir"));
    setWindowTitle(QStringLiteral("Výběr adresáře"));
    resize(347, 297);

    CurrentLabel = new QLabel;
    CurrentLabel->setWordWrap(true);
    DirectoryListBox1 = new QListWidget;
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DriveComboBox1 = new QComboBox;
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    QStringList drives;
    for (const QFileInfo& d : QDir::drives())
        drives << QDir::cleanPath(d.absoluteFilePath());
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !drives.contains(QDir::cleanPath(v.rootPath())))
            drives << QDir::cleanPath(v.rootPath());
    for (const QString& d : drives)
        DriveComboBox1->addItem(d, d);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("BitBtn2"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Zrušit"));
    cancel->setObjectName(QStringLiteral("BitBtn1"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(DirectoryListBox1, &QListWidget::itemActivated, this, &TFSetDir::openItem);
    connect(DriveComboBox1, &QComboBox::activated, this, &TFSetDir::driveChosen);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(CurrentLabel);
    left->addWidget(DirectoryListBox1, 1);
    left->addWidget(new QLabel(QStringLiteral("Jednotka:")));
    left->addWidget(DriveComboBox1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    SetDirectory(Path.isEmpty() ? QDir::currentPath() : Path);
}

QString TFSetDir::driveOf(const QString& dir)
{
    const QString root = QStorageInfo(dir).rootPath();
    return QDir::cleanPath(root.isEmpty() ? QDir::rootPath() : root);
}

void TFSetDir::SetDirectory(const QString& dir)
{
    // A path that does not exist (any more) opens at its nearest existing ancestor.
    QString target = QDir::cleanPath(QDir(dir).absolutePath());
    while (!QFileInfo(target).isDir() && target != QDir::cleanPath(QDir(target).absoluteFilePath(QStringLiteral(".."))))
        target = QDir::cleanPath(QDir(target).absoluteFilePath(QStringLiteral("..")));
    if (!QFileInfo(target).isDir())
        target = QDir::currentPath();
    Current = target;
    CurrentLabel->setText(QDir::toNativeSeparators(Current));

    DirectoryListBox1->clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QStringList chain;
    for (QDir d(Current);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& p : chain) {
        const QString name = QDir(p).isRoot() ? QDir::toNativeSeparators(p) : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, QLatin1Char(' ')) + name, DirectoryListBox1);
        item->setData(Qt::UserRole, p);
        ++depth;
    }
    DirectoryListBox1->setCurrentRow(DirectoryListBox1->count() - 1);
    const auto subdirs = QDir(Current).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& s : subdirs) {
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, QLatin1Char(' ')) + s.fileName(), DirectoryListBox1);
        item->setData(Qt::UserRole, QDir::cleanPath(s.absoluteFilePath()));
    }

    const int drive = DriveComboBox1->findData(driveOf(Current));
    if (drive >= 0)
        DriveComboBox1->setCurrentIndex(drive);
}

QString TFSetDir::SelectedPath() const
{
    const QListWidgetItem* item = DirectoryListBox1->currentItem();
    return item ? item->data(Qt::UserRole).toString() : Current;
}

void TFSetDir::openItem(QListWidgetItem* item)
{
    if (item)
        SetDirectory(item->data(Qt::UserRole).toString());
}

void TFSetDir::driveChosen(int index) { SetDirectory(DriveComboBox1->itemData(index).toString()); }

void TFSetDir::accept()
{
    Path = QDir::toNativeSeparators(SelectedPath());
    QDialog::accept();
}

}  // namespace orvex
