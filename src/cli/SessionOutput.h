#pragma once

// The session table on stdout, as `decode` and `read` print it.

#include <string>

#include "activity/SessionTable.h"

namespace yelvane {

// `format` is "table" (aligned columns under a BARKING / ACTIVITY line),
// "tsv" (one line per row, cells separated by tabs), "csv" (RFC 4180, CRLF,
// under its header line) or "json".
void PrintSessions(const SessionTable& table, const std::string& format);

// `text` as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace yelvane
