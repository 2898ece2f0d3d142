#include "compress/tfp_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
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
  void Stock(std::size_t count, CompressionLevel level) {
    for (std::size_t i = 0; i < count; ++i) benches_.push_back(std::make_unique<ChunkBench>(level));
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

// Joins the records to the stream in chunk order as they are coded, from
// any thread; one that is done before those ahead of it waits aside.
class RecordJoiner {
 public:
  explicit RecordJoiner(std::vector<std::uint8_t>& stream) : stream_(stream) {}

  void Join(std::size_t index, std::span<const std::uint8_t> record) {
    const std::lock_guard lock(mutex_);
    if (index != next_) {
      waiting_[index].assign(record.begin(), record.end());
      return;
    }
    Append(record);
    for (++next_; !waiting_.empty() && waiting_.begin()->first == next_; ++next_) {
      Append(waiting_.begin()->second);
      waiting_.erase(waiting_.begin());
    }
  }

 private:
  void Append(std::span<const std::uint8_t> record) {
    stream_.insert(stream_.end(), record.begin(), record.end());
  }

  std::vector<std::uint8_t>& stream_;
  std::mutex mutex_;
  std::size_t next_ = 0;
  std::map<std::size_t, std::vector<std::uint8_t>> waiting_;
};

// Codes every chunk of input, on the pool's threads when there is a pool,
// and hands each record to joiner. Once watch.cancel is set the chunks not
// yet started are skipped and false is returned. Running out of memory
// throws.
bool CodeChunks(WorkerPool* pool, CompressionLevel level, std::span<const std::uint8_t> input,
                RecordJoiner& joiner, const ChunkWatch& watch) {
  const auto cancelled = [&watch] {
    return watch.cancel != nullptr && watch.cancel->cancelled();
  };
  const std::size_t chunkCount = ChunkCount(input.size());
  const unsigned threads = pool != nullptr ? pool->threadCount() : 1;
  BenchShelf shelf;
  shelf.Stock(std::min<std::size_t>(chunkCount, threads), level);
  const auto codeChunk = [&](std::size_t index) {
    if (cancelled()) return;
    const std::size_t start = index * kTfpMaxChunkLength;
    const auto chunkLength =
        static_cast<std::uint32_t>(std::min(input.size() - start, kTfpMaxChunkLength));
    std::unique_ptr<ChunkBench> bench = shelf.Take();
    const std::size_t recordSize = bench->WriteRecord(input.data() + start, chunkLength);
    joiner.Join(index, std::span(bench->record.data(), recordSize));
    shelf.Return(std::move(bench));
    if (watch.chunkCoded) watch.chunkCoded(chunkLength);
  };
  ParallelFor(pool, chunkCount, codeChunk);
  return !cancelled();
}

}  // namespace

TfpEncoder::TfpEncoder(WorkerPool* pool, CompressionLevel level)
    : pool_(pool), level_(level) {}
TfpEncoder::~TfpEncoder() = default;

// The stream's room is reserved for its all-stored size, but only the bytes
// written take memory.
Status TfpEncoder::Compress(std::span<const std::uint8_t> input,
                            std::vector<std::uint8_t>& stream, const ChunkWatch& watch) {
  if (input.size() > kTfpMaxInputLength) {
    return Status::Error(ErrorKind::kTooLarge, "too large for one stream");
  }
  if (input.empty()) {
    stream.clear();
    return {};
  }
  try {
    std::vector<std::uint8_t> result;
    result.reserve(MaxCompressedSize(input.size()));
    result.resize(kTfpStreamHeaderSize);
    RecordJoiner joiner(result);
    if (!CodeChunks(pool_, level_, input, joiner, watch)) {
      return Status::Error(ErrorKind::kCancelled, "cancelled");
    }
    WriteStreamHeader(result.data(), static_cast<std::uint16_t>(ChunkCount(input.size())));
    stream = std::move(result);
    return {};
  } catch (const std::bad_alloc&) {
    return Status::Error(ErrorKind::kOutOfMemory, "out of memory");
  } catch (const std::length_error&) {
    return Status::Error(ErrorKind::kTooLarge, "too large for this system");
  }
}

}  // namespace krelt
