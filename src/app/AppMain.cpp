#include "app/AppMain.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "app/MainFrm.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "common/ExitCodes.h"
#include "sim/DriveChoice.h"

namespace yelvane {

namespace {

struct GuiOptions {
  DriveChoice drives;  // --simulate, --trace, --sim-*
  std::optional<std::string> screenshot;
  std::optional<std::string> openDump;
  std::optional<int> select;
};

int TakeScreenshot(CMainFrame& frame, const std::string& path) {
  frame.resize(1280, 800);
  frame.show();
  // One presence check, as the first tick of the poll would make.
  frame.CheckUnitPresence();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  if (!frame.grab().save(QString::fromStdString(path), "PNG")) {
    std::cerr << "Cannot write the screenshot " << path << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

int RunYelvane(int argc, char** argv) {
  // --version answers before Qt looks for a display, so it works anywhere.
  const char* version = "yelvane " YELVANE_VERSION;
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    if (std::string_view(argv[i]) == "--version") {
      std::cout << version << "\n";
      return kExitOk;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yelvane"));
  QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
  // Lets a Wayland desktop match the window with the installed desktop entry.
  QApplication::setDesktopFileName(QStringLiteral("org.yelvane.Yelvane"));
  const QStringList arguments = QApplication::arguments();

  CLI::App cli("Yelvane: bark and activity logger companion", "yelvane");
  GuiOptions options;
  AddDriveOptions(cli, options.drives);
  cli.set_version_flag("--version", version);
  cli.add_option("--screenshot", options.screenshot,
                 "Render the main window to a PNG file and exit");
  auto* openDump = cli.add_option("--open-dump", options.openDump,
                                  "Show the sessions of a memory dump file at start");
  openDump->check(CLI::ExistingFile);
  cli.add_option("--select", options.select, "Select session row N (from 1) at start")
      ->check(CLI::PositiveNumber);
  // Qt has taken its own options out already; CLI11 wants the rest reversed.
  std::vector<std::string> args;
  for (qsizetype i = arguments.size() - 1; i >= 1; --i) args.push_back(arguments[i].toStdString());
  try {
    cli.parse(args);
  } catch (const CLI::ParseError& error) {
    return cli.exit(error) == 0 ? kExitOk : kExitUsage;
  }

  // The drives outlive the window that works on them.
  std::unique_ptr<DriveEnumerator> drives = MakeDriveEnumerator(
      options.drives, [](const std::string& problem) { std::cerr << problem << "\n"; });
  if (!drives) return kExitFailed;

  CVandryApp theApp;
  CMainFrame frame;
  frame.SetDrives(*drives);
  if (options.openDump) frame.OpenDump(*options.openDump);
  if (options.select) {
    const int rows = frame.View()->RowCount();
    if (*options.select > rows) {
      std::cerr << "Session row " << *options.select << " does not exist: the table has " << rows
                << " rows.\n";
      return kExitFailed;
    }
    frame.View()->selectRow(*options.select - 1);
  }
  if (options.screenshot) return TakeScreenshot(frame, *options.screenshot);
  // Where the window manager does not maximize, or once the user restores
  // the window, it has a usable size of its own, centred.
  if (const QScreen* screen = frame.screen()) frame.PlaceRestored(screen->availableGeometry());
  frame.showMaximized();
  return QApplication::exec();
}

}  // namespace yelvane
