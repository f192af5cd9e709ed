#pragma once

// Whole files in and out.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace yelvane::test {

std::string ReadText(const std::filesystem::path& path);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// The names of what a folder holds, sorted.
std::vector<std::string> FileNames(const std::filesystem::path& folder);
// The lines of a text, without their line breaks.
std::vector<std::string> Lines(const std::string& text);

}  // namespace yelvane::test
