#include "convert/conversion.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "common/worker_pool.h"
#include "compress/tfp_decoder.h"
#include "convert/conversion_progress.h"
#include "convert/output_names.h"
#include "gd/gd_text.h"

namespace krelt {
namespace {

// What one conversion produced before anything is written.
struct ConversionOutput {
  GdDocument document;
  std::filesystem::path outputPath;
  LineEnding lineEnding = LineEnding::kCrlf;
};

Status Cancelled() {
  return Status::Error(ErrorKind::kCancelled, "the conversion was cancelled");
}

bool IsCancelled(const CancellationToken* cancel) {
  return cancel != nullptr && cancel->cancelled();
}

// The data format records of pixels in that format declare.
DataFormat DataFormatOf(PixelFormat format) {
  if (format == kPixelFormatIndexed) return DataFormat::kOsd256;
  if (format == kPixelFormat16Bit) return DataFormat::kOsd1555;
  return DataFormat::kNone;
}

Status TextTooLarge(const ConversionPictures& pictures,
                    std::uintmax_t maxTextLength) {
  return Status::Error(ErrorKind::kTooLarge, pictures.fileName() + ": the GD file would be larger than " +
                       std::to_string(maxTextLength) +
                       " bytes, the most Krelt reads back");
}

// The names of the conversion of open pictures.
void PrepareOutput(const ConversionRequest& request,
                   const ConversionPictures& pictures, ConversionOutput& output) {
  output.document.identifierName = DeriveIdentifierName(request.sourcePath);
  output.document.perFrameRecords = pictures.perFrameRecords();
  output.outputPath =
      GdFilePath(request.outputDirectory, request.outputBaseName, pictures.startFrame());
}

// A digest of pixel bytes: frames with equal digests are compared byte for
// byte.
std::uint64_t PixelDigest(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kPrime = 0x100000001B3;
  std::uint64_t digest = 0xCBF29CE484222325 ^ bytes.size();
  std::size_t offset = 0;
  for (; offset + 8 <= bytes.size(); offset += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + offset, sizeof word);
    digest = (digest ^ word) * kPrime;
    digest ^= digest >> 29;
  }
  for (; offset < bytes.size(); ++offset) digest = (digest ^ bytes[offset]) * kPrime;
  return digest;
}

// A picture loaded and waiting for compression.
struct LoadedPicture {
  ConvertedPicture picture;
  std::size_t index = 0;  // in the document
  std::uint64_t digest = 0;
};

// Loads the pictures in order, a few at a time, and compresses each group
// at once on the pool's threads. A picture whose pixel bytes equal an
// earlier one's shares that picture's stream instead of being compressed.
class PictureCompressor {
 public:
  PictureCompressor(ConversionPictures& pictures, TfpEncoder& encoder,
                    WorkerPool* pool, std::uintmax_t maxTextLength,
                    ConversionOutput& output, ConversionProgress& progress,
                    const CancellationToken* cancel)
      : pictures_(pictures),
        encoder_(encoder),
        pool_(pool),
        maxTextLength_(maxTextLength),
        output_(output),
        progress_(progress),
        cancel_(cancel) {}

  // Every stream byte takes five characters of GD text, so the streams
  // alone show early when the text would grow beyond maxTextLength; the
  // whole text is measured at the end.
  Status Run() {
    output_.document.pictures.reserve(pictures_.count());
    while (output_.document.pictures.size() < pictures_.count()) {
      const Status loading = LoadGroup();
      CompressGroup();
      if (Status status = RecordGroup(); !status.ok()) return status;
      if (!loading.ok()) return loading;
    }
    if (GdTextLength(output_.document, output_.lineEnding) > maxTextLength_) {
      return TextTooLarge(pictures_, maxTextLength_);
    }
    return Status();
  }

 private:
  // Pictures loaded before a group is compressed: a few per thread, and no
  // more pixel bytes than this unless one picture alone is larger.
  static constexpr std::size_t kPicturesPerThread = 2;
  static constexpr std::size_t kGroupPixelBytes = std::size_t{64} << 20;

  // Loads the next pictures into group_; a load error ends the group early.
  Status LoadGroup() {
    group_.clear();
    faults_.clear();
    const std::size_t most =
        pool_ != nullptr ? kPicturesPerThread * pool_->threadCount() : 1;
    std::size_t pixelBytes = 0;
    while (group_.size() < most && pixelBytes < kGroupPixelBytes) {
      const std::size_t index = output_.document.pictures.size();
      if (index == pictures_.count()) break;
      if (IsCancelled(cancel_)) return Cancelled();
      LoadedPicture loaded;
      loaded.index = index;
      if (Status status = pictures_.Load(index, loaded.picture); !status.ok()) {
        return status;
      }
      progress_.PictureLoaded();
      // A single picture has no twin to look for.
      if (pictures_.count() > 1) loaded.digest = PixelDigest(loaded.picture.pixels);
      pixelBytes += loaded.picture.pixels.size();
      AddToDocument(loaded);
      group_.push_back(std::move(loaded));
    }
    return Status();
  }

  void AddToDocument(const LoadedPicture& loaded) {
    const ConvertedPicture& source = loaded.picture;
    const GdDocument& document = output_.document;
    GdPicture picture{
        NewRecord(PictureName(document.identifierName, document.perFrameRecords, source.frame),
                  DataFormatOf(pictures_.declaredFormat()),
                  static_cast<std::int32_t>(source.pixels.size()),
                  source.width, source.height),
        {}};
    if (pictures_.count() > 1) picture.sameStreamAs = EarlierTwin(loaded);
    if (picture.sameStreamAs < 0) {
      firstByDigest_.emplace(loaded.digest, static_cast<std::int32_t>(loaded.index));
    }
    output_.document.pictures.push_back(std::move(picture));
  }

  // The earlier picture with the same pixel bytes, -1 when there is none.
  // Pictures of this group are compared with their pixels, earlier ones
  // with their decoded streams.
  std::int32_t EarlierTwin(const LoadedPicture& loaded) const {
    const auto [first, last] = firstByDigest_.equal_range(loaded.digest);
    for (auto candidate = first; candidate != last; ++candidate) {
      const auto index = static_cast<std::size_t>(candidate->second);
      const std::size_t groupStart = group_.empty() ? loaded.index : group_.front().index;
      if (index >= groupStart) {
        if (group_[index - groupStart].picture.pixels == loaded.picture.pixels) {
          return candidate->second;
        }
        continue;
      }
      std::vector<std::uint8_t> decoded;
      if (TfpDecoder::Decode(output_.document.pictures[index].stream, decoded).ok() &&
          decoded == loaded.picture.pixels) {
        return candidate->second;
      }
    }
    return -1;
  }

  void CompressGroup() {
    faults_.assign(group_.size(), Status());
    const auto compress = [this](std::size_t item) {
      const LoadedPicture& loaded = group_[item];
      GdPicture& picture = output_.document.pictures[loaded.index];
      const std::vector<std::uint8_t>& pixels = loaded.picture.pixels;
      if (picture.sameStreamAs >= 0 || pixels.empty()) progress_.CompressionSkipped();
      if (picture.sameStreamAs >= 0) return;
      const ChunkWatch watch{[this, &pixels](std::size_t length) {
                               progress_.Compressed(length, pixels.size());
                             },
                             cancel_};
      const Status status = encoder_.Compress(pixels, picture.stream, watch);
      if (status.ok()) return;
      if (status.kind() == ErrorKind::kCancelled) {
        faults_[item] = Cancelled();
        return;
      }
      const Status fault = pictures_.PictureFault(
          loaded.picture, "the picture could not be compressed: " + status.message());
      faults_[item] = Status::Error(status.kind(), fault.message());
    };
    ParallelFor(pool_, group_.size(), compress);
  }

  // Counts the group's streams in order, stopping at the first fault, and
  // lets their pixels go.
  Status RecordGroup() {
    for (std::size_t item = 0; item < group_.size(); ++item) {
      if (!faults_[item].ok()) return faults_[item];
      const GdPicture& picture = output_.document.pictures[group_[item].index];
      streamBytes_ += StreamOf(output_.document, picture).size();
      if (streamBytes_ > maxTextLength_ / 5) {
        return TextTooLarge(pictures_, maxTextLength_);
      }
    }
    group_.clear();
    return Status();
  }

  ConversionPictures& pictures_;
  TfpEncoder& encoder_;
  WorkerPool* pool_;
  std::uintmax_t maxTextLength_;
  ConversionOutput& output_;
  ConversionProgress& progress_;
  const CancellationToken* cancel_;
  std::vector<LoadedPicture> group_;
  std::vector<Status> faults_;
  std::unordered_multimap<std::uint64_t, std::int32_t> firstByDigest_;
  std::uintmax_t streamBytes_ = 0;
};

// Formats the GD text, the bar following the stream bytes, and hands it to
// sink piece by piece until the text ends, the sink fails or cancel is set.
Status FormatGdText(const ConversionOutput& output, ConversionProgress& progress,
                    const CancellationToken* cancel, const TextSink& sink) {
  std::size_t streamBytes = 0;
  for (const GdPicture& picture : output.document.pictures) {
    streamBytes += StreamOf(output.document, picture).size();
  }
  progress.StartText(streamBytes);
  return WriteGdText(
      output.document, output.lineEnding,
      [&sink, cancel](std::string_view piece) {
        return IsCancelled(cancel) ? Cancelled() : sink(piece);
      },
      [&progress](std::size_t formatted, std::size_t) { progress.Formatted(formatted); });
}

// Formats the GD text straight into a temporary file, which then replaces
// the output file in one step; any failure removes the temporary file.
Status WriteGdFile(const ConversionOutput& output, ConversionProgress& progress,
                   const CancellationToken* cancel) {
  AtomicFileWriter writer(output.outputPath);
  if (Status status = writer.Open(); !status.ok()) return status;
  if (Status status = FormatGdText(
          output, progress, cancel,
          [&writer](std::string_view piece) { return writer.Write(piece); });
      !status.ok()) {
    return status;
  }
  return writer.Commit();
}

// Compares the GD text, piece by piece as it is formatted, with the file on
// disk.
class GdFileComparison {
 public:
  // A missing file is an outcome; a file that can't be looked at or
  // opened is an error naming the system's reason.
  Status Open(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return Status();
    if (!error && std::filesystem::is_directory(status)) {
      return Status::Error(ErrorKind::kIo, "can't read " + QuotedPath(path) + ": it is a folder");
    }
    if (!error) {
      errno = 0;
      in_.open(path, std::ios::binary);
      if (!in_) error = std::error_code(errno, std::generic_category());
    }
    if (error) {
      return Status::Error(ErrorKind::kIo,
                           "can't read " + QuotedPath(path) + ": " + error.message());
    }
    found_ = true;
    return Status();
  }

  Status Compare(std::string_view piece) {
    buffer_.resize(piece.size());
    in_.read(buffer_.data(), static_cast<std::streamsize>(piece.size()));
    if (static_cast<std::size_t>(in_.gcount()) != piece.size() ||
        std::string_view(buffer_) != piece) {
      return Status::Error(ErrorKind::kMismatch, "the GD file differs");
    }
    return Status();
  }

  CheckOutcome Outcome(const Status& comparison) {
    if (!found_) return CheckOutcome::kMissing;
    const bool atEnd = in_.peek() == std::char_traits<char>::eof();
    return comparison.ok() && atEnd ? CheckOutcome::kSame : CheckOutcome::kDiffers;
  }

 private:
  bool found_ = false;
  std::ifstream in_;
  std::string buffer_;
};

// Compares the GD text with the file on disk; only a file that can't be
// read and a cancellation fail.
Status CheckGdFile(const ConversionOutput& output, ConversionProgress& progress,
                   const CancellationToken* cancel, ConversionResult& result) {
  GdFileComparison comparison;
  if (Status status = comparison.Open(output.outputPath); !status.ok()) return status;
  const Status status = FormatGdText(
      output, progress, cancel,
      [&comparison](std::string_view piece) { return comparison.Compare(piece); });
  if (status.kind() == ErrorKind::kCancelled) return status;
  result.check = comparison.Outcome(status);
  result.checkedPath = output.outputPath;
  return Status();
}

// The request with its colour table read or built from its own picture,
// unless it needs none or has one.
Status WithColourTable(const ConversionRequest& request, ConversionRequest& resolved) {
  resolved = request;
  if (request.colours.mode == ColourMode::kAsPicture || request.colours.table) return Status();
  auto table = std::make_shared<ColourTable>();
  const std::string pictures[] = {request.sourcePath};
  if (Status status = ResolveColourTable(request, pictures, *table); !status.ok()) return status;
  resolved.colours.table = std::move(table);
  return Status();
}

}  // namespace

ConversionResult Converter::RunConversion(const ConversionRequest& request) {
  ConversionResult result;
  if (request.sourcePath.empty()) {
    result.status = Status::Error(ErrorKind::kUsage, std::string(kSelectFileMessage));
    return result;
  }
  ConversionProgress progress(request.progress);
  progress.Start();

  ConversionOutput output;
  output.lineEnding = request.lineEnding;
  const bool checking = request.action == OutputAction::kCheck;
  Status status = CatchAllocationFailure([&] {
    ConversionRequest resolved;
    Status done = WithColourTable(request, resolved);
    if (done.ok()) done = pictures_.Open(resolved);
    if (done.ok() && IsCancelled(request.cancel)) done = Cancelled();
    if (!done.ok()) return done;
    progress.SetPictureCount(pictures_.count());
    PrepareOutput(request, pictures_, output);
    TfpEncoder encoder(pool_, request.level);
    done = PictureCompressor(pictures_, encoder, pool_, maxGdTextLength_, output, progress,
                             request.cancel)
               .Run();
    if (!done.ok()) return done;
    return checking ? CheckGdFile(output, progress, request.cancel, result)
                    : WriteGdFile(output, progress, request.cancel);
  });
  if (!status.ok()) {
    result.status = std::move(status);
    return result;
  }
  progress.Finish();
  if (!checking) result.writtenPath = output.outputPath;
  result.notices = pictures_.notices();
  result.byteOrder = pictures_.storedByteOrder();
  result.palette = pictures_.palette();
  result.startFrame = pictures_.startFrame();
  result.report = BuildReport(output.document);
  return result;
}

}  // namespace krelt
