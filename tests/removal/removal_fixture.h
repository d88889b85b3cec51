#pragma once

// A program folder with its unzip folder and records, a simulator tree, and
// a home of its own so that trashed folders never reach the user's trash.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/shared.h"
#include "settings/simulator.h"
#include "support/recording_ui.h"
#include "support/simulator_fixture.h"
#include "support/temp_tree.h"

namespace wingstow::test {

class RemovalFixture : public SimulatorFixture {
 protected:
  RemovalFixture()
      : SimulatorFixture(
            {"aircraft", "gauges", "sound", "effects/texture", "modules", "flights/myflts"}) {}

  void SetUp() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const char* value = std::getenv(name);
      saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + ".local/share").c_str(), 1);
  }

  void TearDown() override {
    for (const auto& [name, value] : saved)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }

  // A record in the unzip folder, its lines ended by CR LF; its path.
  std::string record(std::string_view name, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return tree.make_file("prog/unzip_fs2004/" + std::string(name) + ".txt", text);
  }

  std::string record_path(std::string_view name) const {
    return unzip + std::string(name) + ".txt";
  }
  bool has_record(std::string_view name) const {
    return std::filesystem::exists(record_path(name));
  }
  std::string log_of(std::string_view name) const { return read_file(record_path(name) + ".err"); }

  // ListBox2 as refresh_catalogue fills it, then the named entries checked.
  void catalogue(std::initializer_list<std::string_view> checked = {}) {
    refresh_catalogue(shared, ui);
    for (auto name : checked) {
      const auto& entries = ui.catalogue_entries;
      for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == record_path(name)) ui.checked.insert(static_cast<int>(i));
    }
  }

  bool in_trash(std::string_view name) const {
    return std::filesystem::exists(home + ".local/share/Trash/files/" + std::string(name));
  }

  std::string home = tree.make_folder("home");
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

}  // namespace wingstow::test
