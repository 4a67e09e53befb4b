// Shared set-up of the window tests: one QApplication for the whole test program, a settings store
// in a temporary folder, test pictures, helpers that drive widgets with real mouse events, and the
// main window with its pictures opened as a user opens them.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/TipsForm.h"
#include "engine/Bitmap24.h"

// Readable test failures for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace tintwise::test {

class TQtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
      qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_tests";
    static char *argv[] = {name, nullptr};
    App = std::make_unique<QApplication>(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Oxelsoft"));
    QApplication::setApplicationName(QStringLiteral("Tintwise"));
    SettingsDir = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(SettingsDir->isValid());
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
      QSettings::setPath(format, QSettings::UserScope, SettingsDir->path());
  }
  void TearDown() override {
    SettingsDir.reset();
    App.reset();
  }
  std::unique_ptr<QApplication> App;
  std::unique_ptr<QTemporaryDir> SettingsDir;
};

// Writes `DoNotShowTips` (or removes it with -1) in the test's settings store.
inline void SetDoNotShowTips(int value) {
  QSettings settings;
  if (value < 0)
    settings.remove(QStringLiteral("DoNotShowTips"));
  else
    settings.setValue(QStringLiteral("DoNotShowTips"), value);
}

// A smoothly varying picture with some texture; `seed` changes its colours.
inline TBitmap24 TestPicture(int width, int height, int seed) {
  TBitmap24 bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, static_cast<std::uint8_t>(x * 255 / std::max(width - 1, 1) + seed * 37 + (x * 7 + y * 3) % 11),
                      static_cast<std::uint8_t>(y * 255 / std::max(height - 1, 1) + seed * 53 + (x * 5 + y * 13) % 17),
                      static_cast<std::uint8_t>((x + y) * 128 / (width + height) + seed * 91 + x * y % 23));
  return bitmap;
}

inline QByteArray ReadAll(const QString &file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the event loop until done() holds or the time is up; answers done().
inline bool WaitUntil(const std::function<bool()> &done, int milliseconds = 30000) {
  return QTest::qWaitFor(done, milliseconds);
}

// Presses the button at `from`, moves in a few steps to `to` and releases there.
inline void Drag(QWidget *widget, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                 Qt::MouseButton button = Qt::LeftButton) {
  QTest::mousePress(widget, button, modifiers, from);
  for (int step = 1; step <= 4; ++step) {
    const QPoint p = from + (to - from) * step / 4;
    QMouseEvent move(QEvent::MouseMove, p, widget->mapToGlobal(p), Qt::NoButton, button, modifiers);
    QApplication::sendEvent(widget, &move);
  }
  QTest::mouseRelease(widget, button, modifiers, to);
}

// Runs action and calls inside on each modal window of type T it opens; returns how many opened.
template <class T> int OnModal(const std::function<void()> &action, const std::function<void(T *)> &inside) {
  int opened = 0;
  bool busy = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
    if (window && !busy) {
      busy = true;
      ++opened;
      inside(window);
      busy = false;
    }
  });
  timer.start(10);
  action();
  return opened;
}

struct TMessage {
  bool Shown = false;
  QString Title, Text;
};

// Runs action and closes the message boxes it shows, reporting the last one's title and text.
inline TMessage CatchMessageBox(const std::function<void()> &action) {
  TMessage message;
  message.Shown = OnModal<QMessageBox>(action, [&](QMessageBox *box) {
                    message.Title = box->windowTitle();
                    message.Text = box->text();
                    box->done(QMessageBox::Ok);
                  }) > 0;
  return message;
}

inline void Click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

using TBox = std::array<double, 4>; // x1, y1, x2, y2 as fractions of the shown picture

// The view position of a point given as fractions of the shown picture.
inline QPoint At(TImageViewer *v, double fx, double fy) {
  return QPoint(v->OffsetX() + static_cast<int>(fx * (v->Display().Width() - 1)),
                v->OffsetY() + static_cast<int>(fy * (v->Display().Height() - 1)));
}

inline void Select(TImageViewer *v, TBox b) {
  Drag(v, At(v, b[0], b[1]), At(v, b[2], b[3]));
  ASSERT_TRUE(v->HasSelection());
}

// The part of the picture the viewer's selection covers, from the view positions of its corners.
inline QRect PictureRect(TImageViewer *v) {
  const QRect r = v->SelectionRect();
  const int x1 = v->ViewToImageX(r.left()), y1 = v->ViewToImageY(r.top());
  return QRect(x1, y1, v->ViewToImageX(r.right()) - x1, v->ViewToImageY(r.bottom()) - y1);
}

// The main window with no tips, and an open-picture dialog that answers the files in `chosen`.
struct TWindowFixture : ::testing::Test {
  QTemporaryDir dir;
  QStringList chosen;
  TfrmMain frm;
  std::unique_ptr<TfrmTips> tips;

  TWindowFixture() {
    SetDoNotShowTips(1);
    RestartTips();
    frm.OpenPictureChooser = [this] { return chosen.isEmpty() ? QString() : chosen.takeFirst(); };
    frm.resize(1200, 760);
    frm.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frm));
  }
  void RestartTips() {
    tips.reset();
    tips = std::make_unique<TfrmTips>(&frm);
  }
  QString Save(const char *name, const TBitmap24 &picture) const {
    const QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(QImage(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(), QImage::Format_BGR888)
                    .save(path));
    return path;
  }
  // Opens a file as the user would and waits until it has loaded or failed.
  void Open(QAbstractButton *button, const QString &file) {
    chosen << file;
    Click(button);
    EXPECT_TRUE(WaitUntil([&] { return !frm.Loading(); }));
  }
  void OpenBoth(const QString &reference, const QString &source) {
    Open(frm.sbnOpenRefImage, reference);
    Open(frm.sbnOpenSourceImage, source);
  }
};

} // namespace tintwise::test
