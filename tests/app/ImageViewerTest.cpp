#include <QImage>

#include "AppTestSupport.h"
#include "engine/Errors.h"

namespace tintwise {
namespace {

using namespace test;

struct TViewerFixture : ::testing::Test {
  TImageViewer viewer;
  int changes = 0;
  TViewerFixture() {
    viewer.resize(300, 200);
    viewer.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    viewer.SetSelectionChangeHandler([this](TImageViewer &) { ++changes; });
  }
};

TEST_F(TViewerFixture, FitsCentresKeepsTheMarginsAndDragsSnapToThePicture) {
  EXPECT_EQ(std::pair(viewer.ViewToImageX(150), viewer.ViewToImageY(100)), std::pair(-1, -1)); // no picture yet
  struct {
    int w, h, dw, dh, offX, offY; // picture, display, offset
  } fits[] = {
      {100, 50, 96, 46, 102, 77},  // smaller than the control: own size less the margins
      {600, 100, 296, 46, 2, 77},  // wider: shrunk to the width, aspect kept
      {600, 300, 296, 146, 2, 27}, // both larger
      {150, 400, 71, 196, 114, 2}, // taller: 150 x 400 fits as 75 x 200
  };
  for (const auto &c : fits) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    viewer.SetPicture(TestPicture(c.w, c.h, 1));
    EXPECT_EQ(QRect(viewer.OffsetX(), viewer.OffsetY(), viewer.Display().Width(), viewer.Display().Height()),
              QRect(c.offX, c.offY, c.dw, c.dh));
    EXPECT_DOUBLE_EQ(viewer.ScaleX(), static_cast<double>(c.dw) / c.w);
    // The display's first column is picture column 0; beyond the last gives -1.
    EXPECT_EQ(std::tuple(viewer.ViewToImageX(c.offX), viewer.ViewToImageY(c.offY), viewer.ViewToImageX(c.offX + c.dw),
                         viewer.ViewToImageY(c.offY + c.dh)),
              std::tuple(0, 0, -1, -1));
    EXPECT_LT(viewer.ViewToImageX(c.offX - 1), 0);
    const int last = viewer.ViewToImageX(c.offX + c.dw - 1);
    EXPECT_TRUE(last >= c.w - 3 && last < c.w) << last;
  }

  // 600 x 300 shows as 296 x 146 at 2, 27: a view point maps to picture column (x - 2) * 600 / 296
  // and row (y - 27) * 300 / 146, rounded to the nearest.
  const TBitmap24 picture = TestPicture(600, 300, 2);
  viewer.SetPicture(picture);
  const QPoint bottomRight(297, 172), topLeft(2, 27);
  struct {
    QPoint from, to;
    QRect expected, crop; // in view and in picture coordinates
  } drags[] = {
      {{50, 50}, {299, 199}, QRect(QPoint(50, 50), bottomRight), {97, 47, 501, 251}}, // beyond right and bottom
      // Left of and above: snaps right, down.
      {{150, 100}, {0, 5}, QRect(QPoint(150, 100), bottomRight), {300, 150, 298, 148}},
      {{0, 3}, {100, 90}, QRect(topLeft, QPoint(100, 90)), {0, 0, 199, 129}}, // an anchor outside snaps to the edges
      {{60, 40}, {250, 150}, QRect(60, 40, 191, 111), {118, 27, 385, 226}},
      {{250, 150}, {60, 40}, QRect(60, 40, 191, 111), {118, 27, 385, 226}}, // right to left: the same region
  };
  for (const auto &c : drags) {
    SCOPED_TRACE(testing::Message() << "drag to " << c.to.x() << "," << c.to.y());
    Drag(&viewer, c.from, c.to);
    ASSERT_TRUE(viewer.HasSelection());
    EXPECT_EQ(viewer.SelectionRect(), c.expected);
    ASSERT_TRUE(viewer.CropSelection());
    EXPECT_TRUE(viewer.Selection().SamePixels(picture.Crop(c.crop.x(), c.crop.y(), c.crop.width(), c.crop.height())));
  }

  // Cut from another picture of the same size (the uncorrected one behind a preview).
  const TBitmap24 other = TestPicture(600, 300, 4);
  ASSERT_TRUE(viewer.CropSelection(other));
  EXPECT_TRUE(viewer.Selection().SamePixels(other.Crop(118, 27, 385, 226)));
  EXPECT_THROW(viewer.CropSelection(TestPicture(10, 10, 1)), EEngineError);
  // Without a selection nothing is cut and the last crop stays.
  const TBitmap24 last = viewer.Selection();
  QTest::mouseClick(&viewer, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_FALSE(viewer.CropSelection());
  EXPECT_TRUE(viewer.Selection().SamePixels(last));
  viewer.resize(0, 200); // no area: the layout stays
  EXPECT_EQ(viewer.Display().Width(), 296);
  viewer.resize(3, 200); // fitted width less the margins is negative
  EXPECT_TRUE(viewer.Display().Empty());
  EXPECT_EQ(viewer.ViewToImageX(1), -1);
}

TEST_F(TViewerFixture, OnlyAPlainLeftDragWithWidthSelects) {
  viewer.SetPicture(TestPicture(600, 300, 1));
  QTest::mouseClick(&viewer, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_EQ(changes, 0);
  // A drag that comes back to its own column has no width: made by the first move, dropped on release.
  Drag(&viewer, QPoint(100, 60), QPoint(100, 120));
  EXPECT_EQ(changes, 2);
  // Shift and the right button report the press but never select.
  std::vector<Qt::MouseButton> pressed;
  viewer.SetMouseDownHandler([&](TImageViewer &, Qt::MouseButton button, int, int) { pressed.push_back(button); });
  Drag(&viewer, QPoint(50, 50), QPoint(200, 150), Qt::ShiftModifier);
  Drag(&viewer, QPoint(50, 50), QPoint(150, 120), Qt::NoModifier, Qt::RightButton);
  EXPECT_FALSE(viewer.HasSelection());
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(pressed, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton}));

  // A selection shows as a dotted frame along its edges, and clearing it erases the frame.
  const QImage before = viewer.grab().toImage();
  Drag(&viewer, QPoint(60, 40), QPoint(250, 150));
  const QImage framed = viewer.grab().toImage();
  int changed = 0;
  for (int x = 60; x <= 250; ++x)
    changed += framed.pixel(x, 40) != before.pixel(x, 40);
  EXPECT_GT(changed, 50);
  EXPECT_EQ(framed.pixel(150, 100), before.pixel(150, 100)); // the inside is left alone
  viewer.ClearSelection();
  EXPECT_EQ(viewer.grab().toImage(), before);
  EXPECT_EQ(changes, 4);
}

} // namespace
} // namespace tintwise
