#include "ui/WindowPrompt.h"

#include <QMessageBox>

namespace orvex {

void TWindowPrompt::MissingConfig(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MissingConfigBox"));
    box.exec();
}

void TWindowPrompt::NonFunctionalVersion(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, Owner);
    box.setObjectName(QStringLiteral("VersionBox"));
    box.exec();
}

bool TWindowPrompt::DifferentVersion(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, Owner);
    box.setObjectName(QStringLiteral("VersionBox"));
    return box.exec() == QMessageBox::Yes;
}

}  // namespace orvex
