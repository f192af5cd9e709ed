#include "activity/ReportHandOff.h"

#include <algorithm>
#include <memory>

namespace yelvane {

ReportHandOff::ReportHandOff(Targets targets, HandOff handOff, std::size_t rowsPerBlock)
    : targets_(targets),
      handOff_(std::move(handOff)),
      rowsPerBlock_(std::max<std::size_t>(1, rowsPerBlock)) {}

ReportHandOff::~ReportHandOff() {
  Flush();
}

void ReportHandOff::Flush() const {
  if (steps_.empty()) return;
  // The block owns its steps: a window that drops it leaves nothing dangling.
  auto steps = std::make_shared<std::vector<Step>>(std::move(steps_));
  steps_.clear();
  heldRows_ = 0;
  ++handOffs_;
  handOff_([steps, table = &targets_.table] {
    for (Step& step : *steps) {
      if (step.call)
        step.call();
      else
        table->InsertRows(step.at, step.rows);
    }
  });
}

void ReportHandOff::FlushIfDue() {
  if (heldRows_ >= rowsPerBlock_ || steps_.size() >= 4 * rowsPerBlock_ ||
      ClockType::now() - heldSince_ >= kMaxHold)
    Flush();
}

void ReportHandOff::Push(std::function<void()> call) {
  if (steps_.empty()) heldSince_ = ClockType::now();
  steps_.push_back(Step{.at = 0, .rows = {}, .call = std::move(call)});
  FlushIfDue();
}

ReportHandOff::Step* ReportHandOff::OpenRows() {
  return !steps_.empty() && !steps_.back().call ? &steps_.back() : nullptr;
}

int ReportHandOff::KnownCount() const {
  if (!count_) count_ = targets_.table.RowCount();
  return *count_;
}

void ReportHandOff::DeleteAllRows() {
  count_ = 0;
  Push([table = &targets_.table] { table->DeleteAllRows(); });
}

void ReportHandOff::InsertRow(int row) {
  if (!count_) {
    // Only what is handed off counts; then the table answers once.
    Flush();
    KnownCount();
  }
  // A full block goes before the new row, not after it: the row's cells
  // follow and belong with it.
  if (!steps_.empty()) FlushIfDue();
  // Where the table would put it.
  row = std::clamp(row, 0, *count_);
  ++*count_;
  Step* open = OpenRows();
  if (open != nullptr && row >= open->at && row <= open->at + static_cast<int>(open->rows.size())) {
    open->rows.insert(open->rows.begin() + (row - open->at), SessionRow{});
  } else {
    if (steps_.empty()) heldSince_ = ClockType::now();
    steps_.push_back(Step{.at = row, .rows = {SessionRow{}}, .call = {}});
  }
  ++heldRows_;
}

void ReportHandOff::SetCellText(int row, int column, const std::string& text) {
  Step* open = OpenRows();
  if (open != nullptr && row >= open->at && row < open->at + static_cast<int>(open->rows.size()) &&
      column >= 0 && column < kSessionColumns) {
    open->rows[static_cast<std::size_t>(row - open->at)][static_cast<std::size_t>(column)] = text;
    return;
  }
  Push([table = &targets_.table, row, column, text] { table->SetCellText(row, column, text); });
}

int ReportHandOff::RowCount() const {
  Flush();
  count_ = targets_.table.RowCount();
  return *count_;
}

std::string ReportHandOff::CellText(int row, int column, std::size_t bufferSize) const {
  Flush();
  return targets_.table.CellText(row, column, bufferSize);
}

void ReportHandOff::SetPos(int pos, const std::string& caption) {
  // Same position, same caption, percentage on: the pane would not change.
  if (pos_ == pos && caption_ == caption && percent_ == true) return;
  pos_ = pos;
  caption_ = caption;
  percent_ = true;
  PushProgress([progress = &targets_.progress, pos, caption] { progress->SetPos(pos, caption); });
}

void ReportHandOff::PushProgress(std::function<void()> call) {
  if (OpenRows() == nullptr) return Push(std::move(call));
  steps_.insert(steps_.end() - 1, Step{.at = 0, .rows = {}, .call = std::move(call)});
  FlushIfDue();
}

void ReportHandOff::SetRange(int lower, int upper) {
  PushProgress([progress = &targets_.progress, lower, upper] { progress->SetRange(lower, upper); });
}

void ReportHandOff::SetPos(int pos) {
  pos_ = pos;
  PushProgress([progress = &targets_.progress, pos] { progress->SetPos(pos); });
}

void ReportHandOff::SetShowPercent(bool show) {
  percent_ = show;
  PushProgress([progress = &targets_.progress, show] { progress->SetShowPercent(show); });
}

void ReportHandOff::SetStartColor(Rgb color) {
  PushProgress([progress = &targets_.progress, color] { progress->SetStartColor(color); });
}

void ReportHandOff::SetEndColor(Rgb color) {
  PushProgress([progress = &targets_.progress, color] { progress->SetEndColor(color); });
}

void ReportHandOff::SetTextColor(Rgb color) {
  PushProgress([progress = &targets_.progress, color] { progress->SetTextColor(color); });
}

void ReportHandOff::SetLogText(const std::string& text) {
  Push([log = &targets_.log, text] { log->SetLogText(text); });
  Flush();
}

void ReportHandOff::AppendLog(const std::string& text, bool newline) {
  // A log line goes out with everything before it: when the report's last
  // line shows, its table is complete.
  Push([log = &targets_.log, text, newline] { log->AppendLog(text, newline); });
  Flush();
}

void ReportHandOff::ShowMessage(const std::string& text, MessageIcon icon) {
  Flush();
  targets_.messages.ShowMessage(text, icon);
}

bool ReportHandOff::AskYesNo(const std::string& text, const std::string& caption) {
  Flush();
  return targets_.messages.AskYesNo(text, caption);
}

}  // namespace yelvane
