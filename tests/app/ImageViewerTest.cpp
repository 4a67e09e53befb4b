#include <QImage>

#include "AppTestSupport.h"
#include "app/ImageViewer.h"
#include "engine/Errors.h"

namespace tintwise {
namespace {

using test::Drag;
using test::TestPicture;

struct TViewerFixture : ::testing::Test {
  TImageViewer viewer;
  int changes = 0;
  TViewerFixture() {
    viewer.resize(300, 200);
    viewer.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    viewer.SetSelectionChangeHandler([this](TImageViewer &) { ++changes; });
  }
  // The crop the viewer should cut for the view corners (x1, y1) and (x2, y2), given in order.
  TBitmap24 ExpectedCrop(const TBitmap24 &picture, QPoint a, QPoint b) {
    const int x1 = viewer.ViewToImageX(a.x()), y1 = viewer.ViewToImageY(a.y());
    const int x2 = viewer.ViewToImageX(b.x()), y2 = viewer.ViewToImageY(b.y());
    return picture.Crop(x1, y1, x2 - x1, y2 - y1);
  }
};

TEST_F(TViewerFixture, FitsCentresAndKeepsTheMargins) {
  struct TCase {
    int w, h;          // picture
    int dw, dh;        // display
    int offX, offY;
  } cases[] = {
      {100, 50, 96, 46, 102, 77},  // smaller than the control: own size less the margins
      {600, 100, 296, 46, 2, 77},  // wider: shrunk to the width, aspect kept
      {600, 300, 296, 146, 2, 27}, // both larger
      {150, 400, 71, 196, 114, 2}, // taller: 150 x 400 fits as 75 x 200
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
    viewer.SetPicture(TestPicture(c.w, c.h, 1));
    EXPECT_EQ(viewer.Display().Width(), c.dw);
    EXPECT_EQ(viewer.Display().Height(), c.dh);
    EXPECT_EQ(viewer.OffsetX(), c.offX);
    EXPECT_EQ(viewer.OffsetY(), c.offY);
    EXPECT_DOUBLE_EQ(viewer.ScaleX(), static_cast<double>(c.dw) / c.w);
    // The mapping: the display's first column is picture column 0, beyond the last gives -1.
    EXPECT_EQ(viewer.ViewToImageX(c.offX), 0);
    EXPECT_EQ(viewer.ViewToImageY(c.offY), 0);
    EXPECT_GE(viewer.ViewToImageX(c.offX + c.dw - 1), c.w - 3); // the last displayed column
    EXPECT_LT(viewer.ViewToImageX(c.offX + c.dw - 1), c.w);
    EXPECT_EQ(viewer.ViewToImageX(c.offX + c.dw), -1);
    EXPECT_EQ(viewer.ViewToImageY(c.offY + c.dh), -1);
    EXPECT_LT(viewer.ViewToImageX(c.offX - 1), 0);
  }
}

TEST_F(TViewerFixture, MapsNothingWithoutAPictureOrWithoutRoom) {
  EXPECT_EQ(viewer.ViewToImageX(150), -1);
  EXPECT_EQ(viewer.ViewToImageY(100), -1);
  viewer.SetPicture(TestPicture(600, 300, 1));
  viewer.resize(3, 200); // fitted width less the margins is negative
  EXPECT_TRUE(viewer.Display().Empty());
  EXPECT_EQ(viewer.ViewToImageX(1), -1);
  viewer.resize(0, 200); // no area: the layout stays
  viewer.resize(300, 200);
  EXPECT_EQ(viewer.Display().Width(), 296);
}

TEST_F(TViewerFixture, PressAndReleaseWithoutMovingSelectsNothing) {
  viewer.SetPicture(TestPicture(600, 300, 1));
  QTest::mouseClick(&viewer, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_FALSE(viewer.HasSelection());
  EXPECT_EQ(changes, 0);
  // A drag that comes back to its own column has no width and is dropped on release.
  Drag(&viewer, QPoint(100, 60), QPoint(100, 120));
  EXPECT_FALSE(viewer.HasSelection());
  EXPECT_EQ(changes, 2); // made by the first move, dropped by the release
}

TEST_F(TViewerFixture, DragSnapsCornersOutsideThePicture) {
  const TBitmap24 picture = TestPicture(600, 300, 2);
  viewer.SetPicture(picture);
  const int right = viewer.OffsetX() + viewer.Display().Width() - 1;
  const int bottom = viewer.OffsetY() + viewer.Display().Height() - 1;
  struct TCase {
    QPoint from, to;
    QRect expected; // selection in view coordinates
  } cases[] = {
      // beyond the right and bottom edges: up to the last displayed column and row
      {{50, 50}, {299, 199}, QRect(QPoint(50, 50), QPoint(right, bottom))},
      // to the left of and above the picture: the moving corner also snaps right and down
      {{150, 100}, {0, 5}, QRect(QPoint(150, 100), QPoint(right, bottom))},
      // an anchor outside the picture snaps to the left and top edges
      {{0, 3}, {100, 90}, QRect(QPoint(viewer.OffsetX(), viewer.OffsetY()), QPoint(100, 90))},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(testing::Message() << "drag to " << c.to.x() << "," << c.to.y());
    Drag(&viewer, c.from, c.to);
    ASSERT_TRUE(viewer.HasSelection());
    EXPECT_EQ(viewer.SelectionRect(), c.expected);
    ASSERT_TRUE(viewer.CropSelection());
    EXPECT_TRUE(viewer.Selection().SamePixels(ExpectedCrop(picture, c.expected.topLeft(), c.expected.bottomRight())));
  }
  // The last displayed column maps inside the picture; the crop stops before it.
  EXPECT_GE(viewer.ViewToImageX(right), 0);
  EXPECT_LT(viewer.ViewToImageX(right), picture.Width());
}

TEST_F(TViewerFixture, RightToLeftDragCropsTheSameRegion) {
  const TBitmap24 picture = TestPicture(600, 300, 3);
  viewer.SetPicture(picture);
  Drag(&viewer, QPoint(60, 40), QPoint(250, 150));
  ASSERT_TRUE(viewer.CropSelection());
  const TBitmap24 forward = viewer.Selection();
  Drag(&viewer, QPoint(250, 150), QPoint(60, 40));
  ASSERT_TRUE(viewer.CropSelection());
  EXPECT_TRUE(viewer.Selection().SamePixels(forward));
  EXPECT_EQ(forward.Width(), viewer.ViewToImageX(250) - viewer.ViewToImageX(60));
  EXPECT_EQ(forward.Height(), viewer.ViewToImageY(150) - viewer.ViewToImageY(40));

  // Without a selection nothing is cut and the last crop stays.
  QTest::mouseClick(&viewer, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  EXPECT_FALSE(viewer.CropSelection());
  EXPECT_TRUE(viewer.Selection().SamePixels(forward));

  // Cut from another picture of the same size (the uncorrected one behind a preview).
  const TBitmap24 other = TestPicture(600, 300, 4);
  Drag(&viewer, QPoint(60, 40), QPoint(250, 150));
  ASSERT_TRUE(viewer.CropSelection(other));
  EXPECT_TRUE(viewer.Selection().SamePixels(
      other.Crop(viewer.ViewToImageX(60), viewer.ViewToImageY(40), forward.Width(), forward.Height())));
  EXPECT_THROW(viewer.CropSelection(TestPicture(10, 10, 1)), EEngineError);
}

TEST_F(TViewerFixture, OnlyAPlainLeftDragSelects) {
  viewer.SetPicture(TestPicture(600, 300, 1));
  std::vector<Qt::MouseButton> pressed;
  viewer.SetMouseDownHandler([&](TImageViewer &, Qt::MouseButton button, int, int) { pressed.push_back(button); });
  Drag(&viewer, QPoint(50, 50), QPoint(200, 150), Qt::ShiftModifier);
  EXPECT_FALSE(viewer.HasSelection());
  QTest::mousePress(&viewer, Qt::RightButton, Qt::NoModifier, QPoint(50, 50));
  QMouseEvent move(QEvent::MouseMove, QPointF(150, 120), viewer.mapToGlobal(QPointF(150, 120)), Qt::NoButton,
                   Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(&viewer, &move);
  QTest::mouseRelease(&viewer, Qt::RightButton, Qt::NoModifier, QPoint(150, 120));
  EXPECT_FALSE(viewer.HasSelection());
  EXPECT_EQ(pressed, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton}));
}

TEST_F(TViewerFixture, SelectionSurvivesANewPictureButNotAResize) {
  viewer.SetPicture(TestPicture(600, 300, 1));
  Drag(&viewer, QPoint(50, 50), QPoint(200, 150));
  EXPECT_EQ(changes, 1);
  viewer.SetPicture(TestPicture(600, 300, 5));
  EXPECT_TRUE(viewer.HasSelection());
  viewer.resize(320, 200);
  EXPECT_FALSE(viewer.HasSelection());
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(viewer.Display().Width(), 316);
}

TEST_F(TViewerFixture, FrameIsVisibleAndErasable) {
  viewer.SetPicture(TestPicture(600, 300, 6));
  const QImage before = viewer.grab().toImage();
  // The picture is painted as the display copy, at its offset.
  const TBitmap24 &display = viewer.Display();
  std::uint8_t r, g, b;
  display.GetPixel(10, 10, r, g, b);
  EXPECT_EQ(before.pixelColor(viewer.OffsetX() + 10, viewer.OffsetY() + 10), QColor(r, g, b));

  Drag(&viewer, QPoint(60, 40), QPoint(250, 150));
  const QImage framed = viewer.grab().toImage();
  int changed = 0;
  for (int x = 60; x <= 250; ++x)
    changed += framed.pixel(x, 40) != before.pixel(x, 40);
  EXPECT_GT(changed, 50); // a dotted line along the top edge
  EXPECT_EQ(framed.pixel(150, 100), before.pixel(150, 100)); // the inside is left alone

  viewer.ClearSelection();
  EXPECT_EQ(viewer.grab().toImage(), before);
}

} // namespace
} // namespace tintwise
