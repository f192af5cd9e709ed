#include "engine/WorkbookFile.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/Format.h"
#include "common/TempFolder.h"
#include "engine/LibreOffice.h"
#include "engine/XlsGridlines.h"
#include "engine/XlsxWriter.h"

namespace yelvane {

namespace fs = std::filesystem;

namespace {

bool MoveFile(const fs::path& from, const fs::path& to, std::string& error) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (!ec) return true;
  // Another file system: copy, then drop the source.
  ec.clear();
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    error = Format("cannot write %s: %s", to.string().c_str(), ec.message().c_str());
    fs::remove(to, ec);
    return false;
  }
  fs::remove(from, ec);
  return true;
}

}  // namespace

bool SaveWorkbookFile(const WorkbookModel& book, const std::string& path, bool xls,
                      const std::string& soffice, int timeoutSeconds, std::string& error,
                      int memoryLimitMB) {
  if (!xls) return WriteXlsx(book, path, error);
  TempFolder work;
  if (!work.Ok()) {
    error = "cannot create a temporary folder";
    return false;
  }
  const fs::path xlsx = work.Path() / "workbook.xlsx";
  if (!WriteXlsx(book, xlsx.string(), error)) return false;
  if (timeoutSeconds <= 0) timeoutSeconds = 60 + static_cast<int>(book.sheets.size()) / 2;
  const fs::path outDir = work.Path() / "out";
  std::error_code ec;
  fs::create_directory(outDir, ec);
  const std::string converted = ConvertWithLibreOffice(
      soffice, xlsx.string(), "xls", "xls", outDir.string(), timeoutSeconds, error, memoryLimitMB);
  if (converted.empty()) return false;
  // The 97-2003 export turns hidden gridlines back on; put them off again.
  std::vector<bool> hidden;
  for (const auto& sheet : book.sheets) {
    hidden.push_back(sheet->GetKind() == SheetModel::Kind::Worksheet && !sheet->Gridlines());
  }
  if (!HideGridlinesInXls(converted, hidden, error)) return false;
  return MoveFile(converted, path, error);
}

}  // namespace yelvane
