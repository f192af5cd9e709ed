// libFuzzer target for firmware image files: the summary the commands check
// first, the whole-file load, and the upgrade worker streaming the image
// into a simulated logger. The input is the image file.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "operations/EraseFlash.h"
#include "sim/SimulatedLogger.h"
#include "unit/FirmwareImage.h"

namespace {

using namespace yelvane;

struct Lines final : LogSink {
  std::vector<std::string> lines;
  void SetLogText(const std::string&) override {}
  void AppendLog(const std::string& text, bool) override { lines.push_back(text); }
};

struct Boxes final : MessageSink {
  int shown = 0;
  void ShowMessage(const std::string&, MessageIcon) override { ++shown; }
  bool AskYesNo(const std::string&, const std::string&) override { std::abort(); }
};

struct NoDialog final : UnitDialogObserver {
  void SetTransferText(const std::string&) override {}
  void SetRateText(const std::string&) override {}
  void SetPercent(int percent) override {
    if (percent < 0 || percent > 100) std::abort();
  }
  void SetStatusText(const std::string&) override {}
  void StopElapsedTimer() override {}
  void CloseAfterDelay() override {}
};

// The protocol's pauses cost nothing here.
struct InstantClock final : Clock {
  uint32_t now = 0;
  uint32_t TickMs() override { return now += 3; }
  void SleepMs(uint32_t ms) override { now += ms; }
};

void CheckSummary(const uint8_t* data, std::size_t size, const std::string& path) {
  Lines log;
  Boxes boxes;
  const auto header = ReadImageSummary(path, log, boxes);
  const bool acceptable = size >= kImageHeaderSize && (data[0] == 'B' || data[0] == 'R');
  if (header.has_value() != acceptable) std::abort();
  if (!header) {
    // A refusal says why, once in a box and once in the log.
    if (boxes.shown != 1 || log.lines.empty()) std::abort();
    return;
  }
  if (boxes.shown != 0 || log.lines.size() != 4) std::abort();
  if (!(*header == DecodeImageHeader(data + 256))) std::abort();
}

void CheckUpgrade(const uint8_t* data, std::size_t size, const std::string& path) {
  auto device = std::make_shared<SimulatedLogger>(MakeBlankMemory());
  SimulatedDrives drives;
  drives.Add("sim0", device);
  Lines log;
  Boxes boxes;
  UpgradeJob job;
  job.imagePath = path;
  job.upgradeMode = true;
  if (PrepareUpgradeJob(job, drives, log, boxes) != DialogStart::WorkerReady) std::abort();
  NoDialog dialog;
  InstantClock clock;
  WorkerSurroundings s{drives, dialog, log, boxes, clock};
  RunUpgradeWorker(job, s);
  if (!job.workerDone) std::abort();

  const ImageHeader header = DecodeImageHeader(data + 256);
  const bool aligned = IsTargetOffsetAligned(header.targetOffset);
  if (job.succeeded != aligned) std::abort();
  for (const uint32_t sector : device->WrittenSectors())
    if (sector > 1) std::abort();
  if (!aligned) {
    // Refused before anything reached the logger.
    if (!device->WrittenSectors().empty()) std::abort();
    return;
  }
  // What the logger took is the payload.
  const uint8_t* payload = data + kImageHeaderSize;
  const std::size_t length = size - kImageHeaderSize;
  const uint64_t base =
      header.kind == 3 ? uint64_t{header.targetOffset} * 512 : uint64_t{header.targetOffset};
  if (header.kind == 1) {
    const std::vector<uint8_t> memory = device->Memory();
    if (base < memory.size()) {
      const std::size_t shown = std::min<uint64_t>(length, memory.size() - base);
      if (std::memcmp(memory.data() + base, payload, shown) != 0) std::abort();
    }
  } else {
    const std::vector<uint8_t> stored = device->Store(header.kind, base, length);
    if (length > 0 && std::memcmp(stored.data(), payload, length) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::MemoryFile file(data, size);
  const std::string path = file.Path();

  const auto loaded = LoadImage(path);
  if (!loaded || loaded->size() != size || !std::equal(loaded->begin(), loaded->end(), data))
    std::abort();
  if (IsImageFile(path) != (size >= 5 && std::memcmp(data, "BRMSC", 5) == 0)) std::abort();

  CheckSummary(data, size, path);
  // The commands stream only what the summary accepted.
  if (size >= kImageHeaderSize && (data[0] == 'B' || data[0] == 'R'))
    CheckUpgrade(data, size, path);
  return 0;
}
