#include "automation/ExcelAutomation.h"

#include "common/Format.h"

namespace yelvane {

bool CExcelAutomation::CheckSheet(Dispatch* sheet) {
  if (sheet != nullptr) return true;
  messages_->ShowMessage(kNullSheetMessage, MessageIcon::None);
  return false;
}

void CExcelAutomation::SetCellValue(Dispatch* sheet, int row, int column, const std::string& text) {
  if (!CheckSheet(sheet)) return;
  Variant cell;
  // Dispatch order: the column (last parameter) first.
  AutoWrap(*messages_, kDispatchPropertyGet, &cell, sheet, "Cells", {column, row});
  AutoWrap(*messages_, kDispatchPropertyPut, nullptr, cell.Object(), "Value", {text});
}

void CExcelAutomation::SetFont(Dispatch* sheet, const std::string& kind, const std::string& range,
                               const std::string& property, const std::string& textValue,
                               int numberValue, bool bold) {
  if (!CheckSheet(sheet)) return;
  Variant target;
  if (kind == "Cells") {
    AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Cells");
  } else if (kind == "Range") {
    AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Range", {range});
  }
  Variant font;
  AutoWrap(*messages_, kDispatchPropertyGet, &font, target.Object(), "Font");
  if (property == "Name") {
    AutoWrap(*messages_, kDispatchPropertyPut, nullptr, font.Object(), property, {textValue});
  } else {
    AutoWrap(*messages_, kDispatchPropertyPut, nullptr, font.Object(), property, {numberValue});
  }
  if (bold) {
    Variant boldFont;
    AutoWrap(*messages_, kDispatchPropertyGet, &boldFont, target.Object(), "Font");
    AutoWrap(*messages_, kDispatchPropertyPut, nullptr, boldFont.Object(), "Bold", {1});
  }
}

void CExcelAutomation::SetBorders(Dispatch* sheet, const std::string& range,
                                  const std::string& property, int value) {
  if (!CheckSheet(sheet)) return;
  Variant target;
  AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Range", {range});
  Variant borders;
  AutoWrap(*messages_, kDispatchPropertyGet, &borders, target.Object(), "Borders");
  AutoWrap(*messages_, kDispatchPropertyPut, nullptr, borders.Object(), property, {value});
}

void CExcelAutomation::SetInteriorColor(Dispatch* sheet, const std::string& range, int colorIndex) {
  if (!CheckSheet(sheet)) return;
  Variant target;
  AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Range", {range});
  Variant interior;
  AutoWrap(*messages_, kDispatchPropertyGet, &interior, target.Object(), "Interior");
  AutoWrap(*messages_, kDispatchPropertyPut, nullptr, interior.Object(), "ColorIndex",
           {colorIndex});
}

void CExcelAutomation::SetColumnWidth(Dispatch* sheet, const std::string& columns, int width) {
  if (!CheckSheet(sheet)) return;
  Variant target;
  AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Columns", {columns});
  AutoWrap(*messages_, kDispatchPropertyPut, nullptr, target.Object(), "ColumnWidth", {width});
}

void CExcelAutomation::SetColumnNumberFormat(Dispatch* sheet, char column,
                                             const std::string& format) {
  if (!CheckSheet(sheet)) return;
  Variant target;
  AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Columns",
           {Format("%c:%c", column, column)});
  AutoWrap(*messages_, kDispatchPropertyPut, nullptr, target.Object(), "NumberFormatLocal",
           {format});
}

void CExcelAutomation::SelectCell(Dispatch* sheet, int row, int column) {
  if (!CheckSheet(sheet)) return;
  Variant cell;
  AutoWrap(*messages_, kDispatchPropertyGet, &cell, sheet, "Cells", {column, row});
  AutoWrap(*messages_, kDispatchMethod, nullptr, cell.Object(), "Select");
}

void CExcelAutomation::MergeRange(Dispatch* sheet, const std::string& range) {
  if (!CheckSheet(sheet)) return;
  Variant target;
  AutoWrap(*messages_, kDispatchPropertyGet, &target, sheet, "Range", {range});
  AutoWrap(*messages_, kDispatchMethod, nullptr, target.Object(), "Merge");
}

}  // namespace yelvane
