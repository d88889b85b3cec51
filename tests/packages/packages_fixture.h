#pragma once

// A program folder with its download and unzip folders, the file list of the
// recording Ui pointed at them, and the archive component wired to the
// progress and checksum handlers as the main window wires it.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "commands/file_list_click.h"
#include "packages/unzip.h"
#include "packages/zip_master.h"
#include "settings/shared.h"
#include "support/recording_ui.h"
#include "support/simulator_fixture.h"
#include "support/temp_tree.h"

namespace wingstow::test {

class PackagesFixture : public SimulatorFixture {
 protected:
  PackagesFixture() : SimulatorFixture({}) {
    shared.download_path = download;
    zip.OnProgress = [this](int kind, const std::string&, std::uint64_t size) {
      ZipMaster1Progress(shared, ui, kind, size);
    };
    zip.OnCRC32Error = [](auto&, auto, auto, bool& do_extract) {
      ZipMaster1CRC32Error(do_extract);
    };
  }

  // Shows folder in the list, read afresh from the disk.
  void open(const std::string& folder) {
    ui.directory = folder;
    ui.list_refresh();
  }

  // Opens folder and clicks the entry name, as the user does.
  void click_in(const std::string& folder, const std::string& name) {
    open(folder);
    click(name);
  }

  // Clicks an entry of the folder the list shows.
  void click(const std::string& name) {
    ASSERT_GE(ui.index_of(name), 0) << name << " is not listed";
    ui.click(name);
    LsFilelistView_utilClick(shared, ui);
  }

  std::string caption_of(const std::string& name) const {
    const int index = ui.index_of(name);
    return index < 0 ? "<not listed>" : ui.items[static_cast<std::size_t>(index)].caption;
  }
  bool highlighted(const std::string& name) const {
    const int index = ui.index_of(name);
    return index >= 0 && ui.items[static_cast<std::size_t>(index)].highlighted;
  }

  // A file of an unpacked package, relative to the unzip folder.
  std::string add(std::string_view relative, std::string_view content = "x") const {
    return tree.make_file("prog/unzip_fs2004/" + std::string(relative), content);
  }

  std::string download = tree.make_folder("prog/download_fs2004");
  ZipMaster zip{ui};
};

}  // namespace wingstow::test
