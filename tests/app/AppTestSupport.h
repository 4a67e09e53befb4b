// Shared set-up of the window tests: one QApplication for the whole test program, a settings store
// in a temporary folder, test pictures, and helpers that drive widgets with real mouse events.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/Bitmap24.h"

// Readable test failures for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace tintwise::test {

class TQtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
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
  QSettings settings(QStringLiteral("Oxelsoft"), QStringLiteral("Tintwise"));
  if (value < 0)
    settings.remove(QStringLiteral("DoNotShowTips"));
  else
    settings.setValue(QStringLiteral("DoNotShowTips"), value);
  settings.sync();
}

// A smoothly varying picture with some texture; `seed` changes its colours.
inline TBitmap24 TestPicture(int width, int height, int seed) {
  TBitmap24 bitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int r = (x * 255 / std::max(width - 1, 1) + seed * 37 + ((x * 7 + y * 3) % 11)) % 256;
      const int g = (y * 255 / std::max(height - 1, 1) + seed * 53 + ((x * 5 + y * 13) % 17)) % 256;
      const int b = ((x + y) * 128 / std::max(width + height, 1) + seed * 91 + ((x * y) % 23)) % 256;
      bitmap.SetPixel(x, y, static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
    }
  return bitmap;
}

inline QImage ToImage(const TBitmap24 &bitmap) {
  return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_BGR888).copy();
}

inline QString SavePicture(const QTemporaryDir &dir, const QString &name, const TBitmap24 &bitmap) {
  const QString path = dir.filePath(name);
  EXPECT_TRUE(ToImage(bitmap).save(path));
  return path;
}

// Presses the left button at `from`, moves in a few steps to `to` and releases there.
inline void Drag(QWidget *widget, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::mousePress(widget, Qt::LeftButton, modifiers, from);
  for (int step = 1; step <= 4; ++step) {
    const QPoint p = from + (to - from) * step / 4;
    QMouseEvent move(QEvent::MouseMove, p, widget->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &move);
  }
  QTest::mouseRelease(widget, Qt::LeftButton, modifiers, to);
}

struct TMessage {
  bool Shown = false;
  QString Title;
  QString Text;
};

// Runs action and closes the first message box it shows, reporting its title and text.
inline TMessage CatchMessageBox(const std::function<void()> &action) {
  TMessage message;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      message.Shown = true;
      message.Title = box->windowTitle();
      message.Text = box->text();
      box->done(QMessageBox::Ok);
    }
  });
  timer.start();
  action();
  timer.stop();
  return message;
}

// Runs `inside` once the modal window of type T that action opens is up, then returns when action
// does.
template <class T> void WithModal(const std::function<void()> &action, const std::function<void(T *)> &inside) {
  bool done = false;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (done)
      return;
    if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
      done = true;
      inside(window);
    }
  });
  timer.start();
  action();
  timer.stop();
  EXPECT_TRUE(done) << "the modal window did not open";
}

} // namespace tintwise::test
