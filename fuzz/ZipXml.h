#pragma once

// Reads a workbook back: the entries of its zip container (stored or
// deflated, through zlib) and a well-formedness check of each XML part
// (libxml2, never fetching anything).

#include <libxml/parser.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace yelvane::fuzz {

inline uint32_t Le(const std::vector<uint8_t>& b, std::size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

// Name -> contents of every entry; false when the container is damaged.
inline bool ReadZip(const std::vector<uint8_t>& zip, std::map<std::string, std::string>& entries) {
  constexpr std::size_t kEndSize = 22;
  if (zip.size() < kEndSize) return false;
  std::size_t end = zip.size() - kEndSize;
  while (Le(zip, end, 4) != 0x06054b50) {
    if (end == 0) return false;
    --end;
  }
  const std::size_t count = Le(zip, end + 10, 2);
  std::size_t at = Le(zip, end + 16, 4);
  for (std::size_t n = 0; n < count; ++n) {
    if (at + 46 > zip.size() || Le(zip, at, 4) != 0x02014b50) return false;
    const uint32_t method = Le(zip, at + 10, 2);
    const std::size_t packed = Le(zip, at + 20, 4), size = Le(zip, at + 24, 4);
    const std::size_t nameLength = Le(zip, at + 28, 2);
    const std::size_t skip = nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    const std::size_t local = Le(zip, at + 42, 4);
    if (at + 46 + nameLength > zip.size() || local + 30 > zip.size()) return false;
    const std::string name(zip.begin() + static_cast<long>(at + 46),
                           zip.begin() + static_cast<long>(at + 46 + nameLength));
    const std::size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    if (data + packed > zip.size()) return false;
    std::string out(size, '\0');
    if (method == 0) {
      if (packed != size) return false;
      out.assign(zip.begin() + static_cast<long>(data),
                 zip.begin() + static_cast<long>(data + size));
    } else if (method == 8 && size > 0) {
      z_stream z{};
      if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
      z.next_in = const_cast<Bytef*>(zip.data() + data);
      z.avail_in = static_cast<uInt>(packed);
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(size);
      const int status = inflate(&z, Z_FINISH);
      inflateEnd(&z);
      if (status != Z_STREAM_END || z.total_out != size) return false;
    } else if (method != 8) {
      return false;
    }
    entries[name] = out;
    at += 46 + skip;
  }
  return true;
}

inline void IgnoreXmlError(void*, const char*, ...) {}

// True when `xml` is a well-formed document.
inline bool WellFormedXml(const std::string& xml) {
  static const bool quiet = [] {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
    return true;
  }();
  (void)quiet;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) return false;
  xmlFreeDoc(doc);
  return true;
}

}  // namespace yelvane::fuzz
