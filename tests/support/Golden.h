#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/Files.h"

namespace yelvane::test {

// Compares `actual` whole with tests/data/<name>; YELVANE_UPDATE_GOLDEN=1
// rewrites the file instead.
inline void ExpectGolden(const std::string& actual, const std::string& name) {
  const std::filesystem::path path = std::filesystem::path(YELVANE_TEST_DATA_DIR) / name;
  if (std::getenv("YELVANE_UPDATE_GOLDEN")) {
    WriteBytes(path, std::vector<uint8_t>(actual.begin(), actual.end()));
  }
  EXPECT_EQ(actual, ReadText(path)) << "golden file " << name;
}

}  // namespace yelvane::test
