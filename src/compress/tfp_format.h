#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace krelt {

// Layout constants of the COMPRESS_Tfp stream: a 10-byte stream header and
// chunk records of an 8-byte header plus up to kTfpMaxChunkLength data bytes.
inline constexpr std::size_t kTfpStreamHeaderSize = 10;
inline constexpr std::size_t kTfpChunkHeaderSize = 8;
inline constexpr std::size_t kTfpMaxChunkLength = 32762;
inline constexpr std::size_t kTfpMaxChunkCount = 65535;

// Both headers start with the same three 16-bit big-endian fields: the
// number of bytes after the first field, the CRC-16 of the bytes from the
// marker on, and the marker.
inline constexpr std::size_t kTfpLengthOffset = 0;
inline constexpr std::size_t kTfpCrcOffset = 2;
inline constexpr std::size_t kTfpMarkerOffset = 4;
inline constexpr std::uint16_t kTfpMarker = 0xFFFF;
// Then the stream header has the version and the chunk count ...
inline constexpr std::size_t kTfpVersionOffset = 6;
inline constexpr std::size_t kTfpChunkCountOffset = 8;
inline constexpr std::uint16_t kTfpStreamVersion = 1;
inline constexpr std::uint16_t kTfpStreamHeaderLengthField = kTfpStreamHeaderSize - 2;
// ... and a chunk header the chunk's raw length.
inline constexpr std::size_t kTfpRawLengthOffset = 6;

// CRC-16/ARC (reflected 0xA001, initial 0, no final inversion).
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count);

// Writes value high byte first.
void PutBe16(std::uint8_t* destination, std::uint16_t value);

// Size of the largest stream an input of inputLength bytes can give: every
// chunk stored raw. An empty input has no chunks, so the bound is the bare
// stream header (10); Compress writes nothing for it, which this bound
// covers.
constexpr std::size_t MaxCompressedSize(std::size_t inputLength) {
  const std::size_t chunkCount =
      (inputLength + kTfpMaxChunkLength - 1) / kTfpMaxChunkLength;
  return kTfpStreamHeaderSize + inputLength + kTfpChunkHeaderSize * chunkCount;
}

// Longest input one stream takes: the longest whose worst-case stream has a
// length that fits a 32-bit signed value. That is below the 65535 chunks
// the 16-bit chunk count allows.
inline constexpr std::size_t kTfpMaxInputLength = [] {
  constexpr std::size_t kLimit = std::numeric_limits<std::int32_t>::max();
  constexpr std::size_t kFullRecord = kTfpChunkHeaderSize + kTfpMaxChunkLength;
  const std::size_t fullChunks = (kLimit - kTfpStreamHeaderSize) / kFullRecord;
  const std::size_t rest = (kLimit - kTfpStreamHeaderSize) % kFullRecord;
  const std::size_t lastChunk = rest > kTfpChunkHeaderSize ? rest - kTfpChunkHeaderSize : 0;
  return fullChunks * kTfpMaxChunkLength + lastChunk;
}();
static_assert(MaxCompressedSize(kTfpMaxInputLength) <=
              std::size_t{std::numeric_limits<std::int32_t>::max()});
static_assert(MaxCompressedSize(kTfpMaxInputLength + 1) >
              std::size_t{std::numeric_limits<std::int32_t>::max()});
static_assert(kTfpMaxInputLength <= kTfpMaxChunkCount * kTfpMaxChunkLength);

}  // namespace krelt
