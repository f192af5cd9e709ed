#include "app/MainFrm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "activity/FlashReport.h"
#include "activity/ReportHandOff.h"
#include "app/AboutDlg.h"
#include "app/DlgPetInfo.h"
#include "app/DlgSaving.h"
#include "app/DlgUnitFlash.h"
#include "app/DownloadFile.h"
#include "app/Icons.h"
#include "app/Prompt.h"
#include "app/ReportFile.h"
#include "app/SessionChartPane.h"
#include "app/Vandry.h"
#include "app/VandryView.h"
#include "common/Color.h"
#include "operations/DataFiles.h"
#include "unit/FirmwareImage.h"
#include "widgets/WidgetColor.h"

namespace yelvane {

namespace {

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}

int ScreenWidth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry().width() : 1024;
}

const char* SizingString(int indicator) {
  switch (indicator) {
    case ID_INDICATOR_BARK:
      return "Indicator the Barking ";
    case ID_INDICATOR_ACTIVITY:
      return "Indicator the Activity ";
    case ID_INDICATOR_USB:
      return "USB Status                                     ";
    case ID_INDICATOR_PROGRESS:
      return "Process Progress                                                                     "
             "                 ";
    default:
      return nullptr;
  }
}

// The status panes side by side at their own widths, a small gap apart. When
// the bar is narrower than the panes, those on the right are cut off rather
// than pushed on top of their neighbours.
class PaneStrip final : public QWidget {
 public:
  using QWidget::QWidget;

  void AddPane(QWidget* pane) {
    pane->setParent(this);
    panes_.push_back(pane);
    Arrange();
  }

  QSize sizeHint() const override {
    int width = 0;
    int height = 0;
    for (const QWidget* pane : panes_) {
      width += pane->width() + kGap;
      height = std::max(height, pane->sizeHint().height());
    }
    return QSize(std::max(0, width - kGap), height);
  }
  // Every pane but the last whole, and room for the last one's text.
  QSize minimumSizeHint() const override {
    int width = lastRoom_;
    for (std::size_t i = 0; i + 1 < panes_.size(); ++i) width += panes_[i]->width() + kGap;
    return QSize(width, sizeHint().height());
  }
  void SetLastRoom(int width) { lastRoom_ = width; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    Arrange();
  }

 private:
  static constexpr int kGap = 4;

  void Arrange() {
    int x = 0;
    for (QWidget* pane : panes_) {
      pane->setGeometry(x, 0, pane->width(), height());
      x += pane->width() + kGap;
    }
  }

  std::vector<QWidget*> panes_;
  int lastRoom_ = 0;
};

}  // namespace

// The log pane for workers: every change happens on the UI thread.
class CMainFrame::GatedLog final : public LogSink {
 public:
  GatedLog(UiGate& gate, QPlainTextEdit* control) : gate_(gate), control_(control) {}
  void SetLogText(const std::string& text) override {
    gate_.Call([this, text] {
      if (control_) control_->setPlainText(QString::fromStdString(text));
    });
  }
  void AppendLog(const std::string& text, bool newline) override {
    gate_.Call([this, text, newline] {
      if (control_) CVandryApp::AppendLog(control_, text, newline);
    });
  }

 private:
  UiGate& gate_;
  QPointer<QPlainTextEdit> control_;
};

class CMainFrame::GatedProgress final : public ProgressSink {
 public:
  GatedProgress(UiGate& gate, CGradientProgressCtrl* bar) : gate_(gate), bar_(bar) {}
  void SetRange(int lower, int upper) override {
    Do([lower, upper](CGradientProgressCtrl* bar) { bar->SetRange(lower, upper); });
  }
  void SetPos(int pos) override {
    Do([pos](CGradientProgressCtrl* bar) { bar->SetPos(pos); });
  }
  void SetPos(int pos, const std::string& caption) override {
    Do([pos, caption](CGradientProgressCtrl* bar) {
      bar->SetPos(pos, QString::fromStdString(caption));
    });
  }
  void SetShowPercent(bool show) override {
    Do([show](CGradientProgressCtrl* bar) { bar->SetShowPercent(show); });
  }
  void SetStartColor(Rgb color) override {
    Do([color](CGradientProgressCtrl* bar) { bar->SetStartColor(ToQColor(color)); });
  }
  void SetEndColor(Rgb color) override {
    Do([color](CGradientProgressCtrl* bar) { bar->SetEndColor(ToQColor(color)); });
  }
  void SetTextColor(Rgb color) override {
    Do([color](CGradientProgressCtrl* bar) { bar->SetTextColor(ToQColor(color)); });
  }

 private:
  template <class F>
  void Do(F f) {
    gate_.Call([this, f] {
      if (bar_) f(bar_.data());
    });
  }
  UiGate& gate_;
  QPointer<CGradientProgressCtrl> bar_;
};

// Boxes for workers and commands; after the close question was answered Yes
// nothing more is shown and every question is answered No.
class CMainFrame::GatedMessages final : public MessageSink {
 public:
  GatedMessages(UiGate& gate, CMainFrame* frame) : gate_(gate), frame_(frame) {}
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    gate_.Call([this, text, icon] {
      if (frame_ && !frame_->closing_) frame_->prompt_->ShowMessage(text, icon);
    });
  }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    return gate_.Call([this, text, caption] {
      return frame_ && !frame_->closing_ && frame_->prompt_->AskYesNo(text, caption);
    });
  }

 private:
  UiGate& gate_;
  QPointer<CMainFrame> frame_;
};

namespace {

// No drives at all: what the window sees until it is given its drives.
class NoDrives final : public DriveEnumerator {
 public:
  std::vector<DriveCandidate> Candidates() override { return {}; }
  std::unique_ptr<RawVolume> NewVolume() override { return nullptr; }
};

// The firmware file dialog.
class ImageFileDialog final : public ImageFilePrompt {
 public:
  explicit ImageFileDialog(QWidget* owner) : owner_(owner) {}
  std::optional<std::string> ChooseImage(const std::string& initialName) override {
    const QFileInfo initial(QString::fromStdString(initialName));
    // The filter's first part ("MSC Files (*.msc)") is what a Qt filter takes.
    QFileDialog dialog(owner_, QStringLiteral("Open"), initial.path(),
                       QString::fromUtf8(kImageFileFilter).section(QLatin1Char('|'), 0, 0));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromUtf8(kImageDefaultExtension).mid(1));
    const int result = dialog.exec();
    // The dialog may move the current folder; the dump lives in the start-up one.
    if (const CVandryApp* app = CVandryApp::Instance())
      QDir::setCurrent(QString::fromStdString(app->StartDir()));
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
  }

 private:
  QWidget* owner_;
};

}  // namespace

// Everything the unit commands reach the window through.
class CMainFrame::Surroundings final : public PresencePoll,
                                       public PetInfoPrompt,
                                       public DialogRunner,
                                       public ReportRunner,
                                       public ImageFilePrompt {
 public:
  explicit Surroundings(CMainFrame& frame) : frame_(frame), files_(&frame) {}

  void Stop() override { frame_.StopPresencePoll(); }
  void Start() override { frame_.StartPresencePoll(); }

  bool Ask(PetInfo&) override {
    CDlgPetInfo dialog(frame_);
    return dialog.exec() == QDialog::Accepted;
  }
  void RefreshLabels(const PetInfo&) override { frame_.RefreshPetLabels(); }

  void RunRead(ReadJob& job) override {
    CDlgReadFlash dialog(job, Context(), &frame_);
    dialog.exec();
  }
  void RunUpgrade(UpgradeJob& job) override {
    CDlgEraseFlash dialog(job, Context(), &frame_);
    dialog.exec();
  }

  void Start(const std::string& dumpPath, const DumpBytes& bytes) override {
    frame_.StartReport(dumpPath, bytes);
  }
  void Wait() override { frame_.FinishReport(); }

  std::optional<std::string> ChooseImage(const std::string& initialName) override {
    return (frame_.imagePrompt_ ? *frame_.imagePrompt_ : files_).ChooseImage(initialName);
  }

 private:
  DialogContext Context() {
    return DialogContext{.drives = *frame_.drives_,
                         .log = *frame_.log_,
                         .messages = *frame_.messages_,
                         .clock = DefaultClock()};
  }
  CMainFrame& frame_;
  ImageFileDialog files_;
};

CMainFrame::CMainFrame(QWidget* parent)
    : CAutoHideFrame(parent), gate_(this), boxes_(std::make_unique<BoxPrompt>(this)) {
  prompt_ = boxes_.get();
  setWindowTitle(QString::fromUtf8(kAppTitle));
  setWindowIcon(AppIcon());
  openUrl_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };

  view_ = new CVandryView(this);
  setCentralWidget(view_);
  CreateMenus();
  CreateToolBar();
  RefreshPetLabels();
  CreateStatusBar();
  CreateLogBar();
  CreateChartBar();
  CreateViewMenu();

  log_ = std::make_unique<GatedLog>(gate_, m_wndLog);
  progress_ = std::make_unique<GatedProgress>(gate_, m_wndProgress);
  messages_ = std::make_unique<GatedMessages>(gate_, this);
  noDrives_ = std::make_unique<NoDrives>();
  drives_ = noDrives_.get();
  surroundings_ = std::make_unique<Surroundings>(*this);
  reportDialog_ = std::make_unique<ReportFileDialog>(this);
  downloadDialog_ = std::make_unique<DownloadFileDialog>(this);
  RebuildCommands();

  timer1_.setInterval(static_cast<int>(kPresencePollMs));
  timer2_.setInterval(kFirmwareCheckDelayMs);
  connect(&timer1_, &QTimer::timeout, this, [this] { OnTimer(1); });
  connect(&timer2_, &QTimer::timeout, this, [this] { OnTimer(2); });
  timer2_.start();
  timer1_.start();
}

CMainFrame::~CMainFrame() {
  ShutDown();
  // The panes hide as the base class takes them down: the View items no longer follow.
  disconnect(m_wndToolBar, nullptr, this, nullptr);
  disconnect(m_wndLogBar, nullptr, this, nullptr);
  if (m_wndChartBar) disconnect(m_wndChartBar, nullptr, this, nullptr);
  disconnect(this, &CAutoHideFrame::autoHideChanged, this, nullptr);
}

QAction* CMainFrame::AddCommand(int id, const QString& text) {
  auto* action = new QAction(text, this);
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  actions_[id] = action;
  return action;
}

QAction* CMainFrame::CommandAction(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  // Earlier downloads come first, apart from what is done with the table.
  QAction* open = AddCommand(ID_FILE_OPEN, QStringLiteral("&Open Download..."));
  open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  open->setStatusTip(QStringLiteral("Open an archived download"));
  file->addAction(open);
  recentMenu_ = file->addMenu(QStringLiteral("Recent &Downloads"));
  connect(recentMenu_, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentMenu);
  RebuildRecentMenu();
  file->addSeparator();
  QAction* saveAs = AddCommand(ID_FILE_SAVE_AS, QStringLiteral("&Save as"));
  saveAs->setIcon(SaveAsIcon());
  saveAs->setStatusTip(QStringLiteral("Save as report"));
  saveAs->setToolTip(QStringLiteral("Save as report"));
  file->addAction(saveAs);
  file->addSeparator();
  QAction* exit = AddCommand(ID_APP_EXIT, QStringLiteral("E&xit"));
  exit->setStatusTip(QStringLiteral("Quit the application "));
  exit->setToolTip(QStringLiteral("Exit"));
  file->addAction(exit);

  QMenu* command = menuBar()->addMenu(QStringLiteral("&Command"));
  command->addAction(AddCommand(ID_PET_INFORMATION, QStringLiteral("&Pet Information")));
  command->addSeparator();
  command->addAction(AddCommand(ID_READ_MEMORY_DATA, QStringLiteral("&Read Memory Data")));
  command->addAction(AddCommand(ID_ERASE_MEMORY_DATA, QStringLiteral("&Erase Memory Data")));
  command->addSeparator();
  command->addAction(AddCommand(ID_UPGRADE_FIRMWARE, QStringLiteral("&Upgrade Firmware")));
  command->addAction(AddCommand(ID_RTC_SYNCHRONIZE, QStringLiteral("&RTC synchronize")));

  // Filled once the panes exist (CreateViewMenu).
  viewMenu_ = menuBar()->addMenu(QStringLiteral("&View"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(AddCommand(ID_APP_ABOUT, QStringLiteral("&About Yelvane...")));
  help->addAction(AddCommand(ID_CHECK_FOR_UPDATES, QStringLiteral("Check for Updates")));

  // The wizard's standard accelerators; none of their commands does anything
  // (Ctrl+O is Open Download's, above).
  const struct {
    QKeySequence key;
    int id;
  } accelerators[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
      {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
      {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
      {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
      {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
      {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
      {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
      {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
      {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
      {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
      {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
      {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
      {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
  };
  for (const auto& accelerator : accelerators) {
    auto* action = new QAction(this);
    action->setData(accelerator.id);
    action->setShortcut(accelerator.key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
}

void CMainFrame::CreateToolBar() {
  m_wndToolBar = new QToolBar(QStringLiteral("Standard"), this);
  m_wndToolBar->setObjectName(QStringLiteral("toolbar128"));
  m_wndToolBar->setIconSize(QSize(32, 32));
  m_wndToolBar->setMovable(true);
  m_wndToolBar->addAction(CommandAction(ID_FILE_SAVE_AS));
  m_wndToolBar->addSeparator();

  // The three pet label slots: 300 pixels each, a pixel short at top and bottom.
  CColorStaticST** labels[] = {&m_stcPetName, &m_stcPetOwner, &m_stcPetLocation};
  const char* texts[] = {"Pet Name:", "Pet Owner:", "Pet Location:"};
  const int height = m_wndToolBar->iconSize().height() + 6 - 2;
  for (int i = 0; i < 3; ++i) {
    auto* label = new CColorStaticST(QString::fromUtf8(texts[i]), m_wndToolBar);
    label->setFixedSize(kPetLabelWidth, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->SetTextColor(ToQColor(kConnectedColor));
    // A long name ends in "…" within its slot, whole in the tooltip.
    label->SetElide(true);
    *labels[i] = label;
    m_wndToolBar->addWidget(label);
  }
  addToolBar(Qt::TopToolBarArea, m_wndToolBar);
}

void CMainFrame::RefreshPetLabels() {
  m_stcPetName->setText(QStringLiteral("Pet Name: ") + QString::fromStdString(pet_.name));
  m_stcPetOwner->setText(QStringLiteral("Pet Owner: ") + QString::fromStdString(pet_.owner));
  m_stcPetLocation->setText(QStringLiteral("Pet Location: ") +
                            QString::fromStdString(pet_.location));
}

int CMainFrame::PaneWidth(int indicator) const {
  if (indicator == ID_SEPARATOR) return ScreenWidth() / 4;
  const char* sizing = SizingString(indicator);
  return sizing == nullptr
             ? 0
             : QFontMetrics(statusBar()->font()).horizontalAdvance(QString::fromUtf8(sizing));
}

namespace {

// The table's width with its first six columns (the session number and the bark half) whole.
int SixColumnsWidth(const CVandryView& view) {
  constexpr int kColumns = 6;
  int width = 2 * view.frameWidth() + view.verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < kColumns; ++c)
    width += CVandryView::kColumnWidths[static_cast<std::size_t>(c)];
  return width;
}

}  // namespace

int CMainFrame::ChartBarWidth() const {
  // Only a chart docked beside the table takes from its width.
  if (m_wndChartBar == nullptr || m_wndChartBar->isHidden() || m_wndChartBar->isFloating() ||
      dockWidgetArea(m_wndChartBar) != Qt::RightDockWidgetArea)
    return 0;
  return m_wndChartBar->SizeFor(Qt::RightDockWidgetArea).width() +
         style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
}

QSize CMainFrame::RestoredSize(const QRect& available) const {
  constexpr int kRows = 10;
  // What the window manager's frame takes around us, roughly: its title bar and borders.
  constexpr QSize kDecoration(8, 32);
  const int frame = 2 * view_->frameWidth();
  const int tableWidth = SixColumnsWidth(*view_) + ChartBarWidth();
  // The columns do not all fit, so the horizontal scroll bar takes its place under the rows.
  const int tableHeight = frame + view_->horizontalHeader()->sizeHint().height() +
                          kRows * view_->verticalHeader()->defaultSectionSize() +
                          view_->horizontalScrollBar()->sizeHint().height();
  const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
  const int width = std::max({m_wndToolBar->sizeHint().width(), tableWidth,
                              statusBar()->sizeHint().width(), minimumSizeHint().width()});
  const int height =
      menuBar()->sizeHint().height() + m_wndToolBar->sizeHint().height() + tableHeight + separator +
      m_wndLogBar->SizeFor(Qt::BottomDockWidgetArea).height() + statusBar()->sizeHint().height();
  return QSize(std::min(width, available.width() - kDecoration.width()),
               std::min(height, available.height() - kDecoration.height()))
      .expandedTo(minimumSizeHint());
}

void CMainFrame::PlaceRestored(const QRect& available) {
  const QSize size = RestoredSize(available);
  // On a small screen the chart pane gives way, so the table keeps its first six columns.
  if (const int chart = ChartBarWidth(); chart > 0) {
    const int room = size.width() - SixColumnsWidth(*view_) -
                     (chart - m_wndChartBar->SizeFor(Qt::RightDockWidgetArea).width());
    const QSize stored = m_wndChartBar->SizeFor(Qt::RightDockWidgetArea);
    if (room < stored.width()) {
      m_wndChartBar->SetVertSize(
          QSize(std::max(room, m_wndChartBar->minimumSizeHint().width()), stored.height()));
      m_wndChartBar->ApplyStoredSize();
    }
  }
  resize(size);
  move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

QWidget* CMainFrame::PaneWidget(int index) const {
  return index >= 0 && index < static_cast<int>(panes_.size())
             ? panes_[static_cast<std::size_t>(index)]
             : nullptr;
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  const auto makeKey = [this](const char* text, Rgb background) {
    auto* label = new CColorStaticST(QString::fromUtf8(text), this);
    label->setAlignment(Qt::AlignCenter);
    label->SetTextColor(Qt::black);
    label->SetBkColor(ToQColor(background));
    return label;
  };
  m_stcBark = makeKey("BARK", kBarkTint);
  m_stcActivity = makeKey("ACTIVITY", kActivityTint);
  m_stcUsbStatus = new CColorStaticST(QStringLiteral("USB Disconnected"), this);
  m_stcUsbStatus->setAlignment(Qt::AlignCenter);
  m_stcUsbStatus->SetTextColor(ToQColor(kDisconnectedColor));
  m_wndProgress = new CGradientProgressCtrl(this);
  m_wndProgress->setObjectName(QStringLiteral("progress1002"));
  m_wndProgress->SetRange(0, 100);
  m_wndProgress->SetPos(0);
  idleText_ = QStringLiteral("Ready");
  statusText_ = new QLabel(idleText_, this);
  statusText_->setIndent(3);

  const int indicators[] = {ID_INDICATOR_BARK, ID_INDICATOR_ACTIVITY, ID_INDICATOR_USB,
                            ID_INDICATOR_PROGRESS, ID_SEPARATOR};
  QWidget* widgets[] = {m_stcBark, m_stcActivity, m_stcUsbStatus, m_wndProgress, statusText_};
  auto* strip = new PaneStrip(bar);
  for (int i = 0; i < 5; ++i) {
    widgets[i]->setFixedWidth(PaneWidth(indicators[i]));
    strip->AddPane(widgets[i]);
    panes_.push_back(widgets[i]);
  }
  // The text pane's idle prompt stays whole down to the window's minimum
  // width (longer prompts would not leave a 1024-pixel screen room).
  const int room = QFontMetrics(statusText_->font()).horizontalAdvance(QStringLiteral("Ready"));
  strip->SetLastRoom(room + 2 * statusText_->indent() + 2 * statusText_->margin());
  bar->addWidget(strip, 1);
  // No narrower than that, with the size grip and the bar's margins.
  setMinimumWidth(strip->minimumSizeHint().width() +
                  style()->pixelMetric(QStyle::PM_SizeGripSize, nullptr, this) + 12);
}

void CMainFrame::CreateLogBar() {
  m_wndLogBar = new CProcessLogBar(this);
  m_wndLogBar->setObjectName(QStringLiteral("bar130"));
  if (!m_wndLogBar->Create(QStringLiteral("Process Log"), this, QSize(ScreenWidth() / 4, 130), true,
                           130, CSizingControlBar::kAlignTop)) {
    qDebug("Failed to create mybar");
    return;
  }
  m_wndLogBar->SetBarStyle(m_wndLogBar->GetBarStyle() | CSizingControlBar::kTooltips |
                           CSizingControlBar::kFlyBy | CSizingControlBar::kSizeDynamic);

  m_wndLogBar->EnableDocking(Qt::AllDockWidgetAreas);
  m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
  EnableDocking(Qt::AllDockWidgetAreas);
  DockControlBar(m_wndLogBar, Qt::BottomDockWidgetArea);

  m_wndLog = new QPlainTextEdit(this);
  m_wndLog->setObjectName(QStringLiteral("log140"));
  m_wndLog->setReadOnly(true);
  m_wndLog->setUndoRedoEnabled(false);
  m_wndLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_wndLog->setFrameShape(QFrame::StyledPanel);
  m_wndLog->setFrameShadow(QFrame::Sunken);
  m_wndLogBar->AddPage(m_wndLog, QStringLiteral("Process Log"), LogPageIcon());
}

void CMainFrame::CreateViewMenu() {
  // One item per pane, checked while the pane is shown, so a pane closed with
  // its close button comes back without the toolbar's context menu. A pane
  // the user hid is "hidden"; one only tucked away with the window is not.
  QAction* toolbar = viewMenu_->addAction(QStringLiteral("Toolbar"));
  toolbar->setCheckable(true);
  toolbar->setChecked(!m_wndToolBar->isHidden());
  connect(toolbar, &QAction::triggered, m_wndToolBar, &QToolBar::setVisible);
  connect(m_wndToolBar, &QToolBar::visibilityChanged, this,
          [this, toolbar] { toolbar->setChecked(!m_wndToolBar->isHidden()); });

  AddPaneItem(m_wndLogBar, QStringLiteral("Process Log"));
  AddPaneItem(m_wndChartBar, QStringLiteral("Session Chart"));
}

void CMainFrame::AddPaneItem(CDockPageBar* bar, const QString& text) {
  if (bar == nullptr) return;
  // A page bar also counts as shown while it sits collapsed on its strip.
  QAction* item = viewMenu_->addAction(text);
  item->setCheckable(true);
  const auto shown = [bar] { return !bar->isHidden() || bar->IsAutoHide(); };
  item->setChecked(shown());
  connect(item, &QAction::triggered, this, [this, bar](bool show) {
    if (show) {
      if (!bar->IsAutoHide()) bar->show();
    } else {
      SetAutoHide(bar, false);
      bar->close();
    }
  });
  const auto sync = [item, shown] { item->setChecked(shown()); };
  connect(bar, &QDockWidget::visibilityChanged, this, sync);
  connect(this, &CAutoHideFrame::autoHideChanged, this, sync);
}

void CMainFrame::CreateChartBar() {
  m_wndChartBar = new CSessionChartBar(this);
  m_wndChartBar->setObjectName(QStringLiteral("bar131"));
  if (!m_wndChartBar->Create(
          this, view_, [this] { return tableDump_; }, QSize(440, 300))) {
    qDebug("Failed to create mybar");
    return;
  }
  DockControlBar(m_wndChartBar, Qt::RightDockWidgetArea);
}

void CMainFrame::SetPrompt(MessageSink* prompt) {
  prompt_ = prompt ? prompt : boxes_.get();
}

void CMainFrame::SetDrives(DriveEnumerator& drives) {
  drives_ = &drives;
  RebuildCommands();
}

void CMainFrame::SetImagePrompt(ImageFilePrompt* prompt) {
  imagePrompt_ = prompt;
}

void CMainFrame::SetArchiveFolder(const std::string& folder) {
  archiveFolder_ = folder;
  RebuildCommands();
}

void CMainFrame::RebuildCommands() {
  Surroundings& s = *surroundings_;
  const std::string startFolder =
      CVandryApp::Instance() ? CVandryApp::Instance()->StartDir() : CurrentFolder();
  commands_ = std::make_unique<UnitCommands>(
      CommandSurroundings{.log = *log_,
                          .messages = *messages_,
                          .progressPane = *progress_,
                          .table = *view_,
                          .poll = s,
                          .petPrompt = s,
                          .pet = pet_,
                          .imagePrompt = s,
                          .dialogs = s,
                          .report = s,
                          .drives = *drives_,
                          .unitConnected = [this] { return unitConnected; },
                          .startupFolder = startFolder,
                          .archiveFolder = archiveFolder_});
}

void CMainFrame::StartReport(const std::string& dumpPath) {
  if (closing_) return;
  // One report fills the table at a time: a new one waits for the last.
  FinishReport();
  tableDump_ = AbsolutePath(dumpPath);
  RunReport([dumpPath](ReportHandOff& handOff) {
    ReportFlashData(dumpPath, handOff, handOff, handOff, handOff);
  });
}

void CMainFrame::StartReport(const std::string& dumpPath, const DumpBytes& bytes) {
  if (closing_ || !bytes) return;
  FinishReport();
  // The completed dump beside the buffer: Save as reads its session series from it.
  tableDump_ = AbsolutePath(dumpPath);
  // A new read is on screen, no longer an opened download.
  idleText_ = QStringLiteral("Ready");
  statusText_->setText(idleText_);
  RunReport([bytes](ReportHandOff& handOff) {
    ReportFlashDataFromMemory(bytes->data(), bytes->size(), handOff, handOff, handOff);
  });
}

void CMainFrame::RunReport(std::function<void(ReportHandOff&)> walk) {
  reportDone_ = false;
  reportThread_ = std::thread([this, walk = std::move(walk)] {
    // Rows and progress cross to the UI thread in blocks, not a call per cell.
    ReportHandOff handOff(ReportTargets(),
                          [this](std::function<void()> block) { gate_.Call(std::move(block)); });
    walk(handOff);
    handOff.Flush();
    reportDone_ = true;
  });
}

ReportHandOff::Targets CMainFrame::ReportTargets() {
  return {.table = *view_, .progress = *progress_, .log = *log_, .messages = *messages_};
}

void CMainFrame::FinishReport() {
  while (reportThread_.joinable() && !reportDone_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  if (reportThread_.joinable()) reportThread_.join();
}

void CMainFrame::OpenDump(const std::string& dumpPath) {
  FinishReport();
  // Read first: a dump that cannot be read leaves the table as it was.
  const std::optional<std::vector<uint8_t>> bytes = ReadDumpFile(dumpPath);
  if (!bytes) {
    messages_->ShowMessage("File Open Error!", MessageIcon::Warning);
    return;
  }
  FillTable(dumpPath, *bytes);
}

void CMainFrame::FillTable(const std::string& dumpPath, const std::vector<uint8_t>& bytes) {
  // The progress pane as a memory read leaves it for its report.
  m_wndProgress->SetRange(0, 100);
  m_wndProgress->SetPos(0, QString());
  m_wndProgress->SetShowPercent(true);
  m_wndProgress->SetStartColor(ToQColor(kProgressStartColor));
  m_wndProgress->SetEndColor(ToQColor(kProgressEndColor));
  m_wndProgress->SetTextColor(ToQColor(kProgressTextColor));
  tableDump_ = AbsolutePath(dumpPath);
  // Here on the UI thread the blocks are run at once: rows still go in by the block.
  ReportHandOff handOff(ReportTargets(), [](std::function<void()> block) { block(); });
  ReportFlashDataFromMemory(bytes.data(), bytes.size(), handOff, handOff, handOff);
  handOff.Flush();
}

bool CMainFrame::OpenDownload(const std::string& dumpPath) {
  if (closing_) return false;
  FinishReport();
  log_->SetLogText("");
  log_->AppendLog("Command: Open Download", true);
  log_->AppendLog(dumpPath, true);
  const std::optional<std::vector<uint8_t>> bytes = ReadDumpFile(dumpPath);
  if (!bytes) {
    messages_->ShowMessage("File Open Error!", MessageIcon::Warning);
    return false;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(dumpPath, ec);
  if (!ec)
    if (const std::string warning = DumpSizeWarning(size); !warning.empty())
      log_->AppendLog(warning, true);
  FillTable(dumpPath, *bytes);
  idleText_ = QString::fromStdString(std::filesystem::path(dumpPath).filename().string());
  statusText_->setText(idleText_);
  return true;
}

std::string CMainFrame::ArchiveFolder() const {
  return archiveFolder_.empty() ? DownloadArchiveFolder() : archiveFolder_;
}

void CMainFrame::OnOpenDownload() {
  // Without an archive yet the dialog starts where the last read's dump is.
  std::string folder = ArchiveFolder();
  if (!CVandryApp::IsFolder(folder))
    folder = CVandryApp::Instance() ? CVandryApp::Instance()->StartDir() : CurrentFolder();
  DownloadFilePrompt& files = downloadPrompt_ ? *downloadPrompt_ : *downloadDialog_;
  const std::optional<std::string> path = files.ChooseDownload(folder);
  // The dialog may move the current folder; the dump lives in the start-up one.
  if (const CVandryApp* app = CVandryApp::Instance())
    QDir::setCurrent(QString::fromStdString(app->StartDir()));
  if (path) OpenDownload(*path);
}

void CMainFrame::RebuildRecentMenu() {
  recentMenu_->clear();
  std::vector<ArchivedDownload> downloads = ListDownloads(ArchiveFolder());
  if (downloads.size() > static_cast<std::size_t>(kRecentDownloads))
    downloads.resize(static_cast<std::size_t>(kRecentDownloads));
  if (downloads.empty()) {
    recentMenu_->addAction(QStringLiteral("(No archived downloads)"))->setEnabled(false);
    return;
  }
  for (const ArchivedDownload& download : downloads) {
    QAction* item = recentMenu_->addAction(QString::fromStdString(DownloadTimeText(download.time)));
    item->setStatusTip(QString::fromStdString(download.path));
    // Queued: the menu is done with its item before the walk takes over.
    connect(
        item, &QAction::triggered, this, [this, path = download.path] { OpenDownload(path); },
        Qt::QueuedConnection);
  }
}

long CMainFrame::OnStatusText(long first, const std::string* text) {
  if (first == 0 && text != nullptr) statusText_->setText(QString::fromStdString(*text));
  return 0;
}

QString CMainFrame::StatusText() const {
  return statusText_->text();
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // Menu prompts go to the text pane; nothing pointed at means "Ready".
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    statusText_->setText(tip.isEmpty() ? idleText_ : tip);
    return true;
  }
  return CAutoHideFrame::event(event);
}

void CMainFrame::OnTimer(int id) {
  if (id == 1) {
    CheckUnitPresence();
  } else if (id == 2) {
    timer2_.stop();
    commands_->DetectFirmware();
  }
}

void CMainFrame::CheckUnitPresence() {
  PollUnitPresence(*drives_, unitConnected, *this);
}

void CMainFrame::ShowPresence(const std::string& text, Rgb color) {
  m_stcUsbStatus->setText(QString::fromStdString(text));
  m_stcUsbStatus->SetTextColor(ToQColor(color));
}

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case ID_APP_EXIT:
      close();
      break;
    case ID_PET_INFORMATION:
      OnPetInformation();
      break;
    case ID_APP_ABOUT:
      OnAbout();
      break;
    case ID_CHECK_FOR_UPDATES:
      OnCheckForUpdates();
      break;
    case ID_READ_MEMORY_DATA:
      commands_->ReadMemoryData();
      break;
    case ID_ERASE_MEMORY_DATA:
      commands_->EraseMemory(true);
      break;
    case ID_UPGRADE_FIRMWARE:
      commands_->UpgradeFirmware("");
      break;
    case ID_RTC_SYNCHRONIZE:
      commands_->SynchronizeClock();
      break;
    case ID_FILE_SAVE_AS:
      OnSaveAs();
      break;
    case ID_FILE_OPEN:
      OnOpenDownload();
      break;
    default:
      break;
  }
}

void CMainFrame::OnPetInformation() {
  CDlgPetInfo dialog(*this);
  dialog.exec();
}

void CMainFrame::OnSaveAs() {
  const std::string folder = reportFolder_.empty() ? DefaultReportFolder() : reportFolder_;
  if (!CVandryApp::IsFolder(folder)) CVandryApp::CreateFolder(folder, *prompt_);
  const std::string candidate = ProposeReportName(folder, pet_.name);
  ReportFilePrompt& files = reportPrompt_ ? *reportPrompt_ : *reportDialog_;
  const std::optional<std::string> path =
      files.ChooseReportFile(candidate.substr(0, candidate.size() - 4));
  // The dialog may move the current folder; the dump lives in the start-up one.
  if (const CVandryApp* app = CVandryApp::Instance())
    QDir::setCurrent(QString::fromStdString(app->StartDir()));
  if (!path || closing_) return;
  // The report is of the whole table, not of one still being filled.
  FinishReport();
  // Owned by the main window, as a dialog without a parent is on Windows.
  CDlgSaving dialog(
      SaveContext{.table = *view_, .pet = pet_, .messages = *messages_, .dumpPath = tableDump_},
      this);
  dialog.m_strPath = *path;
  saving_ = &dialog;
  dialog.exec();
  // A dialog that closed itself before the window manager had mapped it can
  // leave no window active; its owner takes the keyboard back, as on Windows.
  if (!closing_) activateWindow();
}

void CMainFrame::OnAbout() {
  CAboutDlg dialog([this] { return ReadFirmwareVersion(unitConnected, *drives_, DefaultClock()); },
                   this);
  dialog.exec();
}

void CMainFrame::OnCheckForUpdates() {
  // Without a browser the user at least learns where to look.
  if (openUrl_ && !openUrl_(QString::fromUtf8(kUpdatePageUrl)))
    prompt_->ShowMessage(std::string(kNoBrowserMessage) + kUpdatePageUrl, MessageIcon::Warning);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  if (!prompt_->AskYesNo("Are you sure you want to exit?", "Exit")) {
    event->ignore();
    return;
  }
  timer1_.stop();
  timer2_.stop();
  closing_ = true;
  ShutDown();
  event->accept();
}

void CMainFrame::ShutDown() {
  timer1_.stop();
  timer2_.stop();
  // A report being saved is no longer wanted; then workers stop waiting for
  // this window and none is left running.
  if (saving_) saving_->Abandon();
  gate_.Close();
  if (view_) view_->CloseGate();
  if (reportThread_.joinable()) reportThread_.join();
}

}  // namespace yelvane
