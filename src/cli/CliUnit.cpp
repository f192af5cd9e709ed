#include "cli/CliUnit.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "common/Format.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"
#include "unit/CommandExchange.h"
#include "unit/TracingVolume.h"
#ifdef _WIN32
#include "unit/WindowsRawVolume.h"
#else
#include "unit/PosixRawVolume.h"
#endif

namespace yelvane {

namespace {

namespace fs = std::filesystem;

bool ReadImageFile(const std::string& path, std::vector<uint8_t>& memory, std::string& error) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec || size != kLoggerMemorySize) {
    error = Format("The simulated memory image %s is not %u bytes long.", path.c_str(),
                   kLoggerMemorySize);
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  memory.assign(kLoggerMemorySize, 0);
  if (!in.read(reinterpret_cast<char*>(memory.data()), kLoggerMemorySize)) {
    error = Format("Cannot read the simulated memory image %s.", path.c_str());
    return false;
  }
  return true;
}

// Writes beside the target and renames, so a failed write never damages IMAGE.
bool WriteImageFile(const std::string& path, const std::vector<uint8_t>& memory) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(memory.data()),
              static_cast<std::streamsize>(memory.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, path, ec);
  if (ec) fs::remove(temporary, ec);
  return !ec;
}

// State shared by every enumerator of one command run.
struct UnitSetup {
  std::shared_ptr<SimulatedLogger> device;
  std::string image;  // where the simulated memory lives, if anywhere
  std::shared_ptr<TraceLog> trace;

  ~UnitSetup() {
    if (!device || image.empty() || !device->MemoryChanged()) return;
    if (!WriteImageFile(image, device->Memory())) {
      std::fprintf(stderr, "Cannot save the simulated memory to %s.\n", image.c_str());
    }
  }
};

std::mutex setupsMutex;
std::map<const CliContext*, std::weak_ptr<UnitSetup>> setups;

// Keeps the shared setup alive as long as the enumerator lives.
class CliDrives final : public DriveEnumerator {
 public:
  CliDrives(std::unique_ptr<DriveEnumerator> inner, std::shared_ptr<UnitSetup> setup)
      : inner_(std::move(inner)), setup_(std::move(setup)) {}
  std::vector<DriveCandidate> Candidates() override { return inner_->Candidates(); }
  std::unique_ptr<RawVolume> NewVolume() override { return inner_->NewVolume(); }
  DriveVerdict Diagnose(DriveVerdict generic) override { return inner_->Diagnose(generic); }

 private:
  std::unique_ptr<DriveEnumerator> inner_;
  std::shared_ptr<UnitSetup> setup_;
};

std::shared_ptr<UnitSetup> NewSetup(CliContext& ctx) {
  auto setup = std::make_shared<UnitSetup>();
  auto fail = [&ctx](const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    ctx.exitCode = kExitFailed;
  };
  if (ctx.simulate) {
    std::vector<uint8_t> memory;
    const std::string& image = *ctx.simulate;
    std::string error;
    bool ok = true;
    if (image.empty()) {
      memory = DefaultSimulatedMemory();
    } else if (!fs::exists(image)) {
      memory = DefaultSimulatedMemory();
      if (!WriteImageFile(image, memory)) {
        fail(Format("Cannot create the simulated memory image %s.", image.c_str()));
        ok = false;
      }
    } else if (!ReadImageFile(image, memory, error)) {
      fail(error);
      ok = false;
    }
    if (ok) {
      setup->device = std::make_shared<SimulatedLogger>(
          std::move(memory),
          ctx.simPlain ? SimulatedLogger::Mode::Plain : SimulatedLogger::Mode::Logger);
      setup->image = image;
      FailSectorSpec spec;
      if (ctx.simFailSector && ParseFailSector(*ctx.simFailSector, spec)) {
        setup->device->FailSector(spec.sector, spec.times);
      }
      if (ctx.simUnplugAfter) setup->device->UnplugAfter(*ctx.simUnplugAfter);
    }
  }
  if (ctx.trace) {
    setup->trace = FileTraceLog::Create(*ctx.trace);
    if (!setup->trace) fail(Format("Cannot write the trace file %s.", ctx.trace->c_str()));
  }
  return setup;
}

}  // namespace

std::vector<uint8_t> DefaultSimulatedMemory() {
  return MakeDemoMemory(DemoOptions{});
}

bool ParseFailSector(const std::string& text, FailSectorSpec& spec) {
  unsigned long sector = 0;
  unsigned long times = UINT32_MAX;
  char extra = 0;
  const auto colon = text.find(':');
  if (text.empty() || text.find_first_not_of("0123456789:") != std::string::npos) return false;
  if (colon == std::string::npos) {
    if (std::sscanf(text.c_str(), "%lu%c", &sector, &extra) != 1) return false;
  } else if (std::sscanf(text.c_str(), "%lu:%lu%c", &sector, &times, &extra) != 2) {
    return false;
  }
  if (sector > UINT32_MAX || times > UINT32_MAX) return false;
  spec.sector = static_cast<uint32_t>(sector);
  spec.times = static_cast<uint32_t>(times);
  return true;
}

std::unique_ptr<DriveEnumerator> MakeDriveEnumerator(CliContext& ctx) {
  std::shared_ptr<UnitSetup> setup;
  {
    std::lock_guard lock(setupsMutex);
    setup = setups[&ctx].lock();
    if (!setup) {
      setup = NewSetup(ctx);
      setups[&ctx] = setup;
    }
  }
  std::unique_ptr<DriveEnumerator> drives;
  if (ctx.simulate) {
    auto simulated = std::make_unique<SimulatedDrives>();
    if (setup->device) simulated->Add(kSimulatedDriveRoot, setup->device);
    drives = std::move(simulated);
  } else {
#ifdef _WIN32
    drives = std::make_unique<WindowsDriveEnumerator>(SystemWinApi());
#else
    drives = std::make_unique<SysBlockDriveEnumerator>();
#endif
  }
  if (setup->trace) {
    drives = std::make_unique<TracingDriveEnumerator>(std::move(drives), setup->trace);
  }
  return std::make_unique<CliDrives>(std::move(drives), std::move(setup));
}

}  // namespace yelvane
