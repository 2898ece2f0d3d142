#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "convert/conversion.h"
#include "convert/read_back.h"
#include "front/work_thread.h"

namespace krelt {

// A picture ready for the screen: 32-bit pixels 0xAARRGGBB, colour
// premultiplied by alpha, top row first and no padding. Qt takes them as
// they are (ARGB32_Premultiplied), so does a Windows DIB section (BGRA).
struct ScreenImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;
  // The picture has an alpha channel: it is drawn over a checkerboard, so
  // transparent pixels show as such.
  bool hasAlpha = false;
};

// Palette and RGB pictures opaque, RGBA ones with their alpha.
ScreenImage ToScreenImage(const PngPicture& picture);

// One record of a GD file checked and decoded for the screen.
struct DecodedRecord {
  Status status;  // failure: the record is damaged
  VerifiedRecord record;
  std::shared_ptr<const ScreenImage> image;
};

DecodedRecord DecodeRecord(const GdSource& source, const GdRecord& record,
                           const ExtractOptions& options);

// What the preview needs of the GD file a conversion wrote: its records
// read back, how to decode them, the totals of the file and the first
// record decoded. Loading reads and decodes as much as the conversion
// wrote, so it belongs on the thread that ran the conversion.
struct ConvertedPreview {
  Status status;  // failure: the file could not be read back
  GdSource source;
  ExtractOptions extractOptions;
  std::int32_t firstFrame = 0;  // the frame the first record holds
  std::string fileTotals;       // "file: 4 records, input 4096 bytes, ..."
  DecodedRecord first;
};

// Reads back the GD file a conversion wrote and decodes its first record,
// in the conversion's byte order and picture palette; the frames are
// numbered from the conversion's start frame.
ConvertedPreview LoadConvertedPreview(const ConversionResult& result);

// The frame box: its range, its value and whether it can be changed.
struct FrameBox {
  std::int32_t first = 0;
  std::int32_t last = 0;
  std::int32_t value = 0;
  bool enabled = false;

  bool operator==(const FrameBox&) const = default;
};

// Everything the preview pane shows but the zoom, which the view keeps.
struct PreviewScreen {
  std::string title;
  std::shared_ptr<const ScreenImage> image;  // null: no picture
  std::string figures;                       // lines below the picture
  FrameBox frames;
};

inline constexpr std::string_view kFrameLabel = "frame";
inline constexpr std::string_view kZoomLabel = "zoom";

// The zoom choices: factor 0 fits the picture into the view, the others
// enlarge it by whole factors without smoothing.
struct ZoomChoice {
  std::int32_t factor;
  std::string_view text;
};
inline constexpr ZoomChoice kZoomChoices[] = {
    {0, "Fit"}, {1, "1\u00d7"}, {2, "2\u00d7"}, {4, "4\u00d7"}, {8, "8\u00d7"}};

// The checkerboard behind pictures with alpha: squares of this side,
// colours 0xRRGGBB, the dark one at the top left.
inline constexpr std::int32_t kCheckerSquare = 8;
inline constexpr std::uint32_t kCheckerLight = 0xCCCCCC;
inline constexpr std::uint32_t kCheckerDark = 0x999999;

// The smallest side of the picture view.
inline constexpr std::int32_t kPreviewMinimumSide = 240;

struct Extent {
  std::int32_t width = 0;
  std::int32_t height = 0;

  bool operator==(const Extent&) const = default;
};

struct Placement {
  std::int32_t x = 0;
  std::int32_t y = 0;
  Extent size;

  bool operator==(const Placement&) const = default;
};

// Where the picture goes in a view of the given size: zoomed from the top
// left corner, or as large as fits with its aspect kept, centred.
Placement PictureRect(Extent image, std::int32_t zoom, Extent view);

// The size the picture view asks for: the zoomed picture, or when fitting
// (or without a picture) a square of kPreviewMinimumSide.
Extent PictureViewSize(Extent image, std::int32_t zoom);

// How a front end shows the preview; called on its GUI thread.
class PreviewView {
 public:
  virtual void ShowPreview(const PreviewScreen& screen) = 0;

 protected:
  ~PreviewView() = default;
};

// The picture as the firmware will get it: before a conversion the input
// picture (frame 0 of a sprite file), after one the records decoded from
// the GD file just written, one frame at a time, with its figures below.
// Pictures are read and decoded on a thread of the preview's own; the
// latest request wins. Every operation runs on the front end's GUI thread.
class PreviewModel {
 public:
  PreviewModel(PreviewView& view, PostToGui post);

  const PreviewScreen& screen() const { return screen_; }
  // A picture asked for is still being read or decoded.
  bool decoding() const { return shownRequest_ != request_; }

  // The picture file as read; the view is cleared if it can't be read.
  void ShowInput(const std::string& picturePath);
  // The records of a GD file read back, the first one first.
  void ShowConverted(std::shared_ptr<const ConvertedPreview> converted);
  // The converted record of that index in file order, if there is one.
  void ShowRecord(std::int32_t record);
  // The converted record holding that frame, if there is one.
  void ShowFrame(std::int32_t frame);

 private:
  // Runs work on the preview's thread; its screen is shown unless a later
  // request came meanwhile.
  void Produce(std::function<PreviewScreen()> work);
  // Shows the picture part of screen with the current frame box.
  void Show(PreviewScreen screen);

  PreviewView& view_;
  PostToGui post_;
  PreviewScreen screen_;
  std::shared_ptr<const ConvertedPreview> converted_;
  std::uint64_t request_ = 0;      // the last picture asked for
  std::uint64_t shownRequest_ = 0;  // the picture shown
  WorkThread thread_;  // last: stopped before the members above go
};

}  // namespace krelt
