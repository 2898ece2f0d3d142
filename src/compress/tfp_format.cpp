#include "compress/tfp_format.h"

#include <array>

namespace krelt {
namespace {

// Slicing tables of CRC-16/ARC: entry b of table k is the CRC register
// after shifting in byte b followed by k zero bytes, so eight bytes are
// folded into the register with one look-up each.
constexpr int kCrcSlices = 8;
using Crc16Tables = std::array<std::array<std::uint16_t, 256>, kCrcSlices>;

constexpr Crc16Tables MakeCrc16Tables() {
  Crc16Tables tables{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    tables[0][byte] = static_cast<std::uint16_t>(crc);
  }
  for (std::size_t slice = 1; slice < kCrcSlices; ++slice) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const unsigned previous = tables[slice - 1][byte];
      tables[slice][byte] = static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFF]);
    }
  }
  return tables;
}

constexpr Crc16Tables kCrc16Tables = MakeCrc16Tables();

}  // namespace

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count) {
  const auto& t = kCrc16Tables;
  unsigned crc = 0;
  for (; count >= kCrcSlices; count -= kCrcSlices, bytes += kCrcSlices) {
    crc = t[7][(crc ^ bytes[0]) & 0xFF] ^ t[6][(crc >> 8) ^ bytes[1]] ^ t[5][bytes[2]] ^
          t[4][bytes[3]] ^ t[3][bytes[4]] ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]];
  }
  for (; count != 0; --count, ++bytes) crc = t[0][(crc ^ *bytes) & 0xFF] ^ (crc >> 8);
  return static_cast<std::uint16_t>(crc);
}

void PutBe16(std::uint8_t* destination, std::uint16_t value) {
  destination[0] = static_cast<std::uint8_t>(value >> 8);
  destination[1] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace krelt
