#include <filesystem>

#include "cli/Cli.h"
#include "cli/CliUnit.h"
#include "common/Format.h"
#include "unit/CommandExchange.h"

namespace yelvane {

void AddGlobalOptions(CLI::App& app, CliContext& ctx) {
  auto* simulate =
      app.add_option_function<std::string>(
             "--simulate", [&ctx](const std::string& image) { ctx.simulate = image; },
             "Work with a simulated logger instead of the real drives; with =IMAGE its "
             "memory is kept in IMAGE (created with demo data when missing)")
          ->expected(0, 1)
          ->type_name("IMAGE")
          ->check(
              [](const std::string& image) -> std::string {
                namespace fs = std::filesystem;
                std::error_code ec;
                if (image.empty() || !fs::exists(image, ec)) return {};
                if (!fs::is_regular_file(image, ec) ||
                    fs::file_size(image, ec) != kLoggerMemorySize) {
                  return Format("%s is not a %u-byte logger memory image", image.c_str(),
                                kLoggerMemorySize);
                }
                return {};
              },
              "");
  app.add_option_function<std::string>(
         "--trace", [&ctx](const std::string& file) { ctx.trace = file; },
         "Write one line per volume operation to FILE")
      ->type_name("FILE");
  app.add_option_function<std::string>(
         "--sim-fail-sector", [&ctx](const std::string& spec) { ctx.simFailSector = spec; },
         "Make simulated sector N fail K times (always without K), then work")
      ->type_name("N[:K]")
      ->check(
          [](const std::string& text) -> std::string {
            FailSectorSpec spec;
            return ParseFailSector(text, spec) ? std::string() : "expected N or N:K";
          },
          "")
      ->needs(simulate);
  app.add_option_function<unsigned long>(
         "--sim-unplug-after", [&ctx](unsigned long count) { ctx.simUnplugAfter = count; },
         "Pull the simulated logger out after N sector reads and writes")
      ->type_name("N")
      ->needs(simulate);
  app.add_flag("--sim-plain", ctx.simPlain,
               "The simulated drive is an ordinary drive without the logger's signature")
      ->needs(simulate);
}

}  // namespace yelvane
