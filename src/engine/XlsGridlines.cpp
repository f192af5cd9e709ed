#include "engine/XlsGridlines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/Format.h"

namespace yelvane {

namespace {

// The compound file (the container of a 97-2003 workbook): a 512-byte
// header, then sectors chained through the sector allocation table (FAT).
constexpr std::size_t kHeaderSize = 512;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kSectorShiftAt = 0x1E;
constexpr std::size_t kMiniSectorShiftAt = 0x20;
constexpr std::size_t kFirstDirectorySectorAt = 0x30;
constexpr std::size_t kMiniStreamCutoffAt = 0x38;  // smaller streams live in the mini stream
constexpr std::size_t kFirstMiniFatSectorAt = 0x3C;
constexpr std::size_t kFirstDifatSectorAt = 0x44;
constexpr std::size_t kHeaderDifatAt = 0x4C;  // the first 109 FAT sector numbers
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr unsigned kMinSectorShift = 7;
constexpr unsigned kMaxSectorShift = 16;
// Sector numbers from here up mark free sectors and chain ends.
constexpr uint32_t kFirstSpecialSector = 0xFFFFFFFA;

// Directory entries: 128 bytes each.
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kEntryNameBytes = 64;  // UTF-16, zero-terminated
constexpr std::size_t kEntryNameLengthAt = 64;
constexpr std::size_t kEntryTypeAt = 66;
constexpr std::size_t kEntryStartSectorAt = 116;
constexpr std::size_t kEntryStreamSizeAt = 120;
constexpr uint8_t kEntryStream = 2;
constexpr uint8_t kEntryRoot = 5;

// The workbook stream: records of a 2-byte type and a 2-byte length.
constexpr std::size_t kRecordHeaderSize = 4;
constexpr uint16_t kRecordBof = 0x0809;
constexpr uint16_t kRecordEof = 0x000A;
constexpr uint16_t kRecordBoundSheet = 0x0085;  // a sheet's name and the offset of its BOF
constexpr uint16_t kRecordWindow2 = 0x023E;     // a sheet's window options
constexpr uint8_t kWindow2ShowGridlines = 0x02;

uint16_t Get16(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

bool HideGridlinesInXls(const std::string& path, const std::vector<bool>& hidden,
                        std::string& error) {
  std::vector<uint8_t> file;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = Format("cannot read %s", path.c_str());
      return false;
    }
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (file.size() < kHeaderSize || std::memcmp(file.data(), kSignature, sizeof kSignature) != 0) {
    error = "not a compound document";
    return false;
  }
  const unsigned sectorShift = Get16(file, kSectorShiftAt);
  const unsigned miniShift = Get16(file, kMiniSectorShiftAt);
  if (sectorShift < kMinSectorShift || sectorShift > kMaxSectorShift || miniShift > sectorShift) {
    error = "bad compound document header";
    return false;
  }
  const std::size_t sectorSize = std::size_t{1} << sectorShift;
  const std::size_t miniSize = std::size_t{1} << miniShift;
  const std::size_t perSector = sectorSize / 4;  // sector numbers in one sector
  // Sector 0 follows the header, which takes one sector's room.
  auto sectorOffset = [&](uint32_t s) { return (static_cast<std::size_t>(s) + 1) * sectorSize; };
  auto validSector = [&](uint32_t s) { return sectorOffset(s) + sectorSize <= file.size(); };
  // No chain or table of sectors is longer than the file has sectors: a
  // damaged file whose chains loop ends there instead of growing without end.
  const std::size_t fileSectors = file.size() / sectorSize;

  // The FAT, from the header's DIFAT entries and the DIFAT chain (each of its
  // sectors ends with the number of the next one).
  std::vector<uint32_t> fatSectors;
  auto addFatSector = [&](uint32_t s) {
    if (validSector(s) && fatSectors.size() < fileSectors) fatSectors.push_back(s);
  };
  for (std::size_t i = 0; i < kHeaderDifatEntries; ++i)
    addFatSector(Get32(file, kHeaderDifatAt + i * 4));
  uint32_t difat = Get32(file, kFirstDifatSectorAt);
  for (std::size_t guard = 0;
       difat < kFirstSpecialSector && validSector(difat) && guard < fileSectors; ++guard) {
    const std::size_t base = sectorOffset(difat);
    for (std::size_t i = 0; i + 1 < perSector; ++i) addFatSector(Get32(file, base + i * 4));
    difat = Get32(file, base + (perSector - 1) * 4);
  }
  std::vector<uint32_t> fat;
  for (uint32_t s : fatSectors) {
    if (!validSector(s)) continue;
    for (std::size_t i = 0; i < perSector; ++i) fat.push_back(Get32(file, sectorOffset(s) + i * 4));
  }
  auto chain = [&](uint32_t start) {
    std::vector<uint32_t> sectors;
    while (start < fat.size() && validSector(start) && sectors.size() < fileSectors) {
      sectors.push_back(start);
      start = fat[start];
    }
    return sectors;
  };

  // The directory: find the workbook stream and the root (mini stream).
  const auto dirSectors = chain(Get32(file, kFirstDirectorySectorAt));
  uint32_t wbStart = 0, rootStart = 0;
  uint64_t wbSize = 0;
  bool found = false;
  for (uint32_t s : dirSectors) {
    for (std::size_t e = 0; e < sectorSize / kDirectoryEntrySize; ++e) {
      const std::size_t at = sectorOffset(s) + e * kDirectoryEntrySize;
      const uint16_t nameLen = Get16(file, at + kEntryNameLengthAt);
      const uint8_t type = file[at + kEntryTypeAt];
      std::string name;  // ASCII names only: every second byte
      for (std::size_t i = 0; i + 2 < nameLen && i < kEntryNameBytes; i += 2)
        name += static_cast<char>(file[at + i]);
      if (type == kEntryRoot) rootStart = Get32(file, at + kEntryStartSectorAt);
      if (type == kEntryStream && (name == "Workbook" || name == "Book")) {
        wbStart = Get32(file, at + kEntryStartSectorAt);
        wbSize = Get32(file, at + kEntryStreamSizeAt);
        found = true;
      }
    }
  }
  if (!found) {
    error = "no workbook stream";
    return false;
  }
  // File offset of every byte of the stream, kept as one offset per chunk.
  std::vector<std::size_t> chunks;
  std::size_t chunkSize = sectorSize;
  if (wbSize < Get32(file, kMiniStreamCutoffAt)) {
    chunkSize = miniSize;
    const auto rootSectors = chain(rootStart);
    std::vector<uint32_t> miniFat;
    for (uint32_t s : chain(Get32(file, kFirstMiniFatSectorAt))) {
      for (std::size_t i = 0; i < perSector; ++i)
        miniFat.push_back(Get32(file, sectorOffset(s) + i * 4));
    }
    for (uint32_t m = wbStart; m < miniFat.size() && chunks.size() <= miniFat.size();
         m = miniFat[m]) {
      const std::size_t inRoot = static_cast<std::size_t>(m) * miniSize;
      const std::size_t rs = inRoot / sectorSize;
      if (rs >= rootSectors.size()) break;
      chunks.push_back(sectorOffset(rootSectors[rs]) + inRoot % sectorSize);
    }
  } else {
    for (uint32_t s : chain(wbStart)) chunks.push_back(sectorOffset(s));
  }
  const std::size_t size = std::min<std::size_t>(wbSize, chunks.size() * chunkSize);
  auto at = [&](std::size_t off) -> uint8_t& {
    return file[chunks[off / chunkSize] + off % chunkSize];
  };
  auto read16 = [&](std::size_t off) {
    return static_cast<uint16_t>(at(off) | (at(off + 1) << 8));
  };
  auto read32 = [&](std::size_t off) {
    return static_cast<uint32_t>(read16(off)) | (static_cast<uint32_t>(read16(off + 2)) << 16);
  };

  // Walk the records: BOUNDSHEET gives each sheet's BOF offset in tab order;
  // WINDOW2 at the top level of a sheet carries the gridline flag.
  std::vector<uint32_t> sheetBof;
  int depth = 0;
  int sheet = -1;
  for (std::size_t pos = 0; pos + kRecordHeaderSize <= size;) {
    const uint16_t type = read16(pos);
    const uint16_t len = read16(pos + 2);
    const std::size_t body = pos + kRecordHeaderSize;
    if (body + len > size) break;
    if (type == kRecordBof) {
      if (depth == 0) {
        const auto it = std::find(sheetBof.begin(), sheetBof.end(), static_cast<uint32_t>(pos));
        sheet = it == sheetBof.end() ? -1 : static_cast<int>(it - sheetBof.begin());
      }
      ++depth;
    } else if (type == kRecordEof) {
      if (depth > 0) --depth;
    } else if (type == kRecordBoundSheet && depth == 1 && sheet < 0 && len >= 4) {
      sheetBof.push_back(read32(body));
    } else if (type == kRecordWindow2 && depth == 1 && sheet >= 0 && len >= 2) {
      if (static_cast<std::size_t>(sheet) < hidden.size() &&
          hidden[static_cast<std::size_t>(sheet)]) {
        at(body) = static_cast<uint8_t>(at(body) & ~kWindow2ShowGridlines);
      }
    } else if (type == 0 && len == 0 && depth == 0) {
      break;  // padding after the last substream
    }
    pos = body + len;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    error = Format("cannot write %s", path.c_str());
    return false;
  }
  return true;
}

}  // namespace yelvane
