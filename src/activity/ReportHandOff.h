#pragma once

// What a worker writes into the session table, the progress pane and the
// log, handed to where they live (the UI thread) in blocks: one hand-off per
// block of rows, not one per cell. Each block runs the operations in the
// order they were made, so the targets end up exactly as with one call each;
// rows made in a row go in as one InsertRows. A progress position that would
// leave the pane showing what it shows is not sent at all.
//
// A block is handed off when it holds `rowsPerBlock` rows, when a block has
// been open for a while (so the pane moves on a slow walk), before every log
// line and message box, before every read of the table, and at Flush.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "activity/SessionTable.h"
#include "common/Sinks.h"

namespace yelvane {

inline constexpr std::size_t kRowsPerHandOff = 500;

class ReportHandOff final : public SessionTable,
                            public ProgressSink,
                            public LogSink,
                            public MessageSink {
 public:
  // Runs `block` where the targets live and returns once it has run (or
  // never will: a closing window drops it).
  using HandOff = std::function<void(std::function<void()> block)>;
  struct Targets {
    SessionTable& table;
    ProgressSink& progress;
    LogSink& log;
    MessageSink& messages;
  };

  ReportHandOff(Targets targets, HandOff handOff, std::size_t rowsPerBlock = kRowsPerHandOff);
  ReportHandOff(const ReportHandOff&) = delete;
  ReportHandOff& operator=(const ReportHandOff&) = delete;
  ~ReportHandOff() override;

  // Hands off what is held.
  void Flush() const;
  // How many blocks were handed off so far.
  std::size_t HandOffs() const { return handOffs_; }

  // SessionTable
  void DeleteAllRows() override;
  void InsertRow(int row) override;
  void SetCellText(int row, int column, const std::string& text) override;
  int RowCount() const override;
  std::string CellText(int row, int column, std::size_t bufferSize) const override;

  // ProgressSink
  void SetRange(int lower, int upper) override;
  void SetPos(int pos) override;
  void SetPos(int pos, const std::string& caption) override;
  void SetShowPercent(bool show) override;
  void SetStartColor(Rgb color) override;
  void SetEndColor(Rgb color) override;
  void SetTextColor(Rgb color) override;

  // LogSink
  void SetLogText(const std::string& text) override;
  void AppendLog(const std::string& text, bool newline) override;

  // MessageSink
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

 private:
  // A block of new rows starting at `at`, or any other operation.
  struct Step {
    int at = 0;
    std::vector<SessionRow> rows;
    std::function<void()> call;
  };
  using ClockType = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kMaxHold{50};

  void Push(std::function<void()> call);
  // Progress goes ahead of the rows still being gathered: within one block
  // nobody sees the difference, and the rows stay one InsertRows.
  void PushProgress(std::function<void()> call);
  Step* OpenRows();
  void FlushIfDue();
  // The target's row count, asked once when no DeleteAllRows told it.
  int KnownCount() const;

  Targets targets_;
  HandOff handOff_;
  std::size_t rowsPerBlock_;
  // What is held; reads of the table hand it off first, so they change it too.
  mutable std::vector<Step> steps_;
  mutable std::size_t heldRows_ = 0;
  ClockType::time_point heldSince_;
  mutable std::optional<int> count_;
  // What the pane shows as far as this hand-off set it.
  std::optional<int> pos_;
  std::optional<std::string> caption_;
  std::optional<bool> percent_;
  mutable std::size_t handOffs_ = 0;
};

}  // namespace yelvane
