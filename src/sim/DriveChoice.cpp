#include "sim/DriveChoice.h"

#include <CLI/CLI.hpp>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "common/FileReplace.h"
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
bool WriteImageFile(const std::string& path, const std::vector<uint8_t>& memory,
                    std::string& error) {
  return WriteFileReplacing(path, std::string(memory.begin(), memory.end()), error);
}

#ifndef _WIN32
// How long a second program waits for the image before it gives up.
constexpr int kImageLockWaitMs = 10000;

// Takes the image's exclusive lock (creating an empty file when there is
// none yet), held until the descriptor is closed; the image is then saved
// through that descriptor, never replaced, so the lock stays on the image. A
// lock won on a file that another program has replaced meanwhile is taken
// again on the new one. -1 with `error` when it stays in use.
int LockImage(const std::string& path, const DriveProblem& problem, std::string& error) {
  bool told = false;
  for (int waited = 0;;) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = Format("Cannot open the simulated memory image %s: %s.", path.c_str(),
                     std::strerror(errno));
      return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat held {
      }, now{};
      if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
          held.st_ino == now.st_ino)
        return fd;
      ::close(fd);  // replaced meanwhile: lock the new file
      continue;
    }
    const int reason = errno;
    ::close(fd);
    if (reason != EWOULDBLOCK) {
      error = Format("Cannot lock the simulated memory image %s: %s.", path.c_str(),
                     std::strerror(reason));
      return -1;
    }
    if (!told && problem)
      problem(Format("The simulated memory image %s is in use by another program; waiting...",
                     path.c_str()));
    told = true;
    if (waited >= kImageLockWaitMs) {
      error =
          Format("The simulated memory image %s is still in use by another program.", path.c_str());
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    waited += 100;
  }
}
// Writes the whole image through the locked descriptor.
bool WriteLockedImage(int fd, const std::string& path, const std::vector<uint8_t>& memory,
                      std::string& error) {
  std::size_t done = 0;
  while (done < memory.size()) {
    const ssize_t n =
        ::pwrite(fd, memory.data() + done, memory.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done < memory.size() || ::ftruncate(fd, static_cast<off_t>(memory.size())) != 0 ||
      ::fsync(fd) != 0) {
    error = Format("Cannot write \"%s\": %s", path.c_str(), std::strerror(errno ? errno : EIO));
    return false;
  }
  return true;
}
#endif

// State shared by every enumerator made for one choice.
struct UnitSetup {
  std::shared_ptr<SimulatedLogger> device;
  std::string image;   // where the simulated memory lives, if anywhere
  int imageLock = -1;  // held from loading IMAGE to the last save
  std::mutex saveMutex;
  uint64_t savedCommits = 0;

  bool WriteImage(const std::vector<uint8_t>& memory, std::string& error) {
#ifndef _WIN32
    if (imageLock >= 0) return WriteLockedImage(imageLock, image, memory, error);
#endif
    return WriteImageFile(image, memory, error);
  }
  std::shared_ptr<TraceLog> trace;
  FileTraceLog* traceFile = nullptr;  // the same, to ask about failed lines
  std::string tracePath;
  bool failed = false;
  DriveProblem problem;

  // Saves IMAGE when the memory changed since the last save: after each
  // command that changed it, and once more at the end.
  void Save() {
    std::lock_guard lock(saveMutex);
    if (!device || image.empty()) return;
    const uint64_t commits = device->MemoryCommits();
    if (commits == savedCommits) return;
    std::string error;
    if (WriteImage(device->Memory(), error))
      savedCommits = commits;
    else if (problem)
      problem(Format("Cannot save the simulated memory to %s: %s", image.c_str(), error.c_str()));
  }

  ~UnitSetup() {
    if (traceFile && problem)
      if (const std::string reason = traceFile->Failure(); !reason.empty())
        problem(Format("Cannot write the trace file %s: %s.", tracePath.c_str(), reason.c_str()));
    if (device) device->OnMemoryCommitted(nullptr);
    Save();
#ifndef _WIN32
    if (imageLock >= 0) ::close(imageLock);
#endif
  }
};

std::mutex setupsMutex;
std::map<const DriveChoice*, std::weak_ptr<UnitSetup>> setups;

// Keeps the shared setup alive as long as the enumerator lives.
class ChosenDrives final : public DriveEnumerator {
 public:
  ChosenDrives(std::unique_ptr<DriveEnumerator> inner, std::shared_ptr<UnitSetup> setup)
      : inner_(std::move(inner)), setup_(std::move(setup)) {}
  std::vector<DriveCandidate> Candidates() override { return inner_->Candidates(); }
  std::unique_ptr<RawVolume> NewVolume() override { return inner_->NewVolume(); }
  DriveVerdict Diagnose(DriveVerdict generic) override { return inner_->Diagnose(generic); }

 private:
  std::unique_ptr<DriveEnumerator> inner_;
  std::shared_ptr<UnitSetup> setup_;
};

std::shared_ptr<UnitSetup> NewSetup(const DriveChoice& choice, const DriveProblem& problem) {
  auto setup = std::make_shared<UnitSetup>();
  setup->problem = problem;
  auto fail = [&setup](const std::string& message) {
    if (setup->problem) setup->problem(message);
    setup->failed = true;
  };
  if (choice.simulate) {
    std::vector<uint8_t> memory;
    const std::string& image = *choice.simulate;
    std::string error;
    bool ok = true;
#ifndef _WIN32
    // Two programs on one image take turns: neither loses the other's writes.
    if (!image.empty()) {
      setup->imageLock = LockImage(image, problem, error);
      if (setup->imageLock < 0) {
        fail(error);
        return setup;
      }
    }
#endif
    std::error_code ec;
    if (image.empty()) {
      memory = DefaultSimulatedMemory();
    } else if (!fs::exists(image, ec) || fs::file_size(image, ec) == 0) {
      memory = DefaultSimulatedMemory();
      setup->image = image;
      if (!setup->WriteImage(memory, error)) {
        fail(Format("Cannot create the simulated memory image %s: %s", image.c_str(),
                    error.c_str()));
        ok = false;
      }
    } else if (!ReadImageFile(image, memory, error)) {
      fail(error);
      ok = false;
    }
    if (ok) {
      setup->device = std::make_shared<SimulatedLogger>(
          std::move(memory),
          choice.simPlain ? SimulatedLogger::Mode::Plain : SimulatedLogger::Mode::Logger);
      setup->image = image;
      FailSectorSpec spec;
      if (choice.simFailSector && ParseFailSector(*choice.simFailSector, spec)) {
        setup->device->FailSector(spec.sector, spec.times);
      }
      if (choice.simUnplugAfter) setup->device->UnplugAfter(*choice.simUnplugAfter);
      if (!image.empty()) {
        UnitSetup* self = setup.get();  // the device never outlives the setup's callback
        setup->device->OnMemoryCommitted([self] { self->Save(); });
      }
    }
  }
  if (choice.trace) {
    std::string reason;
    auto trace = FileTraceLog::Create(*choice.trace, &reason);
    setup->traceFile = trace.get();
    setup->tracePath = *choice.trace;
    setup->trace = std::move(trace);
    if (!setup->trace)
      fail(Format("Cannot write the trace file %s: %s.", choice.trace->c_str(), reason.c_str()));
  }
  return setup;
}

}  // namespace

void AddDriveOptions(CLI::App& app, DriveChoice& choice) {
  auto* simulate =
      app.add_option_function<std::string>(
             "--simulate", [&choice](const std::string& image) { choice.simulate = image; },
             "Work with a simulated logger instead of the real drives; with =IMAGE its "
             "memory is kept in IMAGE (created with demo data when missing)")
          ->expected(0, 1)
          ->type_name("IMAGE")
          ->check(
              [](const std::string& image) -> std::string {
                namespace fs = std::filesystem;
                std::error_code ec;
                // Missing or empty: created with demo data.
                if (image.empty() || !fs::exists(image, ec) || fs::file_size(image, ec) == 0)
                  return {};
                if (!fs::is_regular_file(image, ec) ||
                    fs::file_size(image, ec) != kLoggerMemorySize) {
                  return Format("%s is not a %u-byte logger memory image", image.c_str(),
                                kLoggerMemorySize);
                }
                return {};
              },
              "");
  app.add_option_function<std::string>(
         "--trace", [&choice](const std::string& file) { choice.trace = file; },
         "Write one line per volume operation to FILE")
      ->type_name("FILE");
  app.add_option_function<std::string>(
         "--sim-fail-sector", [&choice](const std::string& spec) { choice.simFailSector = spec; },
         "Make simulated sector N fail K times (always without K), then work")
      ->type_name("N[:K]")
      ->check(
          [](const std::string& text) -> std::string {
            FailSectorSpec spec;
            return ParseFailSector(text, spec) ? std::string() : "expected N or N:K";
          },
          "")
      ->needs(simulate);
  app.add_option_function<unsigned long>(
         "--sim-unplug-after", [&choice](unsigned long count) { choice.simUnplugAfter = count; },
         "Pull the simulated logger out after N sector reads and writes")
      ->type_name("N")
      ->needs(simulate);
  app.add_flag("--sim-plain", choice.simPlain,
               "The simulated drive is an ordinary drive without the logger's signature")
      ->needs(simulate);
}

bool ReplaceSimulatedImage(const std::string& path, const std::string& bytes,
                           const DriveProblem& problem, std::string& error) {
#ifndef _WIN32
  // A program using the image holds its lock and saves into that file:
  // replacing it underneath would lose that program's writes, so wait for it.
  struct stat target {};
  int lock = -1;
  if (::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
    lock = LockImage(path, problem, error);
    if (lock < 0) return false;
  }
  const bool written = WriteFileReplacing(path, bytes, error);
  if (lock >= 0) ::close(lock);
  return written;
#else
  (void)problem;
  return WriteFileReplacing(path, bytes, error);
#endif
}

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

std::unique_ptr<DriveEnumerator> MakeDriveEnumerator(const DriveChoice& choice,
                                                     const DriveProblem& problem) {
  std::shared_ptr<UnitSetup> setup;
  {
    std::lock_guard lock(setupsMutex);
    setup = setups[&choice].lock();
    if (!setup) {
      setup = NewSetup(choice, problem);
      setups[&choice] = setup;
    }
  }
  if (setup->failed) return nullptr;
  std::unique_ptr<DriveEnumerator> drives;
  if (choice.simulate) {
    auto simulated = std::make_unique<SimulatedDrives>();
    if (setup->device) simulated->Add(kSimulatedDriveRoot, setup->device);
    drives = std::move(simulated);
  } else {
#ifdef _WIN32
    drives = std::make_unique<WindowsDriveEnumerator>(SystemWinApi());
#else
    drives = SysBlockDriveEnumerator::FromEnvironment();
#endif
  }
  if (setup->trace) {
    drives = std::make_unique<TracingDriveEnumerator>(std::move(drives), setup->trace);
  }
  return std::make_unique<ChosenDrives>(std::move(drives), std::move(setup));
}

}  // namespace yelvane
