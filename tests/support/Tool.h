#pragma once

// Runs the built yelvane-cli as a user would: as a program in a folder of
// the test's own, with its exit code, stdout and stderr.

#include <filesystem>
#include <string>
#include <vector>

namespace yelvane::test {

struct ToolRun {
  int code = -1;  // the exit code; -1 when the tool did not exit normally
  std::string out;
  std::string err;
  // The last line on stderr, without its break.
  std::string LastErrLine() const;
};

struct ToolInput {
  std::string stdinText{};             // what the tool reads on stdin (then end of file)
  std::vector<std::string> env{};      // "NAME=value" set for the run
  bool stdoutIsFull = false;           // stdout is /dev/full: every write to it fails
  std::vector<std::string> wrapper{};  // a program that runs the tool ("setpriv", ...)
};

// Where the built tool is, for a test that runs it in a shell line of its own.
std::string ToolPath();

// Runs the tool in `dir` with `args` (each passed as one argument). What it
// writes on stdout and stderr is kept outside `dir`.
ToolRun RunTool(const std::filesystem::path& dir, const std::vector<std::string>& args,
                const ToolInput& input = {});

}  // namespace yelvane::test
