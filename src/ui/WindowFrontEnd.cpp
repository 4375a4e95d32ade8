#include "ui/WindowFrontEnd.h"

#include "engine/AgentProcess.h"
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

namespace {

// --help and --version answer without opening the display.
void answerWithoutDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" || a == "-v") {
            QCoreApplication core(argc, argv);
            NameAgentApplication(core);
            QCommandLineParser parser;
            AddAgentOptions(parser);
            parser.process(core);  // prints and exits
        }
    }
}

}  // namespace

int RunWithWindow(int argc, char** argv, EnginePorts ports)
{
    answerWithoutDisplay(argc, argv);
    QApplication app(argc, argv);
    NameAgentApplication(app);
    QuitOnTerminationSignals();
    app.setWindowIcon(AppIcon());
    // The window hides to the tray; only its close ends the program.
    app.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    AddAgentOptions(parser);
    parser.process(app);

    // Czech captions for the standard buttons of message boxes and file dialogs.
    QTranslator qtCzech;
    if (qtCzech.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtCzech);

    EngineOptions options;
    options.ConfigPath = parser.value(QStringLiteral("config"));
    TWindowPrompt prompt;
    TAgentEngine engine(options, std::move(ports), &prompt);
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
