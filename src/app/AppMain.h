#pragma once

// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

namespace yelvane {

// The desktop program: options, the application object and the main window.
// `yelvane [--simulate[=IMAGE]] [--sim-...] [--screenshot=FILE] [--open-dump=DUMP] [--select=N]`
int RunYelvane(int argc, char** argv);

}  // namespace yelvane
