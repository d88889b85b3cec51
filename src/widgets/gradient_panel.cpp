#include "widgets/gradient_panel.h"

#include <QLinearGradient>
#include <QPainter>

namespace wingstow {

GradientPanel::GradientPanel(QWidget* parent, bool paint_gradient)
    : QWidget(parent), gradient_(paint_gradient) {}

void GradientPanel::setColor(const QColor& color) {
  color_ = color;
  update();
}

void GradientPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!gradient_) {
    painter.fillRect(rect(), color_);
    return;
  }
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0, color_);
  gradient.setColorAt(1, color_.darker(115));
  painter.fillRect(rect(), gradient);
}

}  // namespace wingstow
