// Every picture of the samples and the test data, converted at --level max:
// the streams decode with Krelt's decoder and pass verify, give the pixels
// of the default level, and every coded chunk also decodes with lhasa, an
// independent lh5 decoder, as a member of an LHA archive.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/worker_pool.h"
#include "compress/tfp_decoder.h"
#include "compress/tfp_encoder.h"
#include "compress/tfp_format.h"
#include "convert/conversion.h"
#include "gd/gd_reader.h"
#include "gd/gd_test_support.h"
#include "gd/gd_verify.h"
#include "support/files.h"

namespace krelt {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;


void PutLe(Bytes& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An LHA member with a level-0 header: method -lh5-, the coded data, the
// raw length and the raw bytes' CRC-16.
void AppendLh5Member(Bytes& archive, const std::string& name,
                     std::span<const std::uint8_t> coded, std::span<const std::uint8_t> raw) {
  Bytes header = {'-', 'l', 'h', '5', '-'};
  PutLe(header, static_cast<std::uint32_t>(coded.size()), 4);
  PutLe(header, static_cast<std::uint32_t>(raw.size()), 4);
  PutLe(header, 0x00210000, 4);  // 1 January 1980, DOS date and time
  header.push_back(0x20);        // attribute: archive
  header.push_back(0);           // header level
  header.push_back(static_cast<std::uint8_t>(name.size()));
  header.insert(header.end(), name.begin(), name.end());
  PutLe(header, Crc16(raw.data(), raw.size()), 2);
  unsigned checksum = 0;
  for (const std::uint8_t byte : header) checksum += byte;
  archive.push_back(static_cast<std::uint8_t>(header.size()));
  archive.push_back(static_cast<std::uint8_t>(checksum));
  archive.insert(archive.end(), header.begin(), header.end());
  archive.insert(archive.end(), coded.begin(), coded.end());
}

struct CodedChunk {
  std::string name;
  Bytes raw;
};

// Wraps every coded chunk of the stream into one archive; returns the
// chunks it holds with their raw bytes.
std::vector<CodedChunk> ArchiveCodedChunks(const Bytes& stream, const Bytes& decoded,
                                           Bytes& archive) {
  std::vector<CodedChunk> chunks;
  std::size_t at = kTfpStreamHeaderSize;
  for (std::size_t index = 0; at + kTfpChunkHeaderSize <= stream.size(); ++index) {
    const std::size_t dataSize = (std::size_t{stream[at]} << 8 | stream[at + 1]) + 2 - kTfpChunkHeaderSize;
    const std::size_t rawSize = std::size_t{stream[at + 6]} << 8 | stream[at + 7];
    const std::span<const std::uint8_t> raw(decoded.data() + index * kTfpMaxChunkLength, rawSize);
    if (dataSize < rawSize) {
      CodedChunk chunk{std::to_string(index), Bytes(raw.begin(), raw.end())};
      chunk.name.append(".bin");
      AppendLh5Member(archive, chunk.name,
                      std::span(stream).subspan(at + kTfpChunkHeaderSize, dataSize), raw);
      chunks.push_back(std::move(chunk));
    }
    at += kTfpChunkHeaderSize + dataSize;
  }
  archive.push_back(0);  // end of archive
  return chunks;
}

// Runs lhasa with the command letters and arguments, quiet; its exit code.
int RunLhasa(const std::string& command, const std::vector<std::string>& arguments) {
  std::string line = "lhasa ";
  line += command;
  for (const std::string& argument : arguments) {
    line += " '";
    line += argument;
    line += '\'';
  }
  line += " >/dev/null 2>&1";
  return std::system(line.c_str());
}

// lhasa runs on the build machine. The Windows build's tests run under wine,
// which cannot start it; there Krelt's own decoder checks the streams alone.
#ifdef _WIN32
constexpr bool kLhasaReachable = false;
#else
constexpr bool kLhasaReachable = true;
#endif

// lhasa tests the archive's CRCs, then extracts it; the files must be the
// chunks' raw bytes.
void CheckWithLhasa(const Bytes& stream, const Bytes& decoded, const std::string& what) {
  if (!kLhasaReachable) return;
  Bytes archive;
  const std::vector<CodedChunk> chunks = ArchiveCodedChunks(stream, decoded, archive);
  if (chunks.empty()) return;
  test::TempDir folder("krelt_lhasa");
  const fs::path archivePath = folder / "chunks.lzh";
  test::WriteBytes(archivePath, archive);
  EXPECT_EQ(RunLhasa("t", {archivePath.string()}), 0) << what;
  const fs::path out = folder / "out";
  fs::create_directories(out);
  EXPECT_EQ(RunLhasa("xfqw=" + out.string(), {archivePath.string()}), 0) << what;
  for (const CodedChunk& chunk : chunks) {
    EXPECT_EQ(test::FileText(out / chunk.name), std::string(chunk.raw.begin(), chunk.raw.end())) << what << " " << chunk.name;
  }
}

std::vector<fs::path> TestPictures() {
  std::vector<fs::path> pictures;
  for (const char* folder : {"samples", "tests/data"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(KRELT_SOURCE_DIR) / folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension == ".bmp" || extension == ".pcx" || extension == ".png" || extension == ".xsp") {
        pictures.push_back(entry.path());
      }
    }
  }
  std::sort(pictures.begin(), pictures.end());
  return pictures;
}

// The arrays of the GD file the conversion writes, after verify passed.
std::vector<Bytes> ConvertedStreams(const fs::path& picture, bool flag1555, CompressionLevel level,
                                    const fs::path& folder, std::vector<Bytes>& decoded) {
  ConversionRequest request;
  request.sourcePath = picture.string();
  request.flag1555 = flag1555;
  request.outputDirectory = folder;
  request.outputBaseName = picture.stem().string() + (level == CompressionLevel::kMax ? "_max" : "");
  request.level = level;
  Converter converter;
  const ConversionResult result = converter.RunConversion(request);
  if (!result.status.ok()) return {};
  GdSource source;
  EXPECT_TRUE(ReadGdSource(result.writtenPath, source).ok());
  const Status verified = VerifyGdSource(source, [&](const VerifiedRecord&, std::span<const std::uint8_t> pixels) {
    decoded.emplace_back(pixels.begin(), pixels.end());
    return Status();
  });
  EXPECT_TRUE(verified.ok()) << picture << ": " << verified.message();
  std::vector<Bytes> streams;
  for (const GdArray& array : source.arrays) streams.push_back(array.bytes);
  return streams;
}

TEST(LevelMaxTest, TestPicturesDecodeWithKreltAndLhasa) {
  const std::vector<fs::path> pictures = TestPictures();
  ASSERT_GE(pictures.size(), 10u);
  test::TempDir folder;
  int coded = 0;
  for (const fs::path& picture : pictures) {
    for (const bool flag1555 : {false, true}) {
      const std::string what = picture.filename().string() + (flag1555 ? " 1555" : "");
      std::vector<Bytes> defaultPixels;
      std::vector<Bytes> maxPixels;
      const std::vector<Bytes> defaultStreams =
          ConvertedStreams(picture, flag1555, CompressionLevel::kDefault, folder.path(), defaultPixels);
      const std::vector<Bytes> maxStreams =
          ConvertedStreams(picture, flag1555, CompressionLevel::kMax, folder.path(), maxPixels);
      ASSERT_EQ(maxStreams.size(), defaultStreams.size()) << what;
      EXPECT_EQ(maxPixels, defaultPixels) << what;
      for (std::size_t i = 0; i < maxStreams.size(); ++i) {
        EXPECT_LE(maxStreams[i].size(), defaultStreams[i].size()) << what;
        Bytes decoded;
        ASSERT_TRUE(TfpDecoder::Decode(maxStreams[i], decoded).ok()) << what;
        CheckWithLhasa(maxStreams[i], decoded, what);
        coded += maxStreams[i].size() < decoded.size() ? 1 : 0;
      }
    }
  }
  EXPECT_GT(coded, 0);
}

// Picture-like bytes of several chunks: flat panels, ramps and noisy rows,
// which the encoder codes in several blocks per chunk.
Bytes ScreenLike(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t x = i % 640;
    const std::size_t y = i / 640;
    std::uint8_t value = static_cast<std::uint8_t>((x / 80) * 20 + y / 60);
    if (y % 50 > 40) value = static_cast<std::uint8_t>(x);
    if (y % 70 > 62) value = static_cast<std::uint8_t>(random() % 16);
    bytes[i] = value;
  }
  return bytes;
}

// The chunk-parallel path gives the same bytes as one thread, and lhasa
// reads every chunk.
TEST(LevelMaxTest, ScreenLikeStreamsDecodeWithLhasaOnEveryThreadCount) {
  WorkerPool pool(2);
  TfpEncoder oneThread(nullptr, CompressionLevel::kMax);
  TfpEncoder twoThreads(&pool, CompressionLevel::kMax);
  for (const unsigned seed : {1u, 2u}) {
    const Bytes input = ScreenLike(150000 + seed * 7777, seed);
    Bytes stream;
    Bytes pooledStream;
    ASSERT_TRUE(oneThread.Compress(input, stream).ok());
    ASSERT_TRUE(twoThreads.Compress(input, pooledStream).ok());
    EXPECT_EQ(pooledStream, stream) << seed;
    Bytes decoded;
    ASSERT_TRUE(TfpDecoder::Decode(stream, decoded).ok()) << seed;
    ASSERT_EQ(decoded, input) << seed;
    CheckWithLhasa(stream, decoded, "seed " + std::to_string(seed));
  }
}

}  // namespace
}  // namespace krelt
