#include "widgets/ColorStaticST.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QTimerEvent>

namespace yelvane {
namespace {

constexpr int kCellHeight = 18;

QColor SystemText() {
  return QApplication::palette().color(QPalette::ButtonText);
}
QColor SystemFace() {
  return QApplication::palette().color(QPalette::Button);
}

}  // namespace

QFont CColorStaticST::DefaultFont() {
  QFont font(QStringLiteral("Lucida Sans Unicode"));
  font.setWeight(QFont::Medium);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
  // 18 is the height of the whole character cell, not of the em square:
  // shrink the pixel size until the line height fits.
  font.setPixelSize(kCellHeight);
  const int height = QFontMetrics(font).height();
  if (height > kCellHeight) font.setPixelSize(qMax(1, kCellHeight * kCellHeight / height));
  return font;
}

CColorStaticST::CColorStaticST(QWidget* parent) : CColorStaticST(QString(), parent) {}

CColorStaticST::CColorStaticST(const QString& text, QWidget* parent)
    : QLabel(text, parent), m_clrText(SystemText()), m_clrBk(SystemFace()), m_brBk(m_clrBk) {
  setFont(DefaultFont());
  m_clrBlinkText[0] = m_clrBlinkText[1] = m_clrText;
  m_clrBlinkBk[0] = m_clrBlinkBk[1] = m_clrBk;
}

CColorStaticST::~CColorStaticST() = default;

void CColorStaticST::SetTextColor(const QColor& color) {
  m_clrText = color.isValid() ? color : SystemText();
  repaint();
}

void CColorStaticST::SetBkColor(const QColor& color) {
  m_clrBk = color.isValid() ? color : SystemFace();
  m_brBk = QBrush(m_clrBk);
  repaint();
}

void CColorStaticST::SetBlinkTextColors(const QColor& first, const QColor& second) {
  m_clrBlinkText[0] = first;
  m_clrBlinkText[1] = second;
}

void CColorStaticST::SetBlinkBkColors(const QColor& first, const QColor& second) {
  m_clrBlinkBk[0] = first;
  m_clrBlinkBk[1] = second;
}

int CColorStaticST::BlinkPeriodMs(BlinkSpeed speed) {
  switch (speed) {
    case kSpeedSlow:
      return 2000;
    case kSpeedFast:
      return 500;
    case kSpeedMedium:
      break;
  }
  return 1000;
}

void CColorStaticST::RestartBlinkTimer(BlinkSpeed speed) {
  if (m_bTextBlink || m_bBkBlink) {
    m_blinkTimer.start(BlinkPeriodMs(speed), this);
  } else {
    m_blinkTimer.stop();
    m_bBlinkPhase = false;
  }
}

void CColorStaticST::StartTextBlink(bool start, BlinkSpeed speed) {
  m_bTextBlink = start;
  RestartBlinkTimer(speed);
  repaint();
}

void CColorStaticST::StartBkBlink(bool start, BlinkSpeed speed) {
  m_bBkBlink = start;
  RestartBlinkTimer(speed);
  repaint();
}

void CColorStaticST::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_blinkTimer.timerId()) {
    QLabel::timerEvent(event);
    return;
  }
  m_bBlinkPhase = !m_bBlinkPhase;
  repaint();
}

void CColorStaticST::paintEvent(QPaintEvent* /*event*/) {
  const int phase = m_bBlinkPhase ? 1 : 0;
  const QBrush background = m_bBkBlink ? QBrush(m_clrBlinkBk[phase]) : m_brBk;
  const QColor textColor = m_bTextBlink ? m_clrBlinkText[phase] : m_clrText;

  QPainter painter(this);
  painter.fillRect(rect(), background);
  painter.setFont(font());
  painter.setPen(textColor);
  int flags = static_cast<int>(alignment());
  if (wordWrap()) flags |= Qt::TextWordWrap;
  painter.drawText(TextRect(), flags, DisplayText());
}

QRect CColorStaticST::TextRect() const {
  return contentsRect().adjusted(margin(), margin(), -margin(), -margin());
}

void CColorStaticST::SetElide(bool elide) {
  elide_ = elide;
  UpdateElideTip();
  update();
}

void CColorStaticST::setText(const QString& text) {
  QLabel::setText(text);
  UpdateElideTip();
}

QString CColorStaticST::DisplayText() const {
  if (!elide_ || wordWrap()) return text();
  return QFontMetrics(font()).elidedText(text(), Qt::ElideRight, TextRect().width());
}

void CColorStaticST::UpdateElideTip() {
  if (!elide_) return;
  setToolTip(DisplayText() == text() ? QString() : text());
}

void CColorStaticST::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  UpdateElideTip();
}

void CColorStaticST::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateElideTip();
}

}  // namespace yelvane
