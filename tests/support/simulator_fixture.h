#pragma once

// A program folder with the FS 2004 unzip folder, a simulator root beside it
// and the shared state of a program that has FS 2004 selected and ready.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "settings/shared.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"

namespace wingstow::test {

class SimulatorFixture : public ::testing::Test {
 protected:
  // simulator_folders: the folders made below the simulator root FS9.
  explicit SimulatorFixture(std::initializer_list<std::string_view> simulator_folders)
      : fs(make_simulator("FS9", simulator_folders)) {
    shared.fs_version = "fs2004";
    shared.fs_path = fs;
    shared.unzip_path = unzip;
    ui.tag = "fs2004";
  }

  std::string make_simulator(std::string_view name,
                             std::initializer_list<std::string_view> folders) {
    const std::string root = tree.make_folder(name);
    for (auto sub : folders) tree.make_folder(std::string(name) + "/" + std::string(sub));
    return root;
  }

  TempTree tree;
  std::string program = tree.make_folder("prog");
  std::string unzip = tree.make_folder("prog/unzip_fs2004");
  std::string fs;
  Shared shared{program};
  RecordingUi ui;
};

}  // namespace wingstow::test
