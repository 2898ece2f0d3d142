#include "app/preview_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "common/file_io.h"

namespace krelt {
namespace {

constexpr int kCheckerSquare = 8;
const QColor kCheckerLight(0xCC, 0xCC, 0xCC);
const QColor kCheckerDark(0x99, 0x99, 0x99);
constexpr int kViewMinimumSide = 240;
// Zoom choices: 0 fits the picture into the view.
constexpr int kZooms[] = {0, 1, 2, 4, 8};

QBrush CheckerBrush() {
  QPixmap tile(2 * kCheckerSquare, 2 * kCheckerSquare);
  tile.fill(kCheckerLight);
  QPainter painter(&tile);
  painter.fillRect(0, 0, kCheckerSquare, kCheckerSquare, kCheckerDark);
  painter.fillRect(kCheckerSquare, kCheckerSquare, kCheckerSquare, kCheckerSquare,
                   kCheckerDark);
  return QBrush(tile);
}

QString DataFormatText(DataFormat dataFormat) {
  const std::string_view label = DataFormatLabel(dataFormat);
  return QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
}

QString Ratio(std::uint64_t stream, std::uint64_t input) {
  if (input == 0) return QStringLiteral("-");
  return QString::number(100.0 * static_cast<double>(stream) / static_cast<double>(input),
                         'f', 1) +
         QLatin1Char('%');
}

QString SizeText(std::int32_t width, std::int32_t height) {
  return QString::number(width) + QStringLiteral(" \u00d7 ") + QString::number(height);
}

QString InputFormatText(PixelFormat format) {
  switch (format) {
    case kPixelFormat16Colour: return QStringLiteral("16 colours");
    case kPixelFormatIndexed: return QStringLiteral("8-bit indices");
    case kPixelFormat16Bit: return QStringLiteral("16-bit pixels");
    default: return QStringLiteral("24-bit RGB");
  }
}

}  // namespace

QImage ToQImage(const PngPicture& picture) {
  QImage image;
  const int bytesPerLine =
      picture.width * static_cast<int>(PngBytesPerPixel(picture.colour));
  switch (picture.colour) {
    case PngColour::kPalette: {
      image = QImage(picture.width, picture.height, QImage::Format_Indexed8);
      QList<QRgb> colours(256);
      for (int k = 0; k < 256; ++k) {
        colours[k] = qRgb(picture.palette[3 * k], picture.palette[3 * k + 1],
                          picture.palette[3 * k + 2]);
      }
      image.setColorTable(colours);
      break;
    }
    case PngColour::kRgb:
      image = QImage(picture.width, picture.height, QImage::Format_RGB888);
      break;
    case PngColour::kRgba:
      image = QImage(picture.width, picture.height, QImage::Format_RGBA8888);
      break;
  }
  if (image.isNull() || picture.pixels.size() <
                            static_cast<std::size_t>(bytesPerLine) * picture.height) {
    return {};
  }
  for (int row = 0; row < picture.height; ++row) {
    std::memcpy(image.scanLine(row),
                picture.pixels.data() + static_cast<std::size_t>(row) * bytesPerLine,
                static_cast<std::size_t>(bytesPerLine));
  }
  return image.convertToFormat(picture.colour == PngColour::kRgba
                                   ? QImage::Format_ARGB32_Premultiplied
                                   : QImage::Format_RGB32);
}

ConvertedPreview LoadConvertedPreview(const ConversionResult& result, std::int32_t firstFrame) {
  ConvertedPreview converted;
  converted.status = ReadGdSource(result.writtenPath, converted.source);
  if (!converted.status.ok()) return converted;
  converted.extractOptions = ConversionExtractOptions(result);
  converted.firstFrame = firstFrame;
  if (!converted.source.records.empty()) {
    converted.first = DecodeRecord(converted.source, converted.source.records.front(),
                                   converted.extractOptions);
  }
  return converted;
}

DecodedRecord DecodeRecord(const GdSource& source, const GdRecord& record,
                           const ExtractOptions& options) {
  DecodedRecord decoded;
  std::vector<std::uint8_t> pixels;
  PngPicture picture;
  decoded.status = VerifyRecord(source, record, decoded.record, pixels);
  if (decoded.status.ok()) decoded.status = RecordPicture(decoded.record, pixels, options, picture);
  if (decoded.status.ok()) decoded.image = ToQImage(picture);
  return decoded;
}

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("previewView"));
}

void PictureView::SetImage(QImage image) {
  image_ = std::move(image);
  SetZoom(zoom_);
}

void PictureView::SetZoom(int zoom) {
  zoom_ = zoom;
  if (zoom_ > 0 && !image_.isNull()) resize(image_.size() * zoom_);
  updateGeometry();
  update();
}

QSize PictureView::sizeHint() const {
  if (zoom_ > 0 && !image_.isNull()) return image_.size() * zoom_;
  return {kViewMinimumSide, kViewMinimumSide};
}

// Where the picture goes: zoomed from the top left corner, or as large as
// fits, centred.
QRect PictureView::PictureRect() const {
  if (image_.isNull()) return {};
  if (zoom_ > 0) return {QPoint(0, 0), image_.size() * zoom_};
  const QSize fitted = image_.size().scaled(size(), Qt::KeepAspectRatio);
  return {QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
          fitted};
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect target = PictureRect();
  if (target.isEmpty()) return;
  if (image_.hasAlphaChannel()) painter.fillRect(target, CheckerBrush());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image_);
}

PreviewPanel::PreviewPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("previewPanel"));
  titleLabel_ = new QLabel(QStringLiteral("No picture"), this);
  titleLabel_->setObjectName(QStringLiteral("previewTitle"));

  view_ = new PictureView;
  scrollArea_ = new QScrollArea(this);
  scrollArea_->setWidget(view_);
  scrollArea_->setWidgetResizable(true);
  scrollArea_->setAlignment(Qt::AlignCenter);
  scrollArea_->setMinimumSize(kViewMinimumSide, kViewMinimumSide);
  scrollArea_->setFocusPolicy(Qt::NoFocus);

  frameSpin_ = new QSpinBox(this);
  frameSpin_->setObjectName(QStringLiteral("previewFrame"));
  frameSpin_->setEnabled(false);
  zoomCombo_ = new QComboBox(this);
  zoomCombo_->setObjectName(QStringLiteral("previewZoom"));
  for (int zoom : kZooms) {
    zoomCombo_->addItem(zoom == 0 ? QStringLiteral("Fit")
                                  : QString::number(zoom) + QStringLiteral("\u00d7"),
                        zoom);
  }
  figuresLabel_ = new QLabel(this);
  figuresLabel_->setObjectName(QStringLiteral("previewFigures"));
  figuresLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* controls = new QGridLayout;
  controls->addWidget(new QLabel(QStringLiteral("frame"), this), 0, 0);
  controls->addWidget(frameSpin_, 0, 1);
  controls->addWidget(new QLabel(QStringLiteral("zoom"), this), 0, 2);
  controls->addWidget(zoomCombo_, 0, 3);
  controls->setColumnStretch(1, 1);
  controls->setColumnStretch(3, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(titleLabel_);
  layout->addWidget(scrollArea_, 1);
  layout->addLayout(controls);
  layout->addWidget(figuresLabel_);

  connect(frameSpin_, &QSpinBox::valueChanged, this,
          [this](int frame) { ShowFrame(frame); });
  connect(zoomCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    const int zoom = zoomCombo_->itemData(index).toInt();
    scrollArea_->setWidgetResizable(zoom == 0);
    view_->SetZoom(zoom);
  });
}

void PreviewPanel::ShowInput(const std::filesystem::path& picture) {
  source_ = GdSource();
  frameSpin_->setEnabled(false);
  std::vector<std::uint8_t> file;
  Picture read;
  Status status = ReadFileBytes(picture, file);
  if (status.ok()) status = ReadFirstPicture(file, ReadOptions{}, read);
  if (!status.ok()) {
    ShowFailure(QString::fromStdString(status.message()));
    return;
  }
  titleLabel_->setText(QStringLiteral("Input picture"));
  ShowPicture(ShownPicture(read));
  figuresLabel_->setText(SizeText(read.width, read.height) + QStringLiteral(", ") +
                         InputFormatText(read.pixelFormat) +
                         QStringLiteral(" (not converted yet)"));
}

void PreviewPanel::ShowConverted(ConvertedPreview converted) {
  if (!converted.status.ok()) {
    source_ = GdSource();
    ShowFailure(QString::fromStdString(converted.status.message()));
    return;
  }
  source_ = std::move(converted.source);
  extractOptions_ = converted.extractOptions;
  firstFrame_ = converted.firstFrame;
  const int last = firstFrame_ + static_cast<int>(source_.records.size()) - 1;
  {
    const QSignalBlocker blocker(frameSpin_);
    frameSpin_->setRange(firstFrame_, std::max(firstFrame_, last));
    frameSpin_->setValue(firstFrame_);
  }
  frameSpin_->setEnabled(source_.records.size() > 1);
  if (!source_.records.empty()) ShowDecoded(converted.first);
}

void PreviewPanel::ShowRecord(const QString& recordName) {
  const std::string name = (QLatin1Char('_') + recordName).toStdString();
  for (std::size_t index = 0; index < source_.records.size(); ++index) {
    if (source_.records[index].name == name) {
      frameSpin_->setValue(firstFrame_ + static_cast<int>(index));
      return;
    }
  }
}

void PreviewPanel::ShowFrame(int frame) {
  const auto index = static_cast<std::size_t>(frame - firstFrame_);
  if (frame < firstFrame_ || index >= source_.records.size()) return;
  ShowDecoded(DecodeRecord(source_, source_.records[index], extractOptions_));
}

void PreviewPanel::ShowDecoded(const DecodedRecord& decoded) {
  if (!decoded.status.ok()) {
    ShowFailure(QString::fromStdString(decoded.status.message()));
    return;
  }
  const VerifiedRecord& record = decoded.record;
  titleLabel_->setText(QStringLiteral("Decoded from ") +
                       QString::fromStdString(record.record.name));
  view_->SetImage(decoded.image);
  figuresLabel_->setText(
      SizeText(record.record.width, record.record.height) + QStringLiteral(", ") +
      DataFormatText(record.record.dataFormat) + QStringLiteral("\ninput ") +
      QString::number(record.rawBytes) + QStringLiteral(" bytes, stream ") +
      QString::number(record.compressedBytes) + QStringLiteral(" bytes (") +
      Ratio(record.compressedBytes, record.rawBytes) + QStringLiteral(")\n") +
      FileTotals());
}

// "file: 4 records, input 4096 bytes, stream 1020 bytes (24.9%)".
QString PreviewPanel::FileTotals() const {
  std::uint64_t input = 0;
  std::uint64_t stream = 0;
  for (const GdRecord& record : source_.records) {
    input += static_cast<std::uint64_t>(std::max(record.size, 0));
    if (const GdArray* array = source_.FindArray(record.dataName)) {
      stream += array->bytes.size();
    }
  }
  const auto count = static_cast<qsizetype>(source_.records.size());
  return QStringLiteral("file: ") + QString::number(count) +
         (count == 1 ? QStringLiteral(" record") : QStringLiteral(" records")) +
         QStringLiteral(", input ") + QString::number(input) +
         QStringLiteral(" bytes, stream ") + QString::number(stream) +
         QStringLiteral(" bytes (") + Ratio(stream, input) + QLatin1Char(')');
}

void PreviewPanel::ShowPicture(const PngPicture& picture) {
  view_->SetImage(ToQImage(picture));
}

void PreviewPanel::ShowFailure(const QString& message) {
  titleLabel_->setText(QStringLiteral("No preview"));
  view_->SetImage(QImage());
  figuresLabel_->setText(message);
}

}  // namespace krelt
