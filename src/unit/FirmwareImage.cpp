#include "unit/FirmwareImage.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "common/Format.h"

namespace yelvane {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint32_t ReadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void PutU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

void Fail(const std::string& text, LogSink& log, MessageSink& messages) {
  messages.ShowMessage(text);
  log.AppendLog(text);
}

// Size of an open file, or -1.
long FileSize(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return size;
}

}  // namespace

ImageHeader DecodeImageHeader(const uint8_t* fromByte256) {
  ImageHeader header;
  header.kind = fromByte256[kImageKindOffset - 256];
  header.targetOffset = ReadU32(fromByte256 + (kImageTargetOffsetOffset - 256));
  header.lengthField = ReadU32(fromByte256 + (kImageLengthFieldOffset - 256));
  return header;
}

std::string ImageKindLogText(uint8_t kind) {
  switch (kind) {
    case 1:
      return "Flash memory: Internal Flash";
    case 2:
      return "Flash memory: Serial Flash";
    case 3:
      return "Flash memory: NAND Flash";
    default:
      return "";
  }
}

std::string ImageKindStatusText(uint8_t kind) {
  switch (kind) {
    case 1:
      return "Target Memory : Internal Flash";
    case 2:
      return "Target Memory : Serial Flash";
    case 3:
      return "Target Memory : Nand Flash";
    default:
      return "";
  }
}

uint32_t ImageDisplayAddress(const ImageHeader& header) {
  return header.kind == 3 ? header.targetOffset << 9 : header.targetOffset;
}

bool IsTargetOffsetAligned(uint32_t targetOffset) {
  return targetOffset % 512 == 0;
}

std::optional<ImageHeader> ReadImageSummary(const std::string& path, LogSink& log,
                                            MessageSink& messages) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    Fail(Format("File Open Error: %s!", path.c_str()), log, messages);
    return std::nullopt;
  }
  log.AppendLog(Format("\nThe file: %s", path.c_str()));

  uint8_t head[15] = {};
  if (std::fread(head, 1, sizeof head, file.get()) < sizeof head) {
    Fail(kImageReadErrorText, log, messages);
    return std::nullopt;
  }
  if (head[0] != 0x42 && head[0] != 0x52) {
    Fail(kImageNotMscText, log, messages);
    return std::nullopt;
  }
  // Without a whole header there is no payload to send: refuse it here,
  // before anything reaches the logger.
  const long size = FileSize(file.get());
  if (size < static_cast<long>(kImageHeaderSize)) {
    Fail(kImageNotMscText, log, messages);
    return std::nullopt;
  }
  uint8_t fields[15] = {};
  if (std::fseek(file.get(), 256, SEEK_SET) != 0 ||
      std::fread(fields, 1, sizeof fields, file.get()) < sizeof fields) {
    Fail(kImageReadErrorText, log, messages);
    return std::nullopt;
  }
  file.reset();

  const ImageHeader header = DecodeImageHeader(fields);
  std::string kindLine = "\n";
  kindLine += ImageKindLogText(header.kind);
  log.AppendLog(kindLine);
  log.AppendLog(Format("Start address: 0x%08x", ImageDisplayAddress(header)));
  log.AppendLog(Format("File size: %ld", static_cast<long>(header.lengthField)));
  return header;
}

std::optional<std::vector<uint8_t>> LoadImage(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  const long size = FileSize(file.get());
  if (size < 0) return std::nullopt;
  std::vector<uint8_t> image;
  try {
    image.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (std::fread(image.data(), 1, image.size(), file.get()) != image.size()) return std::nullopt;
  return image;
}

bool IsImageFile(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  char head[5] = {};
  return std::fread(head, 1, sizeof head, file.get()) == sizeof head &&
         std::memcmp(head, "BRMSC", 5) == 0;
}

std::vector<uint8_t> BuildImage(const ImageHeader& header, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> image(kImageHeaderSize + payload.size(), 0);
  std::memcpy(image.data(), "BRMSC", 5);
  image[kImageKindOffset] = header.kind;
  PutU32(image.data() + kImageTargetOffsetOffset, header.targetOffset);
  PutU32(image.data() + kImageLengthFieldOffset, header.lengthField);
  if (!payload.empty())
    std::memcpy(image.data() + kImageHeaderSize, payload.data(), payload.size());
  return image;
}

}  // namespace yelvane
