#pragma once

#include <QColor>
#include <QToolButton>

namespace wingstow {

// A flat button with one colour per state: normal, focused (mouse over or
// keyboard focus), pressed, and a border colour. The caption is drawn in the
// text colour on top.
class FlatButton : public QToolButton {
  Q_OBJECT
  Q_PROPERTY(QColor color READ color WRITE setColor)

 public:
  explicit FlatButton(QWidget* parent = nullptr);

  QColor color() const { return normal_; }
  void setColor(const QColor& color);
  void setFocusedColor(const QColor& color) { focused_ = color; }
  void setDownColor(const QColor& color) { down_ = color; }
  void setBorderColor(const QColor& color) { border_ = color; }
  void setTextColor(const QColor& color) { text_ = color; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QColor normal_;
  QColor focused_;
  QColor down_;
  QColor border_;
  QColor text_;
  bool hovered_ = false;
};

}  // namespace wingstow
