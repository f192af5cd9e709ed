#include "app/AppMain.h"

#include <QApplication>
#include <QPixmap>

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

#include "app/MainFrm.h"
#include "app/Vandry.h"
#include "cli/Cli.h"

namespace yelvane {

namespace {

struct GuiOptions {
  std::optional<std::string> screenshot;
  std::optional<std::string> openDump;
};

int TakeScreenshot(CMainFrame& frame, const std::string& path) {
  frame.resize(1280, 800);
  frame.show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  if (!frame.grab().save(QString::fromStdString(path), "PNG")) {
    std::cerr << "Cannot write the screenshot " << path << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

int RunYelvane(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Yelvane"));
  QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
  const QStringList arguments = QApplication::arguments();

  CLI::App cli("Yelvane: bark and activity logger companion", "yelvane");
  CliContext ctx;
  GuiOptions options;
  AddGlobalOptions(cli, ctx);
  cli.add_option("--screenshot", options.screenshot,
                 "Render the main window to a PNG file and exit");
  auto* openDump = cli.add_option("--open-dump", options.openDump,
                                  "With --screenshot: show the sessions of a memory dump");
  openDump->check(CLI::ExistingFile);
  std::vector<std::string> args;
  for (qsizetype i = arguments.size() - 1; i >= 1; --i) args.push_back(arguments[i].toStdString());
  try {
    cli.parse(args);
  } catch (const CLI::ParseError& error) {
    return cli.exit(error) == 0 ? kExitOk : kExitUsage;
  }

  CVandryApp theApp;
  CMainFrame frame;
  if (options.screenshot) return TakeScreenshot(frame, *options.screenshot);
  frame.showMaximized();
  return QApplication::exec();
}

}  // namespace yelvane
