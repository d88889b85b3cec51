#include "widgets/elided_text.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace wingstow {
namespace {

// The margins Qt leaves around a line edit's text and a status message.
constexpr int edit_margin = 2;
constexpr int status_margin = 15;

}  // namespace

QString elided_middle(const QString& text, const QFontMetrics& metrics, int width) {
  return metrics.horizontalAdvance(text) <= width
             ? text
             : metrics.elidedText(text, Qt::ElideMiddle, width);
}

QRect ElidedLineEdit::text_rect() const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  return style()
      ->subElementRect(QStyle::SE_LineEditContents, &option, this)
      .adjusted(edit_margin, 0, -edit_margin, 0);
}

QString ElidedLineEdit::shown_text() const {
  return elided_middle(text(), fontMetrics(), text_rect().width());
}

void ElidedLineEdit::paintEvent(QPaintEvent* event) {
  const QString shown = shown_text();
  // Edited, or whole: as any line edit.
  if (hasFocus() || shown == text() || echoMode() != Normal) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionFrame option;
  initStyleOption(&option);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
  const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
  painter.setPen(palette().color(group, QPalette::Text));
  painter.drawText(text_rect(), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}

QRect ElidedStatusBar::text_rect() const {
  return rect().adjusted(status_margin, 0, -status_margin, 0);
}

QString ElidedStatusBar::shown_text() const {
  return elided_middle(currentMessage(), fontMetrics(), text_rect().width());
}

void ElidedStatusBar::paintEvent(QPaintEvent* event) {
  if (currentMessage().isEmpty() || shown_text() == currentMessage()) {
    QStatusBar::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
  painter.setPen(palette().windowText().color());
  painter.drawText(text_rect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                   shown_text());
}

}  // namespace wingstow
