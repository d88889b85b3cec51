#include "app/progress_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace wingstow {

TForm1::TForm1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("Form1");
  setWindowTitle(QString());
  setFixedSize(289, 65);
  move(301, 229);
  setModal(false);
  Animate1 = new AnimationView(this);
  Animate1->setObjectName("Animate1");
  Animate1->setGeometry(0, 0, 289, 65);
  Animate1->setKind(AnimationView::Kind::delete_file);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (event->spontaneous())
    event->ignore();
  else
    QDialog::closeEvent(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Escape would close a dialog; this one stays until its command is done.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

}  // namespace wingstow
