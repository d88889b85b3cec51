// What a click in the file list turns on and off, and the size shown for the
// highlighted folders.

#include "commands/file_list_click.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packages/packages_fixture.h"
#include "platform/error.h"

namespace wingstow {
namespace {

using test::PackagesFixture;

constexpr const char* executable_text = "This airplane use an executable for the installation !";

// n bytes of filler.
std::string bytes(std::size_t n) { return std::string(n, 'x'); }

class FileListClickTest : public PackagesFixture {
 protected:
  // The state a previous click on a package folder leaves behind.
  void fill_display() {
    ui.enabled["SpeedButton5"] = true;
    ui.enabled["SpeedButton7"] = true;
    ui.texts["Edit1"] = "7 Mb";
    ui.pictures["AdvImage1"] = "old.jpg";
    ui.pictures["AdvImage3"] = "old.jpg";
    ui.picture_list = {"old.jpg"};
  }
  void expect_display_cleared() {
    EXPECT_EQ(ui.texts["Edit1"], "");
    EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
    EXPECT_EQ(ui.pictures["AdvImage1"], "");
    EXPECT_EQ(ui.pictures["AdvImage3"], "");
    EXPECT_TRUE(ui.picture_list.empty());
  }
};

class ZipInDownloadFolder : public FileListClickTest,
                            public ::testing::WithParamInterface<const char*> {};

TEST_P(ZipInDownloadFolder, EnablesUnzipAndDisablesInstall) {
  tree.make_file("prog/download_fs2004/" + std::string(GetParam()));
  fill_display();

  click_in(download, GetParam());

  EXPECT_EQ(ui.enabled_state("SpeedButton5"), true);
  expect_display_cleared();
}

INSTANTIATE_TEST_SUITE_P(EveryFormatAndSpelling, ZipInDownloadFolder,
                         ::testing::Values("pack.zip", "PACK.ZIP", "pack.Zip", "Pack.7Z",
                                           "beaver.rar"));

TEST_F(FileListClickTest, ANameWithoutArchiveEndingDoesNotEnableUnzip) {
  tree.make_file("prog/download_fs2004/pack.7zz");
  fill_display();

  click_in(download, "pack.7zz");

  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
  expect_display_cleared();
}

// The list's folder must be the download folder on disk, in whatever
// spelling it was reached; a ZIP file elsewhere is no package to unzip.
TEST_F(FileListClickTest, ZipElsewhereDoesNotEnableUnzip) {
  tree.make_file("prog/download_fs2004/pack.zip");
  tree.make_file("prog/unzip_fs2004/pack.zip");

  click_in(tree.path("prog/DOWNLOAD_FS2004/"), "pack.zip");
  EXPECT_EQ(ui.enabled_state("SpeedButton5"), true);

  click_in(unzip, "pack.zip");
  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
}

TEST_F(FileListClickTest, SubfolderOfDownloadShowsSizeAndKeepsInstall) {
  tree.make_file("prog/download_fs2004/Extras/big.bin", bytes(1024 * 1024 + 10));
  fill_display();

  click_in(download, "Extras");

  EXPECT_EQ(ui.texts["Edit1"], "1 Mb");
  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), true);
  EXPECT_EQ(ui.pictures["AdvImage1"], "old.jpg");
  EXPECT_EQ(ui.picture_list, std::vector<std::string>{"old.jpg"});
}

// Only the name is looked at: a folder named like an archive counts as one.
TEST_F(FileListClickTest, FolderNamedOldZipEnablesUnzipAndShowsSize) {
  tree.make_file("prog/download_fs2004/old.zip/part1.bin", bytes(2 * 1024 * 1024));

  click_in(download, "old.zip");

  EXPECT_EQ(ui.enabled_state("SpeedButton5"), true);
  EXPECT_EQ(ui.texts["Edit1"], "2 Mb");
}

TEST_F(FileListClickTest, RecordInUnzipFolderClearsTheDisplay) {
  add("Pack/aircraft.cfg");
  add("Pack/a.jpg");
  add("Pack.txt", "record");
  open(unzip);
  click("Pack");
  ASSERT_EQ(ui.pictures["AdvImage1"], unzip + "Pack/a.jpg");

  click("Pack.txt");

  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
  expect_display_cleared();
}

// The parent entry names an existing folder, here the unzip folder's own
// parent; it must not pass for a package.
TEST_F(FileListClickTest, ParentEntryDisablesBoth) {
  add("Pack/aircraft.cfg");
  open(unzip);
  fill_display();

  click("..");

  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
  expect_display_cleared();
  EXPECT_TRUE(ui.statuses.empty());
}

TEST_F(FileListClickTest, DriveEntryDisablesBoth) {
  ui.directory = "Drives";
  ui.items = {{"/", "/", false}};
  ui.selected_item = "/";
  ui.items[0].highlighted = true;
  fill_display();

  LsFilelistView_utilClick(shared, ui);

  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
  expect_display_cleared();
}

TEST_F(FileListClickTest, PackageFolderShowsSizePicturesAndEnablesInstall) {
  add("Pack/Plane/aircraft.cfg", bytes(600 * 1024));
  add("Pack/Plane/model/plane.mdl", bytes(600 * 1024));
  add("Pack/a.jpg");
  add("Pack/b.gif");
  ui.statuses = {"left over"};
  ui.enabled["SpeedButton7"] = false;

  click_in(unzip, "Pack");

  EXPECT_EQ(ui.texts["Edit1"], "1 Mb");
  EXPECT_EQ(ui.enabled_state("SpeedButton5"), false);
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), true);
  EXPECT_EQ(ui.pictures["AdvImage1"], unzip + "Pack/a.jpg");
  EXPECT_EQ(ui.pictures["AdvImage3"], unzip + "Pack/a.jpg");
  EXPECT_EQ(ui.picture_list,
            (std::vector<std::string>{unzip + "Pack/a.jpg", unzip + "Pack/b.gif"}));
  // The status line is cleared, and no check objects.
  EXPECT_EQ(ui.statuses, (std::vector<std::string>{"left over", ""}));
}

// The checks run after the status is cleared, the later text replacing the
// earlier.
TEST_F(FileListClickTest, PackageFolderClickAppliesTheChecksInOrder) {
  add("Pack/Plane/aircraft.cfg");
  add("Pack/setup/setup.exe");
  ui.catalogue_entries = {unzip + "Pack.txt"};

  click_in(unzip, "Pack");

  EXPECT_EQ(ui.statuses, (std::vector<std::string>{"", " Already installed!", executable_text}));
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
}

// Measuring and searching a folder shows the wait cursor, taken back however
// the click ends; a file's click measures nothing.
TEST_F(FileListClickTest, WaitCursorWhileAFolderIsMeasured) {
  add("Pack/Plane/aircraft.cfg");
  add("Pack.txt", "record");
  tree.make_file("prog/download_fs2004/Extras/big.bin");

  click_in(unzip, "Pack.txt");
  EXPECT_TRUE(ui.wait_cursor.empty());
  click("Pack");
  click_in(download, "Extras");
  EXPECT_EQ(ui.wait_cursor, (std::vector<bool>{true, false, true, false}));

  struct FailingUi : test::RecordingUi {
    void status(std::string_view) override { throw Error("status line gone"); }
  } failing;
  failing.directory = unzip;
  failing.list_refresh();
  failing.click("Pack");
  EXPECT_THROW(LsFilelistView_utilClick(shared, failing), Error);
  EXPECT_EQ(failing.wait_cursor, (std::vector<bool>{true, false}));
}

class SelectionSizeTest : public FileListClickTest {
 protected:
  // A package folder of whole_kib kibibytes and 1023 bytes, spread over a
  // subfolder so that the recursion counts.
  void package_of(const std::string& name, std::size_t whole_kib) {
    add(name + "/aircraft.cfg", bytes(1023));
    add(name + "/model/plane.mdl", bytes(whole_kib * 1024));
  }
};

// 340 + 341 + 341 = 1022 whole KiB: "0 Mb", although the bytes themselves
// add up to more than 1 MiB.
TEST_F(SelectionSizeTest, EachFolderIsCutToWholeKibibytesBeforeTheSum) {
  package_of("A", 340);
  package_of("B", 341);
  package_of("C", 341);
  package_of("Unselected", 2048);
  add("Big.txt", bytes(2 * 1024 * 1024));
  open(unzip);
  ui.multi_select = true;
  click("Big.txt");  // a highlighted file adds nothing

  click("A");
  click("B");
  click("C");

  EXPECT_EQ(ui.texts["Edit1"], "0 Mb");
}

TEST_F(SelectionSizeTest, WholeKibibytesOfThreeFoldersMakeOneMebibyte) {
  package_of("A", 341);
  package_of("B", 341);
  package_of("C", 342);
  open(unzip);
  ui.multi_select = true;

  click("A");
  click("B");
  click("C");

  EXPECT_EQ(ui.texts["Edit1"], "1 Mb");
  EXPECT_EQ(selection_size_text(ui), "1 Mb");
}

}  // namespace
}  // namespace wingstow
