#include "report/TextReport.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/Format.h"

namespace yelvane {
namespace {

std::size_t Utf8Length(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;  // skip continuation bytes
  return count;
}

const std::string kTitleRule(63, '=');

}  // namespace

std::string PadCell(const std::string& text, int width) {
  std::string cell = text;
  const std::size_t length = Utf8Length(text);
  if (width > 0 && length < static_cast<std::size_t>(width))
    cell.append(static_cast<std::size_t>(width) - length, ' ');
  return cell + "  ";
}

std::string BuildTextReport(const SessionTable& table, const PetInfo& pet,
                            const TextReportRowHook& onRow) {
  std::string out;
  out += kTitleRule + "PET'S DATA REPORT" + kTitleRule + "\r\n";
  out += "Pet Name: " + pet.name + "\r\n";
  out += "Pet Owner: " + pet.owner + "\r\n";
  out += "Pet Location: " + pet.location + "\r\n";
  out += "\r\n";

  std::string groups;
  std::string titles;
  const int headers = std::min(table.HeaderCount(), kSessionColumns);
  for (int c = 0; c < headers; ++c) {
    groups += PadCell(kTextReportColumns[c].group, kTextReportColumns[c].width);
    titles += PadCell(table.HeaderText(c, kHeaderBufferSize), kTextReportColumns[c].width);
  }
  out += groups + "\r\n";
  out += titles + "\r\n";

  const int rows = table.RowCount();
  for (int r = 0; r < rows; ++r) {
    std::string line;
    for (int c = 0; c < kSessionColumns; ++c)
      line += PadCell(table.CellText(r, c, kCellBufferSize), kTextReportColumns[c].width);
    out += line + "\r\n";
    if (onRow) onRow(r);
  }
  return out;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) {
    error = Format("Cannot write \"%s\": it is a folder.", path.c_str());
    return false;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static std::atomic<unsigned> counter{0};
  fs::path temp;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = folder / Format(".%s.%u.%u.tmp", target.filename().string().c_str(),
                           static_cast<unsigned>(fs::hash_value(target) & 0xFFFF), counter++);
    if (!fs::exists(temp, ec)) break;
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = Format("Cannot write \"%s\": %s", path.c_str(), std::strerror(errno));
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      const std::string reason = std::strerror(errno);
      fs::remove(temp, ec);
      error = Format("Cannot write \"%s\": %s", path.c_str(), reason.c_str());
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    const std::string reason = ec.message();
    fs::remove(temp, ec);
    error = Format("Cannot write \"%s\": %s", path.c_str(), reason.c_str());
    return false;
  }
  error.clear();
  return true;
}

bool WriteTextReport(const std::string& path, const SessionTable& table, const PetInfo& pet,
                     std::string& error, const TextReportRowHook& onRow) {
  return WriteFileReplacing(path, BuildTextReport(table, pet, onRow), error);
}

}  // namespace yelvane
