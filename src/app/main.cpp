#include <QApplication>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(wingstow::application_title);
  QApplication::setApplicationVersion("3.9");

  auto instance = wingstow::start_instance(wingstow::production_options());
  if (!instance) return 0;
  instance->window->show();
  return QApplication::exec();
}
