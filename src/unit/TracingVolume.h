#pragma once

// A decorator that writes one line per volume operation, for diagnosing a
// drive and for checking exact transactions in tests:
//   open <root> ok|fail, read <sector> <count> ok|fail,
//   write <sector> <count> ok|fail <first 16 bytes as lowercase hex>,
//   lock ok|fail, unlock ok, close

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "unit/RawVolume.h"
#include "unit/UnitAccess.h"

namespace yelvane {

class TraceLog {
 public:
  virtual ~TraceLog() = default;
  virtual void Line(const std::string& line) = 0;
};

// Appends lines to a file, flushed after each so a crash keeps the trace.
class FileTraceLog final : public TraceLog {
 public:
  // Creates (truncates) the file; nullptr when it cannot be opened or
  // refuses writes (/dev/full), with the reason in `reason`.
  static std::unique_ptr<FileTraceLog> Create(const std::string& path,
                                              std::string* reason = nullptr);
  ~FileTraceLog() override;
  void Line(const std::string& line) override;
  // Why a line could not be written ("" while all were).
  std::string Failure() const;

 private:
  explicit FileTraceLog(std::FILE* file) : file_(file) {}
  mutable std::mutex mutex_;
  std::FILE* file_;
  std::string failure_;
};

// Keeps the lines in memory (tests).
class MemoryTraceLog final : public TraceLog {
 public:
  void Line(const std::string& line) override;
  std::vector<std::string> Lines() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class TracingRawVolume final : public RawVolume {
 public:
  TracingRawVolume(std::unique_ptr<RawVolume> inner, std::shared_ptr<TraceLog> log);
  bool Open(const std::string& rootPath) override;
  void Close() override;
  bool ReadSectors(uint32_t sector, void* buffer, uint32_t count) override;
  bool WriteSectors(uint32_t sector, const void* buffer, uint32_t count) override;
  bool Lock() override;
  bool Unlock() override;

 private:
  std::unique_ptr<RawVolume> inner_;
  std::shared_ptr<TraceLog> log_;
};

// Wraps every volume an enumerator makes in a TracingRawVolume.
class TracingDriveEnumerator final : public DriveEnumerator {
 public:
  TracingDriveEnumerator(std::unique_ptr<DriveEnumerator> inner, std::shared_ptr<TraceLog> log);
  std::vector<DriveCandidate> Candidates() override;
  std::unique_ptr<RawVolume> NewVolume() override;
  DriveVerdict Diagnose(DriveVerdict generic) override;

 private:
  std::unique_ptr<DriveEnumerator> inner_;
  std::shared_ptr<TraceLog> log_;
};

}  // namespace yelvane
