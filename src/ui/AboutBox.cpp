#include "ui/AboutBox.h"

#include "ui/AppIcon.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

QLabel* label(const char* name, const QString& text, const QColor& colour = QColor(), bool bold = false)
{
    auto* l = new QLabel(text);
    l->setObjectName(QLatin1String(name));
    if (colour.isValid()) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, colour);
        l->setPalette(p);
    }
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

}  // namespace

QString BuildDateTime() { return QStringLiteral(__DATE__) + QLatin1Char(',') + QStringLiteral(__TIME__); }

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("O aplikaci"));
    setFixedSize(348, 227);

    auto* Image2 = new QLabel;
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(AboutPicture(QSize(96, 96)));
    Image2->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* panel = new QFrame;
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(AppIcon().pixmap(32, 32));
    Label3 = label("Label3", QStringLiteral("Orvex Agent"), QColor(0x00, 0x00, 0x80), true);
    auto* Label1 = label("Label1", QStringLiteral("Verze:"));
    Version = label("Version", QStringLiteral(ORVEX_VERSION_TEXT), QColor(0x80, 0x00, 0x00), true);
    Label2 = label("Label2", QStringLiteral("Copyright © Orvex"));
    Label2->installEventFilter(this);
    LabelInfo = label("LabelInfo", QString());
    LabelInfo->setFixedWidth(185);

    auto* grid = new QGridLayout(panel);
    grid->addWidget(Label3, 0, 0, 1, 2);
    grid->addWidget(Image1, 0, 2, Qt::AlignRight);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Version, 1, 1);
    grid->addWidget(Label2, 2, 0, 1, 3);
    grid->addWidget(LabelInfo, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);

    auto* close = new QPushButton(QStringLiteral("Zrušit"));
    close->setObjectName(QStringLiteral("Button1"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(Image2);
    top->addWidget(panel, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    bottom->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label2 && event->type() == QEvent::MouseButtonDblClick)
        Label2DblClick();
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::Label2DblClick() { LabelInfo->setText(BuildDateTime()); }

}  // namespace orvex
