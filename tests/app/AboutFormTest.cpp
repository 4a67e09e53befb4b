#include <QDesktopServices>
#include <QUrl>

#include "AppTestSupport.h"
#include "app/About.h"

namespace tintwise {
namespace {

class TUrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Opened;
public slots:
  void Open(const QUrl &url) { Opened << url; }
};

TEST(AboutForm, ShrinksALongNameUntilItFits) {
  TProductInfo info = ProductInfo();
  TAboutForm normal(info);
  info.ProductName = "Oxel Tintwise Professional Colour Matching Suite";
  TAboutForm longer(info);
  EXPECT_LT(longer.lblProduct->font().pixelSize(), normal.lblProduct->font().pixelSize());
  EXPECT_LE(normal.lblProduct->font().pixelSize(), 27);
  for (const TAboutForm *form : {&normal, &longer})
    EXPECT_TRUE(form->lblProduct->width() < 261 && form->lblProduct->height() < 36);
  QFont bigger = longer.lblProduct->font(); // one pixel more would not have fitted
  bigger.setPixelSize(bigger.pixelSize() + 1);
  EXPECT_GE(QFontMetrics(bigger).horizontalAdvance(longer.lblProduct->text()), 261 - 2 * longer.lblProduct->margin() - 4);
}

TEST(AboutForm, LinksOpenInTheBrowserAndAnEmptyContactIsHidden) {
  TProductInfo info = ProductInfo();
  info.ContactsLink = "";
  TAboutForm without(info);
  without.show();
  EXPECT_FALSE(without.lblContacts->isVisible());
  EXPECT_TRUE(without.lblWebsite->isVisible());

  info.ContactsLink = "mailto:colour@example.com";
  info.WebsiteLink = "https://www.example.com/tintwise";
  TAboutForm with(info);
  with.show();
  TUrlCatcher catcher;
  for (const char *scheme : {"https", "mailto"})
    QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "Open");
  QTest::mouseClick(with.lblSite, Qt::LeftButton);
  QTest::mouseClick(with.lblMail, Qt::LeftButton);
  for (const char *scheme : {"https", "mailto"})
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  EXPECT_EQ(catcher.Opened, (QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/tintwise")),
                                         QUrl(QStringLiteral("mailto:colour@example.com"))}));
}

} // namespace
} // namespace tintwise

#include "AboutFormTest.moc"
