// The entry viewer (TFInfo): one event log entry in a read-only memo.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace orvex {

class TFInfo : public QDialog {
    Q_OBJECT
public:
    explicit TFInfo(const QString& entry, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
};

}  // namespace orvex
