#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/worker_pool.h"
#include "compress/bit_writer.h"
#include "compress/chunk_coder.h"
#include "compress/huffman_block_coder.h"
#include "compress/huffman_tree.h"
#include "compress/lzss_dictionary.h"
#include "compress/tfp_encoder.h"
#include "compress/tfp_format.h"

namespace krelt {

void PrintTo(const Lh5Token& token, std::ostream* out) {
  *out << "{" << token.symbol << ", " << token.distanceCode << "}";
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Repeat(std::uint8_t value, std::size_t count) { return Bytes(count, value); }

Bytes RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random() >> 24);
  return bytes;
}

// Rows of 24-bit pixels: gradients, flat bands and a little noise.
Bytes ImageLikeBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t pixel = i / 3;
    const std::size_t x = pixel % 200;
    const std::size_t y = pixel / 200;
    unsigned value = (y / 16) % 2 == 0 ? static_cast<unsigned>(x + y + i % 3 * 40)
                                       : static_cast<unsigned>(y * 7);
    if (random() % 16 == 0) value += random() % 5;
    bytes[i] = static_cast<std::uint8_t>(value);
  }
  return bytes;
}

Bytes Concat(const Bytes& first, const Bytes& second) {
  Bytes joined = first;
  joined.insert(joined.end(), second.begin(), second.end());
  return joined;
}

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

// "0110 1..." (spaces ignored) packed most significant bit first, zero-padded.
Bytes FromBits(const std::string& bits) {
  Bytes bytes;
  int used = 8;
  for (const char bit : bits) {
    if (bit == ' ') continue;
    if (used == 8) {
      bytes.push_back(0);
      used = 0;
    }
    if (bit == '1') bytes.back() |= static_cast<std::uint8_t>(0x80 >> used);
    ++used;
  }
  return bytes;
}

Bytes Compressed(std::span<const std::uint8_t> input) {
  TfpEncoder encoder;
  Bytes stream;
  EXPECT_TRUE(encoder.Compress(input, stream).ok());
  return stream;
}

std::uint16_t Be16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

struct ChunkRecord {
  std::uint16_t rawLength;
  Bytes data;
};

// Splits a stream into its chunk records, checking every length field,
// marker and CRC on the way.
std::vector<ChunkRecord> ParseStream(const Bytes& stream) {
  std::vector<ChunkRecord> records;
  if (stream.size() < kTfpStreamHeaderSize) {
    ADD_FAILURE() << "stream of " << stream.size() << " bytes";
    return records;
  }
  EXPECT_EQ(Be16(&stream[0]), 8);
  EXPECT_EQ(Be16(&stream[2]), Crc16(&stream[4], 6));
  EXPECT_EQ(Be16(&stream[4]), 0xFFFF);
  EXPECT_EQ(Be16(&stream[6]), 1);
  const std::uint16_t chunkCount = Be16(&stream[8]);
  std::size_t offset = kTfpStreamHeaderSize;
  while (offset + kTfpChunkHeaderSize <= stream.size()) {
    const std::size_t recordSize = Be16(&stream[offset]) + 2u;
    if (offset + recordSize > stream.size() || recordSize < kTfpChunkHeaderSize) break;
    const std::uint8_t* record = &stream[offset];
    EXPECT_EQ(Be16(record + 2), Crc16(record + 4, recordSize - 4)) << "record at " << offset;
    EXPECT_EQ(Be16(record + 4), 0xFFFF);
    const std::uint16_t rawLength = Be16(record + 6);
    EXPECT_LE(recordSize - kTfpChunkHeaderSize, rawLength);
    records.push_back({rawLength, Bytes(record + 8, record + recordSize)});
    offset += recordSize;
  }
  EXPECT_EQ(offset, stream.size()) << "bytes after the last record";
  EXPECT_EQ(records.size(), chunkCount);
  return records;
}

TEST(TfpFormatTest, Crc16AndPutBe16) {
  const struct {
    Bytes bytes;
    std::uint16_t crc;
  } cases[] = {
      {FromText("123456789"), 0xBB3D},
      {{}, 0},
      {{0xFF, 0xFF, 0x00, 0x01, 0x00, 0x01}, 0x1B90},
      {{0xFF, 0xFF, 0x00, 0x01, 0x41}, 0xA0E5},
  };
  for (const auto& c : cases) EXPECT_EQ(Crc16(c.bytes.data(), c.bytes.size()), c.crc);

  // Every length up to a few slices, against one bit at a time.
  const Bytes bytes = RandomBytes(40, 3);
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
      crc ^= bytes[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    EXPECT_EQ(Crc16(bytes.data(), length), crc) << length << " bytes";
  }

  std::array<std::uint8_t, 2> field{};
  PutBe16(field.data(), 0x12AB);
  EXPECT_EQ(field, (std::array<std::uint8_t, 2>{0x12, 0xAB}));
}

TEST(TfpFormatTest, MaxCompressedSizeCountsEveryChunkStored) {
  const struct {
    std::size_t input;
    std::size_t bound;
  } cases[] = {{0, 10}, {1, 19}, {32762, 32780}, {32763, 32789}, {65524, 65550}};
  for (const auto& c : cases) EXPECT_EQ(MaxCompressedSize(c.input), c.bound) << c.input;
}

TEST(TfpEncoderTest, KnownStreams) {
  const Bytes header = {0x00, 0x08, 0x1B, 0x90, 0xFF, 0xFF, 0x00, 0x01, 0x00, 0x01};
  EXPECT_EQ(Compressed(Repeat(0x41, 1)),
            Concat(header, {0x00, 0x07, 0xA0, 0xE5, 0xFF, 0xFF, 0x00, 0x01, 0x41}));
  EXPECT_EQ(Compressed(Repeat(0x41, 11)),
            Concat(header, {0x00, 0x10, 0xE4, 0x22, 0xFF, 0xFF, 0x00, 0x0B, 0x00, 0x02,
                            0x20, 0x04, 0x30, 0x80, 0xB6, 0x58, 0xC0, 0x10}));
}

TEST(TfpEncoderTest, ChunkLayouts) {
  const struct {
    Bytes input;
    std::vector<std::uint16_t> rawLengths;
    std::vector<std::size_t> dataSizes;  // 0: not checked
  } cases[] = {
      {Repeat(0x41, 10), {10}, {10}},  // codes into exactly 10 bytes: stored
      {Repeat(0x41, 32762), {32762}, {28}},
      {ImageLikeBytes(32763, 1), {32762, 1}, {0, 1}},
      {ImageLikeBytes(65524, 2), {32762, 32762}, {0, 0}},
  };
  for (const auto& c : cases) {
    const Bytes stream = Compressed(c.input);
    const auto records = ParseStream(stream);
    ASSERT_EQ(records.size(), c.rawLengths.size()) << c.input.size();
    std::size_t consumed = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].rawLength, c.rawLengths[i]);
      if (c.dataSizes[i] != 0) {
        EXPECT_EQ(records[i].data.size(), c.dataSizes[i]);
      }
      if (records[i].data.size() == records[i].rawLength) {
        EXPECT_TRUE(std::equal(records[i].data.begin(), records[i].data.end(),
                               c.input.begin() + static_cast<std::ptrdiff_t>(consumed)));
      }
      consumed += records[i].rawLength;
    }
  }
  EXPECT_EQ(Compressed(Repeat(0x41, 32762)).size(), 46u);
}

TEST(TfpEncoderTest, IncompressibleInputIsStoredChunkByChunk) {
  const Bytes input = RandomBytes(70000, 7);
  const Bytes stream = Compressed(input);
  EXPECT_EQ(stream.size(), MaxCompressedSize(input.size()));
  std::size_t consumed = 0;
  for (const auto& record : ParseStream(stream)) {
    ASSERT_EQ(record.data.size(), record.rawLength);
    EXPECT_TRUE(std::equal(record.data.begin(), record.data.end(),
                           input.begin() + static_cast<std::ptrdiff_t>(consumed)));
    consumed += record.rawLength;
  }
  EXPECT_EQ(consumed, input.size());
}

TEST(TfpEncoderTest, ChunkDependsOnItsOwnBytesOnly) {
  // The chunk ends with a string seen twice, followed once by 'a' and once
  // by 'b'. Match searches near the end look past the chunk's last byte;
  // bytes left there by a chunk of 'a's would pick the older source.
  const std::string tail = "The quick brown fox jumps over the lazy dog";
  const Bytes shortChunk = FromText(tail + "a" + tail + "b" + tail);
  const Bytes afterFlat = Concat(Repeat('a', kTfpMaxChunkLength), shortChunk);

  const Bytes alone = Compressed(shortChunk);
  const auto aloneRecords = ParseStream(alone);
  ASSERT_EQ(aloneRecords.size(), 1u);
  ASSERT_LT(aloneRecords[0].data.size(), shortChunk.size()) << "must be coded";
  const auto afterRecords = ParseStream(Compressed(afterFlat));
  ASSERT_EQ(afterRecords.size(), 2u);
  EXPECT_EQ(afterRecords[1].data, aloneRecords[0].data);

  TfpEncoder reused;
  Bytes stream;
  ASSERT_TRUE(reused.Compress(afterFlat, stream).ok());
  ASSERT_TRUE(reused.Compress(shortChunk, stream).ok());
  EXPECT_EQ(stream, alone);
}

// Chunks coded on several threads land in the stream exactly where the
// single-threaded encoder puts them.
TEST(TfpEncoderTest, PoolGivesTheSameStream) {
  const std::size_t chunk = kTfpMaxChunkLength;
  const std::vector<std::pair<std::string, Bytes>> inputs = {
      {"one byte", Repeat(0x41, 1)},
      {"image-like, 6 chunks and a bit", ImageLikeBytes(6 * chunk + 1234, 5)},
      {"random, 3 chunks", RandomBytes(3 * chunk, 9)},
      {"stored and coded chunks mixed",
       Concat(Concat(RandomBytes(chunk, 1), Repeat(7, chunk)), RandomBytes(chunk + 2, 3))},
      {"flat, 9 chunks", Repeat(0x5A, 9 * chunk - 5)},
  };
  for (const auto& [name, input] : inputs) {
    const Bytes expected = Compressed(input);
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
      WorkerPool pool(threads);
      TfpEncoder encoder(&pool);
      Bytes stream;
      ASSERT_TRUE(encoder.Compress(input, stream).ok());
      EXPECT_EQ(stream, expected) << name << ", " << threads << " threads";
    }
  }
}

TEST(TfpEncoderTest, EmptyInputGivesAnEmptyStream) {
  Bytes stream = {1, 2, 3};
  ASSERT_TRUE(TfpEncoder().Compress(std::span<const std::uint8_t>{}, stream).ok());
  EXPECT_TRUE(stream.empty());
}

// The worst-case stream of the longest input accepted still has its length
// in 32 bits; one byte more, or the longest input the chunk count allows,
// is refused before anything is read, the stream left untouched.
TEST(TfpEncoderTest, RefusesInputsWhoseWorstCaseStreamOverflowsTheLength) {
  EXPECT_EQ(MaxCompressedSize(kTfpMaxInputLength), 2147483647u);
  EXPECT_EQ(kTfpMaxInputLength, 2146959381u);
  // Address space only: the pages are never touched.
  const std::size_t longest = 2147057671;
  const std::unique_ptr<std::uint8_t[]> area(new (std::nothrow) std::uint8_t[longest]);
  if (!area) GTEST_SKIP() << "no address space for " << longest << " bytes";
  TfpEncoder encoder;
  for (const std::size_t refused : {std::size_t{2146959382}, std::size_t{2147000000},
                                    std::size_t{2147057670}, longest}) {
    Bytes stream = {1, 2, 3};
    const Status status = encoder.Compress(std::span(area.get(), refused), stream);
    EXPECT_EQ(status.kind(), ErrorKind::kTooLarge) << refused;
    EXPECT_EQ(status.message(), "too large for one stream");
    EXPECT_EQ(stream, (Bytes{1, 2, 3}));
  }
}

TEST(BitWriterTest, PacksFieldsAndStopsAtTheLimit) {
  std::array<std::uint8_t, 4> area{};
  BitWriter bits;
  bits.Start(area.data(), 3);
  EXPECT_TRUE(bits.PutBits(3, 0b101));  // fewer bits than free: nothing written
  EXPECT_EQ(bits.count(), 0u);
  EXPECT_TRUE(bits.PutBits(5, 0b10011));  // completes the byte
  EXPECT_EQ(bits.count(), 1u);
  EXPECT_TRUE(bits.PutBits(16, 0xBEEF));  // nothing pending: two whole bytes
  EXPECT_EQ(bits.count(), 3u);
  EXPECT_TRUE(bits.PutBits(1, 1));
  EXPECT_FALSE(bits.Flush());  // a fourth byte is due
  EXPECT_EQ(bits.count(), 3u);
  EXPECT_EQ(area, (std::array<std::uint8_t, 4>{0xB3, 0xBE, 0xEF, 0x00}));

  bits.Start(area.data(), 1);
  EXPECT_TRUE(bits.PutBits(8, 0x5A));
  EXPECT_TRUE(bits.Flush());  // nothing pending: no byte, so no failure
  EXPECT_EQ(bits.count(), 1u);

  bits.Start(area.data(), 1);
  EXPECT_TRUE(bits.PutBits(4, 0xF));
  EXPECT_FALSE(bits.PutBits(16, 0x1234));  // first byte fits, second does not
  EXPECT_EQ(bits.count(), 1u);
  EXPECT_EQ(area[0], 0xF1);
}

// Random fields against a bit-by-bit packing, with limits from far above
// the packed size down to below it: the bytes must match, and a call must
// fail exactly when it completes a byte past the limit.
TEST(BitWriterTest, MatchesBitByBitPackingAtEveryLimit) {
  std::mt19937 random(7);
  std::vector<std::pair<int, unsigned>> fields(400);
  std::vector<bool> reference;
  for (auto& [n, x] : fields) {
    n = static_cast<int>(random() % 17);
    x = static_cast<unsigned>(random()) & ((1u << n) - 1);
    for (int bit = n - 1; bit >= 0; --bit) reference.push_back(((x >> bit) & 1) != 0);
  }
  const std::size_t packedSize = (reference.size() + 7) / 8;
  Bytes expected(packedSize, 0);
  for (std::size_t i = 0; i < reference.size(); ++i) {
    if (reference[i]) expected[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  }
  for (std::size_t limit = packedSize + 9; limit + 12 > packedSize; --limit) {
    Bytes area(limit + 8, 0xAA);
    BitWriter bits;
    bits.Start(area.data(), static_cast<std::uint32_t>(limit));
    std::size_t bitsPut = 0;
    bool failed = false;
    for (const auto& [n, x] : fields) {
      bitsPut += static_cast<std::size_t>(n);
      const bool put = bits.PutBits(n, x);
      ASSERT_EQ(put, bitsPut / 8 <= limit) << "limit " << limit << " after " << bitsPut << " bits";
      if ((failed = !put)) break;
    }
    if (failed) continue;
    EXPECT_EQ(bits.bitCount(), reference.size());
    ASSERT_EQ(bits.Flush(), packedSize <= limit) << "limit " << limit;
    if (packedSize > limit) continue;
    EXPECT_EQ(bits.count(), packedSize);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), area.begin())) << "limit " << limit;
    EXPECT_EQ(area[limit], 0xAA) << "written past the limit " << limit;
  }
}

TEST(HuffmanTreeTest, FibonacciFrequenciesAreCappedAtSixteenBits) {
  std::array<std::uint16_t, 2 * 18 - 1> frequencies{};
  frequencies[0] = frequencies[1] = 1;
  for (int i = 2; i < 18; ++i) {
    frequencies[i] = static_cast<std::uint16_t>(frequencies[i - 1] + frequencies[i - 2]);
  }
  ASSERT_EQ(frequencies[17], 2584);
  std::array<std::uint8_t, 18> lengths{};
  std::array<std::uint16_t, 18> codes{};
  auto tree = std::make_unique<HuffmanTree>();
  EXPECT_GE(tree->Build(18, frequencies.data(), lengths.data(), codes.data()), 18);
  const std::array<std::uint8_t, 18> expectedLengths = {16, 16, 16, 16, 14, 13, 12, 11, 10,
                                                        9,  8,  7,  6,  5,  4,  3,  2,  1};
  EXPECT_EQ(lengths, expectedLengths);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(codes[i], 0xFFFC + i);
  for (int i = 4; i < 18; ++i) {
    EXPECT_EQ(codes[i], (1u << expectedLengths[i]) - 2) << i;  // 1...10
  }
}

TEST(HuffmanTreeTest, FewerThanTwoSymbolsGiveNoTree) {
  auto tree = std::make_unique<HuffmanTree>();
  for (const int used : {-1, 9}) {
    std::array<std::uint16_t, 27> frequencies{};
    if (used >= 0) frequencies[static_cast<std::size_t>(used)] = 5;
    std::array<std::uint8_t, 14> lengths;
    lengths.fill(3);
    std::array<std::uint16_t, 14> codes{};
    EXPECT_EQ(tree->Build(14, frequencies.data(), lengths.data(), codes.data()),
              used >= 0 ? used : 0);
    EXPECT_EQ(lengths, (std::array<std::uint8_t, 14>{}));
  }
}

// Codes literal tokens with room to spare and returns the bytes written.
Bytes CodeLiterals(const Bytes& literals) {
  auto coder = std::make_unique<HuffmanBlockCoder>();
  Bytes area(literals.size() * 2 + 64);
  coder->StartBlocks(area.data(), static_cast<std::uint32_t>(area.size()));
  for (const std::uint8_t literal : literals) {
    EXPECT_TRUE(coder->AddToken(Lh5Token::Literal(literal)));
  }
  EXPECT_TRUE(coder->FinishBlocks());
  area.resize(coder->OutputCount());
  return area;
}

// The watch hears of every chunk once, by its length, and changes nothing
// in the stream; with and without a pool.
TEST(TfpEncoderTest, ChunkWatchHearsEveryChunk) {
  const Bytes input = RandomBytes(5 * kTfpMaxChunkLength + 100, 21);
  Bytes plain;
  ASSERT_TRUE(TfpEncoder().Compress(input, plain).ok());
  WorkerPool pool(3);
  for (WorkerPool* usedPool : {static_cast<WorkerPool*>(nullptr), &pool}) {
    std::mutex mutex;
    std::vector<std::size_t> lengths;
    const ChunkWatch watch{[&](std::size_t length) {
                             const std::lock_guard lock(mutex);
                             lengths.push_back(length);
                           },
                           nullptr};
    Bytes watched;
    ASSERT_TRUE(TfpEncoder(usedPool).Compress(input, watched, watch).ok());
    EXPECT_EQ(watched, plain);
    std::sort(lengths.begin(), lengths.end());
    EXPECT_EQ(lengths, (std::vector<std::size_t>{100, kTfpMaxChunkLength, kTfpMaxChunkLength,
                                                 kTfpMaxChunkLength, kTfpMaxChunkLength,
                                                 kTfpMaxChunkLength}));
  }
}

// Cancelled before the first chunk or after the second: kCancelled, the
// stream untouched, and no chunk coded after the token was set.
TEST(TfpEncoderTest, CancelStopsAtTheNextChunk) {
  const Bytes input = RandomBytes(8 * kTfpMaxChunkLength, 22);
  for (const std::size_t cancelAfter : {std::size_t{0}, std::size_t{2}}) {
    CancellationToken token;
    if (cancelAfter == 0) token.Cancel();
    std::size_t coded = 0;
    const ChunkWatch watch{[&](std::size_t) {
                             if (++coded == cancelAfter) token.Cancel();
                           },
                           &token};
    Bytes stream = {1, 2, 3};
    EXPECT_EQ(TfpEncoder().Compress(input, stream, watch).kind(), ErrorKind::kCancelled)
        << cancelAfter;
    EXPECT_EQ(stream, (Bytes{1, 2, 3}));
    EXPECT_EQ(coded, cancelAfter);
  }
}

TEST(HuffmanBlockCoderTest, BlocksWithoutMatches) {
  const struct {
    Bytes literals;
    std::string bits;
  } cases[] = {
      // One symbol: empty tables, the symbol, distance table 0000 0000,
      // no bits per token.
      {{0x41, 0x41}, "0000000000000010 00000 00000 000000000 001000001 0000 0000"},
      // Lengths 0 (x65), 1, 1: a long zero run, distance table 0000 0000.
      {{0x41, 0x42},
       "0000000000000010 00100 000 000 001 00 001 001000011 0 000101101 1 1 0000 0000 0 1"},
      // Lengths 1, 0 (x19), 1: a run of exactly 19 zeros is put 0, put 1,
      // 1111; code-length symbol lengths 2, 2, 0, 1.
      {{0x00, 0x14},
       "0000000000000010 00100 010 010 000 00 001 000010101 0 10 11 1111 0 0000 0000 0 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(CodeLiterals(c.literals), FromBits(c.bits));
}

TEST(HuffmanBlockCoderTest, FullTokenBufferStartsANewBlock) {
  // Groups of 8 literals take 9 bytes; the group starting at 9 x 1818 =
  // 16362 is the first at or past 16360, so the first block has 14544 tokens.
  Bytes literals(14545);
  for (std::size_t i = 0; i < literals.size(); ++i) literals[i] = static_cast<std::uint8_t>(i % 2);
  const Bytes coded = CodeLiterals(literals);
  ASSERT_GE(coded.size(), 2u);
  EXPECT_EQ(Be16(coded.data()), 14544);
}

TEST(ChunkCoderTest, CodedLengthOrOverflow) {
  auto coder = std::make_unique<ChunkCoder>();
  Bytes area(32762);
  const Bytes ten = Repeat(0x41, 10);
  EXPECT_EQ(coder->EncodeChunk(area.data(), ten.data(), 10), 10u);  // exactly the limit
  const Bytes noise = RandomBytes(5000, 3);
  EXPECT_FALSE(coder->EncodeChunk(area.data(), noise.data(), 5000).has_value());
}

std::vector<Lh5Token> Tokens(const Bytes& chunk) {
  auto dictionary = std::make_unique<LzssDictionary>();
  dictionary->Start(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
  std::vector<Lh5Token> tokens;
  while (!dictionary->Finished()) tokens.push_back(dictionary->NextToken());
  return tokens;
}

Lh5Token Literal(char byte) { return {static_cast<std::uint8_t>(byte), 0}; }
Lh5Token Match(unsigned length, unsigned distanceCode) {
  return {static_cast<std::uint16_t>(length + 253), static_cast<std::uint16_t>(distanceCode)};
}

std::vector<Lh5Token> Literals(const std::string& text) {
  std::vector<Lh5Token> tokens;
  for (const char byte : text) tokens.push_back(Literal(byte));
  return tokens;
}

std::vector<Lh5Token> Join(std::vector<Lh5Token> first, const std::vector<Lh5Token>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

TEST(LzssDictionaryTest, TokenLists) {
  const std::vector<Lh5Token> flat32762 =
      Join(Join({Literal('A')}, std::vector<Lh5Token>(127, Match(256, 0))), {Match(249, 0)});
  const struct {
    Bytes chunk;
    std::vector<Lh5Token> tokens;
  } cases[] = {
      {Repeat('A', 1), {Literal('A')}},
      {Repeat('A', 11), {Literal('A'), Match(10, 0)}},
      {Repeat('A', 300), {Literal('A'), Match(256, 0), Match(43, 0)}},
      {Repeat('A', 32762), flat32762},
      // The next position matches longer: the 3-byte match becomes a literal.
      {FromText("abcQbcdefQabcdef"), Join(Literals("abcQbcdefQa"), {Match(5, 6)})},
      // An equally long match one position later does not replace it.
      {FromText("abcdQbcdeQabcde"),
       Join(Join(Join(Literals("abcdQ"), {Match(3, 3)}), Literals("eQ")),
            {Match(4, 9), Literal('e')})},
  };
  for (const auto& c : cases) EXPECT_EQ(Tokens(c.chunk), c.tokens) << c.chunk.size();
}

TEST(LzssDictionaryTest, TokensRebuildTheChunkAcrossWindowSlides) {
  Bytes chunk = ImageLikeBytes(32762, 5);
  // A string repeated 8191 bytes later: the farthest reachable source.
  const Bytes marker = RandomBytes(100, 11);
  std::copy(marker.begin(), marker.end(), chunk.begin() + 20000);
  std::copy(marker.begin(), marker.end(), chunk.begin() + 20000 + 8191);

  Bytes rebuilt;
  bool farthestFound = false;
  for (const Lh5Token& token : Tokens(chunk)) {
    if (token.symbol < 256) {
      rebuilt.push_back(static_cast<std::uint8_t>(token.symbol));
      continue;
    }
    const std::size_t length = token.symbol - 253;
    const std::size_t distance = token.distanceCode + 1;
    ASSERT_LE(distance, rebuilt.size());
    farthestFound |= rebuilt.size() == 20000 + 8191 && token.distanceCode == 8190;
    for (std::size_t i = 0; i < length; ++i) rebuilt.push_back(rebuilt[rebuilt.size() - distance]);
  }
  EXPECT_EQ(rebuilt, chunk);
  EXPECT_TRUE(farthestFound);
}

}  // namespace
}  // namespace krelt
