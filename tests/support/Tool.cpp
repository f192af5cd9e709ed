#include "support/Tool.h"

#include <sys/wait.h>

#include <cstdlib>

#include "common/TempFolder.h"
#include "support/Files.h"

namespace yelvane::test {
namespace {

// One shell word, whatever the text holds.
std::string Quoted(const std::string& text) {
  std::string word = "'";
  for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

}  // namespace

std::string ToolRun::LastErrLine() const {
  std::string text = err;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const std::size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

ToolRun RunTool(const std::filesystem::path& dir, const std::vector<std::string>& args,
                const ToolInput& input) {
  const TempFolder capture;
  const std::string in = capture.File("stdin"), out = capture.File("stdout"),
                    err = capture.File("stderr");
  WriteBytes(in, std::vector<uint8_t>(input.stdinText.begin(), input.stdinText.end()));
  std::string command = "cd " + Quoted(dir.string()) + " && env";
  for (const std::string& assignment : input.env) command += " " + Quoted(assignment);
  command += " " + Quoted(YELVANE_CLI_PATH);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " <" + Quoted(in) + " >" + (input.stdoutIsFull ? "/dev/full" : Quoted(out)) + " 2>" +
             Quoted(err);
  const int status = std::system(command.c_str());
  ToolRun run;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

}  // namespace yelvane::test
