#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace wingstow {

CommandLine parse_command_line(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Installs and removes airplane add-ons for the FS2002 and FS2004 flight simulators.");
  const QCommandLineOption help({"h", "help"}, "Shows this help and exits.");
  const QCommandLineOption version({"v", "version"}, "Shows the version and exits.");
  parser.addOption(help);
  parser.addOption(version);

  CommandLine result;
  const QString program =
      arguments.isEmpty() ? QStringLiteral("wingstow") : QFileInfo(arguments.first()).fileName();
  if (!parser.parse(arguments)) {
    result.action = CommandLine::Action::error;
    result.text = (program + ": " + parser.errorText() + "\nTry '" + program +
                   " --help' for more information.\n")
                      .toStdString();
    return result;
  }
  if (!parser.positionalArguments().isEmpty()) {
    result.action = CommandLine::Action::error;
    result.text = (program + ": unexpected argument '" + parser.positionalArguments().first() +
                   "'\nTry '" + program + " --help' for more information.\n")
                      .toStdString();
    return result;
  }
  if (parser.isSet(help)) {
    result.action = CommandLine::Action::help;
    // The parser's own text names the program as QCoreApplication knows it;
    // there is none yet, so the usage line is written here.
    result.text = ("Usage: " + program + " [options]\n" + parser.applicationDescription() +
                   "\n\nOptions:\n"
                   "  -h, --help     Shows this help and exits.\n"
                   "  -v, --version  Shows the version and exits.\n")
                      .toStdString();
  } else if (parser.isSet(version)) {
    result.action = CommandLine::Action::version;
    result.text = "wingstow 3.9\n";
  }
  return result;
}

}  // namespace wingstow
