// The directory chooser (TFSetDir): a list of the directory's ancestors and its
// subdirectories, and a list of drives (mounted volumes).
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace orvex {

class TFSetDir : public QDialog {
    Q_OBJECT
public:
    // path: the directory to start in (empty: the current directory); after OK, the full
    // path of the entry selected in the list.
    explicit TFSetDir(QString& path, QWidget* parent = nullptr);

    // Opens a directory: its ancestors, itself (selected) and its subdirectories.
    void SetDirectory(const QString& dir);
    QString Directory() const { return Current; }
    // The full path of the selected entry.
    QString SelectedPath() const;

    void accept() override;  // BitBtn2Click

    QListWidget* DirectoryListBox1 = nullptr;
    QComboBox* DriveComboBox1 = nullptr;

private:
    void openItem(QListWidgetItem* item);
    void driveChosen(int index);
    static QString driveOf(const QString& dir);

    QString& Path;
    QString Current;
    QLabel* CurrentLabel = nullptr;
};

}  // namespace orvex
