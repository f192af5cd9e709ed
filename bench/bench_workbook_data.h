#pragma once

// The two workbooks the benchmarks write: a 3000-session report sheet
// without charts, and 256 sessions of 48 half-hour labels with their chart
// sheets. Shared by the engine benchmark and the direct libxlsxwriter one.

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "activity/SessionTable.h"
#include "common/Format.h"

namespace yelvane::bench {

// `rows` sessions, one a day, each 23.5 hours long: 47 half-hour samples,
// so 48 time labels per chart.
inline void FillTable(MemorySessionTable& table, int rows) {
  table.DeleteAllRows();
  for (int r = 0; r < rows; ++r) {
    table.InsertRow(r);
    const int day = r % 28 + 1, month = r / 28 % 12 + 1, year = 11 + r / 336;
    const std::string start = Format("%02d-%02d-20%02d 08:00PM", month, day, year);
    const std::string end =
        Format("%02d-%02d-20%02d 07:30PM", month, day == 28 ? 1 : day + 1, year);
    const std::string cells[kSessionColumns] = {std::to_string(r + 1),
                                                "23:30",
                                                std::to_string(100 + r % 50),
                                                std::to_string(4 + r % 9),
                                                start,
                                                end,
                                                "23:30",
                                                std::to_string(2000 + r),
                                                std::to_string(85 + r % 30),
                                                start,
                                                end};
    for (int c = 0; c < kSessionColumns; ++c) table.SetCellText(r, c, cells[c]);
  }
}

// A dump whose sample area holds small counts.
inline std::string WriteDump(const std::string& dir) {
  std::string bytes(0x50000, '\0');
  std::mt19937 random(7);
  for (std::size_t i = 0x30000; i < bytes.size(); i += 2)
    bytes[i] = static_cast<char>(random() % 60);
  const std::string path = dir + "/dump.bin";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

}  // namespace yelvane::bench
