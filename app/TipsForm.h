// The tips window: three pages that explain the workflow, and the preference not to show them by
// themselves after Apply.
#pragma once

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QTabWidget;

namespace tintwise {

// Where the preference lives: organisation and application of the per-user settings store.
inline constexpr const char *kSettingsOrganization = "Oxelsoft";
inline constexpr const char *kSettingsApplication = "Tintwise";
inline constexpr const char *kDoNotShowTipsValue = "DoNotShowTips";

class TfrmTips : public QWidget {
  Q_OBJECT
public:
  // Created hidden; the first window created is the one ShowTips shows.
  explicit TfrmTips(QWidget *owner = nullptr);
  ~TfrmTips() override;

  QTabWidget *pgcTips;
  QPlainTextEdit *memTips[3];
  QCheckBox *cbxDoNotShow;

protected:
  void changeEvent(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  void cbxDoNotShowClick();
};

// Unless force is false and "Do not show tips" is ticked: selects the page (0 "Primary Correction",
// 1 "Secondary Corrections", 2 "How to select an image region") and shows the tips window without
// making it modal. Does nothing while no tips window exists.
void ShowTips(int page, bool force);

} // namespace tintwise
