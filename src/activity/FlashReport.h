#pragma once

// The report walk: decodes the memory dump's session tables into rows of the
// session table.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "activity/SessionTable.h"
#include "common/Sinks.h"

namespace yelvane {

inline constexpr const char* kFlashReportCaption = "The progress for flash data report.";
inline constexpr const char* kFlashReportSuccess = "Reported the flash data successfully!";

// Empties the table, walks the 3000 slots of the dump at `dumpPath` and
// inserts one row per session in use. Returns 1 when the dump was walked
// (also after a range error, whose message is then the last log line) and 0
// when it cannot be opened ("File Open Error!" message box).
int ReportFlashData(const std::string& dumpPath, SessionTable& table, LogSink& log,
                    ProgressSink& progress, MessageSink& messages);

// The same walk over a dump already in memory; bytes past `size` read as 0.
// Empties the table first and returns the final log line it wrote.
std::string ReportFlashDataFromMemory(const uint8_t* dump, std::size_t size, SessionTable& table,
                                      LogSink& log, ProgressSink& progress);

// The warning line for a dump file of `size` bytes, "" for one of kDumpSize
// bytes: a short one reads as zeros past its end, a longer one is used up to
// kDumpSize (a whole memory image then puts its tables in the wrong places).
std::string DumpSizeWarning(std::uintmax_t size);

// The first kDumpSize bytes of the dump file at `dumpPath` (fewer for a short
// file), or nothing when it cannot be opened or read (a folder, a device that
// refuses reads).
std::optional<std::vector<uint8_t>> ReadDumpFile(const std::string& dumpPath);

}  // namespace yelvane
