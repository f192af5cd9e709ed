// The same two workbooks written directly with libxlsxwriter, no engine in
// between: the yardstick for the engine's cost.
//   bench_workbook_direct --benchmark_filter=DirectNoCharts3000
//   bench_workbook_direct --benchmark_filter=DirectCharts256
//   bench_workbook_direct --benchmark_filter=DirectCharts3000
// scripts/bench-workbook runs them side by side, with their peak memory.

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>

#include "activity/ChartSeries.h"
#include "bench_workbook_data.h"
#include "common/TempFolder.h"

namespace yelvane {
namespace {

constexpr const char* kFont = "Lucida Sans Unicode";

struct Formats {
  lxw_workbook* book;
  // size, bold, border, fill (0 none), text format
  std::map<std::tuple<int, bool, bool, uint32_t, bool>, lxw_format*> cache;
  lxw_format* Get(int size, bool bold = false, bool border = false, uint32_t fill = 0,
                  bool text = false) {
    auto& f = cache[{size, bold, border, fill, text}];
    if (!f) {
      f = workbook_add_format(book);
      format_set_font_name(f, kFont);
      format_set_font_size(f, size);
      format_set_align(f, LXW_ALIGN_LEFT);
      if (bold) format_set_bold(f);
      if (border) {
        format_set_border(f, LXW_BORDER_THIN);
        format_set_border_color(f, LXW_COLOR_BLACK);
      }
      if (fill) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, fill);
      }
      if (text) format_set_num_format(f, "@");
    }
    return f;
  }
};

void WriteReportSheet(lxw_worksheet* ws, Formats& f, const SessionTable& table) {
  static constexpr double kWidths[12] = {13, 10, 7, 10, 18, 18, 2, 10, 7, 10, 18, 18};
  for (lxw_col_t c = 0; c < 12; ++c)
    worksheet_set_column(ws, c, c, kWidths[c], f.Get(10, false, false, 0, c == 1 || c == 7));
  worksheet_set_column(ws, 12, 16383, LXW_DEF_COL_WIDTH, f.Get(9));
  worksheet_gridlines(ws, LXW_HIDE_ALL_GRIDLINES);
  worksheet_merge_range(ws, 0, 0, 0, 11, "PET'S DATA REPORT", f.Get(16, true));
  const char* labels[3] = {"Pet Name:", "Pet Owner:", "Pet Location:"};
  const char* values[3] = {"Rex", "Ann", "Garden"};
  for (lxw_row_t r = 1; r <= 3; ++r) {
    worksheet_write_string(ws, r, 0, labels[r - 1], f.Get(11, false, true));
    worksheet_merge_range(ws, r, 1, r, 4, values[r - 1], f.Get(11, false, true, 0, true));
  }
  const int n = table.RowCount();
  worksheet_merge_range(ws, 4, 1, 4, 5, "BARKING", f.Get(12, true, true, 0xCCFFCC, true));
  worksheet_merge_range(ws, 4, 7, 4, 11, "ACTIVITY", f.Get(12, true, true, 0x99CCFF, true));
  worksheet_write_blank(ws, 4, 0, f.Get(12, true, true));
  for (int c = 0; c < kSessionColumns; ++c) {
    const lxw_col_t col = static_cast<lxw_col_t>(c < 6 ? c : c + 1);
    const uint32_t fill = c == 0 ? 0xFFFF99 : c < 6 ? 0xCCFFCC : 0x99CCFF;
    worksheet_write_string(ws, 5, col, table.HeaderText(c, kHeaderBufferSize).c_str(),
                           f.Get(10, true, true, fill, col == 1 || col == 7));
  }
  for (int r = 0; r < n; ++r) {
    const lxw_row_t row = static_cast<lxw_row_t>(r + 6);
    for (int c = 0; c < kSessionColumns; ++c) {
      const lxw_col_t col = static_cast<lxw_col_t>(c < 6 ? c : c + 1);
      const uint32_t fill = c == 0 ? 0xFFFF99 : c < 6 ? 0xCCFFCC : 0x99CCFF;
      const bool text = col == 1 || col == 7;
      const std::string cell = table.CellText(r, c, kCellBufferSize);
      lxw_format* format = f.Get(10, false, true, fill, text);
      char* end = nullptr;
      const double number = std::strtod(cell.c_str(), &end);
      if (!text && !cell.empty() && *end == '\0')
        worksheet_write_number(ws, row, col, number, format);
      else
        worksheet_write_string(ws, row, col, cell.c_str(), format);
    }
  }
  worksheet_set_landscape(ws);
  worksheet_fit_to_pages(ws, 1, 0);
  worksheet_repeat_rows(ws, 4, 5);
  worksheet_activate(ws);
}

void WriteSessionSheet(lxw_workbook* book, lxw_worksheet* ws, Formats& f, int s,
                       const ChartSeries& series) {
  worksheet_set_column(ws, 0, 16383, LXW_DEF_COL_WIDTH, f.Get(9));
  worksheet_set_row(ws, 0, 15.75, f.Get(12, true));
  worksheet_gridlines(ws, LXW_HIDE_ALL_GRIDLINES);
  const std::string name = Format("Session%d", s);
  worksheet_write_string(ws, 0, 0, Format("THE PLOT GRAPHIC FOR SESSION%d.", s).c_str(),
                         f.Get(12, true));
  const std::string title = Format("Session%d plot graphic", s);
  worksheet_write_string(ws, 2, 0, title.c_str(), f.Get(9));
  worksheet_set_selection(ws, 2, 0, 2, 0);
  worksheet_write_blank(ws, 3, 0, f.Get(9, false, true));
  worksheet_write_string(ws, 3, 1, "Bark", f.Get(9, false, true));
  worksheet_write_string(ws, 3, 2, "Activity", f.Get(9, false, true));
  const int k = static_cast<int>(series.labels.size());
  for (int i = 0; i < k && i < 2000; ++i) {
    const lxw_row_t row = static_cast<lxw_row_t>(4 + i);
    worksheet_write_string(ws, row, 0, series.labels[static_cast<std::size_t>(i)].c_str(),
                           f.Get(9, false, true));
    worksheet_write_number(ws, row, 1, series.bark[static_cast<std::size_t>(i)],
                           f.Get(9, false, true));
    worksheet_write_number(ws, row, 2, series.activity[static_cast<std::size_t>(i)],
                           f.Get(9, false, true));
  }
  lxw_chart* chart = workbook_add_chart(book, LXW_CHART_LINE);
  const lxw_row_t last = static_cast<lxw_row_t>(3 + k);
  for (lxw_col_t c = 1; c <= 2; ++c) {
    lxw_chart_series* se = chart_add_series(chart, nullptr, nullptr);
    chart_series_set_categories(se, name.c_str(), 4, 0, last, 0);
    chart_series_set_values(se, name.c_str(), 4, c, last, c);
    chart_series_set_name_range(se, name.c_str(), 3, c);
  }
  lxw_chart_font font{};
  font.name = const_cast<char*>(kFont);
  chart_legend_set_font(chart, &font);
  chart_axis_set_num_font(chart->x_axis, &font);
  chart_axis_set_num_font(chart->y_axis, &font);
  font.bold = 1;
  chart_title_set_name(chart, title.c_str());
  chart_title_set_name_font(chart, &font);
  chart_axis_set_name(chart->x_axis, "Time");
  chart_axis_set_name_font(chart->x_axis, &font);
  chart_axis_set_name(chart->y_axis, "Bark/Activity");
  chart_axis_set_name_font(chart->y_axis, &font);
  worksheet_set_landscape(ws);
  lxw_chart_options place{};
  place.x_scale = 640.0 / 480;  // 480 x 320 points
  place.y_scale = 427.0 / 288;
  worksheet_insert_chart_opt(ws, 2, 4, chart, &place);
}

void Direct(benchmark::State& state, int sessions, bool charts) {
  const TempFolder folder;
  const std::string dir = folder.Str();
  MemorySessionTable table;
  bench::FillTable(table, sessions);
  const std::string dump = bench::WriteDump(dir);
  const std::string path = dir + "/direct.xlsx";
  for (auto _ : state) {
    lxw_workbook* book = workbook_new(path.c_str());
    Formats f{book, {}};
    // Same sheet order as the application gives: the last session first.
    if (charts) {
      std::FILE* file = std::fopen(dump.c_str(), "rb");
      std::vector<lxw_worksheet*> sheets;
      for (int s = sessions; s >= 1; --s)
        sheets.push_back(workbook_add_worksheet(book, Format("Session%d", s).c_str()));
      ChartSeries series;
      for (int s = 1; s <= sessions; ++s) {
        LoadSessionChart(table, s, file, series);
        WriteSessionSheet(book, sheets[static_cast<std::size_t>(sessions - s)], f, s, series);
      }
      std::fclose(file);
    }
    WriteReportSheet(workbook_add_worksheet(book, "PET'S DATA REPORT"), f, table);
    if (workbook_close(book) != LXW_NO_ERROR) state.SkipWithError("not saved");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

void DirectNoCharts3000(benchmark::State& state) {
  Direct(state, 3000, false);
}
void DirectCharts256(benchmark::State& state) {
  Direct(state, 256, true);
}
// The full logger: 3000 rows and 3000 session sheets with their charts.
void DirectCharts3000(benchmark::State& state) {
  Direct(state, 3000, true);
}

BENCHMARK(DirectNoCharts3000)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectCharts256)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectCharts3000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace yelvane

BENCHMARK_MAIN();
