#pragma once

// What the objects of the built-in engine share: the state of one
// application, the member tables every object answers by name, argument
// conversion, and the handful of objects one part hands to another. Only the
// engine's own files include this.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/Dispatch.h"
#include "engine/SheetModel.h"
#include "engine/SpreadsheetEngine.h"

namespace yelvane::engine {

struct EngineState {
  EngineOptions options;
  std::vector<std::shared_ptr<WorkbookModel>> workbooks;
  std::shared_ptr<WorkbookModel> activeBook;
  int alertBeforeOverwriting = 1;
  int displayAlerts = 1;
  int visible = 0;
};

// The largest block a single Value get or put may cover.
inline constexpr int64_t kMaxCellsPerPut = 4 * 1024 * 1024;

struct EngineCall {
  std::vector<Variant> args;  // declared parameter order
  const Variant* value = nullptr;
  Variant* result = nullptr;
  void Return(Variant v) const {
    if (result) *result = std::move(v);
  }
  // Returns `v` and reports success.
  HResult Answer(Variant v) const;
};

// A variant as an integer (numeric strings included) or a string (integers
// included); anything else is a type mismatch.
HResult IntArg(const Variant& v, int32_t& out);
HResult StringArg(const Variant& v, std::string& out);
HResult ArgCount(const EngineCall& call, std::size_t min, std::size_t max);
// A flag as the application takes it: any integer, 0 for false.
HResult PutFlag(const EngineCall& call, bool& flag);

// Base of every engine object: a static table of members found by name
// (case-insensitive, like the real server) and invoked by index.
class EngineBase : public Dispatch, public std::enable_shared_from_this<EngineBase> {
 public:
  using Handler = HResult (EngineBase::*)(const EngineCall&);
  struct Member {
    const char* name;
    Handler get;  // property get, or the method itself
    Handler put;  // null: read-only / method
  };

  HResult GetIDsOfNames(const std::string& name, uint32_t locale, DispId& id) override;
  HResult Invoke(DispId id, uint32_t locale, uint16_t flags, const DispParams& params,
                 Variant* result) override;

 protected:
  virtual const std::vector<Member>& Members() const = 0;
  // False once the object's sheet or chart is gone: calls are refused then.
  virtual bool Alive() const { return true; }
};

template <class T>
EngineBase::Handler H(HResult (T::*fn)(const EngineCall&)) {
  return static_cast<EngineBase::Handler>(fn);
}

// A new engine object as callers receive it.
template <class T, class... Args>
std::shared_ptr<Dispatch> New(Args&&... args) {
  return std::make_shared<T>(std::forward<Args>(args)...);
}

#define RETURN_IF_FAILED(expr)       \
  do {                               \
    const HResult status_ = (expr);  \
    if (status_ < 0) return status_; \
  } while (0)

// What a range object a caller passed back stands for.
struct RangeSpan {
  std::shared_ptr<SheetModel> sheet;
  Areas areas;
};

// The objects one part of the engine hands to another.
// EngineCharts.cpp: the chart of a chart sheet or of an embedded chart.
std::shared_ptr<Dispatch> MakeChart(std::shared_ptr<EngineState> state,
                                    std::shared_ptr<WorkbookModel> book,
                                    std::shared_ptr<ChartModel> chart);
// EngineCharts.cpp: the frame of `chart`, embedded in `sheet` (its place and size).
std::shared_ptr<Dispatch> MakeChartObject(std::shared_ptr<SheetModel> sheet,
                                          std::shared_ptr<ChartModel> chart);
// EngineRanges.cpp: a range over `areas` of `sheet`, and the range behind a
// variant (nullopt when it holds anything else).
std::shared_ptr<Dispatch> MakeRange(std::shared_ptr<EngineState> state,
                                    std::shared_ptr<WorkbookModel> book,
                                    std::shared_ptr<SheetModel> sheet, Areas areas);
std::optional<RangeSpan> RangeOf(const Variant& v);
// EngineSheets.cpp: a worksheet, or the chart of a chart sheet.
std::shared_ptr<Dispatch> MakeWorksheet(std::shared_ptr<EngineState> state,
                                        std::shared_ptr<WorkbookModel> book,
                                        std::shared_ptr<SheetModel> sheet);

}  // namespace yelvane::engine
