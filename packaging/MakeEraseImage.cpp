// Writes Erase.msc, the image the Erase Memory Data command streams into the
// logger: header "BRMSC", kind 1 (internal flash), target offset 0x10000,
// then all ones (the flash's erased state) up to, and not including, the
// firmware version record at 0x5F200. Usage: MakeEraseImage OUTPUT...
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kTarget = 0x10000;
constexpr uint32_t kVersionRecord = 0x5F200;

void PutU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT...\n", argv[0]);
    return 2;
  }
  const uint32_t payload = kVersionRecord - kTarget;
  std::vector<uint8_t> image(1024 + payload, 0xFF);
  std::memset(image.data(), 0, 1024);
  std::memcpy(image.data(), "BRMSC", 5);
  image[258] = 1;
  PutU32(&image[259], kTarget);
  // The length field carries the payload length, so a unit that trusts it
  // stops short of the version record as well.
  PutU32(&image[263], payload);
  for (int i = 1; i < argc; ++i) {
    std::FILE* out = std::fopen(argv[i], "wb");
    if (!out) {
      std::perror(argv[i]);
      return 1;
    }
    const bool ok = std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (std::fclose(out) != 0 || !ok) {
      std::perror(argv[i]);
      return 1;
    }
  }
  return 0;
}
