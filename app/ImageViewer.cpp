#include "app/ImageViewer.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "engine/Errors.h"
#include "imaging/ImageResize2.h"

namespace tintwise {

TImageViewer::TImageViewer(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent); // paintEvent fills every pixel itself
}

void TImageViewer::SetPicture(const TBitmap24 &bitmap) {
  FPicture = bitmap;
  FHasPicture = true;
  UpdateLayout();
  update();
  emit PictureChanged();
}

// Fits the picture into the control less the margins and makes the display copy. A control without
// area keeps the previous layout; a fit with no pixels left after the margins shows nothing and maps
// every point outside the picture.
void TImageViewer::UpdateLayout() {
  const int cw = width(), ch = height();
  if (cw == 0 || ch == 0)
    return;
  int w = 0, h = 0;
  if (!FPicture.Empty()) {
    FitSize(FPicture.Width(), FPicture.Height(), cw, ch, w, h);
    w -= 2 * FMargin;
    h -= 2 * FMargin;
  }
  if (w <= 0 || h <= 0) {
    FDisplay.SetSize(0, 0);
    FScaleX = FScaleY = 0;
    FOffsetX = cw / 2;
    FOffsetY = ch / 2;
    return;
  }
  FScaleX = static_cast<double>(w) / FPicture.Width();
  FScaleY = static_cast<double>(h) / FPicture.Height();
  FOffsetX = (cw - w) / 2;
  FOffsetY = (ch - h) / 2;
  ResizeBitmap(w, h, kLanczos3Filter, 0, FPicture, FDisplay);
}

int TImageViewer::ViewToImage(int v, int offset, double scale, int size) const {
  if (!FHasPicture || !(scale > 0))
    return -1;
  const double p = std::nearbyint((static_cast<double>(v) - offset) / scale);
  if (p >= size)
    return -1;
  return p < INT_MIN ? INT_MIN : static_cast<int>(p);
}

int TImageViewer::ViewToImageX(int x) const { return ViewToImage(x, FOffsetX, FScaleX, FPicture.Width()); }

int TImageViewer::ViewToImageY(int y) const { return ViewToImage(y, FOffsetY, FScaleY, FPicture.Height()); }

QRect TImageViewer::SelectionRect() const {
  return QRect(QPoint(std::min(FSelX1, FSelX2), std::min(FSelY1, FSelY2)),
               QPoint(std::max(FSelX1, FSelX2), std::max(FSelY1, FSelY2)));
}

bool TImageViewer::CropSelection() { return CropFrom(FPicture); }

bool TImageViewer::CropSelection(const TBitmap24 &from) {
  if (from.Width() != FPicture.Width() || from.Height() != FPicture.Height())
    throw EEngineError("The picture to cut the selection from is not the size of the picture on show.");
  return CropFrom(from);
}

bool TImageViewer::CropFrom(const TBitmap24 &picture) {
  if (!FHasSelection)
    return false;
  if (FSelX2 < FSelX1)
    std::swap(FSelX1, FSelX2);
  if (FSelY2 < FSelY1)
    std::swap(FSelY1, FSelY2);
  const QRect r = PictureRect(picture.Width(), picture.Height());
  FSelection = picture.Crop(r.x(), r.y(), r.width(), r.height());
  return true;
}

QRect TImageViewer::PictureRect(int width, int height) const {
  // The snapping of the corners keeps both inside the display; the clamping only matters for a
  // selection that outlived a picture of another size.
  const int sx1 = std::min(FSelX1, FSelX2), sx2 = std::max(FSelX1, FSelX2);
  const int sy1 = std::min(FSelY1, FSelY2), sy2 = std::max(FSelY1, FSelY2);
  const int x1 = std::clamp(ViewToImageX(sx1), 0, width);
  const int x2 = std::clamp(ViewToImageX(sx2), x1, width);
  const int y1 = std::clamp(ViewToImageY(sy1), 0, height);
  const int y2 = std::clamp(ViewToImageY(sy2), y1, height);
  return QRect(x1, y1, x2 - x1, y2 - y1);
}

bool TImageViewer::SelectedPictureRect(QRect &rect) const {
  if (!FHasSelection || !FHasPicture)
    return false;
  rect = PictureRect(FPicture.Width(), FPicture.Height());
  return true;
}

void TImageViewer::ClearSelection() {
  DrawSelectionFrame(true);
  SetHasSelection(false);
}

void TImageViewer::SetHasSelection(bool value) {
  if (value == FHasSelection)
    return;
  FHasSelection = value;
  if (FOnSelectionChange)
    FOnSelectionChange(*this);
  emit SelectionChanged();
}

// The frame is painted by paintEvent whenever a selection exists; drawing or erasing it repaints
// the one-pixel strips under its outline.
void TImageViewer::DrawSelectionFrame(bool erase) {
  if (!FHasSelection || (erase && !FFrameDrawn))
    return;
  const QRect r = SelectionRect();
  update(QRegion(r.adjusted(-1, -1, 1, 1)).subtracted(QRegion(r.adjusted(1, 1, -1, -1))));
  FFrameDrawn = !erase;
}

void TImageViewer::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  if (!FHasPicture)
    return;
  if (!FDisplay.Empty()) {
    const QImage image(FDisplay.Bits(), FDisplay.Width(), FDisplay.Height(), FDisplay.Stride(),
                       QImage::Format_BGR888);
    painter.drawImage(FOffsetX, FOffsetY, image);
  }
  if (FHasSelection) {
    // A dotted grey outline XORed with the picture stays visible on light and dark areas alike.
    QPen pen(QColor(128, 128, 128), 0, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QRect r = SelectionRect();
    painter.drawRect(r.x(), r.y(), r.width() - 1, r.height() - 1);
    FFrameDrawn = true;
  }
}

void TImageViewer::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  if (FHasPicture) {
    try {
      UpdateLayout();
    } catch (...) {
      FDisplay.SetSize(0, 0); // nothing shown rather than an exception in the event loop
    }
    ClearSelection();
  }
}

void TImageViewer::mousePressEvent(QMouseEvent *event) {
  const QPoint pos = event->position().toPoint();
  if (FOnMouseDown)
    FOnMouseDown(*this, event->button(), pos.x(), pos.y());
  if (event->button() != Qt::LeftButton)
    return;
  DrawSelectionFrame(true);
  SetHasSelection(false);
  FSelX1 = pos.x();
  FSelY1 = pos.y();
  if (ViewToImageX(FSelX1) < 0)
    FSelX1 = FOffsetX;
  if (ViewToImageY(FSelY1) < 0)
    FSelY1 = FOffsetY;
  FDragging = true;
}

void TImageViewer::mouseMoveEvent(QMouseEvent *event) {
  if (event->buttons() != Qt::LeftButton || event->modifiers() != Qt::NoModifier || !FDragging)
    return;
  const QPoint pos = event->position().toPoint();
  DrawSelectionFrame(true);
  FSelX2 = pos.x();
  FSelY2 = pos.y();
  if (ViewToImageX(FSelX2) < 0)
    FSelX2 = FOffsetX + FDisplay.Width() - 1;
  if (ViewToImageY(FSelY2) < 0)
    FSelY2 = FOffsetY + FDisplay.Height() - 1;
  SetHasSelection(true);
  DrawSelectionFrame(false);
}

void TImageViewer::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton)
    FDragging = false;
  if (FSelX1 == FSelX2 || FSelY1 == FSelY2)
    ClearSelection();
  else if (FHasSelection && event->button() == Qt::LeftButton)
    emit SelectionChanged();
}

} // namespace tintwise
