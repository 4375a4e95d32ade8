// The built-in help: HTML topics shipped as resources, shown in a browser window with a
// contents list, a keyword index, help on help and the context topics of the dialogs.
#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace orvex {

// Help context numbers carried by the settings menu items and their dialogs.
enum THelpContext {
    HelpMail602 = 101,
    HelpLog = 102,
    HelpPort = 103,
    HelpTrapy = 104,
};

struct THelpTopic {
    QString File;             // name under :/help
    QString Title;            // the page's <title>
    QStringList Keywords;     // <meta name="keywords">, separated by ';'
    int Context = 0;          // <meta name="context">, 0 for none
};

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* parent = nullptr);

    // The viewer for a request coming from `from`: one per window, and while a modal
    // dialog is open one of that dialog's own, since other windows take no input then.
    static THelpViewer* For(QWidget* from);

    void ShowContents();
    // Opens the keyword index with the search field holding `partialKey`.
    void ShowKeywordSearch(const QString& partialKey = QString());
    void ShowHelpOnHelp();
    // Opens the topic with that context number; false when no topic has it.
    bool ShowContext(int context);
    void ShowTopic(const QString& file);

    const QList<THelpTopic>& Topics() const { return TopicList; }
    QString CurrentTopic() const;  // file name of the topic shown
    QTextBrowser* Browser() const { return Page; }
    QLineEdit* SearchEdit() const { return Search; }
    QListWidget* IndexList() const { return Index; }
    QListWidget* ContentsList() const { return Contents; }
    QTabWidget* Tabs() const { return Side; }

    static QList<THelpTopic> LoadTopics();

private:
    void filterIndex(const QString& text);
    void openIndexEntry();
    void present();

    QList<THelpTopic> TopicList;
    QTabWidget* Side = nullptr;
    QListWidget* Contents = nullptr;
    QLineEdit* Search = nullptr;
    QListWidget* Index = nullptr;
    QTextBrowser* Page = nullptr;
};

}  // namespace orvex
