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
#include "common/Format.h"
#include "common/NoCase.h"
#include "common/Sinks.h"
#include "common/StderrLog.h"
#include "report/TextReport.h"
#include "report/WorkbookExport.h"
#include "sim/DemoData.h"

namespace yelvane {
namespace {

class StderrMessages final : public MessageSink {
 public:
  void ShowMessage(const std::string& text, MessageIcon) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

// Runs the report walk on `dumpPath` into `table`; false when the dump
// cannot be opened ("File Open Error!" has then been shown).
bool WalkDump(const std::string& dumpPath, MemorySessionTable& table) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(dumpPath, ec);
  if (!ec && size < kDumpSize)
    std::fprintf(stderr,
                 "Warning: the dump has %llu bytes instead of %zu; the missing bytes read as 0.\n",
                 static_cast<unsigned long long>(size), kDumpSize);
  // A longer file is walked as it is, but its tables are then read from the
  // wrong places: a whole memory image (as `simulate create` writes by
  // default) starts 0x10000 bytes before the dump.
  if (!ec && size == kLoggerMemorySize)
    std::fprintf(stderr,
                 "Warning: the dump has %llu bytes instead of %zu: this looks like a whole logger "
                 "memory image (its dump is what `simulate create --dump` writes).\n",
                 static_cast<unsigned long long>(size), kDumpSize);
  else if (!ec && size > kDumpSize)
    std::fprintf(stderr,
                 "Warning: the dump has %llu bytes instead of %zu; only the first %zu are used.\n",
                 static_cast<unsigned long long>(size), kDumpSize, kDumpSize);
  StderrLog log;
  NullProgress progress;
  StderrMessages messages;
  return ReportFlashData(dumpPath, table, log, progress, messages) == 1;
}

// Which writer a report path goes to; other kinds are refused with a usage error.
enum class ReportKind { Text, Workbook, Unsupported };

ReportKind ReportKindOf(const std::string& path) {
  if (LowerExtension(path) == ".txt") return ReportKind::Text;
  if (IsWorkbookPath(path)) return ReportKind::Workbook;
  return ReportKind::Unsupported;
}

struct DataOptions {
  std::string dump;
  std::string format = "table";
  std::string output;
  PetInfo pet;
  int row = 0;
  std::string image;
  int sessions = kDefaultDemoSessions;
  uint64_t seed = 1;
  bool erased = false;
  bool dumpOnly = false;
  bool noCharts = false;
};

int RunDecode(const DataOptions& o) {
  MemorySessionTable table;
  if (!WalkDump(o.dump, table)) return kExitFailed;
  PrintSessions(table, o.format);
  return kExitOk;
}

int RunReport(const DataOptions& o) {
  const ReportKind kind = ReportKindOf(o.output);
  if (kind == ReportKind::Unsupported) {
    std::fprintf(stderr, "Unsupported report type for \"%s\": use .txt, .xlsx or .xls.\n",
                 o.output.c_str());
    return kExitUsage;
  }
  if (kind == ReportKind::Workbook)
    return RunWorkbookReportCommand(o.dump, o.output, o.pet, !o.noCharts) ? kExitFailed : kExitOk;
  MemorySessionTable table;
  if (!WalkDump(o.dump, table)) return kExitFailed;
  std::string error;
  if (!WriteTextReport(o.output, table, o.pet, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFailed;
  }
  std::fprintf(stderr, "Saved the report of %d sessions to \"%s\".\n", table.RowCount(),
               o.output.c_str());
  return kExitOk;
}

int RunSeries(const DataOptions& o) {
  MemorySessionTable table;
  if (!WalkDump(o.dump, table)) return kExitFailed;
  if (o.row > table.RowCount()) {
    std::fprintf(stderr, "Session row %d does not exist: the table has %d rows.\n", o.row,
                 table.RowCount());
    return kExitFailed;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(o.dump.c_str(), "rb"),
                                                       std::fclose);
  if (!file) {
    std::fprintf(stderr, "File Open Error!\n");
    return kExitFailed;
  }
  ChartSeries series;
  LoadSessionChart(table, o.row, file.get(), series);
  for (std::size_t i = 0; i < series.labels.size(); ++i) {
    const unsigned bark = i < series.bark.size() ? series.bark[i] : 0u;
    const unsigned activity = i < series.activity.size() ? series.activity[i] : 0u;
    std::printf("%s\t%u\t%u\n", series.labels[i].c_str(), bark, activity);
  }
  return kExitOk;
}

int RunSimulateCreate(const DataOptions& o) {
  DemoOptions demo;
  demo.sessions = o.sessions;
  demo.seed = o.seed;
  demo.erased = o.erased;
  std::vector<uint8_t> bytes = MakeDemoMemory(demo);
  if (o.dumpOnly) bytes = DumpSlice(bytes);
  std::string error;
  if (!WriteFileReplacing(o.image, std::string(bytes.begin(), bytes.end()), error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFailed;
  }
  std::fprintf(stderr, "Wrote %s \"%s\" (%zu bytes, %d sessions).\n",
               o.dumpOnly ? "memory dump" : "logger memory image", o.image.c_str(), bytes.size(),
               o.erased ? 0 : o.sessions);
  return kExitOk;
}

}  // namespace

void RegisterDataCommands(CLI::App& app, CliContext& ctx) {
  auto o = std::make_shared<DataOptions>();

  auto* decode = app.add_subcommand("decode", "Decode a memory dump into its session table");
  decode->add_option("DUMP", o->dump, "Memory dump file (327680 bytes)")->required();
  decode->add_option("--format", o->format, "table, tsv or json")
      ->check(CLI::IsMember({"table", "tsv", "json"}))
      ->capture_default_str();
  decode->callback([o, &ctx] { ctx.exitCode = RunDecode(*o); });

  auto* report = app.add_subcommand("report", "Write the report of a memory dump");
  report->add_option("DUMP", o->dump, "Memory dump file")->required();
  report->add_option("-o,--output", o->output, "Report file (.txt, .xlsx or .xls)")->required();
  report->add_flag("--no-charts", o->noCharts, "Workbook without the chart sheet per session");
  report->add_option("--pet-name", o->pet.name, "Pet's name");
  report->add_option("--pet-owner", o->pet.owner, "Pet's owner");
  report->add_option("--pet-location", o->pet.location, "Pet's location");
  report->callback([o, &ctx] { ctx.exitCode = RunReport(*o); });

  auto* series =
      app.add_subcommand("series", "Print the half-hour chart series of one session row");
  series->add_option("DUMP", o->dump, "Memory dump file")->required();
  series->add_option("N", o->row, "Session row, from 1")
      ->required()
      ->check(CLI::Range(1, kSessionSlots));
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
