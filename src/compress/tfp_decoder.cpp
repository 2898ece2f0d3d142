#include "compress/tfp_decoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "common/worker_pool.h"
#include "compress/lh5_decoder.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {

#ifdef KRELT_FUZZ_SKIP_CRC
constexpr bool kCheckCrc = false;  // lets fuzzers reach the block decoder
#else
constexpr bool kCheckCrc = true;
#endif


// One chunk record: all its bytes, its data and the number of raw bytes it
// stands for.
struct ChunkRecord {
  std::span<const std::uint8_t> bytes;
  std::span<const std::uint8_t> data;
  std::size_t rawLength = 0;
  bool stored() const { return data.size() == rawLength; }
};

// The records of a stream as far as their headers are sound, and the first
// fault of the headers, if any. The check words of the records are verified
// apart (on several threads), and a record's bad check word is reported
// before any later fault.
struct Container {
  std::vector<ChunkRecord> records;
  Status fault;
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

// Finds the bytes of the record at the start of rest.
Status DelimitChunkRecord(std::span<const std::uint8_t> rest, std::span<const std::uint8_t>& bytes) {
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
  bytes = rest.first(lengthField + 2);
  return {};
}

// Checks the fields of record, chunk number index (from 0) of chunkCount,
// behind its check word.
Status ParseChunkFields(ChunkRecord& record, std::size_t index, std::size_t chunkCount) {
  const auto bytes = record.bytes;
  if (GetBe16(bytes, kTfpMarkerOffset) != kTfpMarker) {
    return Status::Error(ErrorKind::kDamaged, "marker is " + Hex16(GetBe16(bytes, kTfpMarkerOffset)) +
                         ", not 0xFFFF");
  }
  const std::size_t rawLength = GetBe16(bytes, kTfpRawLengthOffset);
  const std::size_t dataLength = bytes.size() - kTfpChunkHeaderSize;
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
  record.data = bytes.subspan(kTfpChunkHeaderSize);
  record.rawLength = rawLength;
  return {};
}

std::string ChunkName(std::size_t index) {
  return "chunk " + std::to_string(index + 1);
}

// Walks the container's headers and lists its chunk records up to the first
// fault, that record included when its bytes could be told.
Status ParseContainer(std::span<const std::uint8_t> stream, Container& container) {
  std::size_t chunkCount = 0;
  if (Status status = ParseStreamHeader(stream, chunkCount); !status.ok()) {
    return status;
  }
  std::vector<ChunkRecord>& records = container.records;
  records.reserve(std::min(chunkCount, stream.size() / kTfpChunkHeaderSize));
  auto rest = stream.subspan(kTfpStreamHeaderSize);
  for (std::size_t index = 0; index < chunkCount; ++index) {
    if (rest.empty()) {
      container.fault = Status::Error(ErrorKind::kDamaged, "the stream ends after " +
                                      std::to_string(index) + " of its " +
                                      std::to_string(chunkCount) + " chunk records");
      return {};
    }
    ChunkRecord record;
    Status status = DelimitChunkRecord(rest, record.bytes);
    if (status.ok()) {
      status = ParseChunkFields(record, index, chunkCount);
      records.push_back(record);
    }
    if (!status.ok()) {
      container.fault = status.WithMessage(ChunkName(index) + ": " + status.message());
      return {};
    }
    rest = rest.subspan(record.bytes.size());
  }
  if (!rest.empty()) {
    container.fault = Status::Error(ErrorKind::kDamaged, std::to_string(rest.size()) +
                                    " bytes follow the last of the stream's " +
                                    std::to_string(chunkCount) + " chunk records");
  }
  return {};
}

// The fault of the first record whose check word is wrong, else the
// container's fault.
Status CheckRecords(WorkerPool* pool, const Container& container) {
  const std::vector<ChunkRecord>& records = container.records;
  std::vector<Status> crcs(records.size());
  ParallelFor(pool, records.size(),
               [&](std::size_t index) { crcs[index] = CheckCrc(records[index].bytes); });
  for (std::size_t index = 0; index < records.size(); ++index) {
    if (!crcs[index].ok()) {
      return crcs[index].WithMessage(ChunkName(index) + ": " + crcs[index].message());
    }
  }
  return container.fault;
}

// Chunks decoded side by side: a group of this many per thread at a time
// (enough to keep the threads' waits for each other rare), at most 4 MiB
// whatever the thread count.
constexpr std::size_t kChunksPerThreadAtOnce = 16;
constexpr std::size_t kMaxChunksAtOnce = 128;

// The bytes of one group of chunks: each chunk's place and the chunk's fault.
struct DecodedGroup {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> offsets;
  std::vector<Status> statuses;

  // Makes room for records, sized from their headers.
  void Prepare(std::span<const ChunkRecord> records) {
    offsets.resize(records.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
      offsets[i] = total;
      total += records[i].rawLength;
    }
    bytes.resize(total);
    statuses.assign(records.size(), Status());
  }
};

// Memory follows the bytes the stream really decodes to, not the lengths
// its records claim: a group's buffer is sized from its own records and
// reused, so a stream of empty records claiming full chunks fails within
// its first group. The chunks of a group are decoded on the pool's
// threads, each into its own place, while one thread hands the group
// before to the sink; the first fault in chunk order is reported.
Status DecodeRecords(WorkerPool* pool, std::span<const ChunkRecord> records,
                     const TfpDecoder::Sink& sink) {
  const std::size_t threads = pool != nullptr ? pool->threadCount() : 1;
  const std::size_t groupSize = std::min(threads * kChunksPerThreadAtOnce, kMaxChunksAtOnce);
  std::vector<std::unique_ptr<Lh5Decoder>> decoders(groupSize);
  std::array<DecodedGroup, 2> groups;
  const DecodedGroup* waiting = nullptr;  // decoded, not yet given to the sink
  for (std::size_t first = 0; first < records.size(); first += groupSize) {
    const auto group = records.subspan(first, std::min(groupSize, records.size() - first));
    DecodedGroup& decoded = groups[(first / groupSize) % 2];
    decoded.Prepare(group);
    // Item 0 hands on the group before; item i decodes chunk i - 1.
    ParallelFor(pool, group.size() + 1, [&](std::size_t item) {
      if (item == 0) {
        if (waiting != nullptr) sink(waiting->bytes);
        return;
      }
      const std::size_t i = item - 1;
      const ChunkRecord& record = group[i];
      const auto destination =
          std::span(decoded.bytes).subspan(decoded.offsets[i], record.rawLength);
      if (record.stored()) {
        std::copy(record.data.begin(), record.data.end(), destination.begin());
        return;
      }
      if (!decoders[i]) decoders[i] = std::make_unique<Lh5Decoder>();
      decoded.statuses[i] = decoders[i]->DecodeChunk(record.data, destination);
    });
    for (std::size_t i = 0; i < group.size(); ++i) {
      const Status& status = decoded.statuses[i];
      if (!status.ok()) return status.WithMessage(ChunkName(first + i) + ": " + status.message());
    }
    waiting = &decoded;
  }
  if (waiting != nullptr) sink(waiting->bytes);
  return {};
}

}  // namespace

Status TfpDecoder::Decode(std::span<const std::uint8_t> stream,
                          std::vector<std::uint8_t>& output, WorkerPool* pool) {
  output.clear();
  const Status status = Decode(
      stream, [&output](std::span<const std::uint8_t> bytes) {
        output.insert(output.end(), bytes.begin(), bytes.end());
      },
      pool);
  if (!status.ok()) output = {};
  return status;
}

Status TfpDecoder::Decode(std::span<const std::uint8_t> stream, const Sink& sink,
                          WorkerPool* pool) {
  // An empty input compresses to an empty stream.
  if (stream.empty()) return {};
  return CatchAllocationFailure([&] {
    Container container;
    if (Status parsed = ParseContainer(stream, container); !parsed.ok()) return parsed;
    if (Status checked = CheckRecords(pool, container); !checked.ok()) return checked;
    return DecodeRecords(pool, container.records, sink);
  });
}

}  // namespace krelt
