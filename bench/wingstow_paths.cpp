// Runs one piece of Wingstow's own work on data prepared by tools/bench, through
// the engine functions the buttons call, and times it, so that tools/bench can
// set it beside the everyday tools working on the same data.
//
//   wingstow_paths features                      what this build can measure, and
//                                                the peak of the process at rest
//   wingstow_paths unzip ARCHIVE UNZIP_FOLDER [WORKERS]
//   wingstow_paths copy SOURCE TARGET            copy_folder_tree
//   wingstow_paths install PACKAGE FS SCRATCH    install_aircraft into FS/aircraft, then the
//                                                record's sizes and checksums
//   wingstow_paths find FOLDER MASK              the finder through all subfolders
//   wingstow_paths make-small FOLDER FILES       a package of one airplane of that many
//                                                small files (1 to 8 KiB, 200 per folder)
//   wingstow_paths make-many ARCHIVE ENTRIES     a ZIP of that many tiny deflated
//                                                files, 1,000 per folder
//   wingstow_paths install-after-unzip ARCHIVE FS SCRATCH
//                                                the same for the package this process
//                                                unzipped first (untimed)
//   wingstow_paths wine-scan HOME                the look for Wine prefixes and the
//                                                simulators in them, as at the window's start
//   wingstow_paths prepare-removal FOLDER [RECORDS LINES CHECKED]
//   wingstow_paths remove FOLDER                 "Delete from FS" of the checked records
//   wingstow_paths exec COMMAND [ARGUMENT...]    an everyday tool, timed alike
//
// A work prints "SECONDS PEAK_KIB COUNT": the time of the work alone (neither
// the process start nor the preparation), the process's peak resident memory
// and a count to check the work by (files in the result, records removed,
// paths found). exec prints the tool's wall time, its peak, and its exit
// status as the count; what the tool writes to its output is dropped. A work that did not do what
// it should exits with 1.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "base/find_file.h"
#include "base/ui.h"
#include "bench_support.h"
#include "commands/catalogue.h"
#include "commands/package_buttons.h"
#include "install/install_aircraft.h"
#include "install/verify.h"
#include "packages/unzip.h"
#include "packages/zip_master.h"
#include "removal/removal.h"
#include "settings/record.h"
#include "settings/shared.h"
#include "settings/simulator.h"
#include "settings/wine.h"
#include "support/rar_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace wingstow::bench;

long count_files(const fs::path& folder) {
  long count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) ++count;
  return count;
}

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// ---- The works

// The extraction workers, where the component has them.
template <class Zip>
constexpr bool has_workers = requires(Zip& zip) {
  zip.Workers;
};

template <class Zip>
bool set_workers(Zip& zip, int workers) {
  if constexpr (has_workers<Zip>) {
    zip.Workers = static_cast<std::remove_cvref_t<decltype(zip.Workers)>>(workers);
    return true;
  } else {
    return workers == 1;
  }
}

// The Unzip button on one highlighted archive of the download folder,
// with the component set up as the main window sets it up.
// Unzips the archive as the Unzip button does; the package folder, and the
// time the work took.
std::pair<std::string, double> unzip_package(const std::string& archive,
                                             const std::string& unzip_folder, int workers) {
  YesUi ui;
  wingstow::Shared shared(with_sep(unzip_folder));
  wingstow::ZipMaster zip(ui);
  if (!set_workers(zip, workers)) fail("this build has no extraction workers", ui);
  zip.OnProgress = [&](int kind, const std::string&, std::uint64_t size) {
    wingstow::ZipMaster1Progress(shared, ui, kind, size);
  };
  zip.OnCRC32Error = [](const std::string&, std::uint32_t, std::uint32_t, bool& do_extract) {
    wingstow::ZipMaster1CRC32Error(do_extract);
  };
  zip.load_zip_dll();
  zip.load_unz_dll();
  shared.download_path = with_sep(fs::path(archive).parent_path());
  shared.unzip_path = with_sep(unzip_folder);
  ui.list_folder = shared.download_path;
  ui.list_item = archive;
  ui.highlighted = true;

  const auto start = Clock::now();
  wingstow::SpeedButton5Click(shared, ui, zip);
  const auto end = Clock::now();
  if (ui.highlighted) fail("the archive was not extracted", ui);
  return {shared.unzip_path + wingstow::package_name_for_archive(archive),
          std::chrono::duration<double>(end - start).count()};
}

int unzip(const std::string& archive, const std::string& unzip_folder, int workers) {
  const auto [package, seconds] = unzip_package(archive, unzip_folder, workers);
  std::printf("%.6f %ld %ld\n", seconds, peak_kib(), count_files(package));
  return 0;
}

// A stored RAR 5 archive of every file below source, names relative to it.
int make_rar5(const std::string& source, const std::string& archive) {
  std::vector<wingstow::test::RarEntry> entries;
  for (const auto& entry : fs::recursive_directory_iterator(source))
    if (entry.is_regular_file()) {
      std::ifstream file(entry.path(), std::ios::binary);
      std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      entries.push_back({fs::relative(entry.path(), source).string(), std::move(content)});
    }
  wingstow::test::write_rar5(archive, entries);
  return 0;
}

// One airplane made of many small files, as repaint-heavy or scenery-like
// packages are: the cost per file, not per byte.
int make_small(const std::string& folder, int files) {
  const fs::path plane = fs::path(folder) / "Aircraft" / "Small Fleet";
  fs::create_directories(plane);
  std::ofstream(plane / "aircraft.cfg", std::ios::binary) << "[fltsim.0]\r\ntitle=Small Fleet\r\n";
  std::uint32_t seed = 12345;
  std::string content;
  for (int i = 0; i < files; ++i) {
    const fs::path sub = plane / ("texture." + std::to_string(i / 200));
    if (i % 200 == 0) fs::create_directories(sub);
    seed = seed * 1664525u + 1013904223u;
    content.assign(1024 + seed % 7168, static_cast<char>('a' + i % 26));
    std::ofstream(sub / ("t" + std::to_string(i) + ".bmp"), std::ios::binary) << content;
  }
  return 0;
}

// An archive of many entries: the memory kept per entry, not per byte.
int make_many(const std::string& archive, int entries) {
  int error = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) throw std::runtime_error("cannot create " + archive);
  for (int i = 0; i < entries; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "Many/Aircraft/Plane %03d/texture/t%04d.bmp", i / 1000,
                  i % 1000);
    const std::string content(static_cast<std::size_t>(10 + i % 50),
                              static_cast<char>('a' + i % 26));
    void* data = std::malloc(content.size());
    std::memcpy(data, content.data(), content.size());
    zip_source_t* source = zip_source_buffer(zip, data, content.size(), 1);
    if (!source || zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8) < 0)
      throw std::runtime_error("cannot add to " + archive);
  }
  if (zip_close(zip) != 0) throw std::runtime_error("cannot write " + archive);
  std::printf("%d\n", entries);
  return 0;
}

int wine_scan(const std::string& home) {
  const auto start = Clock::now();
  const auto prefixes = wingstow::find_wine_prefixes({home, {}});
  const auto roots = wingstow::find_simulator_roots(prefixes);
  const auto end = Clock::now();
  if (roots.empty()) fail("no simulator was found", YesUi{});
  return report(start, end, static_cast<long>(prefixes.size()));
}

int copy(const std::string& source, const std::string& target) {
  YesUi ui;
  wingstow::InstallReport failures;
  const auto start = Clock::now();
  wingstow::copy_folder_tree(
      with_sep(source), with_sep(target), true, [&] { ui.pump(); }, &failures);
  const auto end = Clock::now();
  if (!failures.empty())
    fail("copy failed: " + failures.failures.front().path + " (" +
             std::to_string(failures.failures.front().error) + ")",
         ui);
  return report(start, end, count_files(target));
}

// The airplane step of "Install to FS": every airplane of the package into
// the simulator's aircraft folder, with its record in SCRATCH's unzip folder.
int install(const std::string& package, const std::string& fs_folder, const std::string& scratch) {
  YesUi ui;
  const std::string program = with_sep(scratch) + "prog/";
  fs::create_directories(program + "unzip_fs2004");
  wingstow::Shared shared(program);
  shared.fs_version = "fs2004";
  shared.fs_path = with_sep(fs_folder);
  shared.unzip_path = program + "unzip_fs2004/";
  std::string package_path = package;
  while (package_path.size() > 1 && package_path.back() == '/') package_path.pop_back();
  wingstow::PackageInstall install;
  const auto start = Clock::now();
  wingstow::install_aircraft(shared, ui, install, package_path);
  const bool copied = shared.abort_flag == 0 && install.report.empty();
  const int sums =
      copied ? wingstow::write_install_sums(wingstow::record_path(shared), {}, &install.copied) : 0;
  const auto end = Clock::now();
  if (!copied) fail("the airplanes were not installed", ui);
  if (sums != 0) fail("the sums were not written (" + std::string(std::strerror(sums)) + ")", ui);
  return report(start, end, count_files(shared.fs_path + "aircraft"));
}

// The install of a package this process unzipped: the copies take the
// CRCs the extraction checked instead of reading each file through.
int install_after_unzip(const std::string& archive, const std::string& fs_folder,
                        const std::string& scratch) {
  const std::string unzipped = with_sep(scratch) + "unzipped";
  fs::create_directories(unzipped);
  const auto package = unzip_package(archive, unzipped, 2).first;
  return install(package, fs_folder, scratch);
}

int find(const std::string& folder, const std::string& mask) {
  wingstow::TFindFile finder;
  finder.setPath(folder);
  finder.FileMask = mask;
  finder.FileAttr = {};
  finder.InSubFolders = true;
  const auto start = Clock::now();
  const auto found = finder.Search().size();
  const auto end = Clock::now();
  return report(start, end, static_cast<long>(found));
}

// ---- Removal: records of airplanes that brought their folder, gauges,
// sounds and effects, a few gauges shared between packages.

constexpr const char* simulator_folders[] = {
    "Aircraft", "Gauges", "Sound", "Effects", "Effects/Texture", "Modules", "Flights/MyFlts"};

std::string package_name(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "Package %04d", number);
  return name;
}

int prepare_removal(const fs::path& folder, int records, int lines, int checked) {
  const fs::path simulator = folder / "FS9";
  for (const char* sub : simulator_folders) fs::create_directories(simulator / sub);
  const fs::path unzip = folder / "prog/unzip_fs2004";
  fs::create_directories(unzip);
  private_home(folder);
  const int every = std::max(1, records / std::max(1, checked));
  for (int r = 0; r < records; ++r) {
    const std::string name = package_name(r);
    const bool removed = r % every == 0 && r / every < checked;
    std::vector<std::string> paths;
    const fs::path airplane = simulator / "Aircraft" / name;
    paths.push_back(airplane.string());
    for (int i = 1; i < lines; ++i) {
      const std::string n = std::to_string(i);
      if (i <= 2)
        paths.push_back(
            (simulator / "Gauges" / ("shared_" + std::to_string(r % 7) + "_" + n + ".gau"))
                .string());
      else if (i < 12)
        paths.push_back((simulator / "Gauges" / (name + "_" + n + ".gau")).string());
      else if (i < 22)
        paths.push_back((simulator / "Sound" / (name + "_" + n + ".wav")).string());
      else if (i < 30)
        paths.push_back((simulator / "Effects/Texture" / (name + "_" + n + ".bmp")).string());
      else
        paths.push_back((simulator / "Effects" / (name + "_" + n + ".fx")).string());
    }
    std::string text;
    for (const auto& path : paths) text += path + "\r\n";
    write_text(unzip / (name + ".txt"), text);
    // What the records to remove list is there; the others' files are not
    // needed, as only their records are read.
    if (!removed) continue;
    fs::create_directories(airplane / "texture");
    write_text(airplane / "aircraft.cfg", "[fltsim.0]\r\ntitle=" + name + "\r\n");
    for (int t = 0; t < 4; ++t)
      write_text(airplane / "texture" / (std::to_string(t) + ".bmp"), "BM");
    for (std::size_t i = 1; i < paths.size(); ++i) write_text(paths[i], name);
  }
  return 0;
}

int remove_checked(const fs::path& folder) {
  private_home(folder);
  YesUi ui;
  wingstow::Shared shared(with_sep(folder / "prog"));
  shared.fs_version = "fs2004";
  shared.fs_path = with_sep(folder / "FS9");
  shared.unzip_path = with_sep(folder / "prog/unzip_fs2004");
  // The catalogue as the window fills it, checked where a record's airplane
  // folder is there.
  wingstow::refresh_catalogue(shared, ui);
  const std::vector<std::string> records = ui.catalogue_entries;
  std::size_t to_remove = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string name = fs::path(records[i]).stem();
    if (fs::exists(folder / "FS9/Aircraft" / name)) {
      ui.checked.insert(static_cast<int>(i));
      ++to_remove;
    }
  }
  const auto start = Clock::now();
  wingstow::SpeedButton8Click(shared, ui);
  const auto end = Clock::now();
  long removed = 0;
  for (const auto& record : records) removed += fs::exists(record) ? 0 : 1;
  if (static_cast<std::size_t>(removed) != to_remove || ui.messages.size() != 2)
    fail("not every checked record was removed", ui);
  return report(start, end, removed);
}

// ---- Everyday tools

int exec(char** command) {
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("fork");
    return 1;
  }
  if (child == 0) {
    // What the tool lists (find) would mix with the measurement.
    if (const int null = ::open("/dev/null", O_WRONLY); null >= 0) ::dup2(null, 1);
    ::execvp(command[0], command);
    std::perror(command[0]);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0)
    if (errno != EINTR) return 1;
  const auto end = Clock::now();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%.6f %ld %d\n", std::chrono::duration<double>(end - start).count(), usage.ru_maxrss,
              code);
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: wingstow_paths features | unzip ARCHIVE UNZIP_FOLDER [WORKERS] |\n"
               "       copy SOURCE TARGET | install PACKAGE FS SCRATCH | find FOLDER MASK |\n"
               "       make-small FOLDER FILES | make-many ARCHIVE ENTRIES |\n"
               "       make-rar5 SOURCE ARCHIVE | wine-scan HOME |\n"
               "       install-after-unzip ARCHIVE FS SCRATCH |\n"
               "       prepare-removal FOLDER [RECORDS LINES CHECKED] | remove FOLDER |\n"
               "       exec COMMAND...\n");
  return 2;
}

int number(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (!end || *end != '\0' || value < 0 || value > 1000000) throw std::invalid_argument(text);
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string work = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  const auto n = args.size();
  try {
    if (work == "features") {
      std::printf("workers %d\nrest_kib %ld\n", has_workers<wingstow::ZipMaster> ? 1 : 0,
                  peak_kib());
      return 0;
    }
    if (work == "unzip" && (n == 2 || n == 3))
      return unzip(args[0], args[1], n == 3 ? number(argv[4]) : 1);
    if (work == "copy" && n == 2) return copy(args[0], args[1]);
    if (work == "make-rar5" && n == 2) return make_rar5(args[0], args[1]);
    if (work == "install" && n == 3) return install(args[0], args[1], args[2]);
    if (work == "make-small" && n == 2) return make_small(args[0], number(argv[3]));
    if (work == "wine-scan" && n == 1) return wine_scan(args[0]);
    if (work == "install-after-unzip" && n == 3)
      return install_after_unzip(args[0], args[1], args[2]);
    if (work == "make-many" && n == 2) return make_many(args[0], number(argv[3]));
    if (work == "find" && n == 2) return find(args[0], args[1]);
    if (work == "prepare-removal" && (n == 1 || n == 4))
      return n == 1 ? prepare_removal(args[0], 2000, 40, 100)
                    : prepare_removal(args[0], number(argv[3]), number(argv[4]), number(argv[5]));
    if (work == "remove" && n == 1) return remove_checked(args[0]);
    if (work == "exec" && n >= 1) return exec(argv + 2);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wingstow_paths %s: %s\n", work.c_str(), e.what());
    return 1;
  }
  return usage();
}
