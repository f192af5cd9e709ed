#pragma once

namespace yelvane {

// The desktop program: options, the application object and the main window.
// `yelvane [--simulate[=IMAGE]] [--sim-...] [--screenshot=FILE [--open-dump=DUMP]]`
int RunYelvane(int argc, char** argv);

}  // namespace yelvane
