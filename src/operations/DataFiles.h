#pragma once

// Where the program's files live: the dump and the Firmware folder beside the
// start-up folder, Erase.msc there or beside the executable or in the
// installed data folder, and the per-user archive of every download.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace yelvane {

inline constexpr const char* kDumpFileName = "tmp.bin";
inline constexpr const char* kEraseImageName = "Erase.msc";
inline constexpr const char* kFirmwareFolderName = "Firmware";
inline constexpr const char* kArchiveDirVariable = "YELVANE_ARCHIVE_DIR";

// `folder` joined with `name` ("tmp.bin" -> "<folder>/tmp.bin").
std::string JoinPath(const std::string& folder, const std::string& name);

// The process's current folder, as recorded at start-up.
std::string CurrentFolder();

// The folder of the running executable, "" when unknown.
std::string ExecutableFolder();

// Erase.msc in the start-up folder, else beside the executable, else in the
// installed data folder. When none exists, the start-up folder's path (so the
// open error names the place the user would look first).
std::string FindEraseImage(const std::string& startupFolder);

// The first "*.msc" file (by name) directly in "<startupFolder>/Firmware".
std::optional<std::string> FindFirmwareCandidate(const std::string& startupFolder);

// The archive folder: $YELVANE_ARCHIVE_DIR, else $XDG_DATA_HOME/yelvane/downloads,
// else ~/.local/share/yelvane/downloads.
std::string DownloadArchiveFolder();

// Saves `data` into `folder` (created when missing) as
// "yelvane-YYYYMMDD-HHMMSS.bin", adding "-2", "-3", ... rather than ever
// replacing an older file. Returns the path written, or nullopt.
std::optional<std::string> ArchiveDownload(const std::string& folder, const std::tm& when,
                                           const std::vector<uint8_t>& data);

// One archived download, as its file name tells it.
struct ArchivedDownload {
  std::string path;
  std::tm time{};    // when it was read (tm_year from 1900, tm_mon from 0)
  int sequence = 1;  // 1, or the N of a "-N" added to keep an older copy
};

// "YYYY-MM-DD HH:MM:SS" of a download's time.
std::string DownloadTimeText(const std::tm& time);

// The downloads in `folder`: the regular files named as ArchiveDownload
// names them, newest first (a later "-N" before an earlier one of the same
// second). Other files are left out; a missing folder has none.
std::vector<ArchivedDownload> ListDownloads(const std::string& folder);

}  // namespace yelvane
