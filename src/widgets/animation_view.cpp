#include "widgets/animation_view.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace wingstow {

AnimationView::AnimationView(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(50);
  connect(&timer_, &QTimer::timeout, this, [this] {
    frame_ = (frame_ + 1) % frame_count;
    update();
  });
}

void AnimationView::setKind(Kind kind) {
  kind_ = kind;
  frame_ = 0;
  update();
}

void AnimationView::start() { timer_.start(); }

void AnimationView::stop() {
  timer_.stop();
  frame_ = 0;
  update();
}

void AnimationView::drawFolder(QPainter& painter, const QRectF& box) const {
  QPainterPath path;
  const double tab = box.height() * 0.2;
  path.moveTo(box.left(), box.top() + tab);
  path.lineTo(box.left(), box.bottom());
  path.lineTo(box.right(), box.bottom());
  path.lineTo(box.right(), box.top() + tab);
  path.lineTo(box.left() + box.width() * 0.45, box.top() + tab);
  path.lineTo(box.left() + box.width() * 0.35, box.top());
  path.lineTo(box.left(), box.top());
  path.closeSubpath();
  painter.setPen(QPen(QColor(150, 110, 20), 1));
  painter.setBrush(QColor(250, 205, 90));
  painter.drawPath(path);
}

void AnimationView::drawBin(QPainter& painter, const QRectF& box) const {
  painter.setPen(QPen(QColor(70, 70, 70), 1));
  painter.setBrush(QColor(200, 200, 205));
  QPolygonF body;
  body << QPointF(box.left(), box.top() + 6) << QPointF(box.right(), box.top() + 6)
       << QPointF(box.right() - 4, box.bottom()) << QPointF(box.left() + 4, box.bottom());
  painter.drawPolygon(body);
  painter.drawRect(QRectF(box.left() - 2, box.top(), box.width() + 4, 5));
  for (int i = 1; i < 4; ++i) {
    const double x = box.left() + box.width() * i / 4.0;
    painter.drawLine(QPointF(x, box.top() + 10), QPointF(x, box.bottom() - 4));
  }
}

void AnimationView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const double w = width();
  const double h = height();
  const double size = std::min(h * 0.6, w * 0.18);
  const QRectF left(w * 0.12, (h - size) / 2, size * 1.2, size);
  const QRectF right(w * 0.88 - size * 1.2, (h - size) / 2, size * 1.2, size);
  drawFolder(painter, left);
  if (kind_ == Kind::copy_files)
    drawFolder(painter, right);
  else
    drawBin(painter, right.adjusted(size * 0.2, 0, -size * 0.2, 0));

  // The sheet flies along an arc from the left folder to the right target.
  const double t = static_cast<double>(frame_) / (frame_count - 1);
  const QPointF from = left.center();
  const QPointF to = right.center();
  const double x = from.x() + (to.x() - from.x()) * t;
  const double y = from.y() - std::sin(t * M_PI) * h * 0.35;
  const QRectF sheet(x - size * 0.25, y - size * 0.32, size * 0.5, size * 0.64);
  painter.save();
  painter.translate(sheet.center());
  painter.rotate((t - 0.5) * 40);
  painter.translate(-sheet.center());
  painter.setPen(QPen(QColor(90, 90, 90), 1));
  painter.setBrush(Qt::white);
  painter.drawRect(sheet);
  for (int i = 1; i < 4; ++i)
    painter.drawLine(QPointF(sheet.left() + 3, sheet.top() + sheet.height() * i / 4.0),
                     QPointF(sheet.right() - 3, sheet.top() + sheet.height() * i / 4.0));
  painter.restore();
}

}  // namespace wingstow
