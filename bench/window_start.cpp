// Times the start of the main window on a program folder whose catalogue
// holds many records: from the instance lock to the moment the simulator
// chosen last is set up and its catalogue and file list are filled, as at a
// real start (offscreen unless a display is asked for).
//
//   wingstow_window_start prepare FOLDER [RECORDS]
//   wingstow_window_start run FOLDER
//
// run prints "SECONDS PEAK_KIB RECORDS_SHOWN", as wingstow_paths does.

#include <QApplication>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "app/startup.h"
#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
using namespace wingstow::bench;

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// A simulator, settings naming it as the one chosen last, and per record
// the package folder beside it, as unzipping and installing leave them.
int prepare(const fs::path& folder, int records) {
  const fs::path simulator = folder / "FS9";
  for (const char* sub :
       {"Aircraft", "Gauges", "Sound", "Effects/Texture", "Modules", "Flights/MyFlts"})
    fs::create_directories(simulator / sub);
  const fs::path unzip = folder / "prog/unzip_fs2004";
  fs::create_directories(unzip);
  fs::create_directories(folder / "locks");
  private_home(folder);
  write_text(folder / "prog/planeyard.ini", "[main_path]\r\nfs_start=fs2004\r\nfs_path_2004=" +
                                                with_sep(simulator.string()) + "\r\n");
  for (int r = 0; r < records; ++r) {
    char name[32];
    std::snprintf(name, sizeof name, "Package %04d", r);
    fs::create_directories(unzip / name);
    write_text(unzip / (std::string(name) + ".txt"),
               (simulator / "Aircraft" / name).string() + "\r\n");
  }
  return 0;
}

int run(const fs::path& folder, char* program) {
  private_home(folder);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char* argv[] = {program, nullptr};
  QApplication app(argc, argv);
  YesUi ui;
  int records = 0;
  for (const auto& entry : fs::directory_iterator(folder / "prog/unzip_fs2004"))
    records += entry.path().extension() == ".txt" ? 1 : 0;

  const auto start = Clock::now();
  wingstow::StartOptions options;
  options.program_folder = with_sep(folder / "prog");
  options.lock_folder = (folder / "locks").string();
  options.dialogs = &ui;
  auto instance = wingstow::start_instance(options);
  if (!instance) fail("the window did not start", ui);
  instance->window->show();
  // The simulator chosen last is set up from the event loop once the window
  // shows; the file list then holds the records and their package folders.
  auto* catalogue = instance->window->findChild<QListWidget*>("ListBox2");
  const auto give_up = start + std::chrono::seconds(120);
  while ((catalogue->count() < records || instance->window->list_count() < 2 * records) &&
         Clock::now() < give_up)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  const auto end = Clock::now();
  if (catalogue->count() != records) fail("the catalogue did not fill", ui);
  return report(start, end, catalogue->count());
}

int usage() {
  std::fprintf(stderr, "usage: wingstow_window_start prepare FOLDER [RECORDS] | run FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string work = argc > 1 ? argv[1] : "";
    if (work == "prepare" && (argc == 3 || argc == 4))
      return prepare(argv[2], argc == 4 ? std::atoi(argv[3]) : 5000);
    if (work == "run" && argc == 3) return run(argv[2], argv[0]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wingstow_window_start: %s\n", e.what());
    return 1;
  }
  return usage();
}
