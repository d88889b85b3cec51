#pragma once

// The program's command line, read before any window exists so that --help
// and --version answer without a display.

#include <QStringList>

#include <string>
#include <vector>

namespace wingstow {

struct CommandLine {
  enum class Action { run, help, version, error };
  Action action = Action::run;
  std::string text;  // what to print for help, version or an error
  // ZIP archives to copy into the download folder, as absolute paths in the
  // file system's bytes; with run only.
  std::vector<std::string> archives;
};

// arguments: as the process got them, the program's name first. Relative
// archive paths are taken from working_folder (empty: the current folder).
CommandLine parse_command_line(const QStringList& arguments, const QString& working_folder = {});

// What to tell when there is no display to show the window on (none of
// QT_QPA_PLATFORM, WAYLAND_DISPLAY and DISPLAY set): that wingstow-cli does
// the same work from a terminal. Empty when there may be one.
std::string no_display_text(const QString& qpa_platform, const QString& wayland_display,
                            const QString& display);

}  // namespace wingstow
