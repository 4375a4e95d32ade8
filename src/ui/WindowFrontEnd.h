// orvex-agent with its window: the engine, the main window, the About box and the
// operator's message boxes on one event loop.
#pragma once

namespace orvex {

struct EnginePorts;

// Parses the same options as the headless mode (--config FILE, --headless, --help,
// --version), runs the agent until its window is closed, then shuts it down in order.
int RunWithWindow(int argc, char** argv, EnginePorts ports);

}  // namespace orvex
