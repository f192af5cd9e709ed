#pragma once

// RFC 4180 comma-separated values of the session table and of one session's
// half-hour series: UTF-8 without a byte-order mark, every line ended by
// "\r\n", a field quoted only when it holds a comma, a double quote or a line
// break. Made from the table's texts, like the text report.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "activity/ChartSeries.h"
#include "activity/SessionTable.h"

namespace yelvane {

inline constexpr const char* kCsvReportHeader =
    "Session,Bark Duration,Bark Total,Bark Rate/Hour,Bark Start,Bark End,Activity Duration,"
    "Activity Total,Activity Rate/Hour,Activity Start,Activity End";
inline constexpr const char* kCsvSeriesHeader = "Time,Bark,Activity";

// One field: as it is, or in double quotes with its quotes doubled.
std::string CsvField(std::string_view text);
// The fields joined by commas, with "\r\n".
std::string CsvLine(const std::vector<std::string>& fields);

// Called after each row line is built, with the row index (from 0).
using CsvRowHook = std::function<void(int row)>;

// The header line, then one line of eleven cells per table row.
std::string BuildCsvReport(const SessionTable& table, const CsvRowHook& onRow = {});
// BuildCsvReport, then WriteFileReplacing.
bool WriteCsvReport(const std::string& path, const SessionTable& table, std::string& error,
                    const CsvRowHook& onRow = {});

// "Time,Bark,Activity", then one line per label: the label and the counts at
// it (0 where a series is shorter than the labels).
std::string BuildSeriesCsv(const ChartSeries& series);

}  // namespace yelvane
