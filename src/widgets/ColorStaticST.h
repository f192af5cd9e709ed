#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QBasicTimer>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLabel>

namespace yelvane {

// Text label with its own text colour, background colour and font. Colour
// changes repaint the label at once. The text is set with setText().
class CColorStaticST : public QLabel {
  Q_OBJECT

 public:
  // Blink speeds: the period of one colour swap.
  enum BlinkSpeed { kSpeedSlow = 0, kSpeedMedium = 1, kSpeedFast = 2 };

  explicit CColorStaticST(QWidget* parent = nullptr);
  explicit CColorStaticST(const QString& text, QWidget* parent = nullptr);
  ~CColorStaticST() override;

  // An invalid QColor selects the system's button text / button face colour.
  void SetTextColor(const QColor& color);
  void SetBkColor(const QColor& color);
  QColor GetTextColor() const { return m_clrText; }
  QColor GetBkColor() const { return m_clrBk; }
  QBrush GetBkBrush() const { return m_brBk; }

  // The font the label was built with: "Lucida Sans Unicode", 18 pixels of
  // cell height, medium weight, fixed pitch, no antialiasing.
  static QFont DefaultFont();

  // Blinking swaps between the two given colours on a timer. Nothing in the
  // program starts it, but it is part of what the label can do.
  void SetBlinkTextColors(const QColor& first, const QColor& second);
  void SetBlinkBkColors(const QColor& first, const QColor& second);
  void StartTextBlink(bool start, BlinkSpeed speed = kSpeedMedium);
  void StartBkBlink(bool start, BlinkSpeed speed = kSpeedMedium);
  static int BlinkPeriodMs(BlinkSpeed speed);

  // With eliding on, a text wider than the label is drawn cut short with
  // "…", and the whole text becomes the label's tooltip. text() stays whole.
  void SetElide(bool elide);
  // Also keeps the tooltip of an elided text up to date.
  void setText(const QString& text);
  // What the label draws.
  QString DisplayText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void RestartBlinkTimer(BlinkSpeed speed);
  QRect TextRect() const;
  void UpdateElideTip();

  QColor m_clrText;
  QColor m_clrBk;
  QBrush m_brBk;

  QColor m_clrBlinkText[2];
  QColor m_clrBlinkBk[2];
  bool m_bTextBlink = false;
  bool m_bBkBlink = false;
  bool m_bBlinkPhase = false;
  bool elide_ = false;
  QBasicTimer m_blinkTimer;
};

}  // namespace yelvane
