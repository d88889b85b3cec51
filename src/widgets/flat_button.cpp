#include "widgets/flat_button.h"

#include <QPainter>

namespace wingstow {

FlatButton::FlatButton(QWidget* parent)
    : QToolButton(parent),
      normal_(palette().color(QPalette::Dark)),
      focused_(palette().color(QPalette::Button)),
      down_(QColor(192, 192, 192)),
      border_(Qt::white),
      text_(Qt::white) {
  setAutoRaise(true);
  setCursor(Qt::PointingHandCursor);
}

void FlatButton::setColor(const QColor& color) {
  normal_ = color;
  update();
}

void FlatButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QToolButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QToolButton::leaveEvent(event);
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QColor fill = normal_;
  if (isDown())
    fill = down_;
  else if (isEnabled() && (hovered_ || hasFocus()))
    fill = focused_;
  painter.fillRect(rect(), fill);
  painter.setPen(border_);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  QColor ink = text_;
  if (!isEnabled())
    ink = palette().color(QPalette::Disabled, QPalette::WindowText);
  else if (fill == focused_ && focused_.lightness() > 160 && text_.lightness() > 160)
    ink = Qt::black;  // white on a light hover colour would vanish
  painter.setPen(ink);
  painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace wingstow
