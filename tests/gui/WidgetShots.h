#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

// Set YELVANE_WIDGET_SHOTS to a folder to keep a PNG of the widgets the tests
// build, for looking at them by eye.
inline void SaveShot(QWidget& widget, const QString& name) {
  const QString dir = qEnvironmentVariable("YELVANE_WIDGET_SHOTS");
  if (dir.isEmpty()) return;
  widget.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
