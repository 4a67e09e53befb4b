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

TEST(AboutForm, LinksOpenInTheBrowserAnEmptyContactIsHiddenAndTheBoxOpensCentred) {
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
  QTest::mouseClick(with.lblSite, Qt::RightButton); // only the left button follows a link
  QTest::mouseClick(with.lblSite, Qt::LeftButton);
  QTest::mouseClick(with.lblMail, Qt::LeftButton);
  for (const char *scheme : {"https", "mailto"})
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  EXPECT_EQ(catcher.Opened, (QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/tintwise")),
                                         QUrl(QStringLiteral("mailto:colour@example.com"))}));

  // Opened from a window, the box is modal and centred on it.
  QWidget owner;
  owner.setGeometry(100, 80, 900, 600);
  owner.show();
  QPoint centre;
  test::OnModal<TAboutForm>([&] { ShowAbout(ProductInfo(), &owner); }, [&](TAboutForm *form) {
    centre = form->geometry().center();
    form->accept();
  });
  EXPECT_LE((centre - owner.geometry().center()).manhattanLength(), 4); // give or take the window frame
}

} // namespace
} // namespace tintwise

#include "AboutFormTest.moc"
