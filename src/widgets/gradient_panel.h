#pragma once

#include <QColor>
#include <QWidget>

namespace wingstow {

// A panel filled with a vertical gradient from a light shade to its colour;
// with paint_gradient off it is filled plainly (the painted background under
// the path rows).
class GradientPanel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QColor color READ color WRITE setColor)

 public:
  explicit GradientPanel(QWidget* parent = nullptr, bool paint_gradient = true);

  QColor color() const { return color_; }
  void setColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_ = Qt::white;
  bool gradient_;
};

}  // namespace wingstow
