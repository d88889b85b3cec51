#pragma once

// The program's command line, read before any window exists so that --help
// and --version answer without a display.

#include <QStringList>

#include <string>

namespace wingstow {

struct CommandLine {
  enum class Action { run, help, version, error };
  Action action = Action::run;
  std::string text;  // what to print for help, version or an error
};

// arguments: as the process got them, the program's name first.
CommandLine parse_command_line(const QStringList& arguments);

}  // namespace wingstow
