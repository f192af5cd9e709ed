// File > Open Download and File > Recent Downloads: what a chosen dump does
// to the log, the table, the status text pane, and what a bad one leaves.

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTest>

#include <ctime>
#include <filesystem>
#include <optional>

#include "activity/FlashReport.h"
#include "activity/SessionRecord.h"
#include "app/DownloadFile.h"
#include "app/MainFrm.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "common/TempFolder.h"
#include "operations/DataFiles.h"
#include "sim/DemoData.h"
#include "support/Files.h"
#include "support/Gui.h"
#include "support/Recorders.h"

using namespace yelvane;
using yelvane::test::RecordingMessages;
namespace fs = std::filesystem;

namespace {

class ScriptedDownload final : public DownloadFilePrompt {
 public:
  std::optional<std::string> ChooseDownload(const std::string& folder) override {
    offered.push_back(folder);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> offered;
};

using Rows = std::vector<std::vector<std::string>>;

Rows RowsOf(const SessionTable& table) {
  Rows rows;
  for (int r = 0; r < table.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < 11; ++c) rows.back().push_back(table.CellText(r, c, kCellBufferSize));
  }
  return rows;
}

// What the walk makes of these bytes, and its last log line.
std::pair<Rows, std::string> Walk(const std::vector<uint8_t>& bytes) {
  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  const std::string last = ReportFlashDataFromMemory(
      bytes.data(), std::min(bytes.size(), kDumpSize), table, log, progress);
  return {RowsOf(table), last};
}

std::vector<uint8_t> DemoDump(int sessions, uint64_t seed = 1) {
  DemoOptions options;
  options.sessions = sessions;
  options.seed = seed;
  return DumpSlice(MakeDemoMemory(options));
}

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

}  // namespace

class TestAppOpen : public QObject {
  Q_OBJECT
 private slots:
  void openDownloadGoodShortLongAndUnreadable();
  void recentDownloadsNewestEightAndOpen();
};

void TestAppOpen::openDownloadGoodShortLongAndUnreadable() {
  TempFolder dir;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(dir.Str()));
  {
    CVandryApp app;
    CMainFrame frame;
    RecordingMessages prompt;
    ScriptedDownload files;
    frame.SetPrompt(&prompt);
    frame.SetDownloadPrompt(&files);
    const std::string archive = dir.File("archive");
    fs::create_directories(archive);
    frame.SetArchiveFolder(archive);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    // File menu order: the two new items first, then what was there.
    QMenu* file = frame.menuBar()->actions().constFirst()->menu();
    QStringList items;
    for (QAction* action : file->actions()) items << action->text();
    QCOMPARE(items,
             QStringList({"&Open Download...", "Recent &Downloads", "", "&Save as", "", "E&xit"}));

    const std::vector<uint8_t> good = DemoDump(3);
    const std::vector<uint8_t> five = DemoDump(5, 7);
    std::vector<uint8_t> image(0x10000, 0xFF);
    image.insert(image.end(), five.begin(), five.end());
    const struct {
      std::string name;
      std::vector<uint8_t> bytes;
      std::string warning;
    } cases[] = {
        {"good.bin", good, ""},
        // Cut inside the session tables: the missing slots read as 0.
        {"short.bin", std::vector<uint8_t>(five.begin(), five.begin() + 40000),
         "Warning: the dump has 40000 bytes instead of 327680; the missing bytes read as 0."},
        {"image.bin", image,
         "Warning: the dump has 393216 bytes instead of 327680: this looks like a whole logger "
         "memory image (its dump is what `simulate create --dump` writes)."},
        {"long.bin",
         [&] {
           auto longer = five;
           longer.resize(five.size() + 512, 0xFF);
           return longer;
         }(),
         "Warning: the dump has 328192 bytes instead of 327680; only the first 327680 are used."},
    };
    bool first = true;
    for (const auto& c : cases) {
      const std::string path = dir.File(c.name);
      test::WriteBytes(path, c.bytes);
      files.answer = path;
      files.offered.clear();
      if (first)
        QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);  // Ctrl+O
      else
        frame.OnCommand(ID_FILE_OPEN);
      first = false;
      QCOMPARE(files.offered, std::vector<std::string>{archive});
      const auto [rows, last] = Walk(c.bytes);
      std::vector<std::string> log = {"Command: Open Download", path};
      if (!c.warning.empty()) log.push_back(c.warning);
      log.push_back(last);
      QCOMPARE(test::LogLines(frame.LogControl()), log);
      QCOMPARE(RowsOf(*frame.View()), rows);
      QCOMPARE(frame.TableDump(), path);
      QCOMPARE(frame.StatusText(), QString::fromStdString(c.name));
      QVERIFY(prompt.boxes.empty());
    }
    QVERIFY(frame.View()->RowCount() > 0);
    QCOMPARE(frame.windowTitle(), QString("Yelvane"));
    // Menu prompts still come and go over it.
    QStatusTipEvent tip(QStringLiteral("Save as report"));
    QApplication::sendEvent(&frame, &tip);
    QCOMPARE(frame.StatusText(), QString("Save as report"));
    QStatusTipEvent none(QString{});
    QApplication::sendEvent(&frame, &none);
    QCOMPARE(frame.StatusText(), QString("long.bin"));

    // Unreadable (missing, a folder) or cancelled: only the log changes.
    const Rows before = RowsOf(*frame.View());
    fs::create_directories(dir.File("folder.bin"));
    for (const std::string& bad : {dir.File("missing.bin"), dir.File("folder.bin")}) {
      prompt.Clear();
      files.answer = bad;
      frame.OnCommand(ID_FILE_OPEN);
      QCOMPARE(prompt.shown, std::vector<std::string>{"File Open Error!"});
      QCOMPARE(test::LogLines(frame.LogControl()),
               (std::vector<std::string>{"Command: Open Download", bad}));
      QCOMPARE(RowsOf(*frame.View()), before);
      QCOMPARE(frame.TableDump(), dir.File("long.bin"));
      QCOMPARE(frame.StatusText(), QString("long.bin"));
    }
    prompt.Clear();
    files.answer.reset();
    const QString log = frame.LogControl()->toPlainText();
    frame.OnCommand(ID_FILE_OPEN);
    QCOMPARE(frame.LogControl()->toPlainText(), log);
    QCOMPARE(RowsOf(*frame.View()), before);
    QVERIFY(prompt.boxes.empty());

    // --open-dump on an unreadable file leaves the table as it was too.
    frame.OpenDump(dir.File("missing.bin"));
    QCOMPARE(prompt.shown, std::vector<std::string>{"File Open Error!"});
    QCOMPARE(RowsOf(*frame.View()), before);

    // Without an archive yet the dialog starts in the start-up folder.
    fs::remove(archive);
    frame.OnCommand(ID_FILE_OPEN);
    QCOMPARE(files.offered.back(), dir.Str());
  }
  QDir::setCurrent(previous);
}

void TestAppOpen::recentDownloadsNewestEightAndOpen() {
  TempFolder dir;
  CVandryApp app;
  CMainFrame frame;
  RecordingMessages prompt;
  frame.SetPrompt(&prompt);
  const std::string archive = dir.File("archive");
  frame.SetArchiveFolder(archive);
  QMenu* recent = frame.RecentMenu();

  // None yet (no folder even): one entry that cannot be chosen.
  emit recent->aboutToShow();
  QCOMPARE(recent->actions().size(), 1);
  QVERIFY(!recent->actions().constFirst()->isEnabled());

  // Ten downloads written out of order, two in the same second, and files
  // that are not downloads.
  const std::tm times[] = {At(2026, 3, 1, 8, 0, 0),   At(2025, 12, 31, 23, 59, 59),
                           At(2026, 11, 2, 7, 5, 9),  At(2026, 1, 15, 12, 0, 0),
                           At(2026, 11, 2, 7, 5, 9),  At(2024, 6, 6, 6, 6, 6),
                           At(2026, 2, 28, 0, 0, 1),  At(2026, 10, 10, 10, 10, 10),
                           At(2026, 7, 4, 18, 30, 0), At(2026, 5, 20, 9, 45, 30)};
  int sessions = 1;
  std::vector<std::string> paths;
  for (const std::tm& t : times) {
    const auto path = ArchiveDownload(archive, t, DemoDump(sessions++));
    QVERIFY(path);
    paths.push_back(*path);
  }
  test::WriteBytes(archive + "/notes.bin", DemoDump(2));
  test::WriteBytes(archive + "/yelvane-2099.bin", DemoDump(2));

  emit recent->aboutToShow();
  QStringList texts;
  for (QAction* action : recent->actions()) {
    texts << action->text();
    QVERIFY(action->isEnabled());
  }
  QCOMPARE(texts, QStringList({"2026-11-02 07:05:09", "2026-11-02 07:05:09", "2026-10-10 10:10:10",
                               "2026-07-04 18:30:00", "2026-05-20 09:45:30", "2026-03-01 08:00:00",
                               "2026-02-28 00:00:01", "2026-01-15 12:00:00"}));
  // The later of the same second first; each names its file in the prompt.
  QCOMPARE(recent->actions()[0]->statusTip().toStdString(), paths[4]);
  QCOMPARE(recent->actions()[1]->statusTip().toStdString(), paths[2]);

  // Choosing one opens it as Open Download does.
  recent->actions()[2]->trigger();
  QTRY_COMPARE(frame.TableDump(), paths[7]);
  QCOMPARE(test::LogLines(frame.LogControl()),
           (std::vector<std::string>{"Command: Open Download", paths[7],
                                     "Reported the flash data successfully!"}));
  QCOMPARE(frame.View()->RowCount(), 8);
  QCOMPARE(frame.StatusText(), QString::fromStdString(fs::path(paths[7]).filename().string()));
  QVERIFY(prompt.boxes.empty());
}

QTEST_MAIN(TestAppOpen)
#include "tst_app_open.moc"
