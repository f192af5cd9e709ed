#pragma once

// A folder of the test's own where the tool runs, with its downloads
// archived inside it, never in a home folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "support/Tool.h"

namespace yelvane::test {

class ToolFolder : public ::testing::Test {
 protected:
  // Runs the tool in the folder with `input` on stdin.
  ToolRun Cli(const std::vector<std::string>& args, const std::string& input = "") const {
    return RunTool(dir_, args,
                   {.stdinText = input, .env = {"YELVANE_ARCHIVE_DIR=" + archive_.string()}});
  }

  TempFolder folder_;
  const std::filesystem::path dir_ = folder_.Path();
  const std::filesystem::path archive_ = dir_ / "archive";
};

}  // namespace yelvane::test
