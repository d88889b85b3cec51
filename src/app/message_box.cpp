#include "app/message_box.h"

#include <QMessageBox>
#include <QPushButton>

namespace wingstow {

Answer show_message_box(QWidget* parent, MessageKind kind, std::string_view text, Buttons buttons) {
  QMessageBox box(parent);
  switch (kind) {
    case MessageKind::warning:
      box.setIcon(QMessageBox::Warning);
      box.setWindowTitle("Avertissement");
      break;
    case MessageKind::error:
      box.setIcon(QMessageBox::Critical);
      box.setWindowTitle("Erreur");
      break;
    case MessageKind::information:
      box.setIcon(QMessageBox::Information);
      box.setWindowTitle("Information");
      break;
    case MessageKind::confirmation:
      box.setIcon(QMessageBox::Question);
      box.setWindowTitle("Confirmation");
      break;
    case MessageKind::plain:
      box.setIcon(QMessageBox::NoIcon);
      box.setWindowTitle(application_title);
      break;
    case MessageKind::application_error:
      box.setIcon(QMessageBox::Critical);
      box.setWindowTitle(application_title);
      break;
  }
  box.setText(QString::fromStdString(std::string(text)));

  QAbstractButton* ok = nullptr;
  QAbstractButton* yes = nullptr;
  switch (buttons) {
    case Buttons::ok:
      ok = box.addButton("OK", QMessageBox::AcceptRole);
      break;
    case Buttons::yes_no:
      yes = box.addButton("&Oui", QMessageBox::YesRole);
      box.setEscapeButton(box.addButton("&Non", QMessageBox::NoRole));
      break;
    case Buttons::ok_cancel:
      ok = box.addButton("OK", QMessageBox::AcceptRole);
      box.setEscapeButton(box.addButton("Annuler", QMessageBox::RejectRole));
      break;
  }
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  switch (buttons) {
    case Buttons::ok:
      return Answer::ok;
    case Buttons::yes_no:
      return clicked == yes ? Answer::yes : Answer::no;
    case Buttons::ok_cancel:
      return clicked == ok ? Answer::ok : Answer::cancel;
  }
  return Answer::cancel;
}

std::string with_full_stop(std::string message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  return message;
}

}  // namespace wingstow
