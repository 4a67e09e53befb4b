// The product record and the About window.
#pragma once

#include <QDialog>
#include <QLabel>

#include <cstdint>
#include <string>

class QPushButton;

namespace tintwise {

// The product facts, filled once when the program starts.
struct TProductInfo {
  std::string ProductName;
  std::string Version;
  std::string WebsiteLink;
  std::string ContactsLink;
  std::string NoticeText;
};

// The program's own record.
const TProductInfo &ProductInfo();

// The product name as Qt text; captions and message boxes are titled with it.
QString ProductName();

// A label that shows a link: blue, underlined, with a hand cursor; a click opens its text with the
// desktop's handler (the web browser for a web address).
class TLinkLabel : public QLabel {
  Q_OBJECT
public:
  TLinkLabel(const QString &link, QWidget *parent);

protected:
  void mouseReleaseEvent(QMouseEvent *event) override;
};

class TAboutForm : public QDialog {
  Q_OBJECT
public:
  TAboutForm(const TProductInfo &info, QWidget *parent = nullptr);

  QLabel *imgProduct;
  QLabel *lblProduct;
  QLabel *lblVersion;
  QLabel *lblContacts;
  TLinkLabel *lblMail;
  QLabel *lblWebsite;
  TLinkLabel *lblSite;
  QLabel *lblNotice;
  QPushButton *btnClose;
};

// The application's icon, drawn once.
QIcon AppIcon();

// Shows the About window modally, centred on the owner, until it is closed.
void ShowAbout(const TProductInfo &info, QWidget *owner = nullptr);

} // namespace tintwise
