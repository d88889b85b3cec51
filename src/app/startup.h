#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/ui.h"

namespace wingstow {

namespace platform {
class SingleInstance;
}
class InstanceChannel;
class Tutil;

// A running program: the instance lock, held as long as the program runs, and
// the main window with the progress window and the chooser.
struct Instance {
  Instance();
  ~Instance();
  std::unique_ptr<platform::SingleInstance> lock;
  std::unique_ptr<Tutil> window;
  // Where later starts hand their archives over; null when the socket could
  // not be made (the program runs on, later starts only hear "already running").
  std::unique_ptr<InstanceChannel> channel;
};

struct StartOptions {
  std::string program_folder;     // with trailing separator
  std::string lock_folder;        // empty: the user's runtime folder
  Ui* dialogs = nullptr;          // tests: where messages go instead of boxes
  std::string executable_folder;  // home of the help page; empty: program_folder
};

// The options of a real start, decided once: the executable's folder, and
// the program folder choose_program_folder() gives for it and the user's
// environment.
StartOptions production_options();

// Takes the instance lock and builds the windows, which receive the archives
// once shown. When another instance runs, the archives go to it, it comes to
// the front, the user is told "already running" and nothing is created.
std::unique_ptr<Instance> start_instance(const StartOptions& options,
                                         const std::vector<std::string>& archives = {});

}  // namespace wingstow
