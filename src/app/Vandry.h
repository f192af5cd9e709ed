#pragma once

// The application object: the start-up folder, the log rule and the chart
// lists shared by the report code. The time helpers and string splitters it
// offers are those of activity/TimeHelpers.h, shared with the tool.
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <string>

#include "activity/ChartSeries.h"

class QPlainTextEdit;

namespace yelvane {

class MessageSink;

class CVandryApp {
 public:
  // Records the current directory; there is one instance per run.
  CVandryApp();
  ~CVandryApp();
  CVandryApp(const CVandryApp&) = delete;
  CVandryApp& operator=(const CVandryApp&) = delete;

  // The instance of this run, or nullptr before it exists.
  static CVandryApp* Instance();

  // The folder the program was started in: base of ".\tmp.bin", the
  // Firmware folder and the upgrade file dialog.
  const std::string& StartDir() const { return m_szStartDir; }

  // The chart lists of the last session loaded.
  ChartSeries& Chart() { return chart_; }
  // Loads row n's (from 1) half-hour series from the dump into the chart
  // lists; false when the dump cannot be opened (the lists stay as they were).
  bool LoadSessionChart(const SessionTable& table, int n, const std::string& dumpPath);

  // Appends `text` to the log control (with "\r\n" unless it already ends
  // so, when `newline` is set) and scrolls to the end.
  static void AppendLog(QPlainTextEdit* control, std::string text, bool newline = true);

  // True when `path` (one trailing separator dropped) is a folder.
  static bool IsFolder(std::string path);
  // Creates `path` and the folders above it; each folder that cannot be made
  // gets the box "Error:Can not create directory(%s)!" (caption "Error").
  static void CreateFolder(std::string path, MessageSink& messages);

 private:
  std::string m_szStartDir;
  ChartSeries chart_;
};

}  // namespace yelvane
