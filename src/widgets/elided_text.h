#pragma once

// A path field and a status line that, when their text is wider than they
// are, show its start and its end with an ellipsis between: the folder a
// path begins with and the name it ends with both stay in view. The whole
// text stays theirs (and is their tooltip).

#include <QLineEdit>
#include <QStatusBar>

namespace wingstow {

// The text as it fits width: whole, or cut in the middle.
QString elided_middle(const QString& text, const QFontMetrics& metrics, int width);

class ElidedLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit ElidedLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
  // What is shown while the field has no focus.
  QString shown_text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect text_rect() const;
};

class ElidedStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit ElidedStatusBar(QWidget* parent = nullptr) : QStatusBar(parent) {}
  QString shown_text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect text_rect() const;
};

}  // namespace wingstow
