#include "operations/DataFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/FileReplace.h"
#include "common/Format.h"
#include "common/NoCase.h"
#include "unit/FirmwareImage.h"

#ifndef YELVANE_DATA_DIR
#define YELVANE_DATA_DIR "/usr/local/share/yelvane"
#endif

namespace yelvane {
namespace fs = std::filesystem;

namespace {

bool IsRegularFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool HasMscExtension(const fs::path& path) {
  return LowerExtension(path.string()) == kImageDefaultExtension;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return (fs::path(folder) / name).string();
}

std::string CurrentFolder() {
  std::error_code error;
  const fs::path path = fs::current_path(error);
  return error ? std::string(".") : path.string();
}

std::string ExecutableFolder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

std::string FindEraseImage(const std::string& startupFolder) {
  const std::string first = JoinPath(startupFolder, kEraseImageName);
  std::vector<std::string> candidates{first};
  const std::string exeFolder = ExecutableFolder();
  if (!exeFolder.empty()) candidates.push_back(JoinPath(exeFolder, kEraseImageName));
  candidates.push_back(JoinPath(YELVANE_DATA_DIR, kEraseImageName));
  for (const std::string& candidate : candidates)
    if (IsRegularFile(candidate)) return candidate;
  return first;
}

std::optional<std::string> FindFirmwareCandidate(const std::string& startupFolder) {
  const fs::path folder = fs::path(startupFolder) / kFirmwareFolderName;
  std::error_code error;
  std::vector<fs::path> found;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (HasMscExtension(it->path()) && IsRegularFile(it->path())) found.push_back(it->path());
  if (found.empty()) return std::nullopt;
  return std::min_element(found.begin(), found.end())->string();
}

std::string DownloadArchiveFolder() {
  if (const char* dir = std::getenv(kArchiveDirVariable); dir && *dir) return dir;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
    return (fs::path(data) / "yelvane" / "downloads").string();
  if (const char* home = std::getenv("HOME"); home && *home)
    return (fs::path(home) / ".local" / "share" / "yelvane" / "downloads").string();
  return "yelvane-downloads";
}

std::optional<std::string> ArchiveDownload(const std::string& folder, const std::tm& when,
                                           const std::vector<uint8_t>& data) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return std::nullopt;
  const std::string stem =
      Format("yelvane-%04d%02d%02d-%02d%02d%02d", when.tm_year + 1900, when.tm_mon + 1,
             when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
  for (int n = 1; n < 1000; ++n) {
    const std::string name = n == 1 ? stem + ".bin" : Format("%s-%d.bin", stem.c_str(), n);
    const std::string path = JoinPath(folder, name);
    // Written aside and renamed without replacing: two reads in the same
    // second each get a whole file of their own.
    bool exists = false;
    std::string error;
    if (WriteNewFile(path, std::string(data.begin(), data.end()), exists, error)) return path;
    if (!exists) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace yelvane
