#include "compress/tfp_format.h"

#include <array>

namespace krelt {
namespace {

// Table of CRC-16/ARC: entry b is the CRC register after shifting in byte b.
constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    table[byte] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kCrc16Table = MakeCrc16Table();

}  // namespace

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count) {
  unsigned crc = 0;
  for (std::size_t i = 0; i < count; ++i) {
    crc = kCrc16Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  }
  return static_cast<std::uint16_t>(crc);
}

void PutBe16(std::uint8_t* destination, std::uint16_t value) {
  destination[0] = static_cast<std::uint8_t>(value >> 8);
  destination[1] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace krelt
