#include "operations/DataFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <tuple>

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

// Reads `count` decimal digits of `text` at `at`; -1 unless all are digits.
int Digits(const std::string& text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "yelvane-YYYYMMDD-HHMMSS.bin" or "yelvane-YYYYMMDD-HHMMSS-N.bin".
std::optional<ArchivedDownload> ParseDownloadName(const std::string& name) {
  const std::string prefix = "yelvane-";
  const std::string suffix = ".bin";
  const std::size_t stemLength = prefix.size() + 15;  // YYYYMMDD-HHMMSS
  if (name.size() < stemLength + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0 ||
      name[prefix.size() + 8] != '-')
    return std::nullopt;
  const std::size_t d = prefix.size();
  const int year = Digits(name, d, 4), month = Digits(name, d + 4, 2), day = Digits(name, d + 6, 2);
  const int hour = Digits(name, d + 9, 2), minute = Digits(name, d + 11, 2);
  const int second = Digits(name, d + 13, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 60)
    return std::nullopt;
  ArchivedDownload download;
  const std::size_t rest = name.size() - suffix.size() - stemLength;
  if (rest > 0) {
    // "-N" with N from 2, no leading zero: what ArchiveDownload adds.
    if (rest < 2 || rest > 4 || name[stemLength] != '-' || name[stemLength + 1] == '0')
      return std::nullopt;
    download.sequence = Digits(name, stemLength + 1, rest - 1);
    if (download.sequence < 2) return std::nullopt;
  }
  download.time.tm_year = year - 1900;
  download.time.tm_mon = month - 1;
  download.time.tm_mday = day;
  download.time.tm_hour = hour;
  download.time.tm_min = minute;
  download.time.tm_sec = second;
  return download;
}

}  // namespace

std::string DownloadTimeText(const std::tm& time) {
  return Format("%04d-%02d-%02d %02d:%02d:%02d", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
                time.tm_hour, time.tm_min, time.tm_sec);
}

std::vector<ArchivedDownload> ListDownloads(const std::string& folder) {
  std::vector<ArchivedDownload> downloads;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::optional<ArchivedDownload> download = ParseDownloadName(it->path().filename().string());
    if (!download || !IsRegularFile(it->path())) continue;
    download->path = it->path().string();
    downloads.push_back(std::move(*download));
  }
  const auto key = [](const ArchivedDownload& d) {
    return std::make_tuple(d.time.tm_year, d.time.tm_mon, d.time.tm_mday, d.time.tm_hour,
                           d.time.tm_min, d.time.tm_sec, d.sequence);
  };
  std::sort(
      downloads.begin(), downloads.end(),
      [&key](const ArchivedDownload& a, const ArchivedDownload& b) { return key(a) > key(b); });
  return downloads;
}

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
