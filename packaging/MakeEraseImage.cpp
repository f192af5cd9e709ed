// Writes Erase.msc, the image the Erase Memory Data command streams into the
// logger: kind 1 (internal flash), target offset 0x10000, then all ones (the
// flash's erased state) up to, and not including, the firmware version
// record. Usage: MakeEraseImage OUTPUT...
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/FileReplace.h"
#include "unit/FirmwareImage.h"
#include "unit/UnitAccess.h"

namespace {

// The session memory starts here: the stretch a memory read copies.
constexpr uint32_t kTarget = 0x10000;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT...\n", argv[0]);
    return 2;
  }
  const uint32_t payload = yelvane::kVersionRecordAddress - kTarget;
  // The length field carries the payload length, so a unit that trusts it
  // stops short of the version record as well.
  const std::vector<uint8_t> image =
      yelvane::BuildImage({.kind = 1, .targetOffset = kTarget, .lengthField = payload},
                          std::vector<uint8_t>(payload, 0xFF));
  for (int i = 1; i < argc; ++i) {
    std::string error;
    if (!yelvane::WriteFileReplacing(argv[i], std::string(image.begin(), image.end()), error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
