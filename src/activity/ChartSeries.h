#pragma once

// The half-hour series of one session, read from the dump's sample area.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "activity/SessionTable.h"

namespace yelvane {

struct ChartSeries {
  std::vector<std::string> labels;  // time axis: start, every half hour, end
  std::vector<uint16_t> bark;       // item 0 is 0, item j the j-th half hour
  std::vector<uint16_t> activity;
};

// Byte length of session row n's samples (n from 1); 0 when n is out of range.
int SessionSampleBytes(const SessionTable& table, int n);

// Loads row n's labels and series from the dump opened by the caller; leaves
// `series` unchanged when n is out of range.
void LoadSessionChart(const SessionTable& table, int n, std::FILE* dumpFile, ChartSeries& series);

// Unit address of every row's first sample (row n at index n - 1), in one
// pass: a caller loading all rows avoids summing the earlier rows each time.
std::vector<int64_t> SessionSampleAddresses(const SessionTable& table);

// The same from a dump in memory: `size` bytes from unit address 0x10000
// (the bytes a read has just copied); samples past `size` read as 0.
void LoadSessionChart(const SessionTable& table, int n, const uint8_t* dump, std::size_t size,
                      ChartSeries& series);

// LoadSessionChart with row n's sample address already known (from
// SessionSampleAddresses); the same results.
void LoadSessionChartAt(const SessionTable& table, int n, int64_t address, std::FILE* dumpFile,
                        ChartSeries& series);

}  // namespace yelvane
