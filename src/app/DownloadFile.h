#pragma once

// Opening an earlier download: the open-file dialog that picks a memory dump
// (tests put a scripted one in its place).

#include <optional>
#include <string>

class QWidget;

namespace yelvane {

inline constexpr const char* kDownloadFilter = "Memory Dumps (*.bin)";
// How many downloads File > Recent Downloads lists.
inline constexpr int kRecentDownloads = 8;

class DownloadFilePrompt {
 public:
  virtual ~DownloadFilePrompt() = default;
  // The full path of the chosen dump, or nothing when the user cancels.
  // The dialog starts in `folder`.
  virtual std::optional<std::string> ChooseDownload(const std::string& folder) = 0;
};

class DownloadFileDialog final : public DownloadFilePrompt {
 public:
  explicit DownloadFileDialog(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> ChooseDownload(const std::string& folder) override;

 private:
  QWidget* owner_;
};

}  // namespace yelvane
