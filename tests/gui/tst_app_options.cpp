// The program's own options, run as a user would: the screenshot of the main
// window with the sessions of a dump, and bad usage.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include "app/SessionChartPane.h"
#include "sim/DemoData.h"

class TestAppOptions : public QObject {
  Q_OBJECT
 private slots:
  void screenshotShowsTheDumpOnTheSimulatedLogger();
  void selectShowsTheRowsChartInTheShot();
  void badUsageExitsTwo();
  void versionNeedsNoDisplay();

 private:
  static int Run(const QStringList& arguments, const QString& folder, QString* errors = nullptr) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(YELVANE_GUI_PATH), arguments);
    if (!process.waitForFinished(60000)) return -1;
    if (errors) *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitCode();
  }
};

void TestAppOptions::screenshotShowsTheDumpOnTheSimulatedLogger() {
  QTemporaryDir dir;
  const auto dump = yelvane::DumpSlice(yelvane::MakeDemoMemory(yelvane::DemoOptions{}));
  std::ofstream(dir.filePath("demo.bin").toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(dump.data()), static_cast<std::streamsize>(dump.size()));
  const QString shot = dir.filePath("shot.png");
  QCOMPARE(Run({"--simulate", "--screenshot=" + shot, "--open-dump=demo.bin"}, dir.path()), 0);
  const QImage image(shot);
  QCOMPARE(image.size(), QSize(1280, 800));
  // Somewhere in the upper half: the session number column's yellow and the
  // bark and activity tints of the rows.
  int yellow = 0, green = 0, blue = 0;
  for (int y = 60; y < 400; y += 4) {
    for (int x = 0; x < 1100; x += 4) {
      const QColor c = image.pixelColor(x, y);
      yellow += c == QColor(255, 255, 153);
      green += c == QColor(204, 255, 204);
      blue += c == QColor(153, 204, 255);
    }
  }
  QVERIFY(yellow > 100);
  QVERIFY(green > 1000);
  QVERIFY(blue > 1000);
  // The program wrote nothing beside the dump in its folder.
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void TestAppOptions::selectShowsTheRowsChartInTheShot() {
  QTemporaryDir dir;
  const auto dump = yelvane::DumpSlice(yelvane::MakeDemoMemory(yelvane::DemoOptions{}));
  std::ofstream(dir.filePath("demo.bin").toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(dump.data()), static_cast<std::streamsize>(dump.size()));
  const QString shot = dir.filePath("shot.png");
  QCOMPARE(
      Run({"--simulate", "--screenshot=" + shot, "--open-dump=demo.bin", "--select=3"}, dir.path()),
      0);
  const QImage image(shot);
  QCOMPARE(image.size(), QSize(1280, 800));
  // Both lines of the chart pane on the right, in their own colours.
  int bark = 0, activity = 0;
  for (int y = 60; y < 700; ++y) {
    for (int x = 840; x < 1280; ++x) {
      const QColor c = image.pixelColor(x, y);
      bark += c == yelvane::BarkLineColor();
      activity += c == yelvane::ActivityLineColor();
    }
  }
  QVERIFY2(bark > 200, qPrintable(QString::number(bark)));
  QVERIFY2(activity > 200, qPrintable(QString::number(activity)));
  // A row the table does not have is refused, and no shot is taken.
  QString errors;
  QCOMPARE(Run({"--screenshot=" + dir.filePath("x.png"), "--open-dump=demo.bin", "--select=22"},
               dir.path(), &errors),
           1);
  QVERIFY(errors.contains(QStringLiteral("the table has 21 rows")));
  QVERIFY(!QFile::exists(dir.filePath("x.png")));
  QCOMPARE(Run({"--select=0"}, dir.path()), 2);
}

void TestAppOptions::badUsageExitsTwo() {
  QTemporaryDir dir;
  QString errors;
  QCOMPARE(Run({"--no-such-option"}, dir.path(), &errors), 2);
  QVERIFY(!errors.isEmpty());
  QCOMPARE(Run({"--sim-plain"}, dir.path()), 2);
  QCOMPARE(Run({"--screenshot=x.png", "--open-dump=missing.bin"}, dir.path()), 2);
  QVERIFY(!QFile::exists(dir.filePath("x.png")));
}

void TestAppOptions::versionNeedsNoDisplay() {
  // Without a display Qt would stop the program before it parsed a thing.
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    environment.remove(QString::fromLatin1(name));
  }
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(YELVANE_GUI_PATH), {"--version"});
  QVERIFY(process.waitForFinished(60000));
  QCOMPARE(process.exitCode(), 0);
  const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
  QVERIFY2(QRegularExpression(QStringLiteral("^yelvane \\d+(\\.\\d+)+\n$")).match(out).hasMatch(),
           qPrintable(out));
}

QTEST_MAIN(TestAppOptions)
#include "tst_app_options.moc"
