// Times the start of the main window on a program folder whose catalogue
// holds many records: from the instance lock to the moment the simulator
// chosen last is set up and its catalogue and file list are filled, as at a
// real start (offscreen unless a display is asked for); "Delete from FS" of
// the window; and the look for Wine prefixes in a home with a Steam library.
//
//   wingstow_window_start prepare FOLDER [RECORDS]
//   wingstow_window_start run FOLDER       the start: SECONDS PEAK_KIB RECORDS_SHOWN
//   wingstow_window_start remove FOLDER    "Delete from FS" of the records whose
//                                          airplane is there (a folder that
//                                          wingstow_paths prepare-removal made):
//                                          SECONDS PEAK_KIB RECORDS_REMOVED
//   wingstow_window_start prepare-steam FOLDER [PREFIXES]
//                                          a Steam library of Proton prefixes in
//                                          FOLDER's home, one with FS2004

#include <QAbstractButton>
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

// A Proton prefix as Steam leaves one: the registry, the system's folders
// and a few programs; prefix 0 holds FS2004.
void make_prefix(const fs::path& prefix, int number) {
  fs::create_directories(prefix);
  write_text(prefix / "system.reg", "WINE REGISTRY Version 2\n");
  const fs::path drive_c = prefix / "drive_c";
  for (const char* sub : {"windows/system32", "windows/syswow64", "users/steamuser/Desktop",
                          "ProgramData/Microsoft", "Program Files/Common Files",
                          "Program Files (x86)/Common Files", "Program Files (x86)/Steam"})
    fs::create_directories(drive_c / sub);
  for (int game = 0; game < 8; ++game)
    fs::create_directories(drive_c / "Program Files (x86)" / ("Game " + std::to_string(game)) /
                           "data" / "levels");
  if (number != 0) return;
  const fs::path simulator = drive_c / "Program Files (x86)/Microsoft Games/Flight Simulator 9";
  for (const char* sub : {"Aircraft", "Gauges", "Sound", "Effects", "Modules", "Flights"})
    fs::create_directories(simulator / sub);
  write_text(simulator / "fs9.exe", "MZ");
}

int prepare_steam(const fs::path& folder, int prefixes) {
  const fs::path steam = folder / "home/.local/share/Steam/steamapps";
  fs::create_directories(steam);
  write_text(steam / "libraryfolders.vdf",
             "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" +
                 (folder / "home/.local/share/Steam").string() + "\"\n\t}\n}\n");
  for (int p = 0; p < prefixes; ++p)
    make_prefix(steam / "compatdata" / std::to_string(2000000 + p) / "pfx", p);
  return 0;
}

struct Started {
  std::unique_ptr<QApplication> app;
  std::unique_ptr<wingstow::Instance> instance;
  QListWidget* catalogue = nullptr;
  Clock::time_point start;
};

// The window on folder's program folder, shown, with its catalogue and file
// list filled as at a real start.
void start_window(Started& started, const fs::path& folder, char* program, YesUi& ui) {
  private_home(folder);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char* argv[] = {program, nullptr};
  started.app = std::make_unique<QApplication>(argc, argv);
  int records = 0;
  for (const auto& entry : fs::directory_iterator(folder / "prog/unzip_fs2004"))
    records += entry.path().extension() == ".txt" ? 1 : 0;

  fs::create_directories(folder / "locks");
  started.start = Clock::now();
  wingstow::StartOptions options;
  options.program_folder = with_sep(folder / "prog");
  options.lock_folder = (folder / "locks").string();
  options.dialogs = &ui;
  started.instance = wingstow::start_instance(options);
  if (!started.instance) fail("the window did not start", ui);
  started.instance->window->show();
  // The simulator chosen last is set up from the event loop once the window
  // shows; the file list then holds the records and their package folders.
  started.catalogue = started.instance->window->findChild<QListWidget*>("ListBox2");
  const auto give_up = started.start + std::chrono::seconds(120);
  while ((started.catalogue->count() < records ||
          started.instance->window->list_count() < 2 * records) &&
         Clock::now() < give_up)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  if (started.catalogue->count() != records) fail("the catalogue did not fill", ui);
}

int run(const fs::path& folder, char* program) {
  YesUi ui;
  Started started;
  start_window(started, folder, program, ui);
  return report(started.start, Clock::now(), started.catalogue->count());
}

int remove(const fs::path& folder, char* program) {
  YesUi ui;
  Started started;
  start_window(started, folder, program, ui);
  QListWidget* catalogue = started.catalogue;
  std::vector<fs::path> records;
  for (int i = 0; i < catalogue->count(); ++i) {
    QListWidgetItem* item = catalogue->item(i);
    // The catalogue shows each record's path.
    const fs::path record = item->text().toStdString();
    if (!fs::exists(folder / "FS9/Aircraft" / record.stem())) continue;
    item->setCheckState(Qt::Checked);
    records.push_back(record);
  }
  auto* button = started.instance->window->findChild<QAbstractButton*>("SpeedButton8");
  ui.messages.clear();
  const auto start = Clock::now();
  button->click();
  QCoreApplication::processEvents();
  const auto end = Clock::now();
  long removed = 0;
  for (const auto& record : records) removed += fs::exists(record) ? 0 : 1;
  if (records.empty() || static_cast<std::size_t>(removed) != records.size())
    fail("not every checked record was removed", ui);
  return report(start, end, removed);
}

int usage() {
  std::fprintf(stderr,
               "usage: wingstow_window_start prepare FOLDER [RECORDS] | run FOLDER |\n"
               "       remove FOLDER | prepare-steam FOLDER [PREFIXES]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string work = argc > 1 ? argv[1] : "";
    if (work == "prepare" && (argc == 3 || argc == 4))
      return prepare(argv[2], argc == 4 ? std::atoi(argv[3]) : 5000);
    if (work == "run" && argc == 3) return run(argv[2], argv[0]);
    if (work == "remove" && argc == 3) return remove(argv[2], argv[0]);
    if (work == "prepare-steam" && (argc == 3 || argc == 4))
      return prepare_steam(argv[2], argc == 4 ? std::atoi(argv[3]) : 50);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wingstow_window_start: %s\n", e.what());
    return 1;
  }
  return usage();
}
