#include "engine/LibreOffice.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "common/Format.h"
#include "common/TempFolder.h"

namespace yelvane {

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
bool IsExecutable(const std::string& path) {
  return !path.empty() && access(path.c_str(), X_OK) == 0 && !fs::is_directory(path);
}

std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  for (unsigned char ch : path) {
    if (std::isalnum(ch) || std::strchr("/._-~", ch))
      url += static_cast<char>(ch);
    else
      url += Format("%%%02X", ch);
  }
  return url;
}
#endif

}  // namespace

std::string FindLibreOffice(const std::string& preferred) {
#ifdef _WIN32
  (void)preferred;
  return {};
#else
  if (!preferred.empty()) return IsExecutable(preferred) ? preferred : std::string();
  if (const char* env = std::getenv("YELVANE_SOFFICE"); env && *env)
    return IsExecutable(env) ? std::string(env) : std::string();
  if (const char* pathVar = std::getenv("PATH")) {
    std::string dirs = pathVar;
    std::size_t start = 0;
    while (start <= dirs.size()) {
      const std::size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string dir = dirs.substr(start, end - start);
      for (const char* name : {"soffice", "libreoffice"}) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (IsExecutable(candidate)) return candidate;
      }
      start = end + 1;
    }
  }
  for (const char* candidate :
       {"/usr/lib/libreoffice/program/soffice", "/opt/libreoffice/program/soffice",
        "/Applications/LibreOffice.app/Contents/MacOS/soffice"}) {
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
#endif
}

std::string ConvertWithLibreOffice(const std::string& soffice, const std::string& source,
                                   const std::string& filter, const std::string& extension,
                                   const std::string& outDir, int timeoutSeconds,
                                   std::string& error, int memoryLimitMB) {
#ifdef _WIN32
  (void)soffice, (void)source, (void)filter, (void)extension, (void)outDir, (void)timeoutSeconds;
  (void)memoryLimitMB;
  error = "LibreOffice conversion is not available here";
  return {};
#else
  TempFolder profile;
  if (!profile.Ok()) {
    error = "cannot create a temporary folder";
    return {};
  }
  // Its own profile folder (two conversions sharing one hand work to each
  // other) and its own HOME, so nothing lands in the user's folders.
  const std::string profileDir = fs::absolute(profile.Path() / "profile").string();
  std::vector<std::string> args = {soffice,         "-env:UserInstallation=" + FileUrl(profileDir),
                                   "--headless",    "--norestore",
                                   "--nolockcheck", "--convert-to",
                                   filter,          "--outdir",
                                   outDir,          source};
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "HOME=", 5) != 0) env.emplace_back(*e);
  }
  env.push_back("HOME=" + profile.Path().string());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  // fork and exec rather than posix_spawn: the child takes its memory limit
  // before LibreOffice starts (each helper it starts inherits it).
  // Only async-signal-safe calls between the two.
  const rlim_t memoryBytes = static_cast<rlim_t>(memoryLimitMB) << 20;
  const pid_t pid = fork();
  if (pid < 0) {
    error = Format("cannot start LibreOffice (%s): %s", soffice.c_str(), std::strerror(errno));
    return {};
  }
  if (pid == 0) {
    setpgid(0, 0);  // its own group, so a stuck one is killed whole
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    if (memoryLimitMB > 0) {
      const struct rlimit limit = {memoryBytes, memoryBytes};
      setrlimit(RLIMIT_AS, &limit);
    }
    execve(soffice.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  setpgid(pid, pid);  // also from here: whichever runs first
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  bool finished = false;
  while (!finished) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) {
      finished = true;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!finished) {
    kill(-pid, SIGKILL);  // the whole group: soffice may have started helpers
    waitpid(pid, &status, 0);
    error = Format("LibreOffice did not finish the conversion within %d seconds", timeoutSeconds);
    return {};
  }
  const fs::path produced = fs::path(outDir) / (fs::path(source).stem().string() + "." + extension);
  std::error_code ec;
  if (!fs::exists(produced, ec)) {
    // One sheet to CSV comes out as "<name>-<sheet name>.csv".
    const std::string prefix = fs::path(source).stem().string() + "-";
    for (const auto& entry : fs::directory_iterator(outDir, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0 && entry.path().extension() == "." + extension)
        return entry.path().string();
    }
  }
  if (!fs::exists(produced, ec)) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
      error = Format("cannot start LibreOffice (%s)", soffice.c_str());
    } else if (memoryLimitMB > 0 && (WIFSIGNALED(status) || WEXITSTATUS(status) != 0)) {
      // Past its limit an allocation fails, and LibreOffice aborts or exits.
      error = Format(
          "LibreOffice stopped without converting the workbook (%s %d); it may have needed "
          "more than its memory limit of %d MB",
          WIFSIGNALED(status) ? "signal" : "exit status",
          WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status), memoryLimitMB);
    } else {
      error = Format("LibreOffice could not convert the workbook (exit status %d)",
                     WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return {};
  }
  return produced.string();
#endif
}

}  // namespace yelvane
