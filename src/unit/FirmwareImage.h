#pragma once

// Firmware image files (.msc): a 1024-byte header, then the payload that is
// streamed into the logger. Erasing the logger sends such an image too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Sinks.h"

namespace yelvane {

inline constexpr std::size_t kImageHeaderSize = 1024;
inline constexpr std::size_t kImageKindOffset = 258;
inline constexpr std::size_t kImageTargetOffsetOffset = 259;
inline constexpr std::size_t kImageLengthFieldOffset = 263;

// The firmware file dialog's filter and default extension.
inline constexpr const char* kImageFileFilter = "MSC Files (*.msc)|*.msc||";
inline constexpr const char* kImageDefaultExtension = ".msc";

inline constexpr const char* kImageNotMscText = "This file is not MSC format!";
inline constexpr const char* kImageReadErrorText = "File read error!";
inline constexpr const char* kImageMisalignedText =
    "Target offset of MSC FIle is not aligned!\nCheck your MSC file.";

// The three header values that travel to the logger in the begin-write block.
struct ImageHeader {
  uint8_t kind = 0;
  uint32_t targetOffset = 0;
  uint32_t lengthField = 0;
  friend bool operator==(const ImageHeader&, const ImageHeader&) = default;
};

// Decodes kind, offset and length field from bytes 256.. of a header;
// `fromByte256` must hold at least 11 bytes.
ImageHeader DecodeImageHeader(const uint8_t* fromByte256);

// Log pane line for a kind ("Flash memory: Internal Flash"), "" for others.
std::string ImageKindLogText(uint8_t kind);
// Progress dialog status line ("Target Memory : Internal Flash"), "" for others.
std::string ImageKindStatusText(uint8_t kind);

// Where the image lands as shown to the user: kind 3 counts in 512-byte units.
uint32_t ImageDisplayAddress(const ImageHeader& header);

// The logger only takes whole sectors: the raw offset must be a multiple of 512.
bool IsTargetOffsetAligned(uint32_t targetOffset);

// Checks an image before a transfer and writes its summary to the log:
// "\nThe file: <path>", the kind line, "Start address: 0x%08x", "File size: %ld".
// Failures show a message box and the same log line and return nullopt.
// Files shorter than the header are refused as "This file is not MSC format!".
std::optional<ImageHeader> ReadImageSummary(const std::string& path, LogSink& log,
                                            MessageSink& messages);

// The whole file in memory, or nullopt when it cannot be opened or read whole.
std::optional<std::vector<uint8_t>> LoadImage(const std::string& path);

// True when the file begins with the five letters "BRMSC".
bool IsImageFile(const std::string& path);

// The bytes of an image file: header with "BRMSC" and the three values, then
// the payload. Used to produce the erase image and by tests.
std::vector<uint8_t> BuildImage(const ImageHeader& header, const std::vector<uint8_t>& payload);

}  // namespace yelvane
