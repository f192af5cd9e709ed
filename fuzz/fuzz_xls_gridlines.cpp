// libFuzzer target for the .xls gridline fix. The first input byte says
// which of the first eight sheets have hidden gridlines; the rest is the
// compound file. The fix may only clear the gridline bit, keeps the file's
// size, leaves a file it refuses untouched, and changes nothing when run
// a second time.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "engine/XlsGridlines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<bool> hidden;
  for (int i = 0; i < 8; ++i) hidden.push_back((data[0] >> i) & 1);
  const std::vector<uint8_t> before(data + 1, data + size);
  const yelvane::fuzz::MemoryFile file(before.data(), before.size());

  std::string error;
  const bool ok = yelvane::HideGridlinesInXls(file.Path(), hidden, error);
  const std::vector<uint8_t> after = file.Bytes();
  if (ok != error.empty() || after.size() != before.size()) std::abort();
  bool changed = false;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (after[i] == before[i]) continue;
    if (!ok || after[i] != (before[i] & ~0x02)) std::abort();
    changed = true;
  }
  if (!ok) return 0;

  std::string again;
  if (!yelvane::HideGridlinesInXls(file.Path(), hidden, again) || file.Bytes() != after)
    std::abort();
  // Nothing hidden: nothing to change.
  if (changed && data[0] == 0) std::abort();
  return 0;
}
