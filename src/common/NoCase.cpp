#include "common/NoCase.h"

#include <filesystem>

namespace yelvane {
namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && EndsWithNoCase(a, b);
}

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  name.remove_prefix(name.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (LowerAscii(name[i]) != LowerAscii(suffix[i])) return false;
  return true;
}

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = LowerAscii(c);
  return extension;
}

}  // namespace yelvane
