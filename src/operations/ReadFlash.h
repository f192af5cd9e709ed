#pragma once

// Memory read: copies a stretch of the logger's memory into the dump file,
// one sector at a time, under the "Read Flash Data" progress dialog.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/FileReplace.h"

#include "operations/UnitDialog.h"

namespace yelvane {

inline constexpr const char* kReadFailedText = "Failed to read flash data! Please retry!";
inline constexpr const char* kReadCompleteText = "Read flash is complete.";
inline constexpr const char* kReadStatusText = "Target Memory : Internal Flash";

// Shared by the command, its dialog and the worker; one read at a time.
struct ReadJob : UnitJob {
  std::string dumpPath;           // set by the command
  std::FILE* dumpFile = nullptr;  // opened by PrepareReadJob, closed by the worker
  std::vector<uint8_t> buffer;    // `length` bytes; released by the worker
  uint32_t address = 0;           // unit memory address
  uint32_t length = 0;            // bytes to copy
  // The tool: the dump goes to a temporary file beside `dumpPath` and
  // replaces it only after a complete read, so a failed read never destroys
  // an earlier dump. The desktop program writes the file its command made.
  bool replaceDump = false;
  std::unique_ptr<FileReplacement> dumpReplacement;
  // Why the dump file could not be written ("" when it could, or was not tried).
  std::string dumpError;
  // The bytes of the last complete read: what the archive copy, the report
  // walk and the chart series take, never a file that may change meanwhile.
  std::shared_ptr<const std::vector<uint8_t>> data;
};

// The dialog's initialisation without its windows: finds the logger, opens
// the existing dump file for writing and allocates the buffer. Shows its own
// message boxes. On WorkerReady, `workerDone` is already false so that a
// cancel arriving before the worker thread runs is refused too.
DialogStart PrepareReadJob(ReadJob& job, DriveEnumerator& drives, MessageSink& messages);

// The worker: runs once, from the signature check to the dump file write.
// Ends with `workerDone` set; `succeeded` only when the dump was written.
void RunReadWorker(ReadJob& job, WorkerSurroundings& surroundings);

// Releases what PrepareReadJob took when no worker is going to run.
void AbandonReadJob(ReadJob& job);

}  // namespace yelvane
