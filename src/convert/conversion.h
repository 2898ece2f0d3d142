#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/cancellation.h"
#include "common/file_io.h"
#include "common/status.h"
#include "compress/tfp_encoder.h"
#include "convert/colour_request.h"
#include "convert/conversion_pictures.h"
#include "convert/conversion_progress.h"
#include "gd/gd_text.h"
#include "gd/report.h"

namespace krelt {

class WorkerPool;

// What a conversion without a picture answers, and the caption a front end
// shows it with.
inline constexpr std::string_view kSelectFileMessage = "Select File!!";
inline constexpr std::string_view kNoticeCaption = "Notice";

// What a conversion does with its GD text: write the GD file, or compare it
// with the GD file already on disk and write nothing.
enum class OutputAction { kWrite, kCheck };

// Everything one conversion needs from its front end.
struct ConversionRequest {
  std::string sourcePath;
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
  // Palette indices of a colour table instead of the picture's own.
  ColourRequest colours;
  // Once set, the conversion stops before its next chunk or piece of text
  // with ErrorKind::kCancelled, having written nothing.
  const CancellationToken* cancel = nullptr;
  // Told of the progress bar's rising positions, 0 to
  // ConversionProgress::kRange, from the threads of the converter's pool,
  // one call at a time. The last position comes once the file is written.
  ProgressSink progress;
};

// How the GD file on disk compares with a checking conversion's text.
enum class CheckOutcome { kNotChecked, kSame, kDiffers, kMissing };

// Everything a front end shows of one conversion.
struct ConversionResult {
  // Failure or cancelled: nothing was written, and the message says why.
  // Without a picture: ErrorKind::kUsage with kSelectFileMessage.
  Status status;
  std::filesystem::path writtenPath;    // the GD file, when written
  std::vector<ReportRow> report;
  std::int32_t startFrame = 0;          // the frame the first record holds
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

  ConversionResult RunConversion(const ConversionRequest& request);

 private:
  std::uintmax_t maxGdTextLength_;
  WorkerPool* pool_;
  ConversionPictures pictures_;
};

}  // namespace krelt
