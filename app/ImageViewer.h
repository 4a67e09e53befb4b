// The zooming image viewer: shows one picture shrunk to fit and centred, lets the user drag a
// rectangle over it with the left mouse button and cuts the selected region of the full-resolution
// picture out into a bitmap of its own.
#pragma once

#include <QWidget>

#include <functional>

#include "engine/Bitmap24.h"

namespace tintwise {

class TImageViewer : public QWidget {
  Q_OBJECT

public:
  // Told whenever HasSelection changes.
  using TSelectionChangeHandler = std::function<void(TImageViewer &viewer)>;
  // Told about every mouse press, before the viewer starts a selection.
  using TMouseDownHandler = std::function<void(TImageViewer &viewer, Qt::MouseButton button, int x, int y)>;

  explicit TImageViewer(QWidget *parent = nullptr);

  // Copies the bitmap, lays it out and repaints. The selection is kept.
  void SetPicture(const TBitmap24 &bitmap);

  // The picture column (row) under a view x (y): -1 without a picture or beyond the right
  // (bottom) edge, some other negative value left of (above) it.
  int ViewToImageX(int x) const;
  int ViewToImageY(int y) const;

  // Normalises the selection and copies the selected picture region into Selection(); answers
  // false, leaving Selection() alone, when there is no selection.
  bool CropSelection();
  // The same, but cuts the region out of `from`, a picture of the same size as the one shown (the
  // uncorrected source while the view shows its preview). Raises EEngineError for another size.
  bool CropSelection(const TBitmap24 &from);

  void ClearSelection();

  // The selected rectangle in picture pixels, clipped to the picture, as CropSelection would cut
  // it; false without a selection or a picture.
  bool SelectedPictureRect(QRect &rect) const;

  void SetSelectionChangeHandler(TSelectionChangeHandler handler) { FOnSelectionChange = std::move(handler); }
  void SetMouseDownHandler(TMouseDownHandler handler) { FOnMouseDown = std::move(handler); }

  bool HasPicture() const { return FHasPicture; }
  bool HasSelection() const { return FHasSelection; }
  const TBitmap24 &Selection() const { return FSelection; }
  // The picture whose coordinates the selection refers to; its pixels may be replaced by another
  // picture of the same size without a new layout.
  TBitmap24 &Picture() { return FPicture; }
  const TBitmap24 &Picture() const { return FPicture; }
  const TBitmap24 &Display() const { return FDisplay; }

  int Margin() const { return FMargin; }
  int OffsetX() const { return FOffsetX; }
  int OffsetY() const { return FOffsetY; }
  double ScaleX() const { return FScaleX; }
  double ScaleY() const { return FScaleY; }
  // The selection rectangle in view coordinates, corners as the user dragged them.
  QRect SelectionRect() const;

signals:
  // The picture on show was replaced (a new picture, the preview, the uncorrected source).
  void PictureChanged();
  // A selection appeared, was finished by releasing the mouse, or went away.
  void SelectionChanged();

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  void UpdateLayout();
  void DrawSelectionFrame(bool erase);
  void SetHasSelection(bool value);
  int ViewToImage(int v, int offset, double scale, int size) const;
  bool CropFrom(const TBitmap24 &picture);
  QRect PictureRect(int width, int height) const;

  TBitmap24 FPicture;
  TBitmap24 FDisplay;
  TBitmap24 FSelection;
  bool FHasPicture = false;
  int FMargin = 2;
  double FScaleY = 0;
  double FScaleX = 0;
  int FOffsetY = 0;
  int FOffsetX = 0;
  int FSelX1 = 0, FSelX2 = 0;
  int FSelY1 = 0, FSelY2 = 0;
  bool FHasSelection = false;
  bool FFrameDrawn = false;
  bool FDragging = false;
  TSelectionChangeHandler FOnSelectionChange;
  TMouseDownHandler FOnMouseDown;
};

} // namespace tintwise
