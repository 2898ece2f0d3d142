#include "compress/tfp_encoder.h"

#include <algorithm>
#include <array>
#include <functional>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>

#include "common/worker_pool.h"
#include "compress/chunk_coder.h"
#include "compress/optimal_chunk_coder.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {


// Fills in a record's first field (the number of bytes after it) and its CRC
// of everything behind the CRC field.
void SealRecord(std::uint8_t* record, std::size_t recordSize) {
  PutBe16(record + kTfpLengthOffset, static_cast<std::uint16_t>(recordSize - kTfpCrcOffset));
  PutBe16(record + kTfpCrcOffset,
          Crc16(record + kTfpMarkerOffset, recordSize - kTfpMarkerOffset));
}

// Writes the record of one chunk at record and returns its size. The chunk
// is stored raw unless its coded form is shorter.
template <typename Coder>
std::size_t WriteChunkRecord(Coder& coder, const std::uint8_t* chunk,
                             std::uint32_t length, std::uint8_t* record) {
  std::uint8_t* data = record + kTfpChunkHeaderSize;
  std::uint32_t dataSize = coder.EncodeChunk(data, chunk, length).value_or(length);
  if (dataSize >= length) {
    std::memcpy(data, chunk, length);
    dataSize = length;
  }
  PutBe16(record + kTfpMarkerOffset, kTfpMarker);
  PutBe16(record + kTfpRawLengthOffset, static_cast<std::uint16_t>(length));
  const std::size_t recordSize = kTfpChunkHeaderSize + dataSize;
  SealRecord(record, recordSize);
  return recordSize;
}

void WriteStreamHeader(std::uint8_t* output, std::uint16_t chunkCount) {
  PutBe16(output + kTfpMarkerOffset, kTfpMarker);
  PutBe16(output + kTfpVersionOffset, kTfpStreamVersion);
  PutBe16(output + kTfpChunkCountOffset, chunkCount);
  SealRecord(output, kTfpStreamHeaderSize);
}

// Where chunk `index`'s record goes while the chunks are coded: each at the
// place it has when every chunk before it is stored raw, which is inside
// the MaxCompressedSize output however the chunks turn out.
constexpr std::size_t RecordSlot(std::size_t index) {
  return kTfpStreamHeaderSize + index * (kTfpChunkHeaderSize + kTfpMaxChunkLength);
}

// What codes one chunk: the coder of the level and room for the chunk's
// record.
struct ChunkBench {
  explicit ChunkBench(CompressionLevel level) {
    if (level == CompressionLevel::kMax) {
      optimalCoder = std::make_unique<OptimalChunkCoder>();
    } else {
      coder = std::make_unique<ChunkCoder>();
    }
  }

  std::size_t WriteRecord(const std::uint8_t* chunk, std::uint32_t length) {
    return optimalCoder ? WriteChunkRecord(*optimalCoder, chunk, length, record.data())
                        : WriteChunkRecord(*coder, chunk, length, record.data());
  }

  // One of the two, after the level.
  std::unique_ptr<ChunkCoder> coder;
  std::unique_ptr<OptimalChunkCoder> optimalCoder;
  std::array<std::uint8_t, kTfpChunkHeaderSize + kTfpMaxChunkLength> record;
};

// The benches of one Compress call, one for each chunk coded at a time.
class BenchShelf {
 public:
  // False when memory for the benches runs out.
  bool Stock(std::size_t count, CompressionLevel level) {
    try {
      for (std::size_t i = 0; i < count; ++i) {
        benches_.push_back(std::make_unique<ChunkBench>(level));
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  std::unique_ptr<ChunkBench> Take() {
    const std::lock_guard lock(mutex_);
    std::unique_ptr<ChunkBench> bench = std::move(benches_.back());
    benches_.pop_back();
    return bench;
  }

  void Return(std::unique_ptr<ChunkBench> bench) {
    const std::lock_guard lock(mutex_);
    benches_.push_back(std::move(bench));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<ChunkBench>> benches_;
};

std::size_t ChunkCount(std::size_t length) {
  return (length + kTfpMaxChunkLength - 1) / kTfpMaxChunkLength;
}

// Receives the record of chunk `index` while it lies on its bench.
using RecordSink =
    std::function<void(std::size_t index, std::span<const std::uint8_t> record)>;

// Codes every chunk of input[0, length), on the pool's threads when there
// is a pool, and hands each record to deliver. False when memory for the
// coders runs out (nothing delivered) or watch.cancel is set (the chunks
// not yet started are skipped).
bool CodeChunks(WorkerPool* pool, CompressionLevel level, const std::uint8_t* input,
                std::size_t length, const RecordSink& deliver, const ChunkWatch& watch = {}) {
  const auto cancelled = [&watch] {
    return watch.cancel != nullptr && watch.cancel->cancelled();
  };
  const std::size_t chunkCount = ChunkCount(length);
  const unsigned threads = pool != nullptr ? pool->threadCount() : 1;
  BenchShelf shelf;
  if (!shelf.Stock(std::min<std::size_t>(chunkCount, threads), level)) return false;
  const auto codeChunk = [&](std::size_t index) {
    if (cancelled()) return;
    const std::size_t start = index * kTfpMaxChunkLength;
    const auto chunkLength =
        static_cast<std::uint32_t>(std::min(length - start, kTfpMaxChunkLength));
    std::unique_ptr<ChunkBench> bench = shelf.Take();
    const std::size_t recordSize = bench->WriteRecord(input + start, chunkLength);
    deliver(index, std::span(bench->record.data(), recordSize));
    shelf.Return(std::move(bench));
    if (watch.chunkCoded) watch.chunkCoded(chunkLength);
  };
  if (pool != nullptr) {
    pool->ParallelFor(chunkCount, codeChunk);
  } else {
    for (std::size_t index = 0; index < chunkCount; ++index) codeChunk(index);
  }
  return !cancelled();
}

// Moves every record down behind the one before it; returns the stream's
// length.
std::size_t CloseRecordGaps(std::uint8_t* output,
                            const std::vector<std::size_t>& recordSizes) {
  std::size_t position = kTfpStreamHeaderSize;
  for (std::size_t index = 0; index < recordSizes.size(); ++index) {
    std::memmove(output + position, output + RecordSlot(index), recordSizes[index]);
    position += recordSizes[index];
  }
  return position;
}

}  // namespace

TfpEncoder::TfpEncoder(WorkerPool* pool, CompressionLevel level)
    : pool_(pool), level_(level) {}
TfpEncoder::~TfpEncoder() = default;

// A negative length, or one whose worst-case stream would not fit the
// output length, is refused like a failed allocation: nothing is written.
bool TfpEncoder::Compress(const std::uint8_t* input, std::int32_t inputLength,
                          std::uint8_t* output, std::int32_t* outputLength) {
  if (inputLength < 0 || static_cast<std::size_t>(inputLength) > kTfpMaxInputLength) {
    return false;
  }
  if (inputLength == 0) {
    *outputLength = 0;
    return true;
  }
  const auto length = static_cast<std::size_t>(inputLength);
  const std::size_t chunkCount = ChunkCount(length);
  std::vector<std::size_t> recordSizes(chunkCount);
  if (!CodeChunks(pool_, level_, input, length,
                  [&](std::size_t index, std::span<const std::uint8_t> record) {
                    std::memcpy(output + RecordSlot(index), record.data(), record.size());
                    recordSizes[index] = record.size();
                  })) {
    return false;
  }
  WriteStreamHeader(output, static_cast<std::uint16_t>(chunkCount));
  *outputLength = static_cast<std::int32_t>(CloseRecordGaps(output, recordSizes));
  return true;
}

// Records join the stream in chunk order as they are coded; one that is
// done before those ahead of it waits aside. The stream's room is reserved
// for its all-stored size, but only the bytes written take memory.
bool TfpEncoder::Compress(std::span<const std::uint8_t> input,
                          std::vector<std::uint8_t>& stream, const ChunkWatch& watch) {
  if (input.size() > kTfpMaxInputLength) return false;
  if (input.empty()) {
    stream.clear();
    return true;
  }
  try {
    std::vector<std::uint8_t> result;
    result.reserve(MaxCompressedSize(input.size()));
    result.resize(kTfpStreamHeaderSize);
    std::mutex mutex;
    std::size_t next = 0;
    std::map<std::size_t, std::vector<std::uint8_t>> waiting;
    const auto append = [&result](std::span<const std::uint8_t> record) {
      result.insert(result.end(), record.begin(), record.end());
    };
    if (!CodeChunks(pool_, level_, input.data(), input.size(),
                    [&](std::size_t index, std::span<const std::uint8_t> record) {
                      const std::lock_guard lock(mutex);
                      if (index != next) {
                        waiting[index].assign(record.begin(), record.end());
                        return;
                      }
                      append(record);
                      for (++next; !waiting.empty() && waiting.begin()->first == next; ++next) {
                        append(waiting.begin()->second);
                        waiting.erase(waiting.begin());
                      }
                    },
                    watch)) {
      return false;
    }
    WriteStreamHeader(result.data(), static_cast<std::uint16_t>(ChunkCount(input.size())));
    stream = std::move(result);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace krelt
