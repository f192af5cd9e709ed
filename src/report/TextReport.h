#pragma once

// The fixed-width text report: the session table as the view shows it,
// headed by the pet information. Built from the table's texts (header
// titles and cells), so it always matches the screen.

#include <functional>
#include <string>

#include "activity/PetInfo.h"
#include "activity/SessionTable.h"
#include "common/FileReplace.h"

namespace yelvane {

struct TextReportColumn {
  const char* group;  // "BARKING" / "ACTIVITY" above the first column of a half
  int width;
};

inline constexpr TextReportColumn kTextReportColumns[kSessionColumns] = {
    {"", 7},         {"BARKING", 8}, {"", 5}, {"", 9},  {"", 18}, {"", 18},
    {"ACTIVITY", 8}, {"", 5},        {"", 9}, {"", 18}, {"", 18}};

// Called after each row line is built, with the row index (from 0), so a
// caller can show "Session: %d" and the progress (r + 1) * 100 / rows.
using TextReportRowHook = std::function<void(int row)>;

// The bytes of the report; every line ends with "\r\n".
std::string BuildTextReport(const SessionTable& table, const PetInfo& pet,
                            const TextReportRowHook& onRow = {});

// `text` padded with blanks to `width` characters (UTF-8 letters count one
// each), never cut, followed by two blanks.
std::string PadCell(const std::string& text, int width);

// BuildTextReport, then WriteFileReplacing.
bool WriteTextReport(const std::string& path, const SessionTable& table, const PetInfo& pet,
                     std::string& error, const TextReportRowHook& onRow = {});

}  // namespace yelvane
