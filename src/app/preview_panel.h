#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>

#include "convert/conversion.h"
#include "convert/read_back.h"

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace krelt {

// A picture drawn with nearest-neighbour zoom over a checkerboard, so
// transparent pixels show as such. Zoom 0 fits the picture into the widget.
class PictureView final : public QWidget {
  Q_OBJECT

 public:
  explicit PictureView(QWidget* parent = nullptr);

  void SetImage(QImage image);
  void SetZoom(int zoom);
  const QImage& image() const { return image_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect PictureRect() const;

  QImage image_;
  int zoom_ = 0;
};

// One record of a GD file checked and decoded into the picture shown.
struct DecodedRecord {
  Status status;  // failure: the record is damaged
  VerifiedRecord record;
  QImage image;
};

DecodedRecord DecodeRecord(const GdSource& source, const GdRecord& record,
                           const ExtractOptions& options);

// What the preview needs of a GD file a conversion just wrote: its records
// read back, how to decode them, and the first one decoded. Loading reads
// and decodes as much as the conversion wrote, so it belongs on the thread
// that ran the conversion.
struct ConvertedPreview {
  Status status;  // failure: the file could not be read back
  GdSource source;
  ExtractOptions extractOptions;
  std::int32_t firstFrame = 0;  // the frame the first record holds
  DecodedRecord first;
};

// Reads back the GD file a conversion wrote and decodes its first record,
// in the conversion's byte order and picture palette.
ConvertedPreview LoadConvertedPreview(const ConversionResult& result, std::int32_t firstFrame);

// The picture as the firmware will get it: before a conversion the input
// picture (frame 0 of a sprite file), after one the pictures decoded from
// the streams just written, one frame at a time, with its figures below.
class PreviewPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPanel(QWidget* parent = nullptr);

  // Shows the picture file as read; clears the view if it can't be read.
  void ShowInput(const std::filesystem::path& picture);
  // Shows the records of a GD file read back, the first one first; its
  // firstFrame numbers them.
  void ShowConverted(ConvertedPreview converted);
  // Shows the converted record of that name ("spin2Gd"), if there is one.
  void ShowRecord(const QString& recordName);

 private:
  void ShowFrame(int frame);
  void ShowDecoded(const DecodedRecord& decoded);
  void ShowPicture(const PngPicture& picture);
  void ShowFailure(const QString& message);
  QString FileTotals() const;

  PictureView* view_ = nullptr;
  QScrollArea* scrollArea_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QSpinBox* frameSpin_ = nullptr;
  QComboBox* zoomCombo_ = nullptr;
  QLabel* figuresLabel_ = nullptr;

  GdSource source_;
  ExtractOptions extractOptions_;
  std::int32_t firstFrame_ = 0;
};

// The picture as a QImage: palette and RGB pictures opaque, RGBA with its
// alpha.
QImage ToQImage(const PngPicture& picture);

}  // namespace krelt
