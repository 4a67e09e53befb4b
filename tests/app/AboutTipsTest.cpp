#include <QCheckBox>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

#include "AppTestSupport.h"
#include "app/About.h"
#include "app/TipsForm.h"

namespace tintwise {
namespace {

class TUrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Opened;
public slots:
  void Open(const QUrl &url) { Opened << url; }
};

TEST(AboutForm, ShowsTheProductRecord) {
  TAboutForm form(ProductInfo());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("About"));
  EXPECT_EQ(form.size(), QSize(352, 243));
  EXPECT_EQ(form.lblProduct->text(), QStringLiteral("Oxel Tintwise"));
  EXPECT_EQ(form.lblVersion->text(), QStringLiteral("Version: 1.00"));
  EXPECT_TRUE(form.btnClose->isDefault());
  EXPECT_TRUE(form.lblProduct->font().bold() && form.lblProduct->font().underline());
  EXPECT_FALSE(form.imgProduct->pixmap().isNull());
}

TEST(AboutForm, ShrinksALongNameUntilItFits) {
  TProductInfo info = ProductInfo();
  TAboutForm normal(info);
  info.ProductName = "Oxel Tintwise Professional Colour Matching Suite";
  TAboutForm longer(info);
  EXPECT_LT(longer.lblProduct->font().pixelSize(), normal.lblProduct->font().pixelSize());
  EXPECT_LE(normal.lblProduct->font().pixelSize(), 27);
  for (const TAboutForm *form : {&normal, &longer}) {
    EXPECT_LT(form->lblProduct->width(), 261);
    EXPECT_LT(form->lblProduct->height(), 36);
  }
  // One pixel more would not have fitted.
  QFont bigger = longer.lblProduct->font();
  bigger.setPixelSize(bigger.pixelSize() + 1);
  EXPECT_GE(QFontMetrics(bigger).horizontalAdvance(longer.lblProduct->text()), 261 - 2 * longer.lblProduct->margin() - 4);
}

TEST(AboutForm, LinksOpenInTheBrowserAndAnEmptyContactIsHidden) {
  TProductInfo info = ProductInfo();
  info.ContactsLink = "";
  info.WebsiteLink = "https://www.example.com/tintwise";
  TAboutForm without(info);
  without.show();
  EXPECT_FALSE(without.lblContacts->isVisible());
  EXPECT_TRUE(without.lblWebsite->isVisible());

  info.ContactsLink = "mailto:colour@example.com";
  TAboutForm with(info);
  with.show();
  EXPECT_TRUE(with.lblContacts->isVisible());
  EXPECT_EQ(with.lblContacts->text(), QStringLiteral("Contacts:"));
  EXPECT_EQ(with.lblWebsite->text(), QStringLiteral("Website:"));
  EXPECT_EQ(with.lblSite->cursor().shape(), Qt::PointingHandCursor);

  TUrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "Open");
  QTest::mouseClick(with.lblSite, Qt::LeftButton);
  QTest::mouseClick(with.lblMail, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
  EXPECT_EQ(catcher.Opened, (QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/tintwise")),
                                         QUrl(QStringLiteral("mailto:colour@example.com"))}));
}

TEST(TipsForm, HoldsTheThreePagesAndHidesOnEscape) {
  test::SetDoNotShowTips(-1);
  TfrmTips tips;
  EXPECT_EQ(tips.windowTitle(), QStringLiteral("Tips"));
  EXPECT_EQ(tips.size(), QSize(643, 385));
  ASSERT_EQ(tips.pgcTips->count(), 3);
  EXPECT_EQ(tips.pgcTips->tabText(0), QStringLiteral("Primary Correction"));
  EXPECT_EQ(tips.pgcTips->tabText(1), QStringLiteral("Secondary Corrections"));
  EXPECT_EQ(tips.pgcTips->tabText(2), QStringLiteral("How to select an image region"));
  EXPECT_EQ(tips.cbxDoNotShow->text(), QStringLiteral("Do not show tips"));
  const QStringList primary = tips.memTips[0]->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(primary.size(), 10);
  EXPECT_EQ(primary[2], QStringLiteral("sky, land, etc, and  include the main person if he/she are present. "
                                       "Then just click Apply button again."));
  EXPECT_EQ(primary[3], QString());
  EXPECT_EQ(tips.memTips[2]->toPlainText(),
            QStringLiteral("To select an image region, please press the left mouse button down over the image, "
                           "move the mouse \nand release the button.\n\nTo deselect, just left click on the image."));
  EXPECT_TRUE(tips.memTips[1]->isReadOnly());

  // Not forced: shown while the box is clear. Nothing is written until the box is clicked.
  ShowTips(1, false);
  EXPECT_TRUE(tips.isVisible());
  EXPECT_EQ(tips.pgcTips->currentIndex(), 1);
  EXPECT_FALSE(QSettings().contains(QStringLiteral("DoNotShowTips")));
  QTest::keyClick(&tips, Qt::Key_Escape);
  EXPECT_FALSE(tips.isVisible());
}

} // namespace
} // namespace tintwise

#include "AboutTipsTest.moc"
