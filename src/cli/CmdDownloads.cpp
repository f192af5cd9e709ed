// downloads: the archive of every read, newest first, with its sessions.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "activity/FlashReport.h"
#include "activity/SessionTable.h"
#include "cli/Cli.h"
#include "cli/SessionOutput.h"
#include "cli/Terminal.h"
#include "common/Format.h"
#include "common/Sinks.h"
#include "operations/DataFiles.h"

namespace yelvane {
namespace {

struct DownloadLine {
  std::string path;
  std::string time;
  int sessions = 0;
};

int RunDownloads(const std::string& format) {
  const std::string folder = DownloadArchiveFolder();
  std::vector<DownloadLine> lines;
  bool allRead = true;
  for (const ArchivedDownload& download : ListDownloads(folder)) {
    const std::optional<std::vector<uint8_t>> bytes = ReadDumpFile(download.path);
    if (!bytes) {
      StderrLine(Format("Cannot read the download \"%s\".", download.path.c_str()));
      allRead = false;
      continue;
    }
    // A download cut short or one whose walk stops early is listed with the
    // sessions it gives, and said to be so.
    std::error_code ec;
    const auto size = std::filesystem::file_size(download.path, ec);
    if (const std::string warning = ec ? std::string() : DumpSizeWarning(size); !warning.empty())
      StderrLine(Format("%s: %s", download.path.c_str(), warning.c_str()));
    MemorySessionTable table;
    NullLog log;
    NullProgress progress;
    const std::string last =
        ReportFlashDataFromMemory(bytes->data(), bytes->size(), table, log, progress);
    if (last != kFlashReportSuccess)
      StderrLine(Format("%s: %s", download.path.c_str(), last.c_str()));
    lines.push_back({download.path, DownloadTimeText(download.time), table.RowCount()});
  }
  if (lines.empty() && allRead)
    StderrLine(Format("No downloads are archived in \"%s\".", folder.c_str()));
  if (format == "json") {
    std::printf("[");
    for (std::size_t i = 0; i < lines.size(); ++i)
      std::printf("%s\n  {\"path\": %s, \"time\": %s, \"sessions\": %d}", i ? "," : "",
                  JsonString(lines[i].path).c_str(), JsonString(lines[i].time).c_str(),
                  lines[i].sessions);
    std::printf("%s]\n", lines.empty() ? "" : "\n");
  } else {
    for (const DownloadLine& line : lines)
      std::printf("%s\t%s\t%d\n", line.path.c_str(), line.time.c_str(), line.sessions);
  }
  return allRead ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterDownloadCommands(CLI::App& app, CliContext& ctx) {
  auto format = std::make_shared<std::string>("tsv");
  auto* downloads = app.add_subcommand(
      "downloads", "List the archived downloads, newest first, with their session counts");
  downloads->add_option("--format", *format, "tsv or json")
      ->check(CLI::IsMember({"tsv", "json"}))
      ->capture_default_str();
  downloads->callback([format, &ctx] { ctx.exitCode = RunDownloads(*format); });
}

}  // namespace yelvane
