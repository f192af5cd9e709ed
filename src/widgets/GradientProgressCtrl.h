#pragma once

// Names: this toolkit's members keep the m_ and type prefixes of the widgets the design names
// (m_szHorz, m_clrText); members of our own elsewhere end in _.

#include <QColor>
#include <QProgressBar>
#include <QString>

namespace yelvane {

// Progress bar painted as a colour run from the start colour to the end
// colour, with an optional "caption : NN%" text on top. The colour bands are
// laid out over the full width, so a half-full bar shows only the first half
// of the run and the fill always ends on a band boundary.
class CGradientProgressCtrl : public QProgressBar {
  Q_OBJECT

 public:
  // Blank run drawn over the centre at the lower bound, wiping any old text.
  static constexpr int kBlankCount = 46;

  explicit CGradientProgressCtrl(QWidget* parent = nullptr);

  // Stores both bounds and moves the position to the lower one.
  void SetRange(int lower, int upper);
  void SetPos(int pos);
  // Also turns the percentage text on.
  void SetPos(int pos, const QString& caption);
  void SetShowPercent(bool show);
  void SetStartColor(const QColor& color);
  void SetEndColor(const QColor& color);
  void SetTextColor(const QColor& color);
  void SetBkColor(const QColor& color);
  void SetStep(int step) { m_nStep = step; }

  int GetPos() const { return m_nPos; }
  int GetLower() const { return m_nLower; }
  int GetUpper() const { return m_nUpper; }
  int GetStep() const { return m_nStep; }
  QString GetCaption() const { return m_strCaption; }
  bool GetShowPercent() const { return m_bShowPercent; }
  QColor GetStartColor() const { return m_clrStart; }
  QColor GetEndColor() const { return m_clrEnd; }
  QColor GetTextColor() const { return m_clrText; }
  QColor GetBkColor() const { return m_clrBk; }

  // The text drawn on the bar for the current state ("" when none is drawn).
  QString PercentText() const;
  // Width in pixels of the filled part for a client area `width` wide.
  int FillWidth(int width) const;

  // Paints the whole bar into `image` (the off-screen buffer of paintEvent).
  void PaintTo(QImage& image) const;

  QSize sizeHint() const override;
  QString text() const override { return PercentText(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool InRange() const { return m_nPos >= m_nLower && m_nPos <= m_nUpper; }
  double Fraction() const;

  QString m_strCaption;
  int m_nLower = 0;
  int m_nUpper = 100;
  int m_nStep = 10;
  int m_nPos = 0;
  QColor m_clrStart{0, 0, 128};
  QColor m_clrEnd{0, 0, 255};
  QColor m_clrBk;
  QColor m_clrText{255, 255, 255};
  bool m_bShowPercent = false;
};

}  // namespace yelvane
