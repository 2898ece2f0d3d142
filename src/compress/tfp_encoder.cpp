#include "compress/tfp_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <mutex>
#include <optional>

#include "common/worker_pool.h"
#include "compress/chunk_coder.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {

// Every record has this marker behind its CRC field.
constexpr std::uint16_t kRecordMarker = 0xFFFF;
// Field at offset 6 of the stream header.
constexpr std::uint16_t kStreamHeaderTag = 1;
// The chunk count is a 16-bit field.
constexpr std::size_t kMaxInputLength = kTfpMaxChunkCount * kTfpMaxChunkLength;

// Fills in a record's first field (the number of bytes after it) and its CRC
// of everything behind the CRC field.
void SealRecord(std::uint8_t* record, std::size_t recordSize) {
  PutBe16(record, static_cast<std::uint16_t>(recordSize - 2));
  PutBe16(record + 2, Crc16(record + 4, recordSize - 4));
}

// Writes the record of one chunk at record and returns its size. The chunk
// is stored raw unless its coded form is shorter.
std::size_t WriteChunkRecord(ChunkCoder& coder, const std::uint8_t* chunk,
                             std::uint32_t length, std::uint8_t* record) {
  std::uint8_t* data = record + kTfpChunkHeaderSize;
  std::uint32_t dataSize = coder.EncodeChunk(data, chunk, length).value_or(length);
  if (dataSize >= length) {
    std::memcpy(data, chunk, length);
    dataSize = length;
  }
  PutBe16(record + 4, kRecordMarker);
  PutBe16(record + 6, static_cast<std::uint16_t>(length));
  const std::size_t recordSize = kTfpChunkHeaderSize + dataSize;
  SealRecord(record, recordSize);
  return recordSize;
}

void WriteStreamHeader(std::uint8_t* output, std::uint16_t chunkCount) {
  PutBe16(output + 4, kRecordMarker);
  PutBe16(output + 6, kStreamHeaderTag);
  PutBe16(output + 8, chunkCount);
  SealRecord(output, kTfpStreamHeaderSize);
}

// Where chunk `index`'s record goes while the chunks are coded: each at the
// place it has when every chunk before it is stored raw, which is inside
// the MaxCompressedSize output however the chunks turn out.
constexpr std::size_t RecordSlot(std::size_t index) {
  return kTfpStreamHeaderSize + index * (kTfpChunkHeaderSize + kTfpMaxChunkLength);
}

// The coders of one Compress call, one for each chunk coded at a time.
class CoderShelf {
 public:
  // False when memory for the coders runs out.
  bool Stock(std::size_t count) {
    try {
      for (std::size_t i = 0; i < count; ++i) {
        coders_.push_back(std::make_unique<ChunkCoder>());
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  std::unique_ptr<ChunkCoder> Take() {
    const std::lock_guard lock(mutex_);
    std::unique_ptr<ChunkCoder> coder = std::move(coders_.back());
    coders_.pop_back();
    return coder;
  }

  void Return(std::unique_ptr<ChunkCoder> coder) {
    const std::lock_guard lock(mutex_);
    coders_.push_back(std::move(coder));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<ChunkCoder>> coders_;
};

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

TfpEncoder::TfpEncoder(WorkerPool* pool) : pool_(pool) {}
TfpEncoder::~TfpEncoder() = default;

// A negative length, or one whose chunk count would not fit its 16-bit
// field, is refused like a failed allocation: nothing is written.
bool TfpEncoder::Compress(const std::uint8_t* input, std::int32_t inputLength,
                          std::uint8_t* output, std::int32_t* outputLength) {
  if (inputLength < 0 || static_cast<std::size_t>(inputLength) > kMaxInputLength) {
    return false;
  }
  if (inputLength == 0) {
    *outputLength = 0;
    return true;
  }
  const auto length = static_cast<std::size_t>(inputLength);
  const std::size_t chunkCount =
      (length + kTfpMaxChunkLength - 1) / kTfpMaxChunkLength;
  const unsigned threads = pool_ != nullptr ? pool_->threadCount() : 1;
  CoderShelf shelf;
  if (!shelf.Stock(std::min<std::size_t>(chunkCount, threads))) return false;

  std::vector<std::size_t> recordSizes(chunkCount);
  const auto codeChunk = [&](std::size_t index) {
    const std::size_t start = index * kTfpMaxChunkLength;
    const auto chunkLength =
        static_cast<std::uint32_t>(std::min(length - start, kTfpMaxChunkLength));
    std::unique_ptr<ChunkCoder> coder = shelf.Take();
    recordSizes[index] = WriteChunkRecord(*coder, input + start, chunkLength,
                                          output + RecordSlot(index));
    shelf.Return(std::move(coder));
  };
  if (pool_ != nullptr) {
    pool_->ParallelFor(chunkCount, codeChunk);
  } else {
    for (std::size_t index = 0; index < chunkCount; ++index) codeChunk(index);
  }
  WriteStreamHeader(output, static_cast<std::uint16_t>(chunkCount));
  *outputLength = static_cast<std::int32_t>(CloseRecordGaps(output, recordSizes));
  return true;
}

bool TfpEncoder::Compress(std::span<const std::uint8_t> input,
                          std::vector<std::uint8_t>& stream) {
  if (input.size() > kMaxInputLength) return false;
  try {
    std::vector<std::uint8_t> result(MaxCompressedSize(input.size()));
    std::int32_t length = 0;
    if (!Compress(input.data(), static_cast<std::int32_t>(input.size()),
                  result.data(), &length)) {
      return false;
    }
    result.resize(static_cast<std::size_t>(length));
    result.shrink_to_fit();
    stream = std::move(result);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace krelt
