#include <QCoreApplication>

#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  // No display: the engine needs only the core of Qt.
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("wingstow-cli");
  std::vector<std::string> arguments(argv, argv + argc);
  return wingstow::cli::run(arguments);
}
