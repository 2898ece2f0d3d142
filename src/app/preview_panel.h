#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "front/preview_model.h"

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace krelt {

// The screen image as a QImage sharing its pixels; null without pixels.
QImage ToQImage(std::shared_ptr<const ScreenImage> image);

// A picture drawn where PictureRect places it, nearest neighbour, over a
// checkerboard when it has alpha. Zoom 0 fits the picture into the widget.
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
  Extent ImageExtent() const;

  QImage image_;
  int zoom_ = 0;
};

// The preview pane: the picture, the frame and zoom boxes and the figures,
// as PreviewModel gives them.
class PreviewPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPanel(QWidget* parent = nullptr);

  void Show(const PreviewScreen& screen);

 signals:
  // The user changed the frame box.
  void frameChosen(int frame);

 private:
  PictureView* view_ = nullptr;
  QScrollArea* scrollArea_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QSpinBox* frameSpin_ = nullptr;
  QComboBox* zoomCombo_ = nullptr;
  QLabel* figuresLabel_ = nullptr;
  std::shared_ptr<const ScreenImage> shownImage_;
};

}  // namespace krelt
