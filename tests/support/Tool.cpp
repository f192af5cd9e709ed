#include "support/Tool.h"

#include <sys/wait.h>

#include <cstdlib>

#include "common/TempFolder.h"
#include "support/Files.h"

namespace yelvane::test {
namespace {

// Appends a blank and `text` as one shell word, whatever it holds. (Built
// with append: g++ 12 at -O2 takes " " + std::string for an overflowing
// copy, a false -Werror=restrict.)
void AddWord(std::string& command, const std::string& text) {
  command.append(" '");
  for (const char c : text) {
    if (c == '\'')
      command.append("'\\''");
    else
      command.push_back(c);
  }
  command.push_back('\'');
}

}  // namespace

std::string ToolPath() {
  return YELVANE_CLI_PATH;
}

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
  std::string command = "cd";
  AddWord(command, dir.string());
  command.append(" && env");
  for (const std::string& assignment : input.env) AddWord(command, assignment);
  for (const std::string& word : input.wrapper) AddWord(command, word);
  AddWord(command, YELVANE_CLI_PATH);
  for (const std::string& arg : args) AddWord(command, arg);
  command.append(" <");
  AddWord(command, in);
  command.append(" >");
  AddWord(command, input.stdoutIsFull ? std::string("/dev/full") : out);
  command.append(" 2>");
  AddWord(command, err);
  const int status = std::system(command.c_str());
  ToolRun run;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

}  // namespace yelvane::test
