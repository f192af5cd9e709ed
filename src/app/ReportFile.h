#pragma once

// Where a report goes: the default report folder, the proposed file name and
// the save-file dialog that picks the file (tests put a scripted one in its
// place).
//
// Names: the design's given names keep their m_ prefixes (m_wndLog, m_strPetName); members of
// our own end in _ (gate_).

#include <optional>
#include <string>

class QWidget;

namespace yelvane {

// The save dialog's filter entries, the spreadsheet first (the initial
// selection), and the extension used when no entry gives one.
inline constexpr const char* kReportFilters[] = {"Microsoft Office Excel Files (*.xls)",
                                                 "Excel Workbook (*.xlsx)", "Text Files (*.txt)",
                                                 "Comma-Separated Values (*.csv)"};
inline constexpr const char* kReportDefaultExtension = "txt";

// "C:\Yelvane\" on Windows; elsewhere the folder Yelvane in the user's
// documents folder. Always with the trailing separator.
std::string DefaultReportFolder();

// Format("%s%s%04d.xls", folder, petName, n) for the first n from 1 under
// which nothing exists. A path separator in the pet name becomes "_", so the
// name stays inside the folder.
std::string ProposeReportName(const std::string& folder, const std::string& petName);

class ReportFilePrompt {
 public:
  virtual ~ReportFilePrompt() = default;
  // The full path of the chosen file, or nothing when the user cancels.
  // `initialPath` is the folder and the proposed name without extension.
  virtual std::optional<std::string> ChooseReportFile(const std::string& initialPath) = 0;
};

// The save-file dialog: asks before replacing a file; a name typed without
// extension gets the selected filter entry's.
class ReportFileDialog final : public ReportFilePrompt {
 public:
  explicit ReportFileDialog(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> ChooseReportFile(const std::string& initialPath) override;

 private:
  QWidget* owner_;
};

}  // namespace yelvane
