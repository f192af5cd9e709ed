#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QtTest>

#include "support/Gui.h"
#include "widgets/ColorStaticST.h"
#include "widgets/GradientProgressCtrl.h"

using yelvane::CColorStaticST;
using yelvane::CGradientProgressCtrl;
using yelvane::test::SaveShot;

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 20;
const QColor kGreen(0, 128, 0);
const QColor kBrightGreen(0, 220, 0);
const QColor kBlue(0, 0, 255);
const QColor kBack(240, 240, 240);

// The bar as the main window's progress pane sets it up.
void SetUpLikeReadCommand(CGradientProgressCtrl& bar) {
  bar.resize(kWidth, kHeight);
  bar.SetRange(0, 100);
  bar.SetStartColor(kGreen);
  bar.SetEndColor(kBrightGreen);
  bar.SetTextColor(kBlue);
  bar.SetBkColor(kBack);
}

QImage Render(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels that differ from `reference`, as a bounding rectangle.
QRect DiffBounds(const QImage& image, const QImage& reference) {
  QRect bounds;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != reference.pixel(x, y)) bounds |= QRect(x, y, 1, 1);
  return bounds;
}

bool AllPixels(const QImage& image, const QColor& color) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) != color) return false;
  return true;
}

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

class TestWidgetsPaint : public QObject {
  Q_OBJECT

 private slots:
  void gradientStartsEmptyWithDefaults() {
    CGradientProgressCtrl bar;
    QCOMPARE(bar.GetLower(), 0);
    QCOMPARE(bar.GetUpper(), 100);
    QCOMPARE(bar.GetStep(), 10);
    QCOMPARE(bar.GetPos(), 0);
    QCOMPARE(bar.GetStartColor(), QColor(0, 0, 128));
    QCOMPARE(bar.GetEndColor(), QColor(0, 0, 255));
    QCOMPARE(bar.GetTextColor(), QColor(255, 255, 255));
    QVERIFY(!bar.GetShowPercent());
    QVERIFY(bar.GetCaption().isEmpty());
    bar.resize(kWidth, kHeight);
    QVERIFY(AllPixels(Render(bar), bar.GetBkColor()));
  }

  void gradientAtLowerBoundIsAllBackground() {
    CGradientProgressCtrl bar;
    SetUpLikeReadCommand(bar);
    const QImage blank = Render(bar);
    QVERIFY(AllPixels(blank, kBack));

    // After a run the bar goes back to 0: the old fill and text must go.
    bar.SetPos(70, QStringLiteral("Read"));
    QVERIFY(!AllPixels(Render(bar), kBack));
    bar.SetShowPercent(false);
    bar.SetPos(0);
    QVERIFY(AllPixels(Render(bar), kBack));

    // With the percentage on, only the centred "0%" text is drawn.
    bar.SetPos(0, QString());
    QCOMPARE(bar.PercentText(), QStringLiteral("0%"));
    const QRect text = DiffBounds(Render(bar), blank);
    QVERIFY(text.isValid());
    QVERIFY(qAbs(text.center().x() - kWidth / 2) <= 3);
    bar.SetPos(0, QStringLiteral("Read"));
    QCOMPARE(bar.PercentText(), QStringLiteral("Read : 0%"));
  }

  void gradientHalfwayEndsOnBandBoundary() {
    CGradientProgressCtrl bar;
    SetUpLikeReadCommand(bar);
    bar.SetPos(50, QStringLiteral("Read"));
    QVERIFY(bar.GetShowPercent());
    QCOMPARE(bar.PercentText(), QStringLiteral("Read : 50%"));
    const QImage image = Render(bar);
    SaveShot(bar, QStringLiteral("gradient-50"));

    // Green 128 to 220 gives 92 bands of 300/92 pixels, one green step each.
    // Half the width is 150; the first band edge beyond it is 47 bands in,
    // at x = 153, and the band before it has green 128 + 46.
    QCOMPARE(image.pixelColor(0, 0), kGreen);
    QCOMPARE(image.pixelColor(4, 0), QColor(0, 129, 0));
    QCOMPARE(image.pixelColor(152, 0), QColor(0, 174, 0));
    QCOMPARE(image.pixelColor(152, kHeight - 1), QColor(0, 174, 0));
    for (int x = 153; x < kWidth; ++x) QCOMPARE(image.pixelColor(x, 0), kBack);

    // The text sits centred on both axes, in the text colour.
    bar.SetShowPercent(false);
    const QImage plain = Render(bar);
    const QRect text = DiffBounds(image, plain);
    QVERIFY(text.isValid());
    QVERIFY2(qAbs(text.center().x() - kWidth / 2) <= 3, qPrintable(QString::number(text.x())));
    QVERIFY(qAbs(text.center().y() - kHeight / 2) <= 3);
    const int textWidth = QFontMetrics(bar.font()).horizontalAdvance(QStringLiteral("Read : 50%"));
    QVERIFY(qAbs(text.width() - textWidth) <= 4);
    bool sawTextColour = false;
    for (int y = text.top(); y <= text.bottom(); ++y)
      for (int x = text.left(); x <= text.right(); ++x)
        if (image.pixelColor(x, y) == kBlue) sawTextColour = true;
    QVERIFY(sawTextColour);
  }

  void gradientFullRunsToEndColour() {
    CGradientProgressCtrl bar;
    SetUpLikeReadCommand(bar);
    bar.SetPos(100);
    const QImage image = Render(bar);
    for (int x = 0; x < kWidth; ++x) QVERIFY(image.pixelColor(x, 0) != kBack);
    QCOMPARE(image.pixelColor(kWidth - 1, 0), QColor(0, 219, 0));
  }

  void gradientOutsideRangeShowsNothing() {
    CGradientProgressCtrl bar;
    SetUpLikeReadCommand(bar);
    const QColor face = bar.palette().color(QPalette::Button);
    bar.SetPos(101, QStringLiteral("Read"));
    QVERIFY(bar.PercentText().isEmpty());
    QVERIFY(AllPixels(Render(bar), face));
    bar.SetPos(-1);
    QVERIFY(AllPixels(Render(bar), face));
  }

  void gradientRangeAndDegenerateInput() {
    CGradientProgressCtrl bar;
    bar.resize(kWidth, kHeight);
    bar.SetRange(0, 640);
    bar.SetPos(320, QStringLiteral("x"));
    QCOMPARE(bar.PercentText(), QStringLiteral("x : 50%"));
    bar.SetRange(10, 110);
    QCOMPARE(bar.GetPos(), 10);
    QCOMPARE(bar.PercentText(), QStringLiteral("x : 0%"));
    QCOMPARE(bar.FillWidth(kWidth), 0);
    // An empty range or equal colours must neither divide by zero nor hang.
    bar.SetRange(0, 0);
    bar.SetPos(0);
    QCOMPARE(bar.PercentText(), QStringLiteral("x : 0%"));
    QVERIFY(!Render(bar).isNull());
    bar.SetRange(0, 100);
    bar.SetStartColor(kBlue);
    bar.SetEndColor(kBlue);
    bar.SetShowPercent(false);
    bar.SetPos(100);
    QCOMPARE(Render(bar).pixelColor(kWidth / 2, 1), kBlue);
  }

  void colourLabelDefaults() {
    CColorStaticST label(QStringLiteral("BARK"));
    QCOMPARE(label.GetTextColor(), QApplication::palette().color(QPalette::ButtonText));
    QCOMPARE(label.GetBkColor(), QApplication::palette().color(QPalette::Button));
    const QFont font = label.font();
    QCOMPARE(font.family(), QStringLiteral("Lucida Sans Unicode"));
    QCOMPARE(font.weight(), QFont::Medium);
    QVERIFY(font.fixedPitch());
    QVERIFY(font.styleStrategy() & QFont::NoAntialias);
    QVERIFY(QFontMetrics(font).height() <= 18);
  }

  void colourLabelRepaintsAtOnce() {
    QWidget window;
    window.resize(320, 40);
    auto* label = new CColorStaticST(QStringLiteral("USB Disconnected"), &window);
    label->setGeometry(0, 0, 320, 40);
    label->setAlignment(Qt::AlignCenter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();

    PaintCounter counter;
    label->installEventFilter(&counter);
    label->SetBkColor(QColor(153, 204, 255));
    // Painted before control returns, not at some later event-loop turn.
    QCOMPARE(counter.paints, 1);
    QCOMPARE(label->GetBkBrush().color(), QColor(153, 204, 255));
    QCOMPARE(Render(*label).pixelColor(1, 1), QColor(153, 204, 255));

    counter.paints = 0;  // grabbing paints too
    label->SetTextColor(QColor(255, 0, 0));
    QCOMPARE(counter.paints, 1);
    const QImage red = Render(*label);
    SaveShot(*label, QStringLiteral("colour-label-red"));
    bool sawRed = false;
    for (int y = 0; y < red.height(); ++y)
      for (int x = 0; x < red.width(); ++x)
        if (red.pixelColor(x, y) == QColor(255, 0, 0)) sawRed = true;
    QVERIFY(sawRed);

    // An invalid colour stands for the system colour.
    label->SetBkColor(QColor());
    QCOMPARE(label->GetBkColor(), QApplication::palette().color(QPalette::Button));
    QCOMPARE(Render(*label).pixelColor(1, 1), QApplication::palette().color(QPalette::Button));
    label->removeEventFilter(&counter);
  }

  void colourLabelBlinks() {
    CColorStaticST label(QStringLiteral("x"));
    label.resize(40, 20);
    label.SetBlinkBkColors(QColor(255, 0, 0), QColor(0, 255, 0));
    QCOMPARE(CColorStaticST::BlinkPeriodMs(CColorStaticST::kSpeedSlow), 2000);
    QCOMPARE(CColorStaticST::BlinkPeriodMs(CColorStaticST::kSpeedFast), 500);
    label.StartBkBlink(true, CColorStaticST::kSpeedFast);
    const QColor first = Render(label).pixelColor(1, 1);
    QCOMPARE(first, QColor(255, 0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(Render(label).pixelColor(1, 1), QColor(0, 255, 0), 2000);
    label.StartBkBlink(false);
    QCOMPARE(Render(label).pixelColor(1, 1), label.GetBkColor());
  }
};

QTEST_MAIN(TestWidgetsPaint)
#include "tst_widgets_paint.moc"
