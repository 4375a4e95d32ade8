#include "ui/WindowFrontEnd.h"

#include "engine/Engine.h"
#include "ui/AboutBox.h"
#include "ui/AppIcon.h"
#include "ui/MainWindow.h"
#include "ui/WindowPrompt.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QTranslator>

namespace orvex {

int RunWithWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("orvex-agent"));
    app.setApplicationVersion(QStringLiteral(ORVEX_VERSION_TEXT));
    app.setWindowIcon(AppIcon());
    // The window hides to the tray; only its close ends the program.
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Orvex Agent: the exchange's link to the office network."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("config"), QStringLiteral("Configuration file (default: Agent.ini beside the program)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("headless"), QStringLiteral("Run without a window; log lines go to standard output.")});
    parser.process(app);

    // Czech captions for the standard buttons of message boxes and file dialogs.
    QTranslator qtCzech;
    if (qtCzech.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtCzech);

    EngineOptions options;
    options.ConfigPath = parser.value(QStringLiteral("config"));
    TWindowPrompt prompt;
    TAgentEngine engine(options, &prompt);
    TForm1 window(engine);
    TAboutBox about(&window);
    window.SetAboutBox(&about);
    prompt.SetOwner(&window);
    bool closed = false;
    QObject::connect(&window, &TForm1::Closed, &app, [&closed] {
        closed = true;
        QCoreApplication::quit();
    });

    engine.FormCreate();
    window.show();
    const int rc = app.exec();

    if (!closed)
        window.close();  // runs the close handler
    window.RemoveTrayIcon();
    engine.FormDestroy();
    return rc;
}

}  // namespace orvex
