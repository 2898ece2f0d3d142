#include "compress/tfp_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "compress/tfp_format.h"

namespace krelt {
namespace {

// ---- A test-side writer of streams and lh5 blocks. It may choose table
// forms and block splits that the library's encoder never uses.

using Bytes = std::vector<std::uint8_t>;

class BitWriter {
 public:
  void Put(int count, std::uint32_t value) {
    for (int bit = count - 1; bit >= 0; --bit) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if ((value >> bit) & 1) {
        bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
      }
      ++used_;
    }
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  std::size_t used_ = 0;
};

// A literal (symbol < 256) or a match of length symbol - 253.
struct Token {
  int symbol;
  int distance = 0;
};
Token Literal(int byte) { return {byte}; }
Token Match(int length, int distance) { return {length + 253, distance}; }

// Bytes the tokens stand for.
Bytes Expand(const std::vector<Token>& tokens) {
  Bytes out;
  for (const Token& token : tokens) {
    if (token.symbol < 256) {
      out.push_back(static_cast<std::uint8_t>(token.symbol));
      continue;
    }
    const auto distance = static_cast<std::size_t>(token.distance);
    for (int k = 0; k < token.symbol - 253; ++k) {
      // Zeros for sources before the start, which fault tests use.
      out.push_back(distance <= out.size() ? out[out.size() - distance] : 0);
    }
  }
  return out;
}

int DistanceClass(int distance) {
  int c = 0;
  while (((distance - 1) >> c) != 0) ++c;
  return c;
}

// Lengths of a complete prefix code over the given symbols (two or more).
Bytes CompleteLengths(const std::set<int>& symbols, int alphabetSize) {
  const int k = static_cast<int>(symbols.size());
  int bits = 0;
  while ((1 << bits) < k) ++bits;
  int shorter = (1 << bits) - k;  // symbols that get bits - 1
  Bytes lengths(static_cast<std::size_t>(alphabetSize), 0);
  for (int symbol : symbols) {
    lengths[static_cast<std::size_t>(symbol)] =
        static_cast<std::uint8_t>(shorter-- > 0 ? bits - 1 : bits);
  }
  return lengths;
}

// Canonical codes: per length consecutive, in symbol order.
std::vector<std::uint32_t> CanonicalCodes(const Bytes& lengths) {
  std::uint32_t counts[18] = {};
  for (std::uint8_t length : lengths) ++counts[length];
  counts[0] = 0;
  std::uint32_t next[18] = {};
  for (int length = 1; length <= 16; ++length) {
    next[length + 1] = (next[length] + counts[length]) << 1;
  }
  std::vector<std::uint32_t> codes(lengths.size());
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  }
  return codes;
}

struct BlockSpec {
  std::vector<Token> tokens;
  std::optional<std::uint32_t> tokenCount{};  // written instead of the real one
  std::set<int> unusedSymbols{};              // given codes anyway
  std::set<int> unusedDistanceClasses{};
  Bytes symbolLengths{};          // replace the derived lengths when not empty
  Bytes codeLengthLengths{};
  Bytes distanceLengths{};
  bool fullCodeLengthTable = false;  // two entries even when one is used
  bool zeroRuns = true;              // zero lengths as runs, or one by one
  bool skipField = true;             // skip zeros after the third length
};

std::size_t TableCount(const Bytes& lengths) {
  std::size_t n = lengths.size();
  while (n > 0 && lengths[n - 1] == 0) --n;
  return n;
}

// Count, then 3-bit lengths with the 111..10 escape for 7 and more; after
// the length at index skipAfter - 1 the 2-bit skip field.
void WriteSmallTable(BitWriter& w, const Bytes& lengths, int countBits,
                            std::size_t skipAfter, bool skipZeros) {
  const std::size_t n = TableCount(lengths);
  w.Put(countBits, static_cast<std::uint32_t>(n));
  for (std::size_t i = 0; i < n;) {
    const int k = lengths[i++];
    if (k <= 6) {
      w.Put(3, static_cast<std::uint32_t>(k));
    } else {
      w.Put(3, 7);
      for (int extra = 7; extra < k; ++extra) w.Put(1, 1);
      w.Put(1, 0);
    }
    if (i == skipAfter) {
      std::uint32_t skipped = 0;
      while (skipZeros && i < 6 && (i >= n || lengths[i] == 0)) ++i, ++skipped;
      w.Put(2, skipped);
    }
  }
}

struct LengthSymbol {
  int symbol;
  int extraBits = 0;
  std::uint32_t extra = 0;
};

std::vector<LengthSymbol> LengthSymbols(const Bytes& lengths,
                                               bool zeroRuns) {
  std::vector<LengthSymbol> sequence;
  const std::size_t n = TableCount(lengths);
  for (std::size_t i = 0; i < n;) {
    if (lengths[i] != 0) {
      sequence.push_back({lengths[i++] + 2});
      continue;
    }
    std::size_t zeros = 0;
    while (i + zeros < n && lengths[i + zeros] == 0) ++zeros;
    i += zeros;
    while (zeros > 0) {
      if (zeroRuns && zeros >= 20) {
        const std::size_t run = std::min<std::size_t>(zeros, 20 + 511);
        sequence.push_back({2, 9, static_cast<std::uint32_t>(run - 20)});
        zeros -= run;
      } else if (zeroRuns && zeros >= 3) {
        const std::size_t run = std::min<std::size_t>(zeros, 18);
        sequence.push_back({1, 4, static_cast<std::uint32_t>(run - 3)});
        zeros -= run;
      } else {
        sequence.push_back({0});
        --zeros;
      }
    }
  }
  return sequence;
}

void WriteBlock(BitWriter& w, const BlockSpec& block) {
  std::set<int> symbols = block.unusedSymbols;
  std::set<int> classes = block.unusedDistanceClasses;
  for (const Token& token : block.tokens) {
    symbols.insert(token.symbol);
    if (token.symbol >= 256) classes.insert(DistanceClass(token.distance));
  }
  w.Put(16, block.tokenCount.value_or(
                static_cast<std::uint32_t>(block.tokens.size())));

  Bytes symbolLengths = block.symbolLengths;
  if (symbolLengths.empty() && symbols.size() >= 2) {
    symbolLengths = CompleteLengths(symbols, 510);
  }
  symbolLengths.resize(510, 0);
  if (TableCount(symbolLengths) == 0) {
    w.Put(5, 0), w.Put(5, 0), w.Put(9, 0);
    w.Put(9, static_cast<std::uint32_t>(symbols.empty() ? 0 : *symbols.begin()));
  } else {
    const auto sequence = LengthSymbols(symbolLengths, block.zeroRuns);
    std::set<int> used;
    for (const LengthSymbol& s : sequence) used.insert(s.symbol);
    if (block.fullCodeLengthTable && used.size() == 1) {
      used.insert(*used.begin() == 0 ? 1 : 0);
    }
    Bytes clLengths = block.codeLengthLengths;
    if (clLengths.empty() && used.size() >= 2) clLengths = CompleteLengths(used, 19);
    clLengths.resize(19, 0);
    if (TableCount(clLengths) == 0) {
      w.Put(5, 0), w.Put(5, static_cast<std::uint32_t>(*used.begin()));
    } else {
      WriteSmallTable(w, clLengths, 5, 3, block.skipField);
    }
    const auto clCodes = CanonicalCodes(clLengths);
    w.Put(9, static_cast<std::uint32_t>(TableCount(symbolLengths)));
    for (const LengthSymbol& s : sequence) {
      const auto index = static_cast<std::size_t>(s.symbol);
      w.Put(clLengths[index], clCodes[index]);
      w.Put(s.extraBits, s.extra);
    }
  }

  Bytes distanceLengths = block.distanceLengths;
  if (distanceLengths.empty() && classes.size() >= 2) {
    distanceLengths = CompleteLengths(classes, 14);
  }
  distanceLengths.resize(14, 0);
  if (TableCount(distanceLengths) == 0) {
    w.Put(4, 0);
    w.Put(4, static_cast<std::uint32_t>(classes.empty() ? 0 : *classes.begin()));
  } else {
    WriteSmallTable(w, distanceLengths, 4, 0, false);
  }

  const auto symbolCodes = CanonicalCodes(symbolLengths);
  const auto distanceCodes = CanonicalCodes(distanceLengths);
  for (const Token& token : block.tokens) {
    const auto symbol = static_cast<std::size_t>(token.symbol);
    w.Put(symbolLengths[symbol], symbolCodes[symbol]);
    if (token.symbol < 256) continue;
    const int c = DistanceClass(token.distance);
    w.Put(distanceLengths[static_cast<std::size_t>(c)],
          distanceCodes[static_cast<std::size_t>(c)]);
    if (c > 1) {
      w.Put(c - 1, static_cast<std::uint32_t>(token.distance - 1) &
                       ((1u << (c - 1)) - 1));
    }
  }
}

Bytes CodedChunk(const std::vector<BlockSpec>& blocks) {
  BitWriter w;
  for (const BlockSpec& block : blocks) WriteBlock(w, block);
  return w.bytes();
}

std::vector<Token> AllTokens(const std::vector<BlockSpec>& blocks) {
  std::vector<Token> tokens;
  for (const BlockSpec& block : blocks) {
    tokens.insert(tokens.end(), block.tokens.begin(), block.tokens.end());
  }
  return tokens;
}

void Append(Bytes& to, std::uint16_t value) {
  to.push_back(static_cast<std::uint8_t>(value >> 8));
  to.push_back(static_cast<std::uint8_t>(value));
}

// A chunk record with correct length field and CRC.
struct ChunkSpec {
  std::size_t rawLength;
  Bytes data;
};

Bytes Record(const ChunkSpec& chunk) {
  Bytes record;
  Append(record, static_cast<std::uint16_t>(chunk.data.size() + 6));
  Append(record, 0);
  Append(record, 0xFFFF);
  Append(record, static_cast<std::uint16_t>(chunk.rawLength));
  record.insert(record.end(), chunk.data.begin(), chunk.data.end());
  PutBe16(record.data() + 2, Crc16(record.data() + 4, record.size() - 4));
  return record;
}

Bytes Stream(const std::vector<ChunkSpec>& chunks,
                    std::optional<std::uint16_t> countField = {}) {
  Bytes stream;
  Append(stream, 8);
  Append(stream, 0);
  Append(stream, 0xFFFF);
  Append(stream, 1);
  Append(stream, countField.value_or(static_cast<std::uint16_t>(chunks.size())));
  PutBe16(stream.data() + 2, Crc16(stream.data() + 4, 6));
  for (const ChunkSpec& chunk : chunks) {
    const Bytes record = Record(chunk);
    stream.insert(stream.end(), record.begin(), record.end());
  }
  return stream;
}

// ---- Tests

const Bytes kOneByteStream = {0x00, 0x08, 0x1B, 0x90, 0xFF, 0xFF, 0x00,
                              0x01, 0x00, 0x01, 0x00, 0x07, 0xA0, 0xE5,
                              0xFF, 0xFF, 0x00, 0x01, 0x41};
const Bytes kElevenByteStream = {
    0x00, 0x08, 0x1B, 0x90, 0xFF, 0xFF, 0x00, 0x01, 0x00, 0x01,
    0x00, 0x10, 0xE4, 0x22, 0xFF, 0xFF, 0x00, 0x0B, 0x00, 0x02,
    0x20, 0x04, 0x30, 0x80, 0xB6, 0x58, 0xC0, 0x10};

// The decoder's message, or "" on success; a failure must leave no output.
// Decoding on a pool of threads must give the same bytes and message.
std::string DecodeError(const Bytes& stream, Bytes* decoded = nullptr) {
  static WorkerPool pool(3);
  Bytes output = {1, 2, 3};
  const Status status = TfpDecoder::Decode(stream, output);
  Bytes pooledOutput = {1, 2, 3};
  const Status pooled = TfpDecoder::Decode(stream, pooledOutput, &pool);
  EXPECT_EQ(pooled.message(), status.message());
  EXPECT_EQ(pooledOutput, output);
  if (decoded != nullptr) *decoded = output;
  if (status.ok()) return "";
  EXPECT_TRUE(output.empty()) << status.message();
  EXPECT_FALSE(status.message().empty());
  return status.message();
}

Bytes Decoded(const Bytes& stream) {
  Bytes output;
  const std::string error = DecodeError(stream, &output);
  EXPECT_EQ(error, "");
  return output;
}

Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  for (auto& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(seed >> 23);
  }
  return bytes;
}

ChunkSpec Coded(const std::vector<BlockSpec>& blocks) {
  return {Expand(AllTokens(blocks)).size(), CodedChunk(blocks)};
}

TEST(TfpDecoderTest, DecodesKnownStreams) {
  EXPECT_EQ(Decoded(kOneByteStream), Bytes{0x41});
  EXPECT_EQ(Decoded(kElevenByteStream), Bytes(11, 0x41));
  EXPECT_EQ(Decoded({}), Bytes{});
  EXPECT_EQ(Decoded(Stream({})), Bytes{});
}

TEST(TfpDecoderTest, TestWriterReproducesKnownStreams) {
  const std::vector<BlockSpec> blocks = {{{Literal(0x41), Match(10, 1)}}};
  EXPECT_EQ(Stream({Coded(blocks)}), kElevenByteStream);
  EXPECT_EQ(Stream({{1, {0x41}}}), kOneByteStream);
}

TEST(TfpDecoderTest, DecodesStoredAndCodedChunks) {
  std::vector<Token> run = {Literal(7)};
  for (int i = 0; i < 127; ++i) run.push_back(Match(256, 1));
  run.push_back(Match(249, 1));
  const Bytes first = Pattern(kTfpMaxChunkLength, 1);
  const Bytes last = Pattern(5, 2);
  Bytes expected = first;
  expected.resize(2 * kTfpMaxChunkLength, 7);
  expected.insert(expected.end(), last.begin(), last.end());

  EXPECT_EQ(Decoded(Stream({{first.size(), first}, Coded({{run}}),
                            {last.size(), last}})),
            expected);
}

// Blocks in forms the library's encoder never writes: one to three tokens
// per block, an empty block, tables with unused entries, zero lengths one by
// one, no skip, codes of up to 16 bits, every distance class, and bytes
// after the last token.
std::vector<BlockSpec> UnusualBlocks() {
  std::vector<BlockSpec> blocks;
  blocks.push_back({{Literal('K')}});
  blocks.push_back({{}});
  blocks.push_back({{Match(5, 1), Match(5, 1), Match(5, 1)}});
  BlockSpec varied{{Literal('a'), Literal('b'), Match(3, 2), Match(4, 7)}};
  varied.unusedSymbols = {300, 509};
  varied.unusedDistanceClasses = {13};
  varied.fullCodeLengthTable = true;
  varied.zeroRuns = false;
  varied.skipField = false;
  blocks.push_back(varied);
  BlockSpec periodic{std::vector<Token>(40, Match(256, 7))};  // > 8192 bytes
  periodic.fullCodeLengthTable = true;
  blocks.push_back(periodic);

  // 17 symbols with lengths 1..15, 16, 16; 14 distance classes with lengths
  // 1..12, 13, 13; code-length codes of 1..16 bits (escapes up to 16).
  BlockSpec deep;
  deep.symbolLengths.assign(510, 0);
  for (int i = 0; i < 15; ++i) {
    deep.symbolLengths[static_cast<std::size_t>('A' + i)] =
        static_cast<std::uint8_t>(i + 1);
    deep.tokens.push_back(Literal('A' + i));
  }
  deep.symbolLengths[508] = deep.symbolLengths[509] = 16;
  deep.distanceLengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13};
  deep.codeLengthLengths = {1,  2,  3,  4,  5,  6,  7,  8,  9, 11,
                            11, 12, 12, 12, 13, 14, 15, 16, 16};
  for (int c = 0; c < 14; ++c) {
    deep.tokens.push_back(Match(255 + c % 2, 1 << c));  // largest d of class c
  }
  blocks.push_back(deep);
  return blocks;
}

TEST(TfpDecoderTest, DecodesBlocksOfOtherEncoders) {
  const std::vector<BlockSpec> blocks = UnusualBlocks();
  ChunkSpec chunk = Coded(blocks);
  ASSERT_LE(chunk.rawLength, kTfpMaxChunkLength);
  ASSERT_LT(chunk.data.size() + 3, chunk.rawLength);
  chunk.data.insert(chunk.data.end(), {0xFF, 0xA5, 0x00});  // ignored
  EXPECT_EQ(Decoded(Stream({chunk})), Expand(AllTokens(blocks)));
}

struct FaultCase {
  const char* name;
  Bytes stream;
  const char* expected;  // part of the message
};

Bytes WithByte(Bytes bytes, std::size_t offset, std::uint8_t value) {
  bytes[offset] = value;
  return bytes;
}

// A stream whose header fields are set after the CRC was computed, then the
// CRC is computed again, so only the field itself is wrong.
Bytes WithHeaderField(std::size_t offset, std::uint16_t value) {
  Bytes stream = kOneByteStream;
  PutBe16(stream.data() + offset, value);
  PutBe16(stream.data() + 2, Crc16(stream.data() + 4, 6));
  return stream;
}

Bytes WithChunkMarker(std::uint16_t marker) {
  Bytes stream = kOneByteStream;
  PutBe16(stream.data() + 14, marker);
  PutBe16(stream.data() + 12, Crc16(stream.data() + 14, 5));
  return stream;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(TfpDecoderTest, RejectsBadContainers) {
  const Bytes full = Pattern(kTfpMaxChunkLength, 3);
  const FaultCase cases[] = {
      {"header cut short", Bytes(kOneByteStream.begin(), kOneByteStream.begin() + 9),
       "stream header: the stream is only 9 bytes"},
      {"header length field", WithHeaderField(0, 9), "stream header: length field is 9"},
      {"header CRC", WithByte(kOneByteStream, 3, 0x91), "stream header: CRC-16 0x1B91"},
      {"header marker", WithHeaderField(4, 0xFFFE), "stream header: marker is 0xFFFE"},
      {"header field 1", WithHeaderField(6, 2), "stream header: field at offset 6 is 2"},
      {"fewer records than counted", Stream({{full.size(), full}}, 2),
       "ends after 1 of its 2 chunk records"},
      {"more records than counted", Stream({{full.size(), full}, {1, {9}}}, 1),
       "9 bytes follow the last"},
      {"trailing byte", Concat(kOneByteStream, {0}), "1 bytes follow the last"},
      {"record header cut", Bytes(kOneByteStream.begin(), kOneByteStream.begin() + 17),
       "chunk 1: record header needs 8 bytes"},
      {"length field below 6", WithByte(kOneByteStream, 11, 5),
       "chunk 1: length field 5 is below 6"},
      {"record past the end", WithByte(kOneByteStream, 11, 8),
       "chunk 1: record of 10 bytes runs past the end"},
      {"chunk CRC", WithByte(kOneByteStream, 18, 0x42), "chunk 1: CRC-16 0xA0E5"},
      {"chunk marker", WithChunkMarker(0x7FFF), "chunk 1: marker is 0x7FFF"},
      {"raw length 0", Stream({{0, {}}}), "chunk 1: raw length 0 is outside"},
      {"raw length too big", Stream({{32763, {1}}}), "chunk 1: raw length 32763 is outside"},
      {"short chunk before the last", Stream({{1, {1}}, {1, {2}}}),
       "chunk 1: raw length 1, but every chunk before the last"},
      {"data longer than raw", Stream({{2, {1, 2, 3}}}),
       "chunk 1: data of 3 bytes is longer than its raw length 2"},
      {"second chunk bad", Stream({{full.size(), full}, {32763, {1}}}),
       "chunk 2: raw length 32763"},
      // Every header and check word is checked before any data is decoded,
      // and the first fault in stream order is the one reported.
      {"bad check word after bad coded data",
       WithByte(Stream({{full.size(), {1, 2}}, {full.size(), full}, {full.size(), full}, {1, {7}}}),
                10 + (8 + 2) + (8 + full.size()) + 20, 0),
       "chunk 3: CRC-16"},
      {"bad check word before a bad raw length",
       WithByte(Stream({{full.size(), full}, {full.size(), full}, {32763, {7}}}),
                10 + (8 + full.size()) + 8 + 100, 0),
       "chunk 2: CRC-16"},
      {"first of two bad coded chunks",
       Stream({{full.size(), full}, {full.size(), {1, 2}}, {full.size(), full}, {full.size(), full},
               {full.size(), full}, {full.size(), {3, 4}}, {1, {7}}}),
       "chunk 2: coded data"},
  };
  for (const FaultCase& c : cases) {
    EXPECT_NE(DecodeError(c.stream).find(c.expected), std::string::npos)
        << c.name << ": " << DecodeError(c.stream);
  }
}

// Coded data written bit by bit, padded so that it never ends early.
Bytes RawBlock(const std::vector<std::pair<int, std::uint32_t>>& fields) {
  BitWriter w;
  for (const auto& [count, value] : fields) w.Put(count, value);
  Bytes bytes = w.bytes();
  bytes.resize(bytes.size() + 16, 0);
  return bytes;
}

Bytes CodedStream(const std::vector<BlockSpec>& blocks,
                  std::optional<std::size_t> rawLength = {}) {
  ChunkSpec chunk = Coded(blocks);
  if (rawLength) chunk.rawLength = *rawLength;
  return Stream({chunk});
}

Bytes SymbolLengthsOf(std::initializer_list<std::pair<int, int>> lengths) {
  Bytes table(510, 0);
  for (const auto& [symbol, length] : lengths) {
    table[static_cast<std::size_t>(symbol)] = static_cast<std::uint8_t>(length);
  }
  return table;
}

TEST(TfpDecoderTest, RejectsBadCodedData) {
  const std::vector<Token> tokens = {Literal('a'), Match(20, 1)};  // 21 bytes
  BlockSpec overSubscribed{{Literal('a'), Literal('b')}};
  overSubscribed.symbolLengths = SymbolLengthsOf({{'a', 1}, {'b', 1}, {'c', 1}});
  BlockSpec incomplete{{Literal('a'), Literal('b')}};
  incomplete.symbolLengths = SymbolLengthsOf({{'a', 1}, {'b', 2}});
  BlockSpec incompleteDistances{{Literal('a'), Match(3, 1), Match(3, 2)}};
  incompleteDistances.distanceLengths = {1, 2};

  const FaultCase cases[] = {
      {"fewer bytes than raw length", CodedStream({{tokens}}, 30),
       "chunk 1: coded data ends after 21 of 30 bytes"},
      {"match past raw length", CodedStream({{tokens}}, 15),
       "chunk 1: block 1: decodes to more than 15 bytes"},
      {"literal past raw length",
       CodedStream({{{Literal('a'), Match(20, 1), Literal('b')}}}, 21),
       "decodes to more than 21 bytes"},
      {"later block past raw length",
       CodedStream({{tokens}, {{Match(20, 1)}}}, 30),
       "block 2: decodes to more than 30 bytes"},
      {"match as first token", CodedStream({{{Match(5, 1), Literal('a')}}}, 100),
       "match at byte 0 reaches 1 bytes back, before the chunk start"},
      {"match too far back", CodedStream({{{Literal('a'), Match(3, 2)}}}, 100),
       "match at byte 1 reaches 2 bytes back"},
      {"over-subscribed symbols", CodedStream({overSubscribed}, 100),
       "block 1: symbol table: code lengths are over-subscribed"},
      {"incomplete symbols", CodedStream({incomplete}, 100),
       "block 1: symbol table: code lengths leave codes unused"},
      {"incomplete distances", CodedStream({incompleteDistances}, 100),
       "block 1: distance table: code lengths leave codes unused"},
      {"code-length count", Stream({{100, RawBlock({{16, 1}, {5, 20}})}}),
       "code-length table: count 20 exceeds 19"},
      {"code-length single symbol",
       Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 19}})}}),
       "code-length table: single symbol 19 is not below 19"},
      {"code length above 16",
       Stream({{100, RawBlock({{16, 1}, {5, 1}, {3, 7}, {10, 0x3FF}})}}),
       "code-length table: code length above 16"},
      {"symbol count", Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 3}, {9, 511}})}}),
       "symbol table: count 511 exceeds 510"},
      {"single symbol", Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 510}})}}),
       "symbol table: single symbol 510 is not below 510"},
      {"zero run past the count",
       Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 2}, {9, 10}, {9, 0}})}}),
       "symbol table: a run of zero lengths passes the count 10"},
      {"distance count",
       Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 'a'}, {4, 15}})}}),
       "distance table: count 15 exceeds 14"},
      {"distance single class",
       Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 'a'}, {4, 0}, {4, 14}})}}),
       "distance table: single symbol 14 is not below 14"},
      {"no symbol code",  // one symbol length, and it is 0
       Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 0}, {9, 1}, {4, 0}, {4, 0}})}}),
       "block 1: bits match no symbol code"},
      {"no distance code",  // a distance table of one zero length
       Stream({{100, RawBlock({{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 256}, {4, 1}, {3, 0}})}}),
       "block 1: bits match no distance code"},
  };
  for (const FaultCase& c : cases) {
    EXPECT_NE(DecodeError(c.stream).find(c.expected), std::string::npos)
        << c.name << ": " << DecodeError(c.stream);
  }
}

// A full chunk of the period-3 run 1, 2, 3, ... made of overlapping matches,
// the last of them ending at the chunk's end.
ChunkSpec PeriodicChunk() {
  std::vector<Token> tokens = {Literal(1), Literal(2), Literal(3)};
  for (int i = 0; i < 127; ++i) tokens.push_back(Match(256, 3));
  tokens.push_back(Match(247, 3));
  return Coded({{tokens}});
}

// More chunks than one group of a pool of three takes: the groups reach the
// sink in order and never more than 128 chunks at once, and a fault in a
// late group names its chunk.
TEST(TfpDecoderTest, DecodesAcrossGroups) {
  std::vector<ChunkSpec> chunks;
  Bytes expected;
  for (std::uint32_t i = 0; i < 150; ++i) {
    if (i % 3 == 0) {
      chunks.push_back(PeriodicChunk());
      for (std::size_t k = 0; k < kTfpMaxChunkLength; ++k) {
        expected.push_back(static_cast<std::uint8_t>(k % 3 + 1));
      }
    } else {
      const Bytes raw = Pattern(kTfpMaxChunkLength, i);
      chunks.push_back({raw.size(), raw});
      expected.insert(expected.end(), raw.begin(), raw.end());
    }
  }
  EXPECT_EQ(Decoded(Stream(chunks)), expected);

  WorkerPool pool(3);
  Bytes streamed;
  std::size_t largestPiece = 0;
  const auto sink = [&](std::span<const std::uint8_t> piece) {
    streamed.insert(streamed.end(), piece.begin(), piece.end());
    largestPiece = std::max(largestPiece, piece.size());
  };
  ASSERT_TRUE(TfpDecoder::Decode(Stream(chunks), sink, &pool).ok());
  EXPECT_EQ(streamed, expected);
  EXPECT_LE(largestPiece, 128 * kTfpMaxChunkLength);

  chunks[140].data = {1, 2};
  EXPECT_NE(DecodeError(Stream(chunks)).find("chunk 141: coded data ends"), std::string::npos);
}

TEST(TfpDecoderTest, ChunksDoNotShareHistory) {
  const Bytes first = Pattern(kTfpMaxChunkLength, 4);
  const Bytes stream =
      Stream({{first.size(), first}, Coded({{{Match(40, 1), Literal('a')}}})});
  EXPECT_NE(DecodeError(stream).find("chunk 2: block 1: match at byte 0"),
            std::string::npos)
      << DecodeError(stream);
}

TEST(TfpDecoderTest, RejectsEveryTruncation) {
  const Bytes multiBlock = Stream({Coded(UnusualBlocks())});
  for (const Bytes* stream : {&kOneByteStream, &kElevenByteStream, &multiBlock}) {
    for (std::size_t size = 1; size < stream->size(); ++size) {
      EXPECT_NE(DecodeError(Bytes(stream->begin(), stream->begin() + size)), "")
          << "size " << size;
    }
  }
}

TEST(TfpDecoderTest, RejectsEveryCutOfCodedData) {
  const std::vector<BlockSpec> blocks = UnusualBlocks();
  const ChunkSpec chunk = Coded(blocks);
  for (std::size_t size = 0; size < chunk.data.size(); ++size) {
    const Bytes cut(chunk.data.begin(), chunk.data.begin() + size);
    EXPECT_NE(DecodeError(Stream({{chunk.rawLength, cut}})).find(
                  "chunk 1: coded data ends after"),
              std::string::npos)
        << "size " << size;
  }
}

TEST(TfpDecoderTest, SingleByteChangesGiveErrorOrOriginal) {
  for (const Bytes* stream : {&kOneByteStream, &kElevenByteStream}) {
    const Bytes original = Decoded(*stream);
    for (std::size_t offset = 0; offset < stream->size(); ++offset) {
      for (int value = 0; value < 256; ++value) {
        Bytes changed = *stream;
        changed[offset] = static_cast<std::uint8_t>(value);
        Bytes output;
        if (DecodeError(changed, &output).empty()) {
          EXPECT_EQ(output, original) << "offset " << offset << " value " << value;
        }
      }
    }
  }
}

// With the CRC made to fit, changed coded data reaches the block decoder: it
// must fail cleanly or give exactly the raw length.
TEST(TfpDecoderTest, BitFlipsInCodedDataFailCleanly) {
  std::vector<BlockSpec> blocks = UnusualBlocks();
  blocks.resize(4);  // the small blocks, and raw bytes enough to code them
  blocks.push_back({{Match(256, 7), Match(100, 3)}});
  const ChunkSpec chunk = Coded(blocks);
  ASSERT_EQ(DecodeError(Stream({chunk})), "");
  int blockFaults = 0;
  for (std::size_t offset = 0; offset < chunk.data.size(); ++offset) {
    for (int bit = 0; bit < 8; ++bit) {
      ChunkSpec changed = chunk;
      changed.data[offset] ^= static_cast<std::uint8_t>(1 << bit);
      Bytes output;
      const std::string error = DecodeError(Stream({changed}), &output);
      if (error.empty()) {
        EXPECT_EQ(output.size(), chunk.rawLength);
      } else {
        EXPECT_EQ(error.rfind("chunk 1: ", 0), 0u) << error;
        blockFaults += error.find("block") != std::string::npos;
      }
    }
  }
  EXPECT_GT(blockFaults, 0);
}

}  // namespace
}  // namespace krelt
