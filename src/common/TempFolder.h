#pragma once

#include <filesystem>
#include <string>

namespace yelvane {

// A fresh folder of our own under the system's temporary folder, removed
// with all it holds when the object goes: LibreOffice's private profiles,
// the workbook save's scratch space, and the tests' folders.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // False when no folder could be made.
  bool Ok() const { return !path_.empty(); }
  const std::filesystem::path& Path() const { return path_; }
  // The folder, or a name inside it, as a string.
  std::string Str() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace yelvane
