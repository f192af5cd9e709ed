#pragma once

// Every file the program writes goes through here, so that a failure never
// leaves an existing file changed and a replaced file keeps what it was:
// the new bytes go to an exclusively created temporary file beside the
// target, are flushed to the disk and renamed over it; an existing target's
// permission bits carry over; a symbolic link is followed (the link stays a
// link); a character device or a FIFO (/dev/null, a pipe) is written in
// place without any rename. Block devices are refused: a report never goes
// onto a drive.

#include <string>

namespace yelvane {

// Writes `bytes` as the new contents of `path`. On failure returns false
// with a message for the user in `error` (the path and the reason).
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error);

// Writes `bytes` as `path` only if no file of that name exists, never
// replacing one even when another process creates it meanwhile (temporary
// file, flushed, renamed without replacing). `exists` tells such a clash
// from other failures.
bool WriteNewFile(const std::string& path, const std::string& bytes, bool& exists,
                  std::string& error);

// The steps of WriteFileReplacing for a file that someone else fills (the
// spreadsheet application saving a workbook): Begin makes the temporary
// file, the caller writes the whole file at TemporaryPath(), Commit puts it
// in place. Destroying an uncommitted replacement removes its temporary file.
class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Checks that `path` can be written and creates the temporary file, whose
  // name ends with `suffix` (the target's extension, for applications that
  // choose the format by it).
  bool Begin(const std::string& path, std::string& error, const std::string& suffix = "");
  const std::string& TemporaryPath() const { return temporary_; }
  // Writes `bytes` as the whole temporary file.
  bool Write(const std::string& bytes, std::string& error);
  // Flushes the temporary file, gives it the target's permissions and
  // renames it over the target (or copies it into a device or FIFO).
  bool Commit(std::string& error);
  // Drops the temporary file; the target stays as it was.
  void Abandon();

 private:
  std::string path_;       // as the user named it, for messages
  std::string target_;     // the file the rename replaces (links followed)
  std::string temporary_;  // "" before Begin and after Commit or Abandon
  bool inPlace_ = false;   // a character device or FIFO
  bool existed_ = false;
  unsigned mode_ = 0;  // permission bits the new file gets
};

}  // namespace yelvane
