#include "common/FileReplace.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/Format.h"

namespace yelvane {

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) {
    error = Format("Cannot write \"%s\": it is a folder.", path.c_str());
    return false;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static std::atomic<unsigned> counter{0};
  fs::path temp;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder / Format(".%s.%u.%u.tmp", target.filename().string().c_str(),
                           static_cast<unsigned>(fs::hash_value(target) & 0xFFFF), counter++);
    if (!fs::exists(temp, ec)) break;
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = Format("Cannot write \"%s\": %s", path.c_str(), std::strerror(errno));
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      const std::string reason = std::strerror(errno);
      fs::remove(temp, ec);
      error = Format("Cannot write \"%s\": %s", path.c_str(), reason.c_str());
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    const std::string reason = ec.message();
    fs::remove(temp, ec);
    error = Format("Cannot write \"%s\": %s", path.c_str(), reason.c_str());
    return false;
  }
  error.clear();
  return true;
}

}  // namespace yelvane
