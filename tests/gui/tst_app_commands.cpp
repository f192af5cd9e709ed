// The unit commands on the main window, end to end on the simulated logger:
// dialogs, workers on their threads, the table, the log and the poll.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <memory>

#include "activity/FlashReport.h"
#include "app/DlgPetInfo.h"
#include "app/DlgUnitFlash.h"
#include "app/MainFrm.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "sim/DemoData.h"
#include "sim/SimulatedLogger.h"
#include "support/Gui.h"
#include "support/Recorders.h"
#include "unit/FirmwareImage.h"
#include "widgets/GradientProgressCtrl.h"

using namespace yelvane;
using yelvane::test::LogLines;
using yelvane::test::RecordingMessages;
using yelvane::test::WhenModal;

namespace {

class FixedImage final : public ImageFilePrompt {
 public:
  std::optional<std::string> ChooseImage(const std::string& initialName) override {
    asked = initialName;
    return path;
  }
  std::optional<std::string> path;
  std::string asked;
};

void WriteFile(const QString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path.toStdString(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFileBytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One removable drive that this user may not open.
class DeniedDrives final : public DriveEnumerator {
 public:
  std::vector<DriveCandidate> Candidates() override { return {{"/dev/sdq"}}; }
  std::unique_ptr<RawVolume> NewVolume() override { return std::make_unique<Refused>(); }
  DriveVerdict Diagnose(DriveVerdict) override { return DriveVerdict::PermissionDenied; }

 private:
  class Refused final : public RawVolume {
   public:
    bool Open(const std::string&) override { return false; }
    void Close() override {}
    bool ReadSectors(uint32_t, void*, uint32_t) override { return false; }
    bool WriteSectors(uint32_t, const void*, uint32_t) override { return false; }
    bool Lock() override { return false; }
    bool Unlock() override { return true; }
  };
};

// A main window on a simulated logger, in a temporary start-up folder.
struct Bench {
  explicit Bench(int sessions = kDefaultDemoSessions) {
    previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    app = std::make_unique<CVandryApp>();
    memory = MakeDemoMemory(DemoOptions{.sessions = sessions});
    logger = std::make_shared<SimulatedLogger>(memory);
    drives.Add("sim0", logger);
    // The erase image the erase command sends.
    WriteFile(dir.filePath("Erase.msc"),
              BuildImage({1, 0x10000, 0x4F200}, std::vector<uint8_t>(0x4F200, 0xFF)));
    frame = std::make_unique<CMainFrame>();
    frame->SetDrives(drives);
    frame->SetPrompt(&prompt);
    frame->SetImagePrompt(&images);
    frame->SetArchiveFolder(dir.filePath("archive").toStdString());
    frame->show();
  }
  ~Bench() {
    frame.reset();
    app.reset();
    QDir::setCurrent(previous);
  }
  void Attach() {
    frame->CheckUnitPresence();
    QVERIFY(frame->UnitConnected());
  }
  std::vector<std::string> Lines() const { return LogLines(frame->LogControl()); }

  QString previous;
  QTemporaryDir dir;
  std::unique_ptr<CVandryApp> app;
  std::vector<uint8_t> memory;
  std::shared_ptr<SimulatedLogger> logger;
  SimulatedDrives drives;
  RecordingMessages prompt;
  FixedImage images;
  std::unique_ptr<CMainFrame> frame;
};

// Fills the pet dialog when it comes up and presses OK (or Cancel).
void AnswerPetDialog(const QString& name, const QString& owner, const QString& location,
                     bool ok = true) {
  WhenModal<CDlgPetInfo>([=](CDlgPetInfo* dialog) {
    dialog->Edit(1001)->setText(name);
    dialog->Edit(1002)->setText(owner);
    dialog->Edit(1003)->setText(location);
    if (ok)
      dialog->accept();
    else
      dialog->reject();
  });
}

// What a progress dialog showed when it closed.
struct DialogShot {
  QString title;
  QString transfer;
  QString rate;
  QString status;
  int percent = -1;
  bool refusedWhileRunning = false;
  bool seen = false;
};

template <class T>
void WatchDialog(DialogShot& shot) {
  WhenModal<T>([&shot](T* dialog) {
    shot.seen = true;
    shot.title = dialog->windowTitle();
    QObject::connect(dialog, &QDialog::finished, [&shot, dialog] {
      shot.transfer = dialog->FieldText(CDlgUnitFlash::kTransferField);
      shot.rate = dialog->FieldText(CDlgUnitFlash::kRateField);
      shot.status = dialog->FieldText(CDlgUnitFlash::kStatusField);
      shot.percent = dialog->ProgressBar()->GetPos();
      // For looking at the dialog: YELVANE_SHOT_DIR=/tmp/shots.
      const QString shots = qEnvironmentVariable("YELVANE_SHOT_DIR");
      if (!shots.isEmpty()) dialog->grab().save(shots + "/" + shot.title + ".png");
    });
  });
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

class TestAppCommands : public QObject {
  Q_OBJECT
 private slots:
  void readRoadOnSimulator();
  void readWithoutUnit();
  void readPetDialogCancelled();
  void readLoggerPulledOut();
  void eraseAfterReadWithYes();
  void eraseQuestionComesOverTheWholeDenseTable();
  void upgradeEmptiesTableAndPetLabels();
  void upgradeCancelledAtFileDialog();
  void rtcOnAndOffTheSimulator();
  void usbLabelFollowsSimulatedLogger();
  void aboutReadsFirmwareVersion();
  void dialogRefusesCancelWhileWorkerRunsAndClosesAfterASecond();
  void closingWhileReportRunsNeitherCrashesNorHangs();
  void closingDuringReadDialog();
  void startupDetectionOffersAndDeletesImage();
};

void TestAppCommands::readRoadOnSimulator() {
  Bench bench;
  bench.Attach();
  bench.prompt.answers = {false};  // keep the data on the logger
  // The erase question comes over the whole table.
  int rowsWhileAsked = -1;
  bench.prompt.whileAsking = [&] { rowsWhileAsked = bench.frame->View()->Model()->rowCount(); };
  AnswerPetDialog("Rex", "Ann", " Park");
  DialogShot shot;
  WatchDialog<CDlgReadFlash>(shot);
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  bench.frame->FinishReport();
  QApplication::processEvents();

  const auto lines = bench.Lines();
  // Where the copy went: the archive's one file, the bytes of the read.
  const std::string kept = bench.frame->Commands().LastArchivePath();
  QCOMPARE(QFileInfo(QString::fromStdString(kept)).absolutePath(),
           QFileInfo(bench.dir.filePath("archive/x")).absolutePath());
  QVERIFY(ReadFileBytes(QString::fromStdString(kept)) ==
          std::vector<uint8_t>(bench.memory.begin() + 0x10000, bench.memory.end()));
  const std::vector<std::string> head = {"Command: Read Memory Data",
                                         "",
                                         "Please input the pet information.",
                                         "Pet Name: Rex",
                                         "Pet Owner: Ann",
                                         "Pet Location:  Park",
                                         "",
                                         "Flash memory: Internal Flash",
                                         "Start address: 0x00010000",
                                         "File size: 327680",
                                         "",
                                         "Start to read flash data...",
                                         "Read flash is complete.",
                                         "Read flash data successfully!",
                                         "Kept a copy in " + kept,
                                         "",
                                         "Start to report the flash data..."};
  QVERIFY(lines.size() > head.size());
  QCOMPARE(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head);
  // The report's last line, then the erase offer.
  const std::vector<std::string> tail = {kFlashReportSuccess, "Command: Erase Memory Data",
                                         "Cancel that erase memory data."};
  QCOMPARE(std::vector<std::string>(lines.end() - 3, lines.end()), tail);
  QCOMPARE(bench.prompt.boxes.size(), 1u);
  QCOMPARE(bench.prompt.boxes[0].caption, std::string("Erase Data"));
  QCOMPARE(rowsWhileAsked, 21);

  // The dialog saw the whole transfer: 640 sectors into tmp.bin.
  QVERIFY(shot.seen);
  QCOMPARE(shot.title, QString("Read Flash Data"));
  QCOMPARE(shot.transfer, QString("320K/320K"));
  QCOMPARE(shot.rate, QString("Read flash is complete."));
  QCOMPARE(shot.status, QString("Target Memory : Internal Flash"));
  QCOMPARE(shot.percent, 100);
  const auto dump = ReadFileBytes(bench.dir.filePath("tmp.bin"));
  QCOMPARE(dump.size(), std::size_t{327680});
  QVERIFY(std::equal(dump.begin(), dump.end(), bench.memory.begin() + 0x10000));

  // The table holds what the report walk makes of that dump.
  MemorySessionTable expected;
  NullLog log;
  NullProgress progress;
  NullMessages messages;
  ReportFlashData(bench.dir.filePath("tmp.bin").toStdString(), expected, log, progress, messages);
  QVERIFY(expected.RowCount() > 0);
  QCOMPARE(bench.frame->View()->RowCount(), expected.RowCount());
  for (int r = 0; r < expected.RowCount(); ++r)
    for (int c = 0; c < kSessionColumns; ++c)
      QCOMPARE(bench.frame->View()->CellText(r, c, kCellBufferSize),
               expected.CellText(r, c, kCellBufferSize));
  QVERIFY(bench.frame->PresencePollActive());
  QCOMPARE(bench.frame->PetLocationLabel()->text(), QString("Pet Location:  Park"));

  // The chart lists read the first session back from the screen's table.
  QVERIFY(bench.app->LoadSessionChart(*bench.frame->View(), 1,
                                      bench.dir.filePath("tmp.bin").toStdString()));
  const ChartSeries& chart = bench.app->Chart();
  QVERIFY(chart.labels.size() >= 2);
  QCOMPARE(chart.bark.size(), chart.labels.size());
  QCOMPARE(chart.labels.front() + " ", bench.frame->View()->CellText(0, 4, 31).substr(11) + " ");
  QVERIFY(!bench.app->LoadSessionChart(*bench.frame->View(), 1, "/nonexistent/tmp.bin"));
}

void TestAppCommands::readWithoutUnit() {
  Bench bench;
  bench.logger->Unplug();
  bench.frame->CheckUnitPresence();
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  const std::vector<std::string> expected = {"Command: Read Memory Data",
                                             "USB is Disconnected, Please check the USB!"};
  QCOMPARE(bench.Lines(), expected);
  QCOMPARE(bench.prompt.boxes.size(), 1u);
  QCOMPARE(bench.prompt.boxes[0].text, expected[1]);
  QVERIFY(bench.frame->PresencePollActive());

  // A logger this user may not open: the label as for no logger, and one
  // more log line naming the drive and the fix.
  DeniedDrives denied;
  bench.frame->SetDrives(denied);
  bench.frame->CheckUnitPresence();
  QCOMPARE(bench.frame->UsbStatusLabel()->text(), QString("USB Disconnected"));
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  std::vector<std::string> withReason = expected;
  withReason.push_back(DriveTroubleText("/dev/sdq", DriveVerdict::PermissionDenied));
  QCOMPARE(bench.Lines(), withReason);
  QVERIFY(withReason.back().find("sudo yelvane-cli setup-access") != std::string::npos);
  QCOMPARE(bench.prompt.boxes.size(), 2u);
  bench.frame->SetDrives(bench.drives);
}

void TestAppCommands::readPetDialogCancelled() {
  Bench bench;
  bench.Attach();
  bench.frame->View()->InsertRow(0);
  bench.frame->View()->SetCellText(0, 0, "7");
  AnswerPetDialog("Max", "Bob", "Home", false);
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  const auto lines = bench.Lines();
  QCOMPARE(lines.back(), std::string("Cancel the flash data read."));
  QCOMPARE(bench.frame->View()->RowCount(), 1);
  QCOMPARE(bench.frame->Pet().name, std::string());
  QVERIFY(bench.prompt.boxes.empty());
  QVERIFY(!QFile::exists(bench.dir.filePath("tmp.bin")));
}

void TestAppCommands::readLoggerPulledOut() {
  Bench bench;
  bench.Attach();
  bench.frame->View()->InsertRow(0);
  bench.logger->UnplugAfter(200);
  AnswerPetDialog("Rex", "Ann", "Park");
  DialogShot shot;
  WatchDialog<CDlgReadFlash>(shot);
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  const auto lines = bench.Lines();
  QVERIFY(Contains(lines, "Failed to read flash data! Please retry!"));
  QCOMPARE(lines.back(),
           std::string("Cancel the data report because of USB device had been unpluged!"));
  QCOMPARE(shot.status, QString("Failed to read flash data! Please retry!"));
  QCOMPARE(bench.frame->View()->RowCount(), 0);
  QVERIFY(bench.frame->PresencePollActive());
  bench.frame->CheckUnitPresence();
  QCOMPARE(bench.frame->UsbStatusLabel()->text(), QString("USB Disconnected"));
}

void TestAppCommands::eraseAfterReadWithYes() {
  Bench bench;
  bench.Attach();
  bench.prompt.answers = {true};
  AnswerPetDialog("Rex", "Ann", "Park");
  DialogShot readShot;
  WatchDialog<CDlgReadFlash>(readShot);
  // The erase dialog comes up after the read dialog has gone.
  DialogShot eraseShot;
  QTimer::singleShot(0, [&] {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, &eraseShot] {
      auto* dialog = qobject_cast<CDlgEraseFlash*>(QApplication::activeModalWidget());
      if (!dialog || eraseShot.seen) return;
      eraseShot.seen = true;
      eraseShot.title = dialog->windowTitle();
      timer->stop();
      timer->deleteLater();
    });
    timer->start(5);
  });
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  bench.frame->FinishReport();
  const auto lines = bench.Lines();
  QVERIFY(Contains(lines, "Erased all data successfully!"));
  QVERIFY(eraseShot.seen);
  QCOMPARE(eraseShot.title, QString("Erase Flash Data"));
  // The table still shows what was read before the erase.
  QVERIFY(bench.frame->View()->RowCount() > 0);
  const auto after = bench.logger->Memory();
  QVERIFY(std::all_of(after.begin() + 0x10000, after.begin() + 0x20000,
                      [](uint8_t b) { return b == 0xFF; }));
}

void TestAppCommands::eraseQuestionComesOverTheWholeDenseTable() {
  // A full logger: its report walk takes long enough on its worker for a
  // question asked too early to find the table part-filled.
  Bench bench(3000);
  bench.Attach();
  bench.prompt.answers = {false};
  int rowsWhileAsked = -1;
  bool reportRunningWhileAsked = true;
  bench.prompt.whileAsking = [&] {
    rowsWhileAsked = bench.frame->View()->Model()->rowCount();
    reportRunningWhileAsked = bench.frame->ReportRunning();
  };
  AnswerPetDialog("Rex", "Ann", "Park");
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  QCOMPARE(bench.prompt.questions, std::vector<std::string>{kEraseQuestion});
  QCOMPARE(rowsWhileAsked, 3000);
  QVERIFY(!reportRunningWhileAsked);
  QCOMPARE(bench.frame->View()->RowCount(), 3000);
  QCOMPARE(bench.Lines().back(), std::string("Cancel that erase memory data."));
}

void TestAppCommands::upgradeEmptiesTableAndPetLabels() {
  Bench bench;
  bench.Attach();
  bench.frame->SetPet({.name = "Rex", .owner = "Ann", .location = "Park"});
  bench.frame->RefreshPetLabels();
  bench.frame->View()->InsertRow(0);
  bench.frame->View()->InsertRow(1);
  const QString image = bench.dir.filePath("new.msc");
  WriteFile(image, BuildImage({2, 0, 1000}, std::vector<uint8_t>(1000, 0x5A)));
  bench.images.path = image.toStdString();
  bench.prompt.answers = {true};
  DialogShot shot;
  WatchDialog<CDlgEraseFlash>(shot);
  bench.frame->OnCommand(ID_UPGRADE_FIRMWARE);

  QCOMPARE(bench.prompt.boxes[0].text,
           std::string("Are you sure you want to upgrade the firmware?"));
  QCOMPARE(bench.prompt.boxes[0].caption, std::string("Upgrade Firmware"));
  QCOMPARE(bench.images.asked, bench.dir.filePath("*.msc").toStdString());
  QCOMPARE(shot.title, QString("Upgrade firmware..."));
  QCOMPARE(shot.rate, QString("Upgrade is complete."));
  QCOMPARE(bench.Lines().back(), std::string("Upgrade the firmware successfully!"));
  QCOMPARE(bench.frame->View()->RowCount(), 0);
  QCOMPARE(bench.frame->Pet().name, std::string());
  QCOMPARE(bench.frame->PetNameLabel()->text(), QString("Pet Name: "));
  QCOMPARE(bench.frame->PetOwnerLabel()->text(), QString("Pet Owner: "));
  QCOMPARE(bench.frame->PetLocationLabel()->text(), QString("Pet Location: "));
  QVERIFY(bench.frame->PresencePollActive());
  QCOMPARE(QDir::currentPath(), bench.dir.path());
}

void TestAppCommands::upgradeCancelledAtFileDialog() {
  Bench bench;
  bench.Attach();
  bench.frame->View()->InsertRow(0);
  bench.images.path.reset();
  bench.prompt.answers = {true};
  bench.frame->OnCommand(ID_UPGRADE_FIRMWARE);
  QCOMPARE(bench.Lines().back(), std::string("Command: Upgrade Firmware"));
  QCOMPARE(bench.frame->View()->RowCount(), 1);
  QVERIFY(bench.frame->PresencePollActive());
}

void TestAppCommands::rtcOnAndOffTheSimulator() {
  Bench bench;
  // Off: no unit, nothing sent, the poll keeps running.
  bench.logger->Unplug();
  bench.frame->CheckUnitPresence();
  bench.frame->OnCommand(ID_RTC_SYNCHRONIZE);
  std::vector<std::string> expected = {"Command: Time synchronize.",
                                       "USB is Disconnected, Please check the USB!"};
  QCOMPARE(bench.Lines(), expected);
  QVERIFY(!bench.logger->LastClock());
  QVERIFY(bench.frame->PresencePollActive());

  // On: one set-clock block with the PC's time.
  bench.logger->Plug();
  bench.Attach();
  bench.prompt.boxes.clear();
  const std::time_t before = std::time(nullptr);
  bench.frame->OnCommand(ID_RTC_SYNCHRONIZE);
  expected = {"Command: Time synchronize.", "Device Timer is synchronized with your PC Timer!"};
  QCOMPARE(bench.Lines(), expected);
  QCOMPARE(bench.prompt.boxes.size(), 1u);
  const auto clock = bench.logger->LastClock();
  QVERIFY(clock.has_value());
  std::tm local{};
  localtime_r(&before, &local);
  QCOMPARE(int(clock->year), local.tm_year - 100);
  QCOMPARE(int(clock->month), local.tm_mon + 1);
  QVERIFY(bench.frame->PresencePollActive());

  // Pulled out after the last poll: the failure text, the poll restarted.
  bench.logger->Unplug();
  bench.frame->OnCommand(ID_RTC_SYNCHRONIZE);
  expected = {"Command: Time synchronize.", "Failed To Synchronize Time!", "Please Retry!"};
  QCOMPARE(bench.Lines(), expected);
  QVERIFY(bench.frame->PresencePollActive());
}

void TestAppCommands::usbLabelFollowsSimulatedLogger() {
  Bench bench;
  QCOMPARE(bench.frame->UsbStatusLabel()->text(), QString("USB Disconnected"));
  QTRY_COMPARE_WITH_TIMEOUT(bench.frame->UsbStatusLabel()->text(), QString("USB Connected"), 3000);
  QVERIFY(bench.frame->UnitConnected());
  bench.logger->Unplug();
  QTRY_COMPARE_WITH_TIMEOUT(bench.frame->UsbStatusLabel()->text(), QString("USB Disconnected"),
                            3000);
  QVERIFY(!bench.frame->UnitConnected());
  bench.logger->Plug();
  QTRY_COMPARE_WITH_TIMEOUT(bench.frame->UsbStatusLabel()->text(), QString("USB Connected"), 3000);
}

void TestAppCommands::aboutReadsFirmwareVersion() {
  Bench bench;
  QString seen;
  const auto watch = [&seen] {
    WhenModal<QDialog>([&seen](QDialog* dialog) {
      seen = dialog->findChild<QLabel*>("label1004")->text();
      dialog->accept();
    });
  };
  watch();
  bench.frame->OnCommand(ID_APP_ABOUT);
  QCOMPARE(seen, QString("USB Disconnected, Unknown"));
  bench.Attach();
  watch();
  bench.frame->OnCommand(ID_APP_ABOUT);
  QCOMPARE(seen, QString("1.0"));
}

void TestAppCommands::dialogRefusesCancelWhileWorkerRunsAndClosesAfterASecond() {
  SimulatedDrives drives;
  NullLog log;
  NullMessages messages;
  ReadJob job;
  CDlgReadFlash dialog(
      job,
      DialogContext{.drives = drives, .log = log, .messages = messages, .clock = DefaultClock()});
  QSignalSpy finished(&dialog, &QDialog::finished);
  job.workerDone = false;
  dialog.reject();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QCOMPARE(finished.count(), 0);
  job.workerDone = true;
  QElapsedTimer clock;
  clock.start();
  dialog.CloseAfterDelay();
  QTest::qWait(600);
  QCOMPARE(finished.count(), 0);
  QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 2000);
  QVERIFY(clock.elapsed() >= 950);
}

void TestAppCommands::closingWhileReportRunsNeitherCrashesNorHangs() {
  Bench bench;
  WriteFile(bench.dir.filePath("full.bin"), DumpSlice(MakeDemoMemory(DemoOptions{3000, 7, false})));
  bench.prompt.answers = {true};
  bench.frame->StartReport(bench.dir.filePath("full.bin").toStdString());
  QTest::qWait(20);
  QVERIFY(bench.frame->close());
  bench.frame.reset();  // joins the report worker
  QVERIFY(!bench.frame);
}

void TestAppCommands::closingDuringReadDialog() {
  Bench bench;
  bench.Attach();
  AnswerPetDialog("Rex", "Ann", "Park");
  bool closed = false;
  WhenModal<CDlgReadFlash>([&](CDlgReadFlash*) {
    bench.prompt.answers = {true};
    closed = bench.frame->close();
  });
  bench.frame->OnCommand(ID_READ_MEMORY_DATA);
  QVERIFY(closed);
  // Nothing more was asked once the window said goodbye.
  QCOMPARE(bench.prompt.boxes.size(), 1u);
  QCOMPARE(bench.prompt.boxes[0].caption, std::string("Exit"));
  QVERIFY(!bench.frame->ReportRunning());
}

void TestAppCommands::startupDetectionOffersAndDeletesImage() {
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  QDir().mkdir("Firmware");
  const QString image = dir.filePath("Firmware/new.msc");
  WriteFile(image, BuildImage({2, 0, 512}, std::vector<uint8_t>(512, 1)));
  {
    CVandryApp app;
    SimulatedDrives drives;
    drives.Add("sim0", std::make_shared<SimulatedLogger>(MakeBlankMemory()));
    RecordingMessages prompt;
    CMainFrame frame;
    frame.SetDrives(drives);
    frame.SetPrompt(&prompt);
    prompt.answers = {false};
    frame.CheckUnitPresence();
    QTRY_VERIFY_WITH_TIMEOUT(!prompt.boxes.empty(), 3000);
    QVERIFY(prompt.boxes[0].text.rfind("Detect new firmware(\"", 0) == 0);
    QCOMPARE(prompt.boxes[0].caption, std::string("Upgrade Firmware"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(image), 2000);
    QCOMPARE(LogLines(frame.LogControl()).back(), std::string("Cancel that upgrade firmware."));
  }
  QDir::setCurrent(previous);
}

QTEST_MAIN(TestAppCommands)
#include "tst_app_commands.moc"
