#pragma once

// LibreOffice run headless to convert a workbook ("xls" for the 97-2003
// format, "csv:..." for a sheet as text), and the private scratch folders
// such runs need.

#include <filesystem>
#include <string>

namespace yelvane {

// Where LibreOffice's soffice is: `preferred` when it names a program, else the
// YELVANE_SOFFICE environment variable, else the PATH and the usual places.
// Empty when none is found.
std::string FindLibreOffice(const std::string& preferred = {});

// Converts `source` with LibreOffice (headless, in a private profile folder,
// killed after `timeoutSeconds`) to `filter` ("xls", "csv:...") in `outDir`.
// Returns the produced file's path, or "" with `error` set.
std::string ConvertWithLibreOffice(const std::string& soffice, const std::string& source,
                                   const std::string& filter, const std::string& extension,
                                   const std::string& outDir, int timeoutSeconds,
                                   std::string& error);

// A private folder under the system's temporary folder, removed with all it
// holds when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // False when no folder could be made.
  bool Ok() const { return !path_.empty(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace yelvane
