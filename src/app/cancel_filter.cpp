#include "app/cancel_filter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace wingstow {

CancelOnlyFilter::CancelOnlyFilter(QWidget* window, QWidget* cancel)
    : QObject(window), window_(window), cancel_(cancel) {}

void CancelOnlyFilter::begin() {
  active_ = true;
  QCoreApplication::instance()->installEventFilter(this);
}

void CancelOnlyFilter::end() {
  QCoreApplication::instance()->removeEventFilter(this);
  active_ = false;
}

bool CancelOnlyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (!active_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::Close:
      break;
    default:
      return false;
  }
  // Dialogs of the archive component (messages, password) stay usable.
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != window_) return false;
  return widget != cancel_;
}

}  // namespace wingstow
