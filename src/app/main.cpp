#include <QApplication>
#include <QIcon>

#include <cstdio>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/startup.h"
#include "wingstow_version.h"

int main(int argc, char** argv) {
  // Before any window: --help and --version need no display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const auto command = wingstow::parse_command_line(arguments);
  using Action = wingstow::CommandLine::Action;
  if (command.action != Action::run) {
    std::FILE* out = command.action == Action::error ? stderr : stdout;
    std::fputs(command.text.c_str(), out);
    return command.action == Action::error ? 2 : 0;
  }

  // Qt would abort without a display, telling of a reinstall.
  if (const std::string text = wingstow::no_display_text(qEnvironmentVariable("QT_QPA_PLATFORM"),
                                                         qEnvironmentVariable("WAYLAND_DISPLAY"),
                                                         qEnvironmentVariable("DISPLAY"));
      !text.empty()) {
    std::fputs(text.c_str(), stderr);
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(wingstow::application_title);
  QApplication::setApplicationVersion(wingstow::version);
  // Ties the windows to the desktop file, so that a taskbar shows them as
  // the launcher's; and the icon the desktop file names.
  constexpr const char* app_id = "io.github.wingstow.Wingstow";
  QGuiApplication::setDesktopFileName("wingstow");
  QIcon fallback;
  for (const char* size : {"48x48", "256x256"})
    fallback.addFile(QString(":/icons/%1/%2.png").arg(size, app_id));
  QApplication::setWindowIcon(QIcon::fromTheme(app_id, fallback));

  auto instance = wingstow::start_instance(wingstow::production_options(), command.archives);
  if (!instance) return 0;
  instance->window->show();
  return QApplication::exec();
}
