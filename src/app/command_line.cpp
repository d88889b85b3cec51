#include "app/command_line.h"
#include "wingstow_version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace wingstow {

CommandLine parse_command_line(const QStringList& arguments, const QString& working_folder) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Installs and removes airplane add-ons for the FS2002 and FS2004 flight simulators.");
  const QCommandLineOption help({"h", "help"}, "Shows this help and exits.");
  const QCommandLineOption version({"v", "version"}, "Shows the version and exits.");
  parser.addOption(help);
  parser.addOption(version);
  parser.addPositionalArgument(
      "ARCHIVE", "ZIP, 7z or RAR archives to copy into the download folder.", "[ARCHIVE...]");

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
  const QDir base(working_folder.isEmpty() ? QDir::currentPath() : working_folder);
  for (const QString& argument : parser.positionalArguments()) {
    // A file manager may hand over a file:// address instead of a path.
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    result.archives.push_back(
        QFile::encodeName(QDir::cleanPath(base.absoluteFilePath(path))).toStdString());
  }
  if (parser.isSet(help)) {
    result.action = CommandLine::Action::help;
    // The parser's own text names the program as QCoreApplication knows it;
    // there is none yet, so the usage line is written here.
    result.text =
        ("Usage: " + program + " [options] [ARCHIVE...]\n" + parser.applicationDescription() +
         "\n\nOptions:\n"
         "  -h, --help     Shows this help and exits.\n"
         "  -v, --version  Shows the version and exits.\n"
         "\nArguments:\n"
         "  ARCHIVE        ZIP, 7z or RAR archives to copy (never move, never over\n"
         "                 another file) into the download folder of the selected\n"
         "                 simulator. When Wingstow already runs, its window\n"
         "                 receives them.\n")
            .toStdString();
  } else if (parser.isSet(version)) {
    result.action = CommandLine::Action::version;
    result.text = std::string("wingstow ") + wingstow::version + "\n";
  }
  return result;
}

std::string no_display_text(const QString& qpa_platform, const QString& wayland_display,
                            const QString& display) {
  if (!qpa_platform.isEmpty() || !wayland_display.isEmpty() || !display.isEmpty()) return {};
  return "wingstow: there is no display to show the window on (neither WAYLAND_DISPLAY nor "
         "DISPLAY is set).\nwingstow-cli does the same work from a terminal: see "
         "wingstow-cli --help.\n";
}

}  // namespace wingstow
