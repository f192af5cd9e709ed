#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempFolder.h"
#include "support/Files.h"
#include "support/Recorders.h"
#include "unit/FirmwareImage.h"

namespace yelvane {
namespace {

using test::RecordingLog;
using test::RecordingMessages;
using test::WriteBytes;

class ImageFiles : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder_ + "/" + name;
    WriteBytes(path, bytes);
    return path;
  }
  TempFolder temp_;
  std::string folder_ = temp_.Str();
  RecordingLog log_;
  RecordingMessages messages_;
};

TEST_F(ImageFiles, SummaryLinesOfEachKind) {
  const std::string internal = Put("a.msc", BuildImage({1, 0x10000, 325120}, {}));
  auto header = ReadImageSummary(internal, log_, messages_);
  ASSERT_TRUE(header);
  EXPECT_EQ(*header, (ImageHeader{1, 0x10000, 325120}));
  EXPECT_EQ(log_.lines,
            (std::vector<std::string>{"\nThe file: " + internal, "\nFlash memory: Internal Flash",
                                      "Start address: 0x00010000", "File size: 325120"}));
  EXPECT_TRUE(messages_.shown.empty());

  // NAND offsets count in sectors; the summary still passes a misaligned one.
  log_.lines.clear();
  const std::string nand = Put("n.msc", BuildImage({3, 2, 7}, {}));
  header = ReadImageSummary(nand, log_, messages_);
  ASSERT_TRUE(header);
  EXPECT_EQ(log_.lines[1], "\nFlash memory: NAND Flash");
  EXPECT_EQ(log_.lines[2], "Start address: 0x00000400");
  EXPECT_FALSE(IsTargetOffsetAligned(header->targetOffset));
  EXPECT_TRUE(IsTargetOffsetAligned(0x10000));

  log_.lines.clear();
  ASSERT_TRUE(ReadImageSummary(Put("o.msc", BuildImage({9, 0, 0}, {})), log_, messages_));
  EXPECT_EQ(log_.lines[1], "\n");
  EXPECT_EQ(ImageKindStatusText(3), "Target Memory : Nand Flash");
  EXPECT_EQ(ImageKindStatusText(2), "Target Memory : Serial Flash");
  EXPECT_EQ(ImageKindStatusText(9), "");
  EXPECT_EQ(ImageKindLogText(2), "Flash memory: Serial Flash");
}

TEST_F(ImageFiles, CommandCheckTestsOnlyTheFirstByteButDetectionWantsAllFive) {
  std::vector<uint8_t> image = BuildImage({1, 0, 0}, std::vector<uint8_t>(10, 1));
  image[0] = 'R';
  image[1] = 'x';
  const std::string path = Put("r.msc", image);
  EXPECT_TRUE(ReadImageSummary(path, log_, messages_));
  EXPECT_FALSE(IsImageFile(path));
  EXPECT_TRUE(IsImageFile(Put("good.msc", BuildImage({1, 0, 0}, {}))));
  EXPECT_FALSE(IsImageFile(Put("tiny.msc", {'B', 'R', 'M'})));
  EXPECT_FALSE(IsImageFile(folder_ + "/missing.msc"));
}

TEST_F(ImageFiles, EveryRefusalShowsAMessageAndTheSameLogLine) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::string text;
  };
  std::vector<uint8_t> notMsc = BuildImage({1, 0, 0}, {});
  notMsc[0] = 'X';
  std::vector<uint8_t> shortHeader = BuildImage({1, 0, 0}, {});
  shortHeader.resize(1023);  // passes the first checks, but has no whole header
  const std::vector<Case> cases = {
      {{'B', 'R', 'M', 'S', 'C'}, "File read error!"},
      {notMsc, "This file is not MSC format!"},
      {shortHeader, "This file is not MSC format!"},
  };
  for (const Case& c : cases) {
    log_.lines.clear();
    messages_.shown.clear();
    const std::string path = Put("bad.msc", c.bytes);
    EXPECT_FALSE(ReadImageSummary(path, log_, messages_));
    EXPECT_EQ(messages_.shown, std::vector<std::string>{c.text});
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"\nThe file: " + path, c.text}));
  }
  log_.lines.clear();
  messages_.shown.clear();
  const std::string missing = folder_ + "/none.msc";
  EXPECT_FALSE(ReadImageSummary(missing, log_, messages_));
  EXPECT_EQ(log_.lines, std::vector<std::string>{"File Open Error: " + missing + "!"});
  EXPECT_EQ(messages_.shown, log_.lines);
}

TEST_F(ImageFiles, LoadImageReadsTheWholeFile) {
  const std::vector<uint8_t> bytes = BuildImage({2, 512, 1}, std::vector<uint8_t>(1000, 0x5A));
  const auto loaded = LoadImage(Put("l.msc", bytes));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(*loaded, bytes);
  EXPECT_FALSE(LoadImage(folder_ + "/none.msc"));
}

}  // namespace
}  // namespace yelvane
