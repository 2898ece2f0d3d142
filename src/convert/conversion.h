#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/cancellation.h"
#include "common/file_io.h"
#include "common/status.h"
#include "compress/tfp_encoder.h"
#include "convert/conversion_pictures.h"
#include "convert/report.h"

namespace krelt {

class WorkerPool;

enum class LineEnding { kCrlf, kLf };

// What a conversion does with its GD text: write the GD file, or compare it
// with the GD file already on disk and write nothing.
enum class OutputAction { kWrite, kCheck };

// Everything one conversion needs from its front end.
struct ConversionRequest {
  std::string sourcePath;
  std::int32_t alphaSelection = -1;  // -1: nothing selected
  std::string startFrameText;
  std::string endFrameText;
  bool flag1555 = false;
  std::filesystem::path outputDirectory;
  std::string outputBaseName;
  LineEnding lineEnding = LineEnding::kCrlf;
  ByteOrder byteOrder = ByteOrder::kAsRoad;
  // Largest pixel buffer a reader may produce for this picture.
  std::size_t maxPixelBytes = kMaxPixelBytes;
  OutputAction action = OutputAction::kWrite;
  CompressionLevel level = CompressionLevel::kDefault;
  // Once set, the conversion stops before its next chunk or piece of text
  // with ErrorKind::kCancelled, having written nothing.
  const CancellationToken* cancel = nullptr;
};

// What the last conversion wrote; read by the report.
struct ConversionState {
  std::string identifierName;
  std::vector<std::int32_t> frameSize;
  std::vector<std::int32_t> frameWidth;
  std::vector<std::int32_t> frameHeight;
  std::int32_t startFrame = 0;
  std::int32_t endFrame = 512;
  std::int32_t alphaLevel = 0;
};

// The front end's side of a conversion: the dialog implements it, and so
// does the command-line tool. The progress calls may come from the threads
// of the converter's pool, one at a time; the range is set once, and the
// positions only grow.
class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  virtual void ClearReport() = 0;
  virtual void SetProgressRange(std::int32_t maximum) = 0;
  virtual void SetProgressPosition(std::int32_t position) = 0;
  virtual void EnableOpen() = 0;
  virtual void ShowMessage(const std::string& text,
                           const std::string& caption) = 0;
  virtual void ShowReport(const std::vector<ReportRow>& rows) = 0;
};

// How the GD file on disk compares with a checking conversion's text.
enum class CheckOutcome { kNotChecked, kSame, kDiffers, kMissing };

struct ConversionResult {
  Status status;                        // failure or cancelled: nothing was written
  std::filesystem::path writtenPath;    // the GD file, when written
  std::vector<ReportRow> report;
  // How the file stores 16-bit pixels: kLowFirst or kHighFirst.
  ByteOrder byteOrder = ByteOrder::kHighFirst;
  // The picture's 6-bit palette (frame 0 of a sprite file) when the file
  // holds palette indices.
  std::optional<std::array<std::uint8_t, 768>> palette;
  // What the reader accepted but the user should be told, file name first.
  std::vector<std::string> notices;
  std::filesystem::path checkedPath;    // the GD file compared, when checking
  CheckOutcome check = CheckOutcome::kNotChecked;
};

// Largest GD text a conversion writes: the largest file Krelt reads back.
inline constexpr std::uintmax_t kMaxGdTextLength = kMaxReadFileSize;

// Runs conversions, reusing its readers and encoder from one to the next.
// With a pool, the frames of a sprite file and the chunks of each stream
// are compressed on its threads; the GD text is the same either way. Frames
// with identical pixel bytes are compressed once.
class Converter {
 public:
  // A conversion whose GD text would exceed maxGdTextLength characters is
  // refused before anything is formatted.
  explicit Converter(std::uintmax_t maxGdTextLength = kMaxGdTextLength,
                     WorkerPool* pool = nullptr)
      : maxGdTextLength_(maxGdTextLength), pool_(pool) {}

  ConversionResult RunConversion(const ConversionRequest& request,
                                 ConversionHost& host);
  const ConversionState& state() const { return state_; }

 private:
  std::uintmax_t maxGdTextLength_;
  WorkerPool* pool_;
  ConversionPictures pictures_;
  ConversionState state_;
};

}  // namespace krelt
