#include "app/preview_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <utility>

#include "app/qt_text.h"

namespace krelt {
namespace {

QBrush CheckerBrush() {
  QPixmap tile(2 * kCheckerSquare, 2 * kCheckerSquare);
  tile.fill(QColor::fromRgb(kCheckerLight));
  QPainter painter(&tile);
  const QColor dark = QColor::fromRgb(kCheckerDark);
  painter.fillRect(0, 0, kCheckerSquare, kCheckerSquare, dark);
  painter.fillRect(kCheckerSquare, kCheckerSquare, kCheckerSquare, kCheckerSquare, dark);
  return QBrush(tile);
}

QSize ToQSize(Extent extent) { return {extent.width, extent.height}; }

}  // namespace

// The QImage keeps the screen image alive for as long as any copy of it.
QImage ToQImage(std::shared_ptr<const ScreenImage> image) {
  if (image == nullptr || image->pixels.empty()) return {};
  const auto* pixels = reinterpret_cast<const uchar*>(image->pixels.data());
  const QImage::Format format =
      image->hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
  const int width = image->width;
  const int height = image->height;
  return QImage(
      pixels, width, height, static_cast<qsizetype>(width) * 4, format,
      [](void* owner) { delete static_cast<std::shared_ptr<const ScreenImage>*>(owner); },
      new std::shared_ptr<const ScreenImage>(std::move(image)));
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
  if (zoom_ > 0 && !image_.isNull()) resize(ToQSize(PictureViewSize(ImageExtent(), zoom_)));
  updateGeometry();
  update();
}

QSize PictureView::sizeHint() const { return ToQSize(PictureViewSize(ImageExtent(), zoom_)); }

Extent PictureView::ImageExtent() const { return {image_.width(), image_.height()}; }

void PictureView::paintEvent(QPaintEvent*) {
  const Placement placement = PictureRect(ImageExtent(), zoom_, {width(), height()});
  const QRect target(placement.x, placement.y, placement.size.width, placement.size.height);
  if (target.isEmpty()) return;
  QPainter painter(this);
  if (image_.hasAlphaChannel()) painter.fillRect(target, CheckerBrush());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image_);
}

PreviewPanel::PreviewPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("previewPanel"));
  titleLabel_ = new QLabel(this);
  titleLabel_->setObjectName(QStringLiteral("previewTitle"));

  view_ = new PictureView;
  scrollArea_ = new QScrollArea(this);
  scrollArea_->setWidget(view_);
  scrollArea_->setWidgetResizable(true);
  scrollArea_->setAlignment(Qt::AlignCenter);
  scrollArea_->setMinimumSize(kPreviewMinimumSide, kPreviewMinimumSide);
  scrollArea_->setFocusPolicy(Qt::NoFocus);

  frameSpin_ = new QSpinBox(this);
  frameSpin_->setObjectName(QStringLiteral("previewFrame"));
  zoomCombo_ = new QComboBox(this);
  zoomCombo_->setObjectName(QStringLiteral("previewZoom"));
  for (const ZoomChoice& zoom : kZoomChoices) {
    zoomCombo_->addItem(ToQString(zoom.text), zoom.factor);
  }
  figuresLabel_ = new QLabel(this);
  figuresLabel_->setObjectName(QStringLiteral("previewFigures"));
  figuresLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* controls = new QGridLayout;
  controls->addWidget(new QLabel(ToQString(kFrameLabel), this), 0, 0);
  controls->addWidget(frameSpin_, 0, 1);
  controls->addWidget(new QLabel(ToQString(kZoomLabel), this), 0, 2);
  controls->addWidget(zoomCombo_, 0, 3);
  controls->setColumnStretch(1, 1);
  controls->setColumnStretch(3, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(titleLabel_);
  layout->addWidget(scrollArea_, 1);
  layout->addLayout(controls);
  layout->addWidget(figuresLabel_);

  connect(frameSpin_, &QSpinBox::valueChanged, this, &PreviewPanel::frameChosen);
  connect(zoomCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    const int zoom = zoomCombo_->itemData(index).toInt();
    scrollArea_->setWidgetResizable(zoom == 0);
    view_->SetZoom(zoom);
  });
}

// The frame box changes without telling anyone what it was told.
void PreviewPanel::Show(const PreviewScreen& screen) {
  titleLabel_->setText(ToQString(screen.title));
  if (screen.image != shownImage_) {
    shownImage_ = screen.image;
    view_->SetImage(ToQImage(shownImage_));
  }
  figuresLabel_->setText(ToQString(screen.figures));
  {
    const QSignalBlocker blocker(frameSpin_);
    frameSpin_->setRange(screen.frames.first, screen.frames.last);
    frameSpin_->setValue(screen.frames.value);
  }
  frameSpin_->setEnabled(screen.frames.enabled);
}

}  // namespace krelt
