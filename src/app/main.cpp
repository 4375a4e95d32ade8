// orvex-agent: connects the office telephone exchange to the network.
#include "app/HeadlessFrontEnd.h"
#include "app/ServiceNotifier.h"
#include "app/StandardPorts.h"
#include "engine/AgentProcess.h"
#include "engine/Engine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

#ifdef ORVEX_HAVE_UI
#include "ui/WindowFrontEnd.h"
#include <QApplication>
#endif

namespace {

bool wantsHeadless(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--headless") == 0)
            return true;
#ifdef ORVEX_HAVE_UI
    // No display to open a window on: run as a service.
    const bool display = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
                         || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    return !display;
#else
    return true;
#endif
}

int runHeadless(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    orvex::NameAgentApplication(app);
    QCommandLineParser parser;
    orvex::AddAgentOptions(parser);
    parser.process(app);

    orvex::HeadlessPrompt prompt;
    orvex::EngineOptions options;
    options.ConfigPath = parser.value(QStringLiteral("config"));
    auto engine = std::make_unique<orvex::TAgentEngine>(options, orvex::StandardPorts(), &prompt);
    orvex::MirrorLogToStdout(*engine);
    orvex::QuitOnTerminationSignals();
    orvex::ServiceNotifier service(*engine);
    engine->FormCreate();
    service.Ready();
    const int rc = app.exec();
    service.Stopping();
    engine->FormClose();
    engine->FormDestroy();
    engine.reset();
    return rc;
}

}  // namespace

int main(int argc, char** argv)
{
    if (wantsHeadless(argc, argv))
        return runHeadless(argc, argv);
#ifdef ORVEX_HAVE_UI
    return orvex::RunWithWindow(argc, argv, orvex::StandardPorts());
#else
    return runHeadless(argc, argv);
#endif
}
