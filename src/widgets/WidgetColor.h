#pragma once

#include <QColor>

#include "common/Color.h"

namespace yelvane {

// The core names its colours as plain components; the widgets take QColor.
inline QColor ToQColor(const Rgb& rgb) {
  return QColor(rgb.red, rgb.green, rgb.blue);
}

}  // namespace yelvane
