#include "compress/tfp_decoder.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "compress/lh5_decoder.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {

#ifdef KRELT_FUZZ_SKIP_CRC
constexpr bool kCheckCrc = false;  // lets fuzzers reach the block decoder
#else
constexpr bool kCheckCrc = true;
#endif


// One chunk record's data and the number of raw bytes it stands for.
struct ChunkRecord {
  std::span<const std::uint8_t> data;
  std::size_t rawLength;
  bool stored() const { return data.size() == rawLength; }
};

std::uint16_t GetBe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

std::string Hex16(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

// Checks the CRC-16 at offset 2 of a record against the bytes behind it.
Status CheckCrc(std::span<const std::uint8_t> record) {
  if (!kCheckCrc) return {};
  const std::uint16_t stored = GetBe16(record, kTfpCrcOffset);
  const std::uint16_t computed = Crc16(record.data() + kTfpMarkerOffset, record.size() - kTfpMarkerOffset);
  if (stored != computed) {
    return Status::Error(ErrorKind::kDamaged, "CRC-16 " + Hex16(stored) +
                         " does not match the data (" + Hex16(computed) + ")");
  }
  return {};
}

Status ParseStreamHeader(std::span<const std::uint8_t> stream,
                         std::size_t& chunkCount) {
  if (stream.size() < kTfpStreamHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "stream header: the stream is only " +
                         std::to_string(stream.size()) + " bytes long; " +
                         std::to_string(kTfpStreamHeaderSize) + " needed");
  }
  const auto header = stream.first(kTfpStreamHeaderSize);
  auto fail = [](const std::string& fault) {
    return Status::Error(ErrorKind::kDamaged, "stream header: " + fault);
  };
  if (GetBe16(header, kTfpLengthOffset) != kTfpStreamHeaderLengthField) {
    return fail("length field is " + std::to_string(GetBe16(header, kTfpLengthOffset)) +
                ", not 8");
  }
  if (const Status crc = CheckCrc(header); !crc.ok()) return fail(crc.message());
  if (GetBe16(header, kTfpMarkerOffset) != kTfpMarker) {
    return fail("marker is " + Hex16(GetBe16(header, kTfpMarkerOffset)) + ", not 0xFFFF");
  }
  if (GetBe16(header, kTfpVersionOffset) != kTfpStreamVersion) {
    return fail("field at offset 6 is " + std::to_string(GetBe16(header, kTfpVersionOffset)) +
                ", not 1");
  }
  chunkCount = GetBe16(header, kTfpChunkCountOffset);
  return {};
}

// Checks the record at the start of rest, which is chunk number index
// (from 0) of chunkCount, and returns it in record.
Status ParseChunkRecord(std::span<const std::uint8_t> rest, std::size_t index,
                        std::size_t chunkCount, ChunkRecord& record) {
  if (rest.size() < kTfpChunkHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "record header needs " +
                         std::to_string(kTfpChunkHeaderSize) +
                         " bytes, the stream has " +
                         std::to_string(rest.size()) + " left");
  }
  const std::size_t lengthField = GetBe16(rest, kTfpLengthOffset);
  if (lengthField < kTfpChunkHeaderSize - 2) {
    return Status::Error(ErrorKind::kDamaged, "length field " + std::to_string(lengthField) +
                         " is below 6");
  }
  if (lengthField + 2 > rest.size()) {
    return Status::Error(ErrorKind::kDamaged, "record of " + std::to_string(lengthField + 2) +
                         " bytes runs past the end of the stream (" +
                         std::to_string(rest.size()) + " bytes left)");
  }
  const auto bytes = rest.first(lengthField + 2);
  if (const Status crc = CheckCrc(bytes); !crc.ok()) return crc;
  if (GetBe16(bytes, kTfpMarkerOffset) != kTfpMarker) {
    return Status::Error(ErrorKind::kDamaged, "marker is " + Hex16(GetBe16(bytes, kTfpMarkerOffset)) +
                         ", not 0xFFFF");
  }
  const std::size_t rawLength = GetBe16(bytes, kTfpRawLengthOffset);
  const std::size_t dataLength = lengthField - 6;
  if (rawLength == 0 || rawLength > kTfpMaxChunkLength) {
    return Status::Error(ErrorKind::kDamaged, "raw length " + std::to_string(rawLength) +
                         " is outside 1.." + std::to_string(kTfpMaxChunkLength));
  }
  if (index + 1 < chunkCount && rawLength != kTfpMaxChunkLength) {
    return Status::Error(ErrorKind::kDamaged, "raw length " + std::to_string(rawLength) +
                         ", but every chunk before the last holds " +
                         std::to_string(kTfpMaxChunkLength) + " bytes");
  }
  if (dataLength > rawLength) {
    return Status::Error(ErrorKind::kDamaged, "data of " + std::to_string(dataLength) +
                         " bytes is longer than its raw length " +
                         std::to_string(rawLength));
  }
  record = {bytes.subspan(kTfpChunkHeaderSize), rawLength};
  return {};
}

std::string ChunkName(std::size_t index) {
  return "chunk " + std::to_string(index + 1);
}

// Checks the whole container and lists its chunk records.
Status ParseContainer(std::span<const std::uint8_t> stream,
                      std::vector<ChunkRecord>& records) {
  std::size_t chunkCount = 0;
  if (Status status = ParseStreamHeader(stream, chunkCount); !status.ok()) {
    return status;
  }
  records.reserve(std::min(chunkCount, stream.size() / kTfpChunkHeaderSize));
  auto rest = stream.subspan(kTfpStreamHeaderSize);
  for (std::size_t index = 0; index < chunkCount; ++index) {
    if (rest.empty()) {
      return Status::Error(ErrorKind::kDamaged, "the stream ends after " + std::to_string(index) +
                           " of its " + std::to_string(chunkCount) +
                           " chunk records");
    }
    ChunkRecord record;
    const Status status = ParseChunkRecord(rest, index, chunkCount, record);
    if (!status.ok()) {
      return status.WithMessage(ChunkName(index) + ": " + status.message());
    }
    records.push_back(record);
    rest = rest.subspan(kTfpChunkHeaderSize + record.data.size());
  }
  if (!rest.empty()) {
    return Status::Error(ErrorKind::kDamaged, std::to_string(rest.size()) +
                         " bytes follow the last of the stream's " +
                         std::to_string(chunkCount) + " chunk records");
  }
  return {};
}

// The output grows one chunk at a time, so memory follows the bytes the
// stream really decodes to, not the lengths its records claim: a stream of
// empty records claiming full chunks fails at its first chunk.
Status DecodeRecords(const std::vector<ChunkRecord>& records,
                     std::vector<std::uint8_t>& output) {
  std::unique_ptr<Lh5Decoder> decoder;
  for (std::size_t index = 0; index < records.size(); ++index) {
    const ChunkRecord& record = records[index];
    const std::size_t offset = output.size();
    output.resize(offset + record.rawLength);
    const auto destination = std::span(output).subspan(offset);
    if (record.stored()) {
      std::copy(record.data.begin(), record.data.end(), destination.begin());
      continue;
    }
    if (!decoder) decoder = std::make_unique<Lh5Decoder>();
    const Status status = decoder->DecodeChunk(record.data, destination);
    if (!status.ok()) {
      return status.WithMessage(ChunkName(index) + ": " + status.message());
    }
  }
  return {};
}

}  // namespace

Status TfpDecoder::Decode(std::span<const std::uint8_t> stream,
                          std::vector<std::uint8_t>& output) {
  output.clear();
  // An empty input compresses to an empty stream.
  if (stream.empty()) return {};
  Status status = CatchAllocationFailure([&] {
    std::vector<ChunkRecord> records;
    Status parsed = ParseContainer(stream, records);
    return parsed.ok() ? DecodeRecords(records, output) : parsed;
  });
  if (!status.ok()) output = {};
  return status;
}

}  // namespace krelt
