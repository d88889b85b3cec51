#pragma once

// A program folder with its unzip folder, a simulator tree and packages built
// on disk, shared by the install tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "install/install_aircraft.h"
#include "install/side_files.h"
#include "settings/record.h"
#include "settings/shared.h"
#include "support/recording_ui.h"
#include "support/simulator_fixture.h"
#include "support/temp_tree.h"

namespace wingstow::test {

// Everything below folder (which ends with the separator): relative path to
// content, folders as "name/" with an empty content, links as "-> target".
// Comparing two of them shows every byte an operation changed.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string full = it->path().string();
    const std::string relative = full.substr(folder.size());
    if (it->is_symlink())
      out[relative] = "-> " + fs::read_symlink(it->path()).string();
    else if (it->is_directory())
      out[relative + "/"] = "";
    else
      out[relative] = read_file(full);
  }
  return out;
}

inline std::string copy_warning(int error) {
  return "Pay attention, problem encountered during the copy " + std::to_string(error) +
         "  memo1.Lines[count0]";
}

// The simulator root as the chooser accepts it: the six standard folders.
class InstallFixture : public SimulatorFixture {
 protected:
  InstallFixture()
      : SimulatorFixture({"aircraft", "gauges", "sound", "effects", "modules", "flights"}) {}

  // The state of the package the steps install.
  PackageInstall state;

  // A file of an unzipped package, relative to the unzip folder.
  std::string add(std::string_view relative, std::string_view content = "x") const {
    return tree.make_file("prog/unzip_fs2004/" + std::string(relative), content);
  }

  // The package path as the install command hands it over: no trailing
  // separator.
  std::string package(std::string_view name) const { return unzip + std::string(name); }

  std::string record(std::string_view package_name) const {
    return read_file(unzip + std::string(package_name) + ".txt");
  }
  bool has_record(std::string_view package_name) const {
    return std::filesystem::exists(unzip + std::string(package_name) + ".txt");
  }

  // The record as the aircraft step leaves it, for side-file steps run alone.
  void start_record(std::string_view package_name) {
    shared.record_name = std::string(package_name) + ".txt";
    create_record(unzip + shared.record_name);
    append_record_line(unzip + shared.record_name, fs + "aircraft/" + std::string(package_name));
  }

  // What the install command does once every step of a package ran whole.
  void finish(std::string_view package_name) {
    mark_install_finished(unzip + std::string(package_name) + ".txt");
  }

  // The copy failures of the install report, as (target, errno).
  std::vector<std::pair<std::string, int>> failures() const {
    std::vector<std::pair<std::string, int>> out;
    for (const auto& f : state.report.failures) out.emplace_back(f.path, f.error);
    return out;
  }

  // Lines joined the way the record stores them.
  static std::string lines(std::initializer_list<std::string> items) {
    std::string out;
    for (const auto& item : items) out += item + "\r\n";
    return out;
  }

  // The aircraft step, then the side-file steps while nothing refused the
  // package, in the order of the install command.
  void install_package(const std::string& path) {
    using Step = void (*)(Shared&, Feedback&, PackageInstall&, const std::string&);
    install_aircraft(shared, ui, state, path);
    for (Step step : {install_gauges, install_cab_gauges, install_sounds, install_modules,
                      install_flights, install_weather, install_effects}) {
      if (shared.abort_flag != 0) return;
      step(shared, ui, state, path);
    }
  }
};

}  // namespace wingstow::test
