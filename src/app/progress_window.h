#pragma once

#include <QDialog>

#include "widgets/animation_view.h"

namespace wingstow {

// The progress window Form1: a small window without close button that the
// install and removal commands show while they work.
class TForm1 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);

  AnimationView* Animate1;

 protected:
  // The user cannot close it; the command that showed it does.
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace wingstow
