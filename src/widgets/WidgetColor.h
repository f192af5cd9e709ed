#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QColor>

#include "common/Color.h"

namespace yelvane {

// The core names its colours as plain components; the widgets take QColor.
inline QColor ToQColor(const Rgb& rgb) {
  return QColor(rgb.red, rgb.green, rgb.blue);
}

}  // namespace yelvane
