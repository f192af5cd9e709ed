#include "engine/WorkbookFile.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <system_error>
#include <thread>
#include <tuple>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "common/Format.h"

namespace yelvane {

namespace fs = std::filesystem;

namespace {

lxw_color_t LxwColor(uint32_t rgb) {
  return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

uint8_t LxwAlign(int value) {
  switch (value) {
    case 2:
    case -4131:
      return LXW_ALIGN_LEFT;
    case 3:
    case -4108:
      return LXW_ALIGN_CENTER;
    case 4:
    case -4152:
      return LXW_ALIGN_RIGHT;
    case 5:
      return LXW_ALIGN_FILL;
    case 6:
    case -4130:
      return LXW_ALIGN_JUSTIFY;
    case 7:
      return LXW_ALIGN_CENTER_ACROSS;
    case -4117:
      return LXW_ALIGN_DISTRIBUTED;
    default:
      return LXW_ALIGN_NONE;
  }
}

uint8_t LxwBorder(int style) {
  switch (style) {
    case kLineStyleNone:
      return LXW_BORDER_NONE;
    case -4115:
      return LXW_BORDER_DASHED;
    case 4:
      return LXW_BORDER_DASH_DOT;
    case 5:
      return LXW_BORDER_DASH_DOT_DOT;
    case -4118:
      return LXW_BORDER_DOTTED;
    case -4119:
      return LXW_BORDER_DOUBLE;
    case 13:
      return LXW_BORDER_SLANT_DASH_DOT;
    default:
      return LXW_BORDER_THIN;  // continuous and the application's other codes
  }
}

// Each distinct mix of font, alignment, border, fill and number format is
// one format object of the library, created once.
class FormatCache {
 public:
  explicit FormatCache(lxw_workbook* book) : book_(book) {}
  lxw_format* Get(const CellFormat& f) {
    auto it = cache_.find(f);
    if (it != cache_.end()) return it->second;
    lxw_format* format = workbook_add_format(book_);
    format_set_font_name(format, InternedText(f.fontName).c_str());
    format_set_font_size(format, f.fontSize);
    if (f.bold) format_set_bold(format);
    if (const uint8_t align = LxwAlign(f.hAlign)) format_set_align(format, align);
    if (f.borderStyle != kLineStyleNone) {
      format_set_border(format, LxwBorder(f.borderStyle));
      uint32_t rgb = 0;
      if (!PaletteColor(f.borderColor, rgb)) rgb = 0;
      format_set_border_color(format, LxwColor(rgb));
    }
    uint32_t fill = 0;
    if (PaletteColor(f.interior, fill)) {
      format_set_pattern(format, LXW_PATTERN_SOLID);
      format_set_bg_color(format, LxwColor(fill));
    }
    if (f.numberFormat != kTextGeneral)
      format_set_num_format(format, InternedText(f.numberFormat).c_str());
    cache_.emplace(f, format);
    return format;
  }

 private:
  lxw_workbook* book_;
  std::map<CellFormat, lxw_format*> cache_;
};

void SetChartFont(const ChartFont& model, lxw_chart_font& font) {
  font = lxw_chart_font{};
  font.name = model.name.empty() ? nullptr : const_cast<char*>(model.name.c_str());
  font.size = model.size;
  font.bold = model.bold > 0 ? 1 : 0;
}

bool HasFont(const ChartFont& f) {
  return !f.name.empty() || f.size > 0 || f.bold >= 0;
}

// A chart of the model, or null when it has no data to show.
lxw_chart* BuildChart(lxw_workbook* book, const ChartModel& model) {
  const auto source = model.sourceSheet.lock();
  if (!source || source->Deleted()) return nullptr;
  const CellRect& r = model.source;
  // Like the application: text (or nothing) in the top-left corner means the
  // first row names the series and the first column holds the categories.
  const CellValue* corner = source->ValueAt(r.row1, r.col1);
  const bool labels = !corner || !corner->isNumber;
  const bool byColumns = model.plotBy != 1;
  const int seriesFirst = (byColumns ? r.col1 : r.row1) + (labels ? 1 : 0);
  const int seriesLast = byColumns ? r.col2 : r.row2;
  const int pointFirst = (byColumns ? r.row1 : r.col1) + (labels ? 1 : 0);
  const int pointLast = byColumns ? r.row2 : r.col2;
  if (seriesFirst > seriesLast || pointFirst > pointLast) return nullptr;

  uint8_t type = LXW_CHART_COLUMN;
  switch (model.type) {
    case 4:
    case 65:
      type = LXW_CHART_LINE;
      break;
    case 57:
      type = LXW_CHART_BAR;
      break;
    case 5:
      type = LXW_CHART_PIE;
      break;
    case 1:
      type = LXW_CHART_AREA;
      break;
    case -4169:
      type = LXW_CHART_SCATTER;
      break;
    default:
      break;
  }
  lxw_chart* chart = workbook_add_chart(book, type);
  if (!chart) return nullptr;
  const char* sheet = source->Name().c_str();
  const lxw_row_t p1 = static_cast<lxw_row_t>(pointFirst - 1),
                  p2 = static_cast<lxw_row_t>(pointLast - 1);
  for (int s = seriesFirst; s <= seriesLast; ++s) {
    lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
    const auto idx = static_cast<lxw_col_t>(s - 1);
    if (byColumns) {
      if (labels) {
        chart_series_set_categories(series, sheet, p1, static_cast<lxw_col_t>(r.col1 - 1), p2,
                                    static_cast<lxw_col_t>(r.col1 - 1));
        chart_series_set_name_range(series, sheet, static_cast<lxw_row_t>(r.row1 - 1), idx);
      }
      chart_series_set_values(series, sheet, p1, idx, p2, idx);
    } else {
      const auto row = static_cast<lxw_row_t>(s - 1);
      if (labels) {
        chart_series_set_categories(series, sheet, static_cast<lxw_row_t>(r.row1 - 1),
                                    static_cast<lxw_col_t>(p1), static_cast<lxw_row_t>(r.row1 - 1),
                                    static_cast<lxw_col_t>(p2));
        chart_series_set_name_range(series, sheet, row, static_cast<lxw_col_t>(r.col1 - 1));
      }
      chart_series_set_values(series, sheet, row, static_cast<lxw_col_t>(p1), row,
                              static_cast<lxw_col_t>(p2));
    }
    // The library's line chart draws no markers unless asked: 65 is the line
    // with the application's automatic markers, 4 the plain line.
    if (model.type == 65) chart_series_set_marker_type(series, LXW_CHART_MARKER_AUTOMATIC);
    if (model.type == 4) chart_series_set_marker_type(series, LXW_CHART_MARKER_NONE);
  }
  lxw_chart_font font;
  if (model.hasTitle) {
    if (!model.title.empty()) chart_title_set_name(chart, model.title.c_str());
    if (HasFont(model.titleFont)) {
      SetChartFont(model.titleFont, font);
      if (model.titleFont.bold < 0) font.bold = 1;  // titles are bold by default
      chart_title_set_name_font(chart, &font);
    }
  } else {
    chart_title_off(chart);
  }
  if (!model.hasLegend) {
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
  } else if (HasFont(model.legendFont)) {
    SetChartFont(model.legendFont, font);
    chart_legend_set_font(chart, &font);
  }
  if (type != LXW_CHART_PIE) {
    const std::pair<const ChartAxis*, lxw_chart_axis*> axes[] = {{&model.category, chart->x_axis},
                                                                 {&model.value, chart->y_axis}};
    for (const auto& [axis, lxw] : axes) {
      if (axis->hasTitle) {
        chart_axis_set_name(lxw, axis->title.c_str());
        if (HasFont(axis->titleFont)) {
          SetChartFont(axis->titleFont, font);
          if (axis->titleFont.bold < 0) font.bold = 1;
          chart_axis_set_name_font(lxw, &font);
        }
      }
      if (HasFont(axis->tickFont)) {
        SetChartFont(axis->tickFont, font);
        chart_axis_set_num_font(lxw, &font);
      }
    }
  }
  return chart;
}

double RowHeight(int fontSize) {
  // Tall enough for the row's font, as the application sizes rows.
  return std::max(15.0, std::ceil(fontSize * 1.3 * 4.0) / 4.0);
}

void WriteWorksheet(lxw_workbook* book, lxw_worksheet* ws, const SheetModel& sheet,
                    FormatCache& formats) {
  const std::vector<CellRect> areas = sheet.FormattedAreas();
  // Rows and columns formatted as a whole (not just as part of the sheet).
  std::set<int> rows;
  std::set<int> columns;
  bool wholeSheet = false;
  for (const auto& a : areas) {
    if (a.AllRows() && a.AllColumns()) {
      wholeSheet = true;
    } else if (a.AllRows()) {
      for (int c = a.col1; c <= a.col2; ++c) columns.insert(c);
    } else if (a.AllColumns()) {
      for (int r = a.row1; r <= a.row2; ++r) rows.insert(r);
    }
  }
  int lastColumn = columns.empty() ? 0 : *columns.rbegin();
  if (!sheet.ColumnWidths().empty())
    lastColumn = std::max(lastColumn, sheet.ColumnWidths().rbegin()->first);
  for (int c = 1; c <= lastColumn; ++c) {
    const bool formatted = wholeSheet || columns.count(c);
    worksheet_set_column(ws, static_cast<lxw_col_t>(c - 1), static_cast<lxw_col_t>(c - 1),
                         sheet.ColumnWidth(c),
                         formatted ? formats.Get(sheet.ColumnFormat(c)) : nullptr);
  }
  if ((wholeSheet || sheet.HasDefaultWidth()) && lastColumn < kMaxSheetColumns) {
    worksheet_set_column(ws, static_cast<lxw_col_t>(lastColumn), kMaxSheetColumns - 1,
                         sheet.DefaultWidth(),
                         wholeSheet ? formats.Get(sheet.ColumnFormat(lastColumn + 1)) : nullptr);
  }
  for (int r : rows) {
    const CellFormat f = sheet.RowFormat(r);
    worksheet_set_row(ws, static_cast<lxw_row_t>(r - 1), RowHeight(f.fontSize), formats.Get(f));
  }

  // Cells to write: those with values, those a bounded range formatted or
  // merged, and the crossings of formatted rows and formatted columns.
  std::vector<uint64_t> cells;
  cells.reserve(sheet.Values().size());
  for (const auto& [key, value] : sheet.Values()) cells.push_back(key);
  auto addRect = [&](const CellRect& a) {
    if (a.CellCount() > (1 << 22)) return;
    for (int r = a.row1; r <= a.row2; ++r) {
      for (int c = a.col1; c <= a.col2; ++c) cells.push_back(SheetModel::Key(r, c));
    }
  };
  // Several operations often cover the same range (line style, then colour).
  std::vector<CellRect> bounded;
  for (const auto& a : areas) {
    if (!a.AllRows() && !a.AllColumns()) bounded.push_back(a);
  }
  bounded.insert(bounded.end(), sheet.Merges().begin(), sheet.Merges().end());
  auto order = [](const CellRect& a, const CellRect& b) {
    return std::tie(a.row1, a.col1, a.row2, a.col2) < std::tie(b.row1, b.col1, b.row2, b.col2);
  };
  std::sort(bounded.begin(), bounded.end(), order);
  bounded.erase(std::unique(bounded.begin(), bounded.end()), bounded.end());
  for (const auto& a : bounded) addRect(a);
  for (int r : rows) {
    for (int c : columns) cells.push_back(SheetModel::Key(r, c));
  }
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());

  for (const auto& m : sheet.Merges()) {
    worksheet_merge_range(ws, static_cast<lxw_row_t>(m.row1 - 1),
                          static_cast<lxw_col_t>(m.col1 - 1), static_cast<lxw_row_t>(m.row2 - 1),
                          static_cast<lxw_col_t>(m.col2 - 1), "",
                          formats.Get(sheet.FormatAt(m.row1, m.col1)));
  }
  std::map<int, CellFormat> rowShown;
  std::map<int, CellFormat> columnShown;
  auto next = sheet.Values().begin();
  for (uint64_t key : cells) {
    const int r = SheetModel::KeyRow(key), c = SheetModel::KeyCol(key);
    CellFormat f = sheet.FormatAt(r, c);
    // Both lists are in key order: walk them side by side.
    while (next != sheet.Values().end() && next->first < key) ++next;
    const CellValue* value =
        next != sheet.Values().end() && next->first == key ? &next->second : nullptr;
    if (value && value->autoFormat != kTextGeneral && f.numberFormat == kTextGeneral)
      f.numberFormat = value->autoFormat;
    const auto row = static_cast<lxw_row_t>(r - 1);
    const auto col = static_cast<lxw_col_t>(c - 1);
    if (value && value->isNumber) {
      worksheet_write_number(ws, row, col, value->number, formats.Get(f));
    } else if (value) {
      worksheet_write_string(ws, row, col, value->text.c_str(), formats.Get(f));
    } else {
      // What a reader shows for an empty cell: its row's format, else its column's.
      const bool byRow = rows.count(r) != 0;
      auto& shownCache = byRow ? rowShown : columnShown;
      auto it = shownCache.find(byRow ? r : c);
      if (it == shownCache.end())
        it = shownCache.emplace(byRow ? r : c, byRow ? sheet.RowFormat(r) : sheet.ColumnFormat(c))
                 .first;
      if (!(f == it->second)) worksheet_write_blank(ws, row, col, formats.Get(f));
    }
  }

  if (!sheet.Gridlines()) worksheet_gridlines(ws, LXW_HIDE_ALL_GRIDLINES);
  if (sheet.HasSelection()) {
    const CellRect s = sheet.Selection();
    worksheet_set_selection(ws, static_cast<lxw_row_t>(s.row1 - 1),
                            static_cast<lxw_col_t>(s.col1 - 1), static_cast<lxw_row_t>(s.row2 - 1),
                            static_cast<lxw_col_t>(s.col2 - 1));
  }
  for (const auto& embedded : sheet.Charts()) {
    if (lxw_chart* chart = BuildChart(book, *embedded.chart)) {
      worksheet_insert_chart(ws, static_cast<lxw_row_t>(embedded.row - 1),
                             static_cast<lxw_col_t>(embedded.col - 1), chart);
    }
  }
}

#ifndef _WIN32
bool IsExecutable(const std::string& path) {
  return !path.empty() && access(path.c_str(), X_OK) == 0 && !fs::is_directory(path);
}

std::string FileUrl(const std::string& path) {
  std::string url = "file://";
  for (unsigned char ch : path) {
    if (std::isalnum(ch) || std::strchr("/._-~", ch))
      url += static_cast<char>(ch);
    else
      url += Format("%%%02X", ch);
  }
  return url;
}
#endif

// A private scratch folder, removed when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      static std::atomic<unsigned> counter{0};
      const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
      fs::path candidate = base / Format("yelvane-%x-%lx-%u", std::random_device{}(),
                                         static_cast<unsigned long>(stamp), counter++);
      if (fs::create_directory(candidate, ec) && !ec) path_ = candidate;
    }
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  bool Ok() const { return !path_.empty(); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

bool MoveFile(const fs::path& from, const fs::path& to, std::string& error) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (!ec) return true;
  // Another file system: copy, then drop the source.
  ec.clear();
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    error = Format("cannot write %s: %s", to.string().c_str(), ec.message().c_str());
    fs::remove(to, ec);
    return false;
  }
  fs::remove(from, ec);
  return true;
}

uint16_t Get16(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace

bool WriteXlsx(const WorkbookModel& model, const std::string& path, std::string& error) {
  // Normal (not constant-memory) mode: cells arrive in any order and the
  // charts' data caches are filled from the sheets.
  lxw_workbook_options options{};
  options.constant_memory = LXW_FALSE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) {
    error = Format("cannot create %s", path.c_str());
    return false;
  }
  FormatCache formats(book);
  for (std::size_t i = 0; i < model.sheets.size(); ++i) {
    const SheetModel& sheet = *model.sheets[i];
    const bool active = static_cast<int>(i) == model.active;
    if (sheet.GetKind() == SheetModel::Kind::ChartSheet) {
      lxw_chartsheet* cs = workbook_add_chartsheet(book, sheet.Name().c_str());
      if (!cs) continue;
      lxw_chart* chart = sheet.SheetChart() ? BuildChart(book, *sheet.SheetChart()) : nullptr;
      if (!chart) {
        // An empty chart sheet is still a sheet; give it an empty chart.
        chart = workbook_add_chart(book, LXW_CHART_COLUMN);
        chart_add_series(chart, nullptr, "={0}");
      }
      chartsheet_set_chart(cs, chart);
      if (active) chartsheet_activate(cs);
      continue;
    }
    lxw_worksheet* ws = workbook_add_worksheet(book, sheet.Name().c_str());
    if (!ws) {
      workbook_close(book);
      std::error_code ec;
      fs::remove(path, ec);
      error = Format("invalid sheet name \"%s\"", sheet.Name().c_str());
      return false;
    }
    WriteWorksheet(book, ws, sheet, formats);
    if (active) worksheet_activate(ws);
  }
  const lxw_error status = workbook_close(book);
  if (status != LXW_NO_ERROR) {
    error = Format("cannot write %s: %s", path.c_str(), lxw_strerror(status));
    std::error_code ec;
    fs::remove(path, ec);
    return false;
  }
  return true;
}

std::string FindLibreOffice(const std::string& preferred) {
#ifdef _WIN32
  (void)preferred;
  return {};
#else
  if (!preferred.empty()) return IsExecutable(preferred) ? preferred : std::string();
  if (const char* env = std::getenv("YELVANE_SOFFICE"); env && *env)
    return IsExecutable(env) ? std::string(env) : std::string();
  if (const char* pathVar = std::getenv("PATH")) {
    std::string dirs = pathVar;
    std::size_t start = 0;
    while (start <= dirs.size()) {
      const std::size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string dir = dirs.substr(start, end - start);
      for (const char* name : {"soffice", "libreoffice"}) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (IsExecutable(candidate)) return candidate;
      }
      start = end + 1;
    }
  }
  for (const char* candidate :
       {"/usr/lib/libreoffice/program/soffice", "/opt/libreoffice/program/soffice",
        "/Applications/LibreOffice.app/Contents/MacOS/soffice"}) {
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
#endif
}

std::string ConvertWithLibreOffice(const std::string& soffice, const std::string& source,
                                   const std::string& filter, const std::string& extension,
                                   const std::string& outDir, int timeoutSeconds,
                                   std::string& error) {
#ifdef _WIN32
  (void)soffice, (void)source, (void)filter, (void)extension, (void)outDir, (void)timeoutSeconds;
  error = "LibreOffice conversion is not available here";
  return {};
#else
  ScratchDir profile;
  if (!profile.Ok()) {
    error = "cannot create a temporary folder";
    return {};
  }
  // Its own profile folder (two conversions sharing one hand work to each
  // other) and its own HOME, so nothing lands in the user's folders.
  const std::string profileDir = fs::absolute(profile.Path() / "profile").string();
  std::vector<std::string> args = {soffice,         "-env:UserInstallation=" + FileUrl(profileDir),
                                   "--headless",    "--norestore",
                                   "--nolockcheck", "--convert-to",
                                   filter,          "--outdir",
                                   outDir,          source};
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "HOME=", 5) != 0) env.emplace_back(*e);
  }
  env.push_back("HOME=" + profile.Path().string());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);  // its own group, so a stuck one is killed whole
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, soffice.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (spawned != 0) {
    error = Format("cannot start LibreOffice (%s): %s", soffice.c_str(), std::strerror(spawned));
    return {};
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  bool finished = false;
  while (!finished) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) {
      finished = true;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!finished) {
    kill(-pid, SIGKILL);  // the whole group: soffice may have started helpers
    waitpid(pid, &status, 0);
    error = Format("LibreOffice did not finish the conversion within %d seconds", timeoutSeconds);
    return {};
  }
  const fs::path produced = fs::path(outDir) / (fs::path(source).stem().string() + "." + extension);
  std::error_code ec;
  if (!fs::exists(produced, ec)) {
    // One sheet to CSV comes out as "<name>-<sheet name>.csv".
    const std::string prefix = fs::path(source).stem().string() + "-";
    for (const auto& entry : fs::directory_iterator(outDir, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0 && entry.path().extension() == "." + extension)
        return entry.path().string();
    }
  }
  if (!fs::exists(produced, ec)) {
    error = Format("LibreOffice could not convert the workbook (exit status %d)",
                   WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return {};
  }
  return produced.string();
#endif
}

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
  static const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (file.size() < 512 || std::memcmp(file.data(), kSignature, 8) != 0) {
    error = "not a compound document";
    return false;
  }
  const unsigned sectorShift = Get16(file, 0x1E);
  const unsigned miniShift = Get16(file, 0x20);
  if (sectorShift < 7 || sectorShift > 16 || miniShift > sectorShift) {
    error = "bad compound document header";
    return false;
  }
  const std::size_t sectorSize = std::size_t{1} << sectorShift;
  const std::size_t miniSize = std::size_t{1} << miniShift;
  auto sectorOffset = [&](uint32_t s) { return (static_cast<std::size_t>(s) + 1) * sectorSize; };
  auto validSector = [&](uint32_t s) { return sectorOffset(s) + sectorSize <= file.size(); };

  // The FAT, from the header's DIFAT entries and the DIFAT chain.
  std::vector<uint32_t> fatSectors;
  for (std::size_t i = 0; i < 109; ++i) {
    const uint32_t s = Get32(file, 0x4C + i * 4);
    if (s < 0xFFFFFFFA) fatSectors.push_back(s);
  }
  uint32_t difat = Get32(file, 0x44);
  for (int guard = 0; difat < 0xFFFFFFFA && validSector(difat) && guard < 100000; ++guard) {
    const std::size_t base = sectorOffset(difat);
    const std::size_t per = sectorSize / 4 - 1;
    for (std::size_t i = 0; i < per; ++i) {
      const uint32_t s = Get32(file, base + i * 4);
      if (s < 0xFFFFFFFA) fatSectors.push_back(s);
    }
    difat = Get32(file, base + per * 4);
  }
  std::vector<uint32_t> fat;
  for (uint32_t s : fatSectors) {
    if (!validSector(s)) continue;
    for (std::size_t i = 0; i < sectorSize / 4; ++i)
      fat.push_back(Get32(file, sectorOffset(s) + i * 4));
  }
  auto chain = [&](uint32_t start) {
    std::vector<uint32_t> sectors;
    while (start < fat.size() && validSector(start) && sectors.size() <= fat.size()) {
      sectors.push_back(start);
      start = fat[start];
    }
    return sectors;
  };

  // The directory: find the workbook stream and the root (mini stream).
  const auto dirSectors = chain(Get32(file, 0x30));
  uint32_t wbStart = 0, rootStart = 0;
  uint64_t wbSize = 0;
  bool found = false;
  for (uint32_t s : dirSectors) {
    for (std::size_t e = 0; e < sectorSize / 128; ++e) {
      const std::size_t at = sectorOffset(s) + e * 128;
      const uint16_t nameLen = Get16(file, at + 64);
      const uint8_t type = file[at + 66];
      std::string name;
      for (std::size_t i = 0; i + 2 < nameLen && i < 64; i += 2)
        name += static_cast<char>(file[at + i]);
      if (type == 5) rootStart = Get32(file, at + 116);
      if (type == 2 && (name == "Workbook" || name == "Book")) {
        wbStart = Get32(file, at + 116);
        wbSize = Get32(file, at + 120);
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
  if (wbSize < Get32(file, 0x38)) {
    chunkSize = miniSize;
    const auto rootSectors = chain(rootStart);
    std::vector<uint32_t> miniFat;
    for (uint32_t s : chain(Get32(file, 0x3C))) {
      for (std::size_t i = 0; i < sectorSize / 4; ++i)
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
  // WINDOW2 at the top level of a sheet carries the gridline flag (bit 1).
  std::vector<uint32_t> sheetBof;
  int depth = 0;
  int sheet = -1;
  int patched = 0;
  for (std::size_t pos = 0; pos + 4 <= size;) {
    const uint16_t type = read16(pos);
    const uint16_t len = read16(pos + 2);
    if (pos + 4 + len > size) break;
    if (type == 0x0809) {  // BOF
      if (depth == 0) {
        const auto it = std::find(sheetBof.begin(), sheetBof.end(), static_cast<uint32_t>(pos));
        sheet = it == sheetBof.end() ? -1 : static_cast<int>(it - sheetBof.begin());
      }
      ++depth;
    } else if (type == 0x000A) {  // EOF
      if (depth > 0) --depth;
    } else if (type == 0x0085 && depth == 1 && sheet < 0 && len >= 4) {  // BOUNDSHEET
      sheetBof.push_back(read32(pos + 4));
    } else if (type == 0x023E && depth == 1 && sheet >= 0 && len >= 2) {  // WINDOW2
      if (static_cast<std::size_t>(sheet) < hidden.size() &&
          hidden[static_cast<std::size_t>(sheet)]) {
        at(pos + 4) = static_cast<uint8_t>(at(pos + 4) & ~0x02);
        ++patched;
      }
    } else if (type == 0 && len == 0 && depth == 0) {
      break;  // padding after the last substream
    }
    pos += 4 + len;
  }
  (void)patched;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    error = Format("cannot write %s", path.c_str());
    return false;
  }
  return true;
}

bool SaveWorkbookFile(const WorkbookModel& book, const std::string& path, bool xls,
                      const std::string& soffice, int timeoutSeconds, std::string& error) {
  if (!xls) return WriteXlsx(book, path, error);
  ScratchDir work;
  if (!work.Ok()) {
    error = "cannot create a temporary folder";
    return false;
  }
  const fs::path xlsx = work.Path() / "workbook.xlsx";
  if (!WriteXlsx(book, xlsx.string(), error)) return false;
  if (timeoutSeconds <= 0) timeoutSeconds = 60 + static_cast<int>(book.sheets.size()) / 2;
  const fs::path outDir = work.Path() / "out";
  std::error_code ec;
  fs::create_directory(outDir, ec);
  const std::string converted = ConvertWithLibreOffice(soffice, xlsx.string(), "xls", "xls",
                                                       outDir.string(), timeoutSeconds, error);
  if (converted.empty()) return false;
  // The 97-2003 export turns hidden gridlines back on; put them off again.
  std::vector<bool> hidden;
  for (const auto& sheet : book.sheets) {
    hidden.push_back(sheet->GetKind() == SheetModel::Kind::Worksheet && !sheet->Gridlines());
  }
  if (!HideGridlinesInXls(converted, hidden, error)) return false;
  return MoveFile(converted, path, error);
}

}  // namespace yelvane
