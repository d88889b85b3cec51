#include "widgets/about_box.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace wingstow {
namespace {

QLabel* line(const QString& text, QWidget* parent, int pixel_size, bool bold = false) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

QImage AboutBox::logo() {
  QImage image(429, 400, QImage::Format_RGB888);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 400);
  sky.setColorAt(0, QColor(40, 90, 170));
  sky.setColorAt(0.7, QColor(160, 200, 240));
  sky.setColorAt(1, QColor(230, 240, 250));
  painter.fillRect(image.rect(), sky);

  // A hangar with its doors open.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(110, 110, 120));
  QPainterPath hangar;
  hangar.moveTo(40, 360);
  hangar.lineTo(40, 250);
  hangar.quadTo(214, 150, 389, 250);
  hangar.lineTo(389, 360);
  hangar.closeSubpath();
  painter.drawPath(hangar);
  painter.setBrush(QColor(30, 30, 40));
  painter.drawRect(QRectF(110, 265, 210, 95));
  painter.fillRect(QRectF(0, 360, 429, 40), QColor(80, 130, 70));

  // An airplane rolling in.
  painter.translate(214, 215);
  painter.rotate(-12);
  painter.setBrush(Qt::white);
  painter.setPen(QPen(QColor(20, 20, 30), 3));
  painter.drawRoundedRect(QRectF(-120, -14, 240, 28), 14, 14);
  QPolygonF wing;
  wing << QPointF(-20, -4) << QPointF(30, -90) << QPointF(55, -90) << QPointF(40, -4);
  painter.drawPolygon(wing);
  QPolygonF lower;
  lower << QPointF(-20, 4) << QPointF(30, 80) << QPointF(55, 80) << QPointF(40, 4);
  painter.drawPolygon(lower);
  QPolygonF tail;
  tail << QPointF(-115, -6) << QPointF(-140, -50) << QPointF(-120, -50) << QPointF(-95, -8);
  painter.drawPolygon(tail);
  painter.setBrush(QColor(200, 30, 30));
  painter.drawEllipse(QPointF(110, 0), 8, 8);
  return image;
}

AboutBox::AboutBox(const Values& values, QWidget* parent) : QDialog(parent) {
  setObjectName("About");
  setWindowTitle("About");
  setModal(true);
  auto* layout = new QVBoxLayout(this);

  auto* picture = new QLabel(this);
  picture->setObjectName("AboutLogo");
  picture->setPixmap(QPixmap::fromImage(logo()));
  picture->setAlignment(Qt::AlignCenter);
  picture->setScaledContents(false);
  layout->addWidget(picture);

  auto* name = new QLabel(values.program_name, this);
  name->setObjectName("AboutProgramName");
  QFont name_font("Times New Roman");
  name_font.setPixelSize(29);
  name_font.setBold(true);
  name_font.setItalic(true);
  name->setFont(name_font);
  name->setAlignment(Qt::AlignCenter);
  layout->addWidget(name);

  auto* version = line(values.version, this, 11, true);
  version->setObjectName("AboutVersion");
  version->setStyleSheet("color: red;");
  layout->addWidget(version);

  if (!values.description.isEmpty()) {
    auto* description = line(values.description, this, 11);
    description->setObjectName("AboutDescription");
    layout->addWidget(description);
  }

  auto* information = line(values.information, this, 11);
  information->setObjectName("AboutInformation");
  layout->addWidget(information);

  if (!values.licence.isEmpty()) {
    auto* licence = line(values.licence, this, 11);
    licence->setObjectName("AboutLicence");
    layout->addWidget(licence);
  }

  // No address is shown rather than one that reaches nobody.
  if (!values.email.isEmpty()) {
    auto* email = line(values.email, this, 11);
    email->setObjectName("AboutEmail");
    email->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(email);
  }

  auto* home =
      line(QString("<a href=\"%1\" style=\"color: blue;\">%2</a>")
               .arg(values.home_page_url.toHtmlEscaped(), values.home_page.toHtmlEscaped()),
           this, 11);
  home->setObjectName("AboutHomePage");
  home->setTextFormat(Qt::RichText);
  home->setTextInteractionFlags(Qt::TextBrowserInteraction);
  home->setOpenExternalLinks(true);
  layout->addWidget(home);

  auto* close = new QPushButton("&Close", this);
  close->setObjectName("AboutClose");
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(close, 0, Qt::AlignCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace wingstow
