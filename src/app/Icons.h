#pragma once

#include <QIcon>

namespace yelvane {

// The program's icons, drawn rather than loaded so the program needs no
// resource files.
QIcon AppIcon();
QIcon SaveAsIcon();
QIcon LogPageIcon();

}  // namespace yelvane
