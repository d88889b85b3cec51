#include "commands/simulator_choice.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>

#include <filesystem>

#include "commands/file_list_click.h"
#include "commands/package_buttons.h"
#include "install/install_command.h"
#include "packages/unzip.h"
#include "platform/error.h"
#include "platform/files.h"
#include "settings/simulator.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using test::RecordingUi;
using test::TempTree;

// A program folder and a simulator tree beside it.
class SimulatorTest : public ::testing::Test {
 protected:
  TempTree tree;
  std::string program = tree.make_folder("prog");
  Shared shared{program};
  RecordingUi ui;

  std::string make_simulator(const std::string& name) {
    for (const char* sub : {"aircraft", "gauges", "sound", "effects", "modules", "flights"})
      tree.make_folder(name + "/" + sub);
    return tree.path(name);  // no trailing separator, as the chooser gives it
  }
  std::string ini() const { return program + "planeyard.ini"; }
  std::string setting(const char* key) const {
    return shared.settings_file.read("main_path", key, "valeur");
  }
};

const char* const enabled_when_ready[] = {"LsFilelistView_util", "FlatButton1",   "FlatButton2",
                                          "FlatButton3",         "fs2002x",       "fs2004x",
                                          "BtnRefresh",          "Btn1LevelUp",   "prompt",
                                          "SpeedButton11",       "SpeedButton12", "SpeedButton1",
                                          "SpeedButton2",        "SpeedButton3"};

TEST_F(SimulatorTest, FirstPressCreatesWorkingFoldersAndAsksForTheFolder) {
  select_simulator(shared, ui, "fs2002");  // chooser cancelled

  for (const char* name : {"download_fs2002", "download_fs2004", "unzip_fs2002", "unzip_fs2004"})
    EXPECT_TRUE(platform::folder_exists(program + name)) << name;
  EXPECT_EQ(ui.texts["edit_download"], program + "download_fs2002/");
  EXPECT_EQ(ui.texts["edit_unzip"], program + "unzip_fs2002/");
  EXPECT_EQ(ui.texts["e_fs_path"], "valeur");
  EXPECT_EQ(ui.chooser_captions, std::vector<std::string>{"Set the main fs2002 path"});

  for (const char* control :
       {"LsFilelistView_util", "SpeedButton5", "SpeedButton7", "SpeedButton8", "SpeedButton10",
        "BtnRefresh", "Btn1LevelUp", "FlatButton1", "FlatButton2", "FlatButton3", "prompt",
        "SpeedButton11", "SpeedButton12", "SpeedButton1", "SpeedButton2", "SpeedButton3"})
    EXPECT_EQ(ui.enabled_state(control), false) << control;
  // The radio buttons stay usable so the user can try again.
  EXPECT_FALSE(ui.enabled_state("fs2002x").has_value());

  EXPECT_EQ(setting("fs_start"), "fs2002");
  EXPECT_EQ(setting("fs_path_2002"), "valeur");
  EXPECT_EQ(shared.fs_version, "fs2002");
  EXPECT_TRUE(ui.folders_shown.empty());
  // The window says how to go on.
  EXPECT_EQ(ui.statuses.back(),
            "No fs2002 folder chosen: press \"Set main FS path\" (the drive button) to choose it");
}

// The roots come from the look at start, awaited only where the chooser
// needs them.
TEST_F(SimulatorTest, ChooserIsOfferedOnlyTheRootsFoundForItsSimulator) {
  ui.finds_arrive = [&] {
    shared.simulator_roots = {
        {"fs2004", "/p1/FS9/"}, {"fs2002", "/p1/FS2002/"}, {"fs2004", "/p2/Flight Simulator 9/"}};
  };
  select_simulator(shared, ui, "fs2004");  // cancelled: nothing stored
  select_simulator(shared, ui, "fs2002");
  shared.simulator_roots.clear();
  select_simulator(shared, ui, "fs2004");

  const std::vector<std::vector<std::string>> offered = {
      {"/p1/FS9/", "/p2/Flight Simulator 9/"}, {"/p1/FS2002/"}, {}};
  EXPECT_EQ(ui.chooser_found_roots, offered);
  EXPECT_EQ(setting("fs_path_2004"), "valeur");
  EXPECT_EQ(setting("fs_path_2002"), "valeur");
}

TEST_F(SimulatorTest, ConfirmedFolderIsStoredWithTrailingSeparatorAndWindowGetsReady) {
  const std::string sim = make_simulator("FS2002");
  tree.make_file("prog/unzip_fs2002/cessna.txt", "x\r\n");
  ui.chooser_results.push_back(sim);

  select_simulator(shared, ui, "fs2002");

  EXPECT_EQ(setting("fs_path_2002"), sim + "/");
  EXPECT_EQ(shared.fs_path, sim + "/");
  EXPECT_EQ(ui.texts["e_fs_path"], sim + "/");
  EXPECT_EQ(ui.folders_shown.back(), program + "unzip_fs2002/");
  EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{program + "unzip_fs2002/cessna.txt"});
  EXPECT_EQ(ui.enabled_state("BitBtn1"), false);
  for (const char* control : enabled_when_ready)
    EXPECT_EQ(ui.enabled_state(control), true) << control;
  // Other programs change the free space between two looks; a few Mb apart is the same.
  const auto mb = [](const std::string& text) { return std::stoll(text); };
  EXPECT_LE(std::llabs(mb(ui.texts["Edit2"]) - mb(free_space_text(shared))), 16);
  EXPECT_TRUE(ui.texts["Edit2"].ends_with(" Mb"));
  EXPECT_NE(ui.texts["Edit2"], "0 Mb");
  EXPECT_TRUE(ui.pages.empty());  // the chooser path leaves the page alone
  // Other programs change the free space between two looks: only its place is checked.
  EXPECT_TRUE(ui.statuses.back().starts_with("fs2002 folder: " + sim + "/ ("))
      << ui.statuses.back();
  EXPECT_TRUE(ui.statuses.back().ends_with(" Mb free)"));

  // Next time the stored folder is used without asking.
  RecordingUi again;
  Shared later{program};
  setup_simulator(later, again, "fs2002");
  EXPECT_TRUE(again.chooser_captions.empty());
  EXPECT_EQ(again.pages, std::vector<std::string>{"TabSheet1"});
  EXPECT_TRUE(again.statuses.back().starts_with("fs2002 folder: " + sim + "/ ("));
  for (const char* control : enabled_when_ready)
    EXPECT_EQ(again.enabled_state(control), true) << control;
  // Unzip, Install, Delete and Cancel wait for a selection.
  EXPECT_FALSE(again.enabled_state("SpeedButton5").has_value());
  EXPECT_FALSE(again.enabled_state("SpeedButton7").has_value());
}

TEST_F(SimulatorTest, OtherSimulatorsFolderIsRefusedOnlyWithTheSameLetters) {
  const std::string sim = make_simulator("Sim");
  shared.settings_file.write("main_path", "fs_path_2002", sim + "/");

  ui.chooser_results.push_back(sim);
  select_simulator(shared, ui, "fs2004");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Path already used !, choose the right one");
  EXPECT_EQ(ui.messages[0].kind, MessageKind::warning);
  EXPECT_EQ(ui.enabled_state("BitBtn1"), false);
  EXPECT_EQ(setting("fs_path_2004"), "valeur");
  EXPECT_EQ(ui.enabled_state("FlatButton1"), false);
  EXPECT_EQ(setting("fs_start"), "fs2004");

  // The same folder in other letters is another text, so it is taken.
  std::string other_case = sim;
  other_case.back() = 'M';
  RecordingUi second;
  second.chooser_results.push_back(other_case);
  setup_simulator(shared, second, "fs2004");
  EXPECT_TRUE(second.messages.empty());
  EXPECT_EQ(setting("fs_path_2004"), other_case + "/");
}

TEST_F(SimulatorTest, SwitchingBetweenReadySimulatorsAsksNothing) {
  shared.settings_file.write("main_path", "fs_path_2002", make_simulator("A") + "/");
  shared.settings_file.write("main_path", "fs_path_2004", make_simulator("B") + "/");
  tree.make_file("prog/unzip_fs2004/b.txt");

  select_simulator(shared, ui, "fs2002");
  select_simulator(shared, ui, "fs2004");

  EXPECT_TRUE(ui.chooser_captions.empty());
  EXPECT_EQ(ui.finds_awaited, 0);  // a start on a stored folder never waits for the look
  EXPECT_EQ(ui.folders_shown.back(), program + "unzip_fs2004/");
  EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{program + "unzip_fs2004/b.txt"});
  EXPECT_EQ(shared.fs_path, tree.path("B/"));
  EXPECT_EQ(setting("fs_start"), "fs2004");
}

// A folder stored by hand without its separator still gets one: names are
// appended to it, and "FS9" + "gauges" would lie beside the simulator.
TEST_F(SimulatorTest, StoredFolderWithoutSeparatorGetsOne) {
  shared.settings_file.write("main_path", "fs_path_2004", make_simulator("FS9"));

  select_simulator(shared, ui, "fs2004");

  EXPECT_TRUE(ui.chooser_captions.empty());
  EXPECT_EQ(shared.fs_path, tree.path("FS9/"));
}

TEST_F(SimulatorTest, SetMainFsPathWithoutSimulatorDoesNothing) {
  set_main_fs_path(shared, ui);
  EXPECT_FALSE(platform::exists(program + "unzip_fs2002"));
  EXPECT_FALSE(platform::exists(ini()));
  EXPECT_TRUE(ui.chooser_captions.empty());

  ui.tag = "fs2004";
  set_main_fs_path(shared, ui);
  EXPECT_EQ(ui.chooser_captions, std::vector<std::string>{"Set the main fs2004 path"});
  // It stores no simulator of its own.
  EXPECT_EQ(setting("fs_start"), "valeur");
}

TEST_F(SimulatorTest, WorkingFolderThatCannotBeCreatedStopsEverything) {
  tree.make_file("prog/unzip_fs2002", "in the way");
  try {
    select_simulator(shared, ui, "fs2002");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Impossible de créer " + program + "unzip_fs2002 (" + program +
                                         "unzip_fs2002: File exists)");
  }
  EXPECT_TRUE(ui.texts.empty());
  EXPECT_TRUE(ui.chooser_captions.empty());
  EXPECT_FALSE(platform::exists(ini()));  // fs_start not written
  // Folders before the failing one were made.
  EXPECT_TRUE(platform::folder_exists(program + "download_fs2004"));
}

TEST_F(SimulatorTest, UnwritableSettingsFileIsReported) {
  const std::string sim = make_simulator("S");
  tree.make_folder("prog/planeyard.ini");  // a folder where the file should be
  ui.chooser_results.push_back(sim);
  EXPECT_THROW(
      {
        try {
          select_simulator(shared, ui, "fs2002");
        } catch (const Error& e) {
          EXPECT_EQ(std::string(e.what()),
                    "The settings file " + ini() + " cannot be read: a folder, not a regular file");
          throw;
        }
      },
      Error);
}

TEST_F(SimulatorTest, FolderTheSettingsCannotHoldIsRefusedWithAWarning) {
  struct Case {
    std::string folder;  // as the chooser gives it
    std::string why;
  };
  const Case cases[] = {
      {make_simulator("new\nline"), "its name holds a line break"},
      {make_simulator("carriage\rreturn"), "its name holds a line break"},
      {"/" + std::string(2100, 'x'), "the settings file would not give it back unchanged"},
  };
  for (const auto& c : cases) {
    shared.settings_file.write("main_path", "fs_path_2002", "/gone/");
    RecordingUi chooser;
    chooser.chooser_results.push_back(c.folder);
    select_simulator(shared, chooser, "fs2002");

    ASSERT_EQ(chooser.messages.size(), 1u);
    EXPECT_EQ(chooser.messages[0].text,
              "The folder " + c.folder + "/ cannot be stored in the settings: " + c.why);
    EXPECT_EQ(chooser.messages[0].kind, MessageKind::warning);
    EXPECT_EQ(chooser.messages[0].buttons, Buttons::ok);
    EXPECT_EQ(setting("fs_path_2002"), "/gone/");
    EXPECT_EQ(shared.fs_path, "/gone/");
    EXPECT_EQ(chooser.texts["e_fs_path"], "/gone/");
    EXPECT_EQ(chooser.enabled_state("FlatButton1"), false);
    EXPECT_EQ(chooser.enabled_state("SpeedButton1"), false);
    EXPECT_TRUE(chooser.folders_shown.empty());
    // The next start asks again.
    RecordingUi next;
    setup_simulator(shared, next, "fs2002");
    EXPECT_EQ(next.chooser_captions.size(), 1u);
  }
}

TEST(SizeText, WholeMebibytesRoundedTowardZero) {
  EXPECT_EQ(size_text(1048575), "1023 Mb");
  EXPECT_EQ(size_text(1048576), "1024 Mb");
  EXPECT_EQ(size_text(1023), "0 Mb");
  EXPECT_EQ(size_text(0), "0 Mb");
  EXPECT_EQ(size_text(-2048), "-2 Mb");
  // Large disks are shown as they are, not cut to 32 bits.
  EXPECT_EQ(size_text(std::int64_t{5} * 1024 * 1024 * 1024), "5242880 Mb");
}

TEST_F(SimulatorTest, FreeSpaceOfTheSimulatorsFileSystem) {
  shared.fs_path = "valeur";
  EXPECT_EQ(free_space_kb(shared), 0);
  EXPECT_EQ(free_space_text(shared), "0 Mb");
  shared.fs_path = tree.root();
  EXPECT_EQ(free_space_kb(shared), platform::free_bytes(tree.root()) / 1024);
  EXPECT_GT(free_space_kb(shared), 0);
}

TEST_F(SimulatorTest, CatalogueListsOrdinaryTxtFilesDirectlyInTheUnzipFolder) {
  shared.unzip_path = tree.make_folder("unzip");
  tree.make_file("unzip/notes.TXT");
  tree.make_file("unzip/Beech.txt");
  tree.make_file("unzip/.hidden.txt");
  tree.make_folder("unzip/old.txt");
  tree.make_file("unzip/pack/inner.txt");
  tree.make_file("unzip/readme.doc");
  const std::string locked = tree.make_file("unzip/locked.txt");
  ASSERT_EQ(chmod(locked.c_str(), 0444), 0);

  refresh_catalogue(shared, ui);
  const std::string u = shared.unzip_path;
  EXPECT_EQ(ui.catalogue_entries,
            (std::vector<std::string>{u + "Beech.txt", u + "locked.txt", u + "notes.TXT"}));

  shared.unzip_path = tree.make_folder("empty");
  refresh_catalogue(shared, ui);
  EXPECT_TRUE(ui.catalogue_entries.empty());
}

// Working folders spelled otherwise on disk (made by hand, or by an older
// copy) are the program's own: the paths take the disk's spelling, so the
// file list's folder, in whatever spelling it was reached, is the working
// folder, and Unzip and Install go ahead from it.
TEST_F(SimulatorTest, WorkingFoldersInCapitalsAreUsedAsSpelledOnDisk) {
  namespace fs = std::filesystem;
  const std::string sim = make_simulator("FS9") + "/";
  shared.settings_file.write("main_path", "fs_path_2004", sim);
  const std::string download = tree.make_folder("prog/Download_FS2004");
  const std::string unzip = tree.make_folder("prog/UNZIP_fs2004");
  test::write_zip(download + "pack.zip", {{"Plane/aircraft.cfg", "[fltsim.0]"}});
  ui.tag = "fs2004";

  select_simulator(shared, ui, "fs2004");
  EXPECT_EQ(shared.download_path, download);
  EXPECT_EQ(shared.unzip_path, unzip);
  EXPECT_EQ(ui.texts["edit_unzip"], unzip);
  EXPECT_FALSE(fs::exists(program + "download_fs2004"));  // no second folder made
  EXPECT_FALSE(fs::exists(program + "unzip_fs2004"));

  const auto click = [&](const std::string& folder, const std::string& name) {
    ui.directory = folder;
    ui.list_refresh();
    ui.click(name);
    LsFilelistView_utilClick(shared, ui);
  };
  for (const std::string& folder : {download, program + "download_fs2004/"}) {
    ui.enabled.clear();
    click(folder, "pack.zip");
    EXPECT_EQ(ui.enabled_state("SpeedButton5"), true) << folder;
  }
  ZipMaster zip(ui);
  SpeedButton5Click(shared, ui, zip);
  EXPECT_TRUE(fs::exists(unzip + "pack/Plane/aircraft.cfg"));

  click(program + "unzip_fs2004/", "pack");
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), true);
  SpeedButton7Click(shared, ui, zip);
  EXPECT_TRUE(fs::exists(sim + "aircraft/pack/aircraft.cfg"));
  EXPECT_TRUE(fs::exists(unzip + "pack.txt"));
  for (const auto& text : ui.message_texts())
    EXPECT_EQ(text.find("only possible"), std::string::npos);
}

// The program folder in the user's data folder does not exist before the
// first start: it is made with the working folders, and when it cannot be,
// the message names the path that failed and why.
TEST_F(SimulatorTest, MissingProgramFolderIsMadeOrTheFailureExplained) {
  Shared fresh(tree.path("data/wingstow/"));
  select_simulator(fresh, ui, "fs2004");
  EXPECT_TRUE(platform::folder_exists(tree.path("data/wingstow/unzip_fs2004")));

  tree.make_file("blocked", "a file where a folder should be");
  Shared blocked(tree.path("blocked/wingstow/"));
  try {
    select_simulator(blocked, ui, "fs2004");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Impossible de créer " + tree.path("blocked/wingstow/") +
                                         "download_fs2002 (" + tree.path("blocked") +
                                         ": File exists)");
  }
}

TEST(ProgramFolder, PortableWhenWritableElseTheUsersDataFolder) {
  struct Case {
    bool writable;
    UserEnvironment environment;
    std::string expected;
  };
  const Case cases[] = {
      {true, {"/data", "/home/u"}, "/opt/ws/"},
      {false, {"/data", "/home/u"}, "/data/wingstow/"},
      {false, {"/data/", "/home/u"}, "/data/wingstow/"},
      // Unset or relative: the default of the base directory rules.
      {false, {"", "/home/u"}, "/home/u/.local/share/wingstow/"},
      {false, {"data", "/home/u/"}, "/home/u/.local/share/wingstow/"},
      // No home either: the executable's folder, whose failure will be told.
      {false, {"", ""}, "/opt/ws/"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> asked;
    const auto writable = [&](const std::string& folder) {
      asked.push_back(folder);
      return c.writable;
    };
    EXPECT_EQ(choose_program_folder("/opt/ws", c.environment, writable), c.expected)
        << c.environment.xdg_data_home << "|" << c.environment.home;
    EXPECT_EQ(asked, std::vector<std::string>{"/opt/ws/"});
  }
}

// An installed copy (<prefix>/bin beside <prefix>/share/wingstow) keeps its
// settings in the user's data folder even when bin is writable, as it is
// for a prefix in the home folder; anything else looks like a build tree or
// a portable copy and keeps them beside the executable.
TEST(ProgramFolder, InstalledCopyUsesTheDataFolderWhateverBinAllows) {
  TempTree tree;
  tree.make_folder("installed/bin");
  tree.make_folder("installed/share/wingstow/help");
  tree.make_folder("build/bin");
  tree.make_folder("build/share");
  tree.make_folder("lib/lib/wingstow");
  tree.make_folder("lib/share/wingstow");
  tree.make_folder("plain/bin");
  tree.make_file("plain/share/wingstow", "a file, not the data folder");
  struct Case {
    std::string executable;
    std::string data;  // installed_data_folder's answer; empty: a portable copy
  };
  const Case cases[] = {
      {"installed/bin/", "installed/share/wingstow/"},
      {"installed/bin", "installed/share/wingstow/"},
      {"installed/bin//", "installed/share/wingstow/"},
      {"build/bin/", ""},
      {"lib/lib/wingstow/", ""},
      {"plain/bin/", ""},
  };
  const UserEnvironment environment{tree.path("xdg"), "/home/u"};
  for (const auto& c : cases) {
    const std::string executable = tree.path(c.executable);
    EXPECT_EQ(installed_data_folder(executable), c.data.empty() ? "" : tree.path(c.data))
        << c.executable;
    const std::string expected = c.data.empty() ? executable : tree.path("xdg/wingstow/");
    EXPECT_EQ(
        choose_program_folder(executable, environment, [](const std::string&) { return true; }),
        expected)
        << c.executable;
  }
}

}  // namespace
}  // namespace wingstow
