#include "ui/HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

// Resources of a static library are registered by hand.
static void initHelpResources() { Q_INIT_RESOURCE(help); }

namespace orvex {

namespace {

// The order of the contents list.
const char* const TopicFiles[] = {
    "uvod.html",    "okno.html",    "protokol.html", "mail602.html",  "trapy.html",
    "port.html",    "log.html",     "uctovani.html", "napoveda.html",
};

const char* const ContentsFile = "uvod.html";
const char* const HelpOnHelpFile = "napoveda.html";

QString metaContent(const QString& html, const QString& name)
{
    const QRegularExpression re(QStringLiteral("<meta\\s+name=\"%1\"\\s+content=\"([^\"]*)\"").arg(name),
                                QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(html);
    return m.hasMatch() ? m.captured(1) : QString();
}

QUrl topicUrl(const QString& file) { return QUrl(QStringLiteral("qrc:/help/") + file); }

}  // namespace

QList<THelpTopic> THelpViewer::LoadTopics()
{
    initHelpResources();
    QList<THelpTopic> topics;
    for (const char* name : TopicFiles) {
        QFile f(QStringLiteral(":/help/") + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString html = QString::fromUtf8(f.readAll());
        THelpTopic t;
        t.File = QLatin1String(name);
        const auto title = QRegularExpression(QStringLiteral("<title>([^<]*)</title>")).match(html);
        t.Title = title.hasMatch() ? title.captured(1).trimmed() : t.File;
        for (const QString& k : metaContent(html, QStringLiteral("keywords")).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            t.Keywords << k.trimmed();
        t.Context = metaContent(html, QStringLiteral("context")).toInt();
        topics << t;
    }
    return topics;
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), TopicList(LoadTopics())
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Nápověda – Orvex Agent"));
    resize(820, 540);

    Contents = new QListWidget;
    Contents->setObjectName(QStringLiteral("Contents"));
    for (const THelpTopic& t : TopicList) {
        auto* item = new QListWidgetItem(t.Title, Contents);
        item->setData(Qt::UserRole, t.File);
    }
    connect(Contents, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ShowTopic(item->data(Qt::UserRole).toString()); });
    connect(Contents, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowTopic(item->data(Qt::UserRole).toString()); });

    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    auto* searchLabel = new QLabel(QStringLiteral("&Hledané slovo:"));
    Search = new QLineEdit;
    Search->setObjectName(QStringLiteral("Search"));
    searchLabel->setBuddy(Search);
    indexLayout->addWidget(searchLabel);
    indexLayout->addWidget(Search);
    Index = new QListWidget;
    Index->setObjectName(QStringLiteral("Index"));
    Index->setSortingEnabled(true);
    for (const THelpTopic& t : TopicList)
        for (const QString& k : t.Keywords) {
            auto* item = new QListWidgetItem(k + QStringLiteral(" – ") + t.Title, Index);
            item->setData(Qt::UserRole, t.File);
            item->setData(Qt::UserRole + 1, k);
        }
    indexLayout->addWidget(Index);
    auto* open = new QPushButton(QStringLiteral("&Zobrazit"));
    indexLayout->addWidget(open);
    connect(Search, &QLineEdit::textChanged, this, &THelpViewer::filterIndex);
    connect(Search, &QLineEdit::returnPressed, this, &THelpViewer::openIndexEntry);
    connect(Index, &QListWidget::itemActivated, this, &THelpViewer::openIndexEntry);
    connect(open, &QPushButton::clicked, this, &THelpViewer::openIndexEntry);

    Side = new QTabWidget;
    Side->addTab(Contents, QStringLiteral("&Obsah"));
    Side->addTab(indexPage, QStringLiteral("&Rejstřík"));

    Page = new QTextBrowser;
    Page->setObjectName(QStringLiteral("Page"));
    Page->setOpenLinks(true);
    Page->setOpenExternalLinks(false);

    auto* back = new QPushButton(QStringLiteral("◀ &Zpět"));
    auto* forward = new QPushButton(QStringLiteral("&Vpřed ▶"));
    auto* home = new QPushButton(QStringLiteral("O&bsah"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, Page, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, Page, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, this, &THelpViewer::ShowContents);
    connect(Page, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(Page, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(Page, &QTextBrowser::sourceChanged, this, [this] {
        const QString file = CurrentTopic();
        for (int i = 0; i < Contents->count(); ++i)
            if (Contents->item(i)->data(Qt::UserRole).toString() == file)
                Contents->setCurrentRow(i);
        setWindowTitle(Page->documentTitle() + QStringLiteral(" – Nápověda Orvex Agent"));
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(home);
    buttons->addStretch();
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(Page);

    auto* split = new QSplitter;
    split->addWidget(Side);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({270, 550});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(split);
}

THelpViewer* THelpViewer::For(QWidget* from)
{
    QWidget* host = QApplication::activeModalWidget();
    if (!host)
        host = from ? from->window() : nullptr;
    if (host) {
        const auto viewers = host->findChildren<THelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
        if (!viewers.isEmpty())
            return viewers.first();
    }
    return new THelpViewer(host);
}

QString THelpViewer::CurrentTopic() const { return Page->source().fileName(); }

void THelpViewer::present()
{
    show();
    raise();
    activateWindow();
}

void THelpViewer::ShowTopic(const QString& file)
{
    if (Page->source() != topicUrl(file))
        Page->setSource(topicUrl(file));
    present();
}

void THelpViewer::ShowContents()
{
    Side->setCurrentIndex(0);
    ShowTopic(QLatin1String(ContentsFile));
}

void THelpViewer::ShowKeywordSearch(const QString& partialKey)
{
    Side->setCurrentIndex(1);
    Search->setText(partialKey);
    filterIndex(partialKey);
    if (Page->source().isEmpty())
        Page->setSource(topicUrl(QLatin1String(ContentsFile)));
    present();
    Search->setFocus();
    Search->selectAll();
}

void THelpViewer::ShowHelpOnHelp() { ShowTopic(QLatin1String(HelpOnHelpFile)); }

bool THelpViewer::ShowContext(int context)
{
    for (const THelpTopic& t : TopicList)
        if (t.Context == context) {
            ShowTopic(t.File);
            return true;
        }
    return false;
}

void THelpViewer::filterIndex(const QString& text)
{
    const QString key = text.trimmed();
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < Index->count(); ++i) {
        QListWidgetItem* item = Index->item(i);
        const bool match = item->data(Qt::UserRole + 1).toString().startsWith(key, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && !first)
            first = item;
    }
    Index->setCurrentItem(first);
}

void THelpViewer::openIndexEntry()
{
    QListWidgetItem* item = Index->currentItem();
    if (item && !item->isHidden())
        ShowTopic(item->data(Qt::UserRole).toString());
}

}  // namespace orvex
