// The About box (TAboutBox): program name, version and, on a double click of the
// copyright line, the build date and time. Created once and kept for the whole run.
#pragma once

#include <QDialog>

class QLabel;

namespace orvex {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    void Label2DblClick();

    QLabel* Label3 = nullptr;     // program name
    QLabel* Version = nullptr;    // "1.75"
    QLabel* Label2 = nullptr;     // copyright
    QLabel* LabelInfo = nullptr;  // build date and time after a double click

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// "Oct 20 1999,12:20:15": the build date and time of this program.
QString BuildDateTime();

}  // namespace orvex
