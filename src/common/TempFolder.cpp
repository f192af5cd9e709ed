#include "common/TempFolder.h"

#include <atomic>
#include <chrono>
#include <random>
#include <system_error>

#include "common/Format.h"

namespace yelvane {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  // create_directory fails on a name that exists: the folder is ours alone.
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path candidate = base / Format("yelvane-%x-%lx-%u", std::random_device{}(),
                                       static_cast<unsigned long>(stamp), counter++);
    if (fs::create_directory(candidate, ec) && !ec) path_ = candidate;
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

}  // namespace yelvane
