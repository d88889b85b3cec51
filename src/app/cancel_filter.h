#pragma once

// While long work lets events through (an unzip, a paste), the window takes
// input only on its Cancel button; other windows, the archive component's
// dialogs among them, stay usable.

#include <QObject>

class QWidget;

namespace wingstow {

class CancelOnlyFilter : public QObject {
 public:
  // window: whose input is held back, and the filter's parent; cancel: the
  // one control of it that still takes input.
  CancelOnlyFilter(QWidget* window, QWidget* cancel);

  // Filters the whole application's input from begin() until end().
  void begin();
  void end();
  bool active() const { return active_; }

  // begin() for the life of the scope.
  class Scope {
   public:
    explicit Scope(CancelOnlyFilter& filter) : filter_(filter) { filter_.begin(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope() { filter_.end(); }

   private:
    CancelOnlyFilter& filter_;
  };

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QWidget* cancel_;
  bool active_ = false;
};

}  // namespace wingstow
