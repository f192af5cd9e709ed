// decode, report, series and simulate: the commands that work on dumps and
// memory images rather than on a logger.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "activity/ChartSeries.h"
#include "activity/FlashReport.h"
#include "activity/PetInfo.h"
#include "activity/SessionRecord.h"
#include "activity/SessionTable.h"
#include "cli/Cli.h"
#include "cli/SessionOutput.h"
#include "cli/Terminal.h"
#include "common/Format.h"
#include "common/NoCase.h"
#include "common/Sinks.h"
#include "report/CsvReport.h"
#include "report/TextReport.h"
#include "report/WorkbookReport.h"
#include "sim/DemoData.h"
#include "sim/DriveChoice.h"

namespace yelvane {
namespace {

using Dump = std::shared_ptr<const std::vector<uint8_t>>;

// How a dump's walk went.
enum class Walked { Unreadable, Complete, RangeError };

// Reads the dump once and walks those bytes into `table`: the report and
// the series then take the same bytes, whatever happens to the file.
// Unreadable after "File Open Error!"; RangeError when the walk stopped at
// a range message (then the last line on stderr).
Walked WalkDump(const std::string& dumpPath, MemorySessionTable& table, Dump* keep = nullptr) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(dumpPath, ec);
  if (!ec)
    if (const std::string warning = DumpSizeWarning(size); !warning.empty()) StderrLine(warning);
  auto bytes = std::make_shared<std::vector<uint8_t>>(kDumpSize);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(dumpPath.c_str(), "rb"),
                                                       std::fclose);
  std::size_t got = 0;
  // A folder or a device that refuses to be read is as unreadable as a
  // missing file; a short file is not (its missing bytes read as 0).
  if (file) got = std::fread(bytes->data(), 1, bytes->size(), file.get());
  if (!file || std::ferror(file.get())) {
    StderrLine("File Open Error!");
    return Walked::Unreadable;
  }
  bytes->resize(got);
  TerminalLog log(StderrOut());
  NullProgress progress;
  const std::string last =
      ReportFlashDataFromMemory(bytes->data(), bytes->size(), table, log, progress);
  if (keep) *keep = std::move(bytes);
  return last == kFlashReportSuccess ? Walked::Complete : Walked::RangeError;
}

// Which writer a report path goes to; other kinds are refused with a usage error.
enum class ReportKind { Text, Csv, Workbook, Unsupported };

ReportKind ReportKindOf(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension == ".txt") return ReportKind::Text;
  if (extension == ".csv") return ReportKind::Csv;
  if (extension == ".xls" || extension == ".xlsx") return ReportKind::Workbook;
  return ReportKind::Unsupported;
}

struct DataOptions {
  std::string dump;
  std::string format = "table";
  std::string seriesFormat = "tsv";
  std::string output;
  PetInfo pet;
  int row = 0;
  std::string image;
  int sessions = kDefaultDemoSessions;
  uint64_t seed = 1;
  bool erased = false;
  bool dumpOnly = false;
  bool noCharts = false;
  bool yes = false;
};

int RunDecode(const DataOptions& o) {
  MemorySessionTable table;
  const Walked walked = WalkDump(o.dump, table);
  if (walked == Walked::Unreadable) return kExitFailed;
  // The rows before a range error are printed; the exit says they are not all.
  PrintSessions(table, o.format);
  return walked == Walked::Complete ? kExitOk : kExitFailed;
}

// The workbook report without the saving dialog: the progress on the
// terminal, the automation boxes as error lines, nothing written when the
// format cannot be produced here.
int RunWorkbookReport(const DataOptions& o) {
  TerminalOut& out = StderrOut();
  TerminalSaveProgress progress(out);
  TerminalMessages errors(out, "Error: ");
  EngineOptions options;
  options.diagnostic = [&errors](const std::string& text) {
    errors.ShowMessage(text, MessageIcon::Error);
  };
  EngineAutomationServer server(options);
  // Say what cannot be done before doing anything.
  if (const std::string problem = server.CheckTarget(o.output); !problem.empty()) {
    StderrLine(problem);
    return kExitFailed;
  }
  MemorySessionTable table;
  Dump dump;
  // A report of part of the sessions is not written: the range message
  // stays the last line.
  if (WalkDump(o.dump, table, &dump) != Walked::Complete) return kExitFailed;
  // Past 256 sessions a .xls leaves sessions without their sheet: only --yes goes on.
  if (const std::string warning = SessionSheetLimitWarning(o.output, !o.noCharts, table.RowCount());
      !warning.empty()) {
    StderrLine("Warning: " + warning);
    if (!o.yes) {
      StderrLine(
          Format("Nothing was written to \"%s\": add --yes to write it with %d session "
                 "sheets, or choose an .xlsx name.",
                 o.output.c_str(), SessionSheetCount(o.output, true, table.RowCount())));
      return kExitFailed;
    }
  }
  const WorkbookJob job{.path = o.output,
                        .plot = !o.noCharts,
                        .pet = o.pet,
                        .table = &table,
                        .dumpPath = o.dump,
                        .dump = dump};
  CExcelAutomation excel(errors);
  bool saved = false;
  BuildWorkbook(job, server, excel, progress, &saved);
  if (!saved) {
    StderrLine(Format("The workbook report was not saved to \"%s\".", o.output.c_str()));
    return kExitFailed;
  }
  StderrLine(Format("Saved the workbook report of %d sessions to \"%s\".", table.RowCount(),
                    o.output.c_str()));
  return kExitOk;
}

int RunReport(const DataOptions& o) {
  const ReportKind kind = ReportKindOf(o.output);
  if (kind == ReportKind::Unsupported) {
    StderrLine(Format("Unsupported report type for \"%s\": use .txt, .csv, .xlsx or .xls.",
                      o.output.c_str()));
    return kExitUsage;
  }
  if (kind == ReportKind::Workbook) return RunWorkbookReport(o);
  MemorySessionTable table;
  if (WalkDump(o.dump, table) != Walked::Complete) return kExitFailed;
  std::string error;
  const bool written = kind == ReportKind::Csv ? WriteCsvReport(o.output, table, error)
                                               : WriteTextReport(o.output, table, o.pet, error);
  if (!written) {
    StderrLine(error);
    return kExitFailed;
  }
  StderrLine(
      Format("Saved the report of %d sessions to \"%s\".", table.RowCount(), o.output.c_str()));
  return kExitOk;
}

int RunSeries(const DataOptions& o) {
  MemorySessionTable table;
  Dump dump;
  const Walked walked = WalkDump(o.dump, table, &dump);
  if (walked == Walked::Unreadable) return kExitFailed;
  if (o.row > table.RowCount()) {
    if (walked == Walked::Complete)
      StderrLine(
          Format("Session row %d does not exist: the table has %d rows.", o.row, table.RowCount()));
    return kExitFailed;
  }
  ChartSeries series;
  LoadSessionChart(table, o.row, dump->data(), dump->size(), series);
  if (o.seriesFormat == "csv") {
    const std::string csv = BuildSeriesCsv(series);
    std::fwrite(csv.data(), 1, csv.size(), stdout);
    return kExitOk;
  }
  for (std::size_t i = 0; i < series.labels.size(); ++i) {
    const unsigned bark = i < series.bark.size() ? series.bark[i] : 0u;
    const unsigned activity = i < series.activity.size() ? series.activity[i] : 0u;
    std::printf("%s\t%u\t%u\n", series.labels[i].c_str(), bark, activity);
  }
  return walked == Walked::Complete ? kExitOk : kExitFailed;
}

int RunSimulateCreate(const DataOptions& o) {
  DemoOptions demo;
  demo.sessions = o.sessions;
  demo.seed = o.seed;
  demo.erased = o.erased;
  std::vector<uint8_t> bytes = MakeDemoMemory(demo);
  if (o.dumpOnly) bytes = DumpSlice(bytes);
  std::string error;
  if (!ReplaceSimulatedImage(o.image, std::string(bytes.begin(), bytes.end()), StderrLine, error)) {
    StderrLine(error);
    return kExitFailed;
  }
  StderrLine(Format("Wrote %s \"%s\" (%zu bytes, %d sessions).",
                    o.dumpOnly ? "memory dump" : "logger memory image", o.image.c_str(),
                    bytes.size(), o.erased ? 0 : o.sessions));
  return kExitOk;
}

}  // namespace

void RegisterDataCommands(CLI::App& app, CliContext& ctx) {
  auto o = std::make_shared<DataOptions>();

  auto* decode = app.add_subcommand("decode", "Decode a memory dump into its session table");
  decode->add_option("DUMP", o->dump, "Memory dump file (327680 bytes)")->required();
  decode->add_option("--format", o->format, "table, tsv, csv or json")
      ->check(CLI::IsMember({"table", "tsv", "csv", "json"}))
      ->capture_default_str();
  decode->callback([o, &ctx] { ctx.exitCode = RunDecode(*o); });

  auto* report = app.add_subcommand("report", "Write the report of a memory dump");
  report->add_option("DUMP", o->dump, "Memory dump file")->required();
  report->add_option("-o,--output", o->output, "Report file (.txt, .csv, .xlsx or .xls)")
      ->required();
  report->add_flag("--no-charts", o->noCharts, "Workbook without the chart sheet per session");
  report->add_flag("-y,--yes", o->yes, "Write a .xls of more than 256 sessions without asking");
  AddPetOptions(*report, o->pet);
  report->callback([o, &ctx] {
    RepairPetText(o->pet);
    ctx.exitCode = RunReport(*o);
  });

  auto* series =
      app.add_subcommand("series", "Print the half-hour chart series of one session row");
  series->add_option("DUMP", o->dump, "Memory dump file")->required();
  series->add_option("N", o->row, "Session row, from 1")
      ->required()
      ->check(CLI::Range(1, kSessionSlots));
  series->add_option("--format", o->seriesFormat, "tsv or csv")
      ->check(CLI::IsMember({"tsv", "csv"}))
      ->capture_default_str();
  series->callback([o, &ctx] { ctx.exitCode = RunSeries(*o); });

  auto* simulate = app.add_subcommand("simulate", "Simulated logger memory");
  simulate->require_subcommand(1);
  auto* create = simulate->add_subcommand("create", "Write a logger memory image with demo data");
  create->add_option("IMAGE", o->image, "Image file to write")->required();
  create->add_option("--sessions", o->sessions, "Number of sessions")
      ->check(CLI::Range(0, kSessionSlots))
      ->capture_default_str();
  create->add_option("--seed", o->seed, "Seed of the demo data")->capture_default_str();
  create->add_flag("--erased", o->erased, "Erased memory (only the firmware version record)");
  create->add_flag("--dump", o->dumpOnly,
                   "Write only the 0x50000-byte dump (addresses 0x10000 to 0x5FFFF)");
  create->callback([o, &ctx] { ctx.exitCode = RunSimulateCreate(*o); });
}

}  // namespace yelvane
