#include "widgets/GradientProgressCtrl.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace yelvane {

CGradientProgressCtrl::CGradientProgressCtrl(QWidget* parent) : QProgressBar(parent) {
  m_clrBk = palette().color(QPalette::Button);
  // Every pixel is drawn by paintEvent; an erase first would only flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  QProgressBar::setRange(m_nLower, m_nUpper);
  QProgressBar::setValue(m_nPos);
  setTextVisible(false);
}

void CGradientProgressCtrl::SetRange(int lower, int upper) {
  m_nLower = lower;
  m_nUpper = upper;
  m_nPos = lower;
  QProgressBar::setRange(lower, std::max(lower, upper));
  QProgressBar::setValue(lower);
  update();
}

void CGradientProgressCtrl::SetPos(int pos) {
  m_nPos = pos;
  // QProgressBar refuses values outside its range; ours paints them as empty.
  if (InRange()) QProgressBar::setValue(pos);
  update();
}

void CGradientProgressCtrl::SetPos(int pos, const QString& caption) {
  m_strCaption = caption;
  m_bShowPercent = true;
  SetPos(pos);
}

void CGradientProgressCtrl::SetShowPercent(bool show) {
  m_bShowPercent = show;
  update();
}

void CGradientProgressCtrl::SetStartColor(const QColor& color) {
  m_clrStart = color;
  update();
}

void CGradientProgressCtrl::SetEndColor(const QColor& color) {
  m_clrEnd = color;
  update();
}

void CGradientProgressCtrl::SetTextColor(const QColor& color) {
  m_clrText = color;
  update();
}

void CGradientProgressCtrl::SetBkColor(const QColor& color) {
  m_clrBk = color;
  update();
}

double CGradientProgressCtrl::Fraction() const {
  // Measured from the lower bound, so a range that does not start at 0 still
  // reads 0% at its start; an empty or reversed range counts as nothing done.
  const double span = static_cast<double>(m_nUpper) - m_nLower;
  if (span <= 0) return 0.0;
  return (static_cast<double>(m_nPos) - m_nLower) / span;
}

int CGradientProgressCtrl::FillWidth(int width) const {
  if (!InRange()) return 0;
  return std::clamp(static_cast<int>(Fraction() * width), 0, width);
}

QString CGradientProgressCtrl::PercentText() const {
  if (!InRange() || !m_bShowPercent) return QString();
  QString text = QString::asprintf("%.0f%%", Fraction() * 100.0);
  if (!m_strCaption.isEmpty()) text = m_strCaption + QStringLiteral(" : ") + text;
  return text;
}

void CGradientProgressCtrl::PaintTo(QImage& image) const {
  const int width = image.width();
  const int height = image.height();
  QPainter painter(&image);
  if (!InRange()) {
    painter.fillRect(image.rect(), palette().color(QPalette::Button));
    return;
  }

  // Columns the band arithmetic leaves out at the right end stay background.
  painter.fillRect(image.rect(), m_clrBk);
  const int fill = FillWidth(width);
  if (fill > 0) {
    const int dR = m_clrEnd.red() - m_clrStart.red();
    const int dG = m_clrEnd.green() - m_clrStart.green();
    const int dB = m_clrEnd.blue() - m_clrStart.blue();
    // Equal end colours give no bands at all; draw them as one plain band.
    const int bands = std::max({std::abs(dR), std::abs(dG), std::abs(dB), 1});
    const double bandWidth = static_cast<double>(width) / bands;
    const double stepR = static_cast<double>(dR) / bands;
    const double stepG = static_cast<double>(dG) / bands;
    const double stepB = static_cast<double>(dB) / bands;
    for (int i = 0; i < bands; ++i) {
      const int left = static_cast<int>(i * bandWidth);
      const int right = static_cast<int>((i + 1) * bandWidth);
      const QColor color(static_cast<int>(m_clrStart.red() + i * stepR),
                         static_cast<int>(m_clrStart.green() + i * stepG),
                         static_cast<int>(m_clrStart.blue() + i * stepB));
      painter.fillRect(QRect(left, 0, right - left, height + 1), color);
      if (right > fill) {
        painter.fillRect(QRect(right, 0, width - right, height + 1), m_clrBk);
        break;
      }
    }
  }

  painter.setFont(font());
  if (m_nPos == m_nLower) {
    // Blanks in the background colour on the background colour: wipes the
    // text a previous run left behind.
    const QFontMetrics metrics(font());
    const QSize blank(metrics.horizontalAdvance(QString(kBlankCount, QLatin1Char(' '))),
                      metrics.height());
    QRect blankRect(QPoint(0, 0), blank);
    blankRect.moveCenter(image.rect().center());
    painter.fillRect(blankRect, m_clrBk);
  }

  const QString text = PercentText();
  if (!text.isEmpty()) {
    painter.setPen(m_clrText);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
  }
}

QSize CGradientProgressCtrl::sizeHint() const {
  const QFontMetrics metrics(font());
  return QSize(metrics.horizontalAdvance(QString(kBlankCount, QLatin1Char(' '))),
               metrics.height() + 4);
}

void CGradientProgressCtrl::paintEvent(QPaintEvent* /*event*/) {
  // Drawn off screen first and copied in one go, so the bar never flickers.
  QImage buffer(size(), QImage::Format_RGB32);
  PaintTo(buffer);
  QPainter painter(this);
  painter.drawImage(rect(), buffer);
}

}  // namespace yelvane
