#pragma once

// Cell and range operations on a worksheet, each a short series of AutoWrap
// calls. The object keeps no state besides where its message boxes go.

#include <string>

#include "automation/AutoWrap.h"
#include "common/Sinks.h"

namespace yelvane {

inline constexpr const char* kNullSheetMessage = "Excel WorkSheet is null!";

class CExcelAutomation {
 public:
  explicit CExcelAutomation(MessageSink& messages) : messages_(&messages) {}

  MessageSink& Messages() const { return *messages_; }

  // Rows and columns are 1-based.
  void SetCellValue(Dispatch* sheet, int row, int column, const std::string& text);
  // kind "Cells" (all cells, range ignored) or "Range"; property "Name" takes
  // the text value, any other property the number value; bold sets Bold = 1.
  void SetFont(Dispatch* sheet, const std::string& kind, const std::string& range,
               const std::string& property, const std::string& textValue, int numberValue,
               bool bold);
  void SetBorders(Dispatch* sheet, const std::string& range, const std::string& property,
                  int value);
  void SetInteriorColor(Dispatch* sheet, const std::string& range, int colorIndex);
  void SetColumnWidth(Dispatch* sheet, const std::string& columns, int width);
  void SetColumnNumberFormat(Dispatch* sheet, char column, const std::string& format);
  void SelectCell(Dispatch* sheet, int row, int column);
  void MergeRange(Dispatch* sheet, const std::string& range);

 private:
  bool CheckSheet(Dispatch* sheet);
  MessageSink* messages_;
};

}  // namespace yelvane
