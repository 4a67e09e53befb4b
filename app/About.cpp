#include "app/About.h"

#include <QDesktopServices>
#include <QIcon>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

// The icons are compiled into this static library; their registration has to be asked for.
static void InitAppResources() { Q_INIT_RESOURCE(tintwise); }

namespace tintwise {

const TProductInfo &ProductInfo() {
  static const TProductInfo info{
      TINTWISE_PRODUCT_NAME,
      TINTWISE_PRODUCT_VERSION,
      "https://oxelsoft.com/tintwise",
      "https://oxelsoft.com/contact",
      "Provided as is, without warranty of any kind.",
  };
  return info;
}

QString ProductName() { return QString::fromStdString(ProductInfo().ProductName); }

QIcon AppIcon() {
  static const QIcon icon = [] {
    InitAppResources();
    QIcon result;
    for (int side : {16, 32, 48, 64, 128})
      result.addFile(QStringLiteral(":/icons/tintwise-%1.png").arg(side), QSize(side, side));
    return result;
  }();
  return icon;
}

TLinkLabel::TLinkLabel(const QString &link, QWidget *parent) : QLabel(link, parent) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, Qt::blue);
  setPalette(pal);
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && !text().isEmpty())
    QDesktopServices::openUrl(QUrl::fromUserInput(text()));
}

namespace {

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, int x, int y) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->move(x, y);
  label->adjustSize();
  return label;
}

} // namespace

TAboutForm::TAboutForm(const TProductInfo &info, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(352, 243);

  imgProduct = new QLabel(this);
  imgProduct->setObjectName(QStringLiteral("imgProduct"));
  imgProduct->setPixmap(AppIcon().pixmap(48, 48));
  imgProduct->setGeometry(20, 20, 48, 48);

  lblProduct = MakeLabel(this, "lblProduct", QString::fromStdString(info.ProductName), 84, 20);
  QFont f(QStringLiteral("Arial"));
  f.setBold(true);
  f.setUnderline(true);
  // Start at 27 pixels and step down until the name fits the space beside the image.
  for (int px = 27; px > 1; --px) {
    f.setPixelSize(px);
    lblProduct->setFont(f);
    lblProduct->adjustSize();
    if (lblProduct->width() < 261 && lblProduct->height() < 36)
      break;
  }

  lblVersion = MakeLabel(this, "lblVersion", QStringLiteral("Version: ") + QString::fromStdString(info.Version), 84, 62);

  lblContacts = MakeLabel(this, "lblContacts", QStringLiteral("Contacts:"), 84, 98);
  lblMail = new TLinkLabel(QString::fromStdString(info.ContactsLink), this);
  lblMail->setObjectName(QStringLiteral("lblMail"));
  lblMail->move(154, 98);
  lblMail->adjustSize();
  if (info.ContactsLink.empty()) {
    lblContacts->hide();
    lblMail->hide();
  }

  lblWebsite = MakeLabel(this, "lblWebsite", QStringLiteral("Website:"), 84, 122);
  lblSite = new TLinkLabel(QString::fromStdString(info.WebsiteLink), this);
  lblSite->setObjectName(QStringLiteral("lblSite"));
  lblSite->move(154, 122);
  lblSite->adjustSize();

  lblNotice = new QLabel(QString::fromStdString(info.NoticeText), this);
  lblNotice->setObjectName(QStringLiteral("lblNotice"));
  lblNotice->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  lblNotice->setWordWrap(true);
  lblNotice->setGeometry(10, 160, 332, 32);

  btnClose = new QPushButton(QStringLiteral("Close"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setGeometry(136, 204, 80, 26);
  btnClose->setDefault(true);
  btnClose->setAutoDefault(true);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept); // Escape rejects, which closes too
}

void ShowAbout(const TProductInfo &info, QWidget *owner) {
  TAboutForm form(info, owner);
  if (owner)
    form.move(owner->geometry().center() - form.rect().center());
  form.exec();
}

} // namespace tintwise
