#pragma once

// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <QIcon>

namespace yelvane {

// The program's icons, drawn rather than loaded so the program needs no
// resource files.
QIcon AppIcon();
QIcon SaveAsIcon();
QIcon LogPageIcon();

}  // namespace yelvane
