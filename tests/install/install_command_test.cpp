// "Install to FS" over the highlighted package folders of the unzip folder:
// which packages go in, the inner archives, the free-space warning and the
// window the command leaves behind.

#include "install/install_command.h"
#include "commands/package_buttons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "install/install_fixture.h"
#include "install/verify.h"
#include "packages/unzip.h"
#include "packages/zip_master.h"
#include "platform/error.h"
#include "settings/simulator.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using test::InstallFixture;
using test::read_file;
using test::snapshot;
using Texts = std::vector<std::string>;

constexpr const char* executable_text = "This airplane use an executable for the installation !";

bool exists(const std::string& path) { return std::filesystem::exists(path); }

class InstallCommandTest : public InstallFixture {
 protected:
  InstallCommandTest() {
    zip.OnProgress = [this](int kind, const std::string&, std::uint64_t size) {
      ZipMaster1Progress(shared, ui, kind, size);
    };
    zip.OnCRC32Error = [](auto&, auto, auto, bool& do_extract) {
      ZipMaster1CRC32Error(do_extract);
    };
  }

  // One airplane in a folder of its own inside the package, titled after
  // it, so that the airplane check finds nothing to ask about.
  void airplane(const std::string& package_name, std::string_view cfg = {}) {
    add(package_name + "/Plane/aircraft.cfg",
        cfg.empty() ? "[fltsim.0]\r\ntitle=" + package_name + "\r\n" : std::string(cfg));
  }

  // The unzip folder in the list with these entries highlighted, as "Multi
  // select" allows.
  void select(std::initializer_list<const char*> names) {
    ui.directory = unzip;
    ui.list_refresh();
    ui.multi_select = true;
    for (const char* name : names) {
      ASSERT_GE(ui.index_of(name), 0) << name;
      ui.click(name);
    }
  }

  void run() { SpeedButton7Click(shared, ui, zip); }

  bool installed(const std::string& name) const {
    return exists(fs + "aircraft/" + name + "/aircraft.cfg");
  }
  long count(const std::string& operation) const {
    return std::count(ui.progress.begin(), ui.progress.end(), operation);
  }

  ZipMaster zip{ui};
};

TEST_F(InstallCommandTest, OnlyFromTheUnzipFolder) {
  airplane("Pack");
  const std::string download = tree.make_folder("prog/download_fs2004");
  tree.make_folder("prog/download_fs2004/Pack");
  for (const std::string& folder : {download, fs}) {
    ui.directory = folder;
    ui.list_refresh();
    for (auto& item : ui.items) item.highlighted = true;
    ui.messages.clear();

    run();

    ASSERT_EQ(ui.messages.size(), 1u) << folder;
    EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
    EXPECT_EQ(ui.messages[0].text, "Install to fs is only possible from the unzip path directory");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::ok);
  }
  EXPECT_TRUE(ui.progress.empty());
  EXPECT_TRUE(ui.statuses.empty());
  EXPECT_FALSE(has_record("Pack"));
  EXPECT_FALSE(installed("Pack"));
}

TEST_F(InstallCommandTest, PackageWithAnExecutableIsSkippedAndTheNextInstalled) {
  airplane("First");
  add("First/setup/setup.exe");
  airplane("Second");
  select({"First", "Second"});

  run();

  EXPECT_EQ(ui.message_texts(), Texts{executable_text});
  EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
  EXPECT_FALSE(installed("First"));
  EXPECT_FALSE(has_record("First"));
  EXPECT_TRUE(installed("Second"));
  EXPECT_EQ(record("Second"), fs + "aircraft/Second\r\n");
  EXPECT_EQ(count("show"), 1);
}

// The progress window comes with the first package that passes the
// executable test, not before.
TEST_F(InstallCommandTest, OnlyAnExecutablePackageNeverShowsTheProgressWindow) {
  airplane("First");
  add("First/setup.exe");
  select({"First"});

  run();

  EXPECT_EQ(count("show"), 0);
  EXPECT_EQ(count("start"), 0);
  EXPECT_EQ(ui.enabled_state("util"), true);
  EXPECT_FALSE(installed("First"));
}

TEST_F(InstallCommandTest, WithMultiSelectTheExecutableOnlySetsTheStatus) {
  airplane("First");
  add("First/setup/setup.exe");
  airplane("Second");
  ui.prompt = true;
  select({"First", "Second"});

  run();

  EXPECT_TRUE(ui.messages.empty());
  EXPECT_NE(std::find(ui.statuses.begin(), ui.statuses.end(), executable_text), ui.statuses.end());
  EXPECT_FALSE(installed("First"));
  EXPECT_TRUE(installed("Second"));
}

TEST_F(InstallCommandTest, ProgressWindowShownOnceForSeveralPackages) {
  airplane("First");
  airplane("Second");
  select({"First", "Second"});

  run();

  EXPECT_TRUE(installed("First"));
  EXPECT_TRUE(installed("Second"));
  EXPECT_EQ(count("show"), 1);
  EXPECT_EQ(count("caption copy into fs2004"), 2);
  EXPECT_EQ(count("close"), 1);
}

// The bytes of each package's copies as they are made, against its size:
// what the terminal's progress line tells.
TEST_F(InstallCommandTest, CopiesCountTheirBytesAgainstThePackage) {
  airplane("First");
  add("First/Plane/model/first.mdl", std::string(3000, 'm'));
  add("First/Gauges/first.gau", std::string(500, 'g'));
  add("First/readme.txt", std::string(200, 'r'));  // not copied
  select({"First"});

  run();

  ASSERT_TRUE(installed("First"));
  ASSERT_FALSE(ui.bytes_progress.empty());
  const std::uint64_t cfg = std::string("[fltsim.0]\r\ntitle=First\r\n").size();
  const std::uint64_t package_size = cfg + 3000 + 500 + 200;
  EXPECT_EQ(ui.bytes_progress.front(), std::make_pair(std::uint64_t{0}, package_size));
  // What the readme leaves out is not waited for: the count ends whole.
  const std::uint64_t copied = cfg + 3000 + 500;
  EXPECT_EQ(ui.bytes_progress.back(), std::make_pair(copied, copied));
  ui.bytes_progress.pop_back();
  EXPECT_EQ(ui.bytes_progress.back(), std::make_pair(copied, package_size));
  EXPECT_TRUE(std::is_sorted(ui.bytes_progress.begin(), ui.bytes_progress.end()));
}

TEST_F(InstallCommandTest, PackageRefusedAsInstalledDoesNotStopTheNext) {
  airplane("First");
  add("First/panel/first.gau", "gauge");
  add("First.txt", fs + "aircraft/First\r\n");
  airplane("Second");
  select({"First", "Second"});

  run();

  EXPECT_EQ(ui.message_texts(), Texts{"Airplane already installed " + package("First")});
  EXPECT_FALSE(installed("First"));
  // The side-file steps of a refused package are skipped too.
  EXPECT_FALSE(exists(fs + "gauges/first.gau"));
  EXPECT_EQ(record("First"), fs + "aircraft/First\r\n");
  EXPECT_TRUE(installed("Second"));
}

// An airplane delivered inside ZIP files of the package: they are unpacked
// into file_zip first, so the airplane and its side files are found there.
TEST_F(InstallCommandTest, AirplaneInsideInnerArchivesIsInstalled) {
  add("Pack/readme.txt");
  tree.make_folder("prog/unzip_fs2004/Pack/extras");
  test::write_zip(package("Pack") + "/plane.zip",
                  {{"Plane/aircraft.cfg", "[fltsim.0]"}, {"Plane/panel/panel.cfg", "panel"}});
  test::write_zip(package("Pack") + "/extras/gauges.zip", {{"Gauges/inner.gau", "gauge"}});
  select({"Pack"});

  run();

  EXPECT_EQ(read_file(package("Pack") + "/file_zip/Plane/aircraft.cfg"), "[fltsim.0]");
  EXPECT_EQ(read_file(package("Pack") + "/file_zip/Gauges/inner.gau"), "gauge");
  EXPECT_EQ(read_file(fs + "aircraft/Pack/aircraft.cfg"), "[fltsim.0]");
  EXPECT_EQ(read_file(fs + "aircraft/Pack/panel/panel.cfg"), "panel");
  EXPECT_EQ(read_file(fs + "gauges/inner.gau"), "gauge");
  EXPECT_EQ(record("Pack"), fs + "aircraft/Pack\r\n" + fs + "gauges/inner.gau\r\n");
  for (const auto& [path, content] : snapshot(fs))
    EXPECT_EQ(path.find(".zip"), std::string::npos) << path;
  EXPECT_TRUE(ui.messages.empty());
}

// The command stops at that point: the packages done so far stay installed
// and deselected, the rest stay highlighted.
TEST_F(InstallCommandTest, FileInTheWayOfFileZipStopsTheCommand) {
  airplane("A");
  airplane("B");
  test::write_zip(package("B") + "/more.zip", {{"extra.txt", "x"}});
  add("B/file_zip", "a file, not a folder");
  airplane("C");
  select({"A", "B", "C"});

  try {
    run();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Impossible de créer le directory");
  }

  EXPECT_TRUE(installed("A"));
  EXPECT_FALSE(ui.items[static_cast<std::size_t>(ui.index_of("A"))].highlighted);
  EXPECT_FALSE(has_record("B"));
  EXPECT_FALSE(installed("B"));
  EXPECT_EQ(read_file(package("B") + "/file_zip"), "a file, not a folder");
  EXPECT_TRUE(ui.items[static_cast<std::size_t>(ui.index_of("B"))].highlighted);
  EXPECT_FALSE(installed("C"));
  EXPECT_TRUE(ui.items[static_cast<std::size_t>(ui.index_of("C"))].highlighted);
}

// A link in place of file_zip would have the inner archives extracted
// wherever it leads.
TEST_F(InstallCommandTest, LinkInPlaceOfFileZipStopsTheCommand) {
  airplane("B");
  test::write_zip(package("B") + "/more.zip", {{"extra.txt", "x"}});
  const std::string elsewhere = tree.make_folder("elsewhere");
  std::filesystem::create_directory_symlink(elsewhere, package("B") + "/file_zip");
  select({"B"});

  try {
    run();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find(package("B") + "/file_zip"), std::string::npos)
        << error.what();
  }
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  EXPECT_FALSE(has_record("B"));
}

TEST_F(InstallCommandTest, PackageWithoutInnerArchivesGetsNoFileZip) {
  airplane("Pack");
  select({"Pack"});

  run();

  EXPECT_TRUE(installed("Pack"));
  EXPECT_FALSE(exists(package("Pack") + "/file_zip"));
}

// A simulator folder that cannot be asked has no free space; any package of
// at least one KiB then needs more than there is. The warning does not stop
// the install.
TEST_F(InstallCommandTest, FreeSpaceWarningDoesNotStopTheInstall) {
  shared.fs_path = tree.path("missing/");
  airplane("Pack", std::string(2048, 'x'));
  select({"Pack"});

  run();

  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages[0].kind, MessageKind::warning);
  EXPECT_EQ(ui.messages[0].text, "Pay Attention !, no more space left  0");
  EXPECT_EQ(ui.messages[0].buttons, Buttons::ok);
  EXPECT_TRUE(has_record("Pack"));
  // Nothing could be copied there, and the end says so.
  EXPECT_EQ(ui.statuses.back(), "Copy into fs2004 incomplete: Pack (1 not copied)");
}

TEST_F(InstallCommandTest, FreeSpaceCountsWholeKibibytesOfTheGivenPackages) {
  shared.fs_path = tree.path("missing/");
  add("Small/aircraft.cfg", std::string(1023, 'x'));
  add("Big/aircraft.cfg", std::string(4096, 'x'));

  check_free_space(shared, ui, {unzip + "Small"});
  EXPECT_TRUE(ui.messages.empty());

  check_free_space(shared, ui, {unzip + "Small", unzip + "Big"});
  EXPECT_EQ(ui.message_texts(), Texts{"Pay Attention !, no more space left  0"});
}

TEST_F(InstallCommandTest, EnoughFreeSpaceGivesNoWarning) {
  airplane("Pack", std::string(4096, 'x'));

  check_free_space(shared, ui, {unzip + "Pack"});

  EXPECT_TRUE(ui.messages.empty());
}

// A file entry is no package. The finder still points at the package
// searched last; its airplane must not be installed a second time under
// another name.
TEST_F(InstallCommandTest, EntryThatIsNoFolderInstallsNothing) {
  airplane("Other");
  add("notes.txt", "notes");
  shared.FindFile1.setPath(package("Other"));
  select({"notes.txt", ".."});
  const auto simulator = snapshot(fs);
  const auto folder = snapshot(unzip);

  run();

  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(snapshot(fs), simulator);
  EXPECT_EQ(snapshot(unzip), folder);
  EXPECT_EQ(count("show"), 0);
  EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004");
}

TEST_F(InstallCommandTest, SelfInstallerSearchesTheWholePackage) {
  airplane("Pack");
  add("Pack/disk1/bin/SETUP.EXE");
  shared.FindFile1.InSubFolders = false;

  check_self_installer(shared, ui, package("Pack"));

  EXPECT_EQ(shared.abort_flag, 1);
  EXPECT_EQ(ui.message_texts(), Texts{executable_text});

  ui.messages.clear();
  airplane("Clean");
  check_self_installer(shared, ui, package("Clean"));
  EXPECT_EQ(shared.abort_flag, 0);
  EXPECT_TRUE(ui.messages.empty());
}

// A package folder made by hand under a name with a control character is
// named and left alone: its record would carry the name into every line.
TEST_F(InstallCommandTest, PackageFolderNamedWithAControlCharacterIsRefused) {
  airplane("Line\nBreak");
  install_packages(shared, ui, zip, {package("Line\nBreak")});
  EXPECT_EQ(ui.message_texts(),
            Texts{"The package folder '" + unzip +
                  "Line\\nBreak' was not installed: its name holds a control character (such as "
                  "a line break); rename it first"});
  EXPECT_EQ(snapshot(fs), (std::map<std::string, std::string>{{"aircraft/", ""},
                                                              {"effects/", ""},
                                                              {"flights/", ""},
                                                              {"gauges/", ""},
                                                              {"modules/", ""},
                                                              {"sound/", ""}}));
  EXPECT_FALSE(has_record("Line\nBreak"));
}

// The questions an install will ask, told before anything is done, are those
// it asks: from the archive, from its package folder, and from that folder
// once installed, its inner archives extracted.
TEST_F(InstallCommandTest, QuestionsToldBeforeAreThoseAskedAfter) {
  const std::string download = tree.make_folder("prog/download_fs2004");
  const auto zip_bytes = [&](const std::string& cfg) {
    test::write_zip(download + "inner", {{cfg, "x"}});
    return read_file(download + "inner");
  };
  const Texts several{"More than one airplane will be installed , Do you want to continue ? "};
  const std::pair<std::vector<std::pair<std::string, std::string>>, bool> cases[] = {
      {{{"Solo/aircraft.cfg", "a"}}, false},
      {{{"Left\\aircraft.cfg", "l"}, {"Right/AIRCRAFT.CFG", "r"}}, true},
      {{{"Left/aircraft.cfg", "l"}, {"Right/aircraft.cfg", "r"}, {"setup.EXE", "x"}}, false},
      {{{"Plane/aircraft.cfg", "a"}, {".old/Plane/aircraft.cfg", "a"}}, false},
      {{{"Plane/aircraft.cfg", "a"}, {"../Evil/aircraft.cfg", "e"}}, false},
      {{{"Plane/aircraft.cfg", "a"}, {"extra/more.zip", zip_bytes("Other/aircraft.cfg")}}, true},
      {{{"readme.txt", "r"}, {"only.zip", zip_bytes("Only/aircraft.cfg")}}, false},
  };
  int number = 0;
  for (const auto& [entries, asks] : cases) {
    const std::string name = "Case" + std::to_string(++number);
    SCOPED_TRACE(name);
    const auto asked = [&](const std::string& package, const std::string& archive) {
      Texts told;
      for (const auto& question : install_questions(package, archive)) {
        EXPECT_EQ(question.subject, package);
        told.push_back(question.text);
      }
      EXPECT_EQ(told, asks ? several : Texts{});
      ui.messages.clear();
      if (!archive.empty()) unzip_archives(shared, ui, zip, {archive, archive + "2.zip"});
      install_packages(shared, ui, zip, {package});
      Texts questions;
      for (const auto& message : ui.messages)
        if (message.buttons == Buttons::yes_no) questions.push_back(message.text);
      EXPECT_EQ(questions, told) << package;
    };
    test::write_zip(download + name + ".zip", entries);
    test::write_zip(download + name + ".zip2.zip", entries);
    asked(package(name), download + name + ".zip");
    asked(package(name + "_zip2"), "");
    asked(package(name), "");
  }
}

// The sums come from the copies: no installed file is read a second time,
// and they are the sums a fresh read gives.
TEST_F(InstallCommandTest, SumsAreWrittenFromTheCopiesWithoutASecondRead) {
  airplane("Jet");
  add("Jet/Plane/texture/t.bmp", std::string(3 << 20, 't'));  // more than one chunk
  add("Jet/gauges/jet.gau", "gauge");
  add("Jet/sound/jet.wav", "sound");
  select({"Jet"});
  const std::uint64_t reads = install_sums_reads();
  run();
  ASSERT_TRUE(installed("Jet"));
  EXPECT_EQ(install_sums_reads(), reads);
  const std::string record = unzip + "Jet.txt";
  const std::string from_copies = read_file(sums_path(record));
  ASSERT_EQ(write_install_sums(record), 0);  // every file read again
  EXPECT_EQ(install_sums_reads(), reads + 4);
  EXPECT_EQ(read_file(sums_path(record)), from_copies);
  EXPECT_TRUE(verify_record(record).problems.empty());
}

// A copy's sum stands for the file only while it keeps the copy's size and
// time; the path's letter case and doubled separators do not matter.
TEST(CopiedSums, StandOnlyForTheFileAsCopied) {
  CopiedSums sums;
  platform::CopyResult copied{platform::CopyStatus::copied, 0, platform::FileSum{5, 0xABCD, 7, 9}};
  sums.add("/fs/Aircraft/Jet/a.cfg", copied);
  sums.add("/fs/gauges/none.gau", {platform::CopyStatus::target_exists, EEXIST, {}});
  EXPECT_EQ(sums.size(), 1u);
  EXPECT_EQ(sums.crc_of("/fs/aircraft//jet/A.CFG", 5, 7, 9), 0xABCDu);
  EXPECT_FALSE(sums.crc_of("/fs/aircraft/jet/a.cfg", 6, 7, 9));  // grown
  EXPECT_FALSE(sums.crc_of("/fs/aircraft/jet/a.cfg", 5, 8, 9));  // written again
  EXPECT_FALSE(sums.crc_of("/fs/gauges/none.gau", 0, 0, 0));
}

TEST_F(InstallCommandTest, WindowAfterTheCommand) {
  airplane("Pack");
  add("Old.txt", "an earlier record");
  select({"Pack"});
  const int last = ui.index_of("Pack");
  ui.pictures["AdvImage1"] = package("Pack") + "/a.jpg";
  ui.picture_list = {package("Pack") + "/a.jpg"};
  const int refreshes = ui.refreshes;

  run();

  EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004");
  // Other programs change the free space between two looks: only the unit is compared.
  EXPECT_TRUE(ui.texts["Edit2"].ends_with(" Mb")) << ui.texts["Edit2"];
  EXPECT_EQ(ui.catalogue_entries, (Texts{unzip + "Old.txt", unzip + "Pack.txt"}));
  // The list is read again, the new record in it, the last package's
  // position highlighted.
  EXPECT_GT(ui.refreshes, refreshes);
  EXPECT_GE(ui.index_of("Pack.txt"), 0);
  for (int i = 0; i < static_cast<int>(ui.items.size()); ++i)
    EXPECT_EQ(ui.items[static_cast<std::size_t>(i)].highlighted, i == last) << i;
  EXPECT_EQ(ui.pictures["AdvImage1"], "");
  EXPECT_TRUE(ui.picture_list.empty());
  EXPECT_EQ(ui.enabled_state("util"), true);
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
  ASSERT_GE(ui.progress.size(), 5u);
  EXPECT_EQ((Texts{ui.progress.begin(), ui.progress.begin() + 4}),
            (Texts{"animation copy", "start", "show", "caption copy into fs2004"}));
  EXPECT_EQ((Texts{ui.progress.end() - 2, ui.progress.end()}), (Texts{"stop", "close"}));
  ASSERT_FALSE(ui.wait_cursor.empty());
  EXPECT_FALSE(ui.wait_cursor.back());
}

}  // namespace
}  // namespace wingstow
