#include "unit/TracingVolume.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

#include "common/Format.h"

namespace yelvane {

namespace {

const char* Result(bool ok) {
  return ok ? "ok" : "fail";
}

std::string Hex16(const void* buffer, uint32_t count) {
  std::string hex;
  if (count == 0 || buffer == nullptr) return hex;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int i = 0; i < 16; ++i) hex += Format("%02x", bytes[i]);
  return hex;
}

}  // namespace

std::unique_ptr<FileTraceLog> FileTraceLog::Create(const std::string& path, std::string* reason) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) {
    if (reason) *reason = std::strerror(errno);
    return nullptr;
  }
#ifndef _WIN32
  // An empty write asks the file whether it takes writes at all: a full
  // device says no now rather than losing the whole trace later.
  if (::write(fileno(file), "", 0) < 0) {
    if (reason) *reason = std::strerror(errno);
    std::fclose(file);
    return nullptr;
  }
#endif
  return std::unique_ptr<FileTraceLog>(new FileTraceLog(file));
}

std::string FileTraceLog::Failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

FileTraceLog::~FileTraceLog() {
  std::fclose(file_);
}

void FileTraceLog::Line(const std::string& line) {
  std::lock_guard lock(mutex_);
  const bool ok = std::fputs(line.c_str(), file_) >= 0 && std::fputc('\n', file_) != EOF &&
                  std::fflush(file_) == 0;
  if (!ok && failure_.empty()) failure_ = std::strerror(errno);
}

void MemoryTraceLog::Line(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(line);
}

std::vector<std::string> MemoryTraceLog::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

void MemoryTraceLog::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

TracingRawVolume::TracingRawVolume(std::unique_ptr<RawVolume> inner, std::shared_ptr<TraceLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

bool TracingRawVolume::Open(const std::string& rootPath) {
  const bool ok = inner_ && inner_->Open(rootPath);
  log_->Line("open " + rootPath + " " + Result(ok));
  return ok;
}

void TracingRawVolume::Close() {
  if (inner_) inner_->Close();
  log_->Line("close");
}

bool TracingRawVolume::ReadSectors(uint32_t sector, void* buffer, uint32_t count) {
  const bool ok = inner_ && inner_->ReadSectors(sector, buffer, count);
  log_->Line(Format("read %u %u %s", sector, count, Result(ok)));
  return ok;
}

bool TracingRawVolume::WriteSectors(uint32_t sector, const void* buffer, uint32_t count) {
  const bool ok = inner_ && inner_->WriteSectors(sector, buffer, count);
  log_->Line(Format("write %u %u %s %s", sector, count, Result(ok), Hex16(buffer, count).c_str()));
  return ok;
}

bool TracingRawVolume::Lock() {
  const bool ok = inner_ && inner_->Lock();
  log_->Line(Format("lock %s", Result(ok)));
  return ok;
}

bool TracingRawVolume::Unlock() {
  if (inner_) inner_->Unlock();
  log_->Line("unlock ok");
  return true;
}

TracingDriveEnumerator::TracingDriveEnumerator(std::unique_ptr<DriveEnumerator> inner,
                                               std::shared_ptr<TraceLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

std::vector<DriveCandidate> TracingDriveEnumerator::Candidates() {
  return inner_->Candidates();
}

std::unique_ptr<RawVolume> TracingDriveEnumerator::NewVolume() {
  return std::make_unique<TracingRawVolume>(inner_->NewVolume(), log_);
}

DriveVerdict TracingDriveEnumerator::Diagnose(DriveVerdict generic) {
  return inner_->Diagnose(generic);
}

}  // namespace yelvane
