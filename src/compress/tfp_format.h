#pragma once

#include <cstddef>
#include <cstdint>

namespace krelt {

// Layout constants of the COMPRESS_Tfp stream: a 10-byte stream header and
// chunk records of an 8-byte header plus up to kTfpMaxChunkLength data bytes.
inline constexpr std::size_t kTfpStreamHeaderSize = 10;
inline constexpr std::size_t kTfpChunkHeaderSize = 8;
inline constexpr std::size_t kTfpMaxChunkLength = 32762;
inline constexpr std::size_t kTfpMaxChunkCount = 65535;

// CRC-16/ARC (reflected 0xA001, initial 0, no final inversion).
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count);

// Writes value high byte first.
void PutBe16(std::uint8_t* destination, std::uint16_t value);

// Size of the largest stream an input of inputLength bytes can give: every
// chunk stored raw. Every output buffer handed to TfpEncoder is this large.
std::size_t MaxCompressedSize(std::size_t inputLength);

}  // namespace krelt
