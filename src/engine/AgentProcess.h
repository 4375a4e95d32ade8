// What the agent's process needs whichever front end it runs: its name and version, its
// command-line options, and an orderly end on SIGINT/SIGTERM (Ctrl+C or close on Windows).
#pragma once

class QCommandLineParser;
class QCoreApplication;

namespace orvex {

void NameAgentApplication(QCoreApplication& app);
// --config FILE, --headless, --help, --version.
void AddAgentOptions(QCommandLineParser& parser);
// Makes the termination signals quit the application's event loop, so that the close
// handler and the whole shutdown sequence run. Call after the application object exists.
void QuitOnTerminationSignals();

}  // namespace orvex
