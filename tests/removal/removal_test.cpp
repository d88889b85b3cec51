#include "removal/removal.h"
#include "commands/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <csignal>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "install/install_fixture.h"
#include "platform/error.h"
#include "platform/files.h"
#include "removal/removal_fixture.h"
#include "settings/record.h"

namespace wingstow::test {
namespace {

namespace fs = std::filesystem;

class RemovalTest : public RemovalFixture {
 protected:
  std::vector<std::string> messages_between_confirmation_and_end() const {
    auto texts = ui.message_texts();
    EXPECT_GE(texts.size(), 2u);
    EXPECT_TRUE(texts.front().starts_with("Are you really sure ? \n")) << texts.front();
    // Records that stay are named after the usual end.
    EXPECT_TRUE(texts.back().starts_with("End of  delete from fs2004")) << texts.back();
    return {texts.begin() + 1, texts.end() - 1};
  }

  static mode_t mode_of(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
  }
};

TEST_F(RemovalTest, SharedFileIsSparedUntilTheLastRecordListingItGoes) {
  tree.make_file("FS9/aircraft/Alpha/aircraft.cfg", "a");
  tree.make_file("FS9/aircraft/Beta/aircraft.cfg", "b");
  const auto alpha_gauge = tree.make_file("FS9/gauges/alpha.gau", "a");
  const auto shared_gauge = tree.make_file("FS9/gauges/shared.gau", "s");
  const auto alpha =
      record("Alpha", {fs + "aircraft/Alpha", alpha_gauge, fs + "GAUGES/Shared.gau"});
  const auto beta = record("Beta", {fs + "aircraft/Beta", shared_gauge});
  catalogue({"Alpha", "Beta"});

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  EXPECT_EQ(ui.messages.front().kind, MessageKind::warning);
  EXPECT_EQ(ui.messages.front().buttons, Buttons::yes_no);
  EXPECT_EQ(ui.messages.back().kind, MessageKind::information);
  EXPECT_FALSE(fs::exists(shared_gauge));
  EXPECT_FALSE(fs::exists(alpha_gauge));
  EXPECT_TRUE(in_trash("Alpha"));
  EXPECT_TRUE(in_trash("Beta"));
  EXPECT_FALSE(has_record("Alpha"));
  EXPECT_FALSE(has_record("Beta"));
  EXPECT_EQ(log_of("Alpha"), "");
  EXPECT_EQ(log_of("Beta"), "");
  EXPECT_TRUE(ui.catalogue_entries.empty());

  const std::vector<std::string> progress = {"animation delete",
                                             "start",
                                             "show",
                                             "caption delete " + alpha + " <---- fs2004",
                                             "stop",
                                             "caption delete " + beta + " <---- fs2004",
                                             "stop",
                                             "close"};
  EXPECT_EQ(ui.progress, progress);
  EXPECT_EQ(ui.wait_cursor, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(ui.enabled_state("util"), true);
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), false);
  EXPECT_EQ(ui.pictures["AdvImage2"], "");
  EXPECT_TRUE(ui.texts["Edit2"].ends_with(" Mb"));
  // The file list is read again once for the run, not once per record.
  EXPECT_EQ(ui.refreshes, 1);
}

// However many records go, the records' folder is read a fixed number of
// times: the sums and sections beside a record are looked up in one reading.
TEST_F(RemovalTest, TheUnzipFolderIsListedAFixedNumberOfTimesPerRun) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "Plane" + std::to_string(i);
    tree.make_file("FS9/aircraft/" + name + "/aircraft.cfg", "a");
    const auto gauge = tree.make_file("FS9/gauges/" + name + ".gau", "g");
    record(name, {fs + "aircraft/" + name, gauge});
    names.push_back(name);
  }
  catalogue();
  for (std::size_t i = 0; i < names.size(); ++i) ui.checked.insert(static_cast<int>(i));
  platform::watch_listings(shared.unzip_path);

  SpeedButton8Click(shared, ui);

  EXPECT_LE(platform::watched_listings(), 4u);
  platform::watch_listings({});
  for (const auto& name : names) EXPECT_FALSE(has_record(name)) << name;
  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
}

// The records the run read to know who owns what are not read again to
// fill the catalogue after it, nor is a text file it found to be no record.
TEST_F(RemovalTest, EachRecordIsReadOncePerRun) {
  for (int i = 0; i < 12; ++i) {
    const std::string name = "Plane" + std::to_string(i);
    tree.make_file("FS9/aircraft/" + name + "/aircraft.cfg", "a");
    record(name, {fs + "aircraft/" + name});
  }
  tree.make_file("prog/unzip_fs2004/notes.txt", std::string("a\0b", 3));
  catalogue({"Plane3", "Plane7"});
  const std::uint64_t before = record_reads();

  SpeedButton8Click(shared, ui);

  // Every record and the text file once, the two removed once more for
  // their lines.
  EXPECT_EQ(record_reads() - before, 15u);
  EXPECT_EQ(ui.catalogue_entries.size(), 10u);
  EXPECT_EQ(std::count(ui.catalogue_entries.begin(), ui.catalogue_entries.end(),
                       shared.unzip_path + "Plane3.txt"),
            0);
  EXPECT_NE(shared.catalogue_notice.find("notes.txt holds a NUL byte"), std::string::npos)
      << shared.catalogue_notice;
}

TEST_F(RemovalTest, FailedRecordStillSparesTheFilesItLists) {
  const auto shared_gauge = tree.make_file("FS9/gauges/shared.gau", "s");
  const auto scenery = tree.make_file("FS9/Scenery/alpha.bgl", "b");
  record("Alpha", {scenery, shared_gauge});
  record("Beta", {shared_gauge});
  catalogue({"Alpha", "Beta"});

  SpeedButton8Click(shared, ui);

  EXPECT_EQ(messages_between_confirmation_and_end(),
            std::vector<std::string>{"Delete not possible " + scenery});
  EXPECT_EQ(log_of("Alpha"), "delete not possible " + scenery + "\r\n");
  EXPECT_TRUE(has_record("Alpha"));
  EXPECT_FALSE(has_record("Beta"));
  EXPECT_TRUE(fs::exists(shared_gauge));
  EXPECT_TRUE(fs::exists(scenery));
  EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{record_path("Alpha")});
  EXPECT_EQ(ui.message_texts().back(),
            "End of  delete from fs2004\nNot removed completely (see the .err files beside the "
            "records): Alpha");
}

TEST_F(RemovalTest, UncheckedAirplaneKeepsWhatItLists) {
  const auto own = tree.make_file("FS9/sound/alpha.wav", "a");
  const auto common = tree.make_file("FS9/modules/common.dll", "c");
  record("Alpha", {own, common});
  record("Beta", {common});
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_FALSE(fs::exists(own));
  EXPECT_TRUE(fs::exists(common));
  EXPECT_FALSE(has_record("Alpha"));
  EXPECT_TRUE(has_record("Beta"));
  EXPECT_FALSE(fs::exists(record_path("Beta") + ".err"));
}

// Folder lines are spelled as the user's tree may spell them; the folder goes
// whole while no other record lists anything inside it.
TEST_F(RemovalTest, FolderLineGoesWholeIntoTheTrash) {
  tree.make_file("FS9/aircraft/Alpha/aircraft.cfg", "a");
  tree.make_file("FS9/aircraft/Alpha/panel/panel.cfg", "p");
  record("Alpha", {tree.root() + "fs9/AIRCRAFT//alpha/"});
  record("Beta", {fs + "aircraft/Alphabet/panel.cfg"});
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  EXPECT_FALSE(fs::exists(fs + "aircraft/Alpha"));
  EXPECT_EQ(read_file(home + ".local/share/Trash/files/Alpha/panel/panel.cfg"), "p");
  EXPECT_TRUE(fs::exists(fs + "aircraft"));
  EXPECT_FALSE(has_record("Alpha"));
}

// Read-only plus archive (every plain file here) loses read-only and goes; a
// hidden read-only file has other attributes and stays.
// A line below a folder that went earlier in the run names nothing any more,
// even where a link in that folder led elsewhere in the simulator.
TEST_F(RemovalTest, LinesBelowAFolderThatWentAreGoneEvenThroughItsLinks) {
  tree.make_file("FS9/aircraft/Alpha/aircraft.cfg", "a");
  const auto first = tree.make_file("FS9/gauges/first.gau", "1");
  const auto second = tree.make_file("FS9/gauges/second.gau", "2");
  fs::create_directory_symlink(fs + "gauges", fs + "aircraft/Alpha/linked");
  record("Alpha", {fs + "aircraft/Alpha/linked/first.gau", fs + "aircraft/Alpha",
                   fs + "aircraft/Alpha/linked/second.gau"});
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(in_trash("Alpha"));
  EXPECT_EQ(read_file(second), "2");
  EXPECT_FALSE(has_record("Alpha"));
}

TEST_F(RemovalTest, ReadOnlyFileGoesOnlyWithExactlyTheArchiveAttributeBesides) {
  const auto plain = tree.make_file("FS9/gauges/locked.gau", "l");
  const auto hidden = tree.make_file("FS9/gauges/.hidden.gau", "h");
  ::chmod(plain.c_str(), 0444);
  ::chmod(hidden.c_str(), 0444);
  record("Alpha", {plain, hidden});
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_FALSE(fs::exists(plain));
  EXPECT_TRUE(fs::exists(hidden));
  EXPECT_EQ(mode_of(hidden), 0444);
  EXPECT_EQ(messages_between_confirmation_and_end(),
            std::vector<std::string>{"Delete not possible " + hidden});
  EXPECT_EQ(log_of("Alpha"), "delete not possible " + hidden + "\r\n");
  EXPECT_TRUE(has_record("Alpha"));
}

TEST_F(RemovalTest, EmptyRecordGoesAtOnceAndLeavesAnEmptyLog) {
  record("Empty", {});
  catalogue({"Empty"});

  SpeedButton8Click(shared, ui);

  EXPECT_FALSE(has_record("Empty"));
  EXPECT_EQ(log_of("Empty"), "");
  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
}

// A record written by hand may end its lines otherwise, or not at all.
TEST_F(RemovalTest, AnyLineEndSeparatesTheLinesOfARecord) {
  const auto a = tree.make_file("FS9/gauges/a.gau", "a");
  const auto b = tree.make_file("FS9/gauges/b.gau", "b");
  const auto c = tree.make_file("FS9/gauges/c.gau", "c");
  tree.make_file("prog/unzip_fs2004/Hand.txt", a + "\n" + b + "\r" + c);
  catalogue({"Hand"});

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  EXPECT_FALSE(fs::exists(a) || fs::exists(b) || fs::exists(c));
  EXPECT_FALSE(has_record("Hand"));
}

// What a failed install or an interrupted removal leaves: lines whose paths
// are gone already. They count as removed, so the record can go.
TEST_F(RemovalTest, PathsAlreadyGoneCountAsRemoved) {
  const auto gauge = tree.make_file("FS9/gauges/twice.gau", "t");
  const auto kept = tree.make_file("FS9/gauges/unlisted.gau", "u");
  // A log left by an earlier attempt starts empty again.
  tree.make_file("prog/unzip_fs2004/Alpha.txt.err", "old failure\r\n");
  record("Alpha", {gauge, gauge, fs + "gauges/never_copied.gau", fs + "aircraft/Gone",
                   fs + "aircraft/Gone/panel/panel.cfg", fs + "sound/Missing/"});
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  EXPECT_FALSE(fs::exists(gauge));
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_EQ(log_of("Alpha"), "");
  EXPECT_FALSE(has_record("Alpha"));
}

// The sums go before their record: sums left without one would be taken for
// those of a later install of the same name. When they cannot go, the record
// stays and says why.
TEST_F(RemovalTest, SumsThatCannotGoKeepTheRecord) {
  tree.make_file("FS9/gauges/alpha.gau", "a");
  record("Alpha", {fs + "gauges/alpha.gau"});
  tree.make_folder("prog/unzip_fs2004/Alpha.txt.sums");  // no file that unlink takes
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(has_record("Alpha"));
  EXPECT_NE(test::read_file(unzip + "Alpha.txt.err").find(unzip + "Alpha.txt.sums ("),
            std::string::npos);

  std::filesystem::remove(unzip + "Alpha.txt.sums");
  test::write_file(unzip + "Alpha.txt.sums", "1\t00000000\t" + fs + "gauges/alpha.gau\n");
  catalogue({"Alpha"});
  SpeedButton8Click(shared, ui);
  EXPECT_FALSE(has_record("Alpha"));
  EXPECT_FALSE(std::filesystem::exists(unzip + "Alpha.txt.sums"));
}

TEST_F(RemovalTest, AnswerNoChangesNothing) {
  tree.make_file("FS9/gauges/alpha.gau", "a");
  record("Alpha", {fs + "gauges/alpha.gau"});
  catalogue({"Alpha"});
  const auto before = snapshot(tree.root());
  ui.answers = {Answer::no};

  SpeedButton8Click(shared, ui);

  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_EQ(ui.message_texts(),
            std::vector<std::string>{"Are you really sure ? \nRemove from fs2004: Alpha. Their "
                                     "airplane folders go to the trash; their gauges, sounds and "
                                     "other side files are deleted."});
  EXPECT_TRUE(ui.progress.empty());
  EXPECT_TRUE(ui.enabled.empty());
  EXPECT_EQ(ui.checked, std::set<int>{0});
}

TEST_F(RemovalTest, RecordThatCannotBeDeletedIsReportedAndLogged) {
  const auto gauge = tree.make_file("FS9/gauges/alpha.gau", "a");
  const auto alpha = record("Alpha", {gauge});
  ::chmod(alpha.c_str(), 0444);  // refused by the delete service
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_FALSE(fs::exists(gauge));
  EXPECT_TRUE(has_record("Alpha"));
  EXPECT_EQ(messages_between_confirmation_and_end(),
            std::vector<std::string>{"Problem encountered during the delete operation."});
  EXPECT_EQ(log_of("Alpha"), "delete not possible " + alpha + "\r\n");
}

TEST_F(RemovalTest, WindowIsPutBackAfterAnInputOutputError) {
  const auto gauge = tree.make_file("FS9/gauges/alpha.gau", "a");
  record("Alpha", {gauge});
  record("Beta", {gauge});
  tree.make_folder("prog/unzip_fs2004/Beta.txt.err");  // the log cannot be created
  catalogue({"Alpha", "Beta"});

  EXPECT_THROW(SpeedButton8Click(shared, ui), Error);

  // Alpha spared the gauge for Beta, which failed before touching anything.
  EXPECT_TRUE(fs::exists(gauge));
  EXPECT_FALSE(has_record("Alpha"));
  EXPECT_TRUE(has_record("Beta"));
  EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{record_path("Beta")});
  EXPECT_EQ(ui.wait_cursor, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(ui.progress.back(), "close");
  EXPECT_EQ(ui.enabled_state("util"), true);
}

TEST_F(RemovalTest, UnreadableRecordEndsTheCommandWithTheWindowBack) {
  const auto broken = tree.make_folder("prog/unzip_fs2004/Broken.txt");
  ui.catalogue_entries = {broken.substr(0, broken.size() - 1)};
  ui.checked = {0};

  EXPECT_THROW(SpeedButton8Click(shared, ui), Error);

  EXPECT_FALSE(fs::exists(record_path("Broken") + ".err"));
  EXPECT_EQ(ui.wait_cursor, (std::vector<bool>{true, false}));
  EXPECT_EQ(ui.progress.back(), "close");
  EXPECT_EQ(ui.enabled_state("util"), true);
}

// A record is a text file anyone can write: nothing outside the folders the
// installers write to, nor those folders themselves, may go. Every refused
// line is logged; only the first of each record is shown in a box.
TEST_F(RemovalTest, LinesOutsideTheInstallFoldersAreRefusedWithOneBoxPerRecord) {
  const auto keep = tree.make_file("outside/keep.txt", "k");
  tree.make_file("outside/dir/inner.txt", "i");
  fs::create_directory_symlink(tree.path("outside"), fs + "aircraft/Escape");
  fs::create_directory_symlink(fs + "Scenery", fs + "aircraft/ToScenery");
  tree.make_file("FS9/gauges/panel.gau", "p");
  tree.make_file("FS9/gauges/a", "a");
  const auto scenery = tree.make_file("FS9/Scenery/world.bgl", "w");
  const auto exe = tree.make_file("FS9/fs9.exe", "x");
  const auto flight = tree.make_file("FS9/flights/other.flt", "f");
  const std::vector<std::pair<std::string, bool>> lines = {
      {keep, false},
      {scenery, false},
      {exe, false},
      {flight, false},
      {fs + "aircraft/ToScenery/world.bgl", false},
      {fs + "Scenery/gone.bgl", false},  // refused even when gone
      {"gauges/panel.gau", false},
      {fs + "AIRCRAFT", true},
      {tree.path("outside/dir"), true},
      {fs, true},
      {fs.substr(0, fs.size() - 1), true},
      {fs + "flights/MyFlts/", true},
      {fs + "effects/./texture", true},
      {fs + "aircraft/../sound", true},
      {fs + "gauges/../../outside/keep.txt", false},
      {fs + "aircraft/Escape/keep.txt", false},
      {fs + "aircraft/Escape/dir", true},
  };
  std::string text, expected_log;
  std::vector<std::string> expected_statuses;
  for (const auto& [line, folder] : lines) {
    text += line + "\r\n";
    std::string shown = line;
    if (const auto nul = shown.find('\0'); nul != std::string::npos) shown.replace(nul, 1, "\\0");
    expected_log += (folder ? "Delete not possible " : "delete not possible ") + shown + "\r\n";
    expected_statuses.push_back("Delete not possible " + shown);
  }
  expected_statuses.erase(expected_statuses.begin());  // that one is the box
  expected_statuses.push_back(std::to_string(lines.size()) +
                              " paths of Evil could not be removed, see " + record_path("Evil") +
                              ".err");
  expected_statuses.push_back("Delete not possible " + scenery);
  expected_statuses.push_back("2 paths of Later could not be removed, see " + record_path("Later") +
                              ".err");
  tree.make_file("prog/unzip_fs2004/Evil.txt", text);
  record("Later", {exe, scenery});
  record("Other", {keep});  // sharing a refused line excuses nothing
  catalogue({"Evil", "Later"});
  const auto outside = snapshot(tree.path("outside/"));
  const auto simulator = snapshot(fs);

  SpeedButton8Click(shared, ui);

  EXPECT_EQ(snapshot(tree.path("outside/")), outside);
  EXPECT_EQ(snapshot(fs), simulator);
  EXPECT_EQ(
      messages_between_confirmation_and_end(),
      (std::vector<std::string>{"Delete not possible " + keep, "Delete not possible " + exe}));
  EXPECT_EQ(log_of("Evil"), expected_log);
  EXPECT_EQ(ui.statuses, expected_statuses);
  EXPECT_TRUE(has_record("Evil"));
  EXPECT_TRUE(has_record("Later"));
}

// Links inside the simulator go as links; what they point to is not touched,
// not even its read-only state.
TEST_F(RemovalTest, LinksInsideTheSimulatorGoAsLinks) {
  const auto locked = tree.make_file("outside/locked.gau", "l");
  ::chmod(locked.c_str(), 0444);
  tree.make_file("outside/dir/inner.txt", "i");
  fs::create_symlink(locked, fs + "gauges/linked.gau");
  fs::create_directory_symlink(tree.path("outside/dir"), fs + "aircraft/Portal");
  record("Links", {fs + "gauges/linked.gau", fs + "aircraft/Portal"});
  catalogue({"Links"});
  const auto outside = snapshot(tree.path("outside/"));

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  EXPECT_FALSE(fs::exists(fs::symlink_status(fs + "gauges/linked.gau")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(fs + "aircraft/Portal")));
  EXPECT_EQ(snapshot(tree.path("outside/")), outside);
  EXPECT_EQ(mode_of(locked), 0444);
  EXPECT_FALSE(has_record("Links"));
}

TEST_F(RemovalTest, RemovablePathsLieStrictlyBelowTheSimulatorFolder) {
  tree.make_folder("FS9/aircraft/Alpha");
  tree.make_folder("FS9/Aircraft2");
  fs::create_directory_symlink(fs + "gauges", fs + "aircraft/ToGauges");
  EXPECT_EQ(removable_path(fs, tree.root() + "fs9/aircraft/alpha/x.cfg"),
            fs + "aircraft/Alpha/x.cfg");
  EXPECT_EQ(removable_path(fs, tree.root() + "fs9/aircraft2/x.cfg"), std::nullopt);
  EXPECT_EQ(removable_path(fs, fs + "flights/myflts/trip.flt"), fs + "flights/myflts/trip.flt");
  EXPECT_EQ(removable_path(fs, fs + "flights/trip.flt"), std::nullopt);
  EXPECT_EQ(removable_path(fs, fs + "effects/texture"), std::nullopt);
  EXPECT_EQ(removable_path(fs, fs + "gauges/./new/../a.gau"), fs + "gauges/a.gau");
  EXPECT_EQ(removable_path(fs, fs + "aircraft/ToGauges/a.gau"), fs + "gauges/a.gau");
  EXPECT_EQ(removable_path(fs, fs + "aircraft/ToGauges"), fs + "aircraft/ToGauges");
  EXPECT_EQ(removable_path(fs, fs + "Effects/Texture/fire.bmp"), fs + "effects/texture/fire.bmp");
  EXPECT_EQ(removable_path(fs, fs + "aircraft/ToGauges/.."), std::nullopt);  // aircraft
  EXPECT_EQ(removable_path(fs, fs + "FLIGHTS/myflts"), std::nullopt);
  fs::remove(fs + "modules");  // still the simulator's own, in any spelling
  EXPECT_EQ(removable_path(fs, fs + "Modules/"), std::nullopt);
  EXPECT_EQ(removable_path(fs, fs + ".."), std::nullopt);
  EXPECT_EQ(removable_path(fs, tree.root() + "FS9-other/x"), std::nullopt);
  EXPECT_EQ(removable_path(fs, ""), std::nullopt);
  EXPECT_EQ(removable_path("", fs + "gauges/a.gau"), std::nullopt);
  EXPECT_EQ(removable_path(tree.path("missing/"), tree.path("missing/a")), std::nullopt);
}

// A record that cannot be handled safely ends the command with one error
// before anything of it goes: a link in place of its log, which would be
// written through. (A text file longer than any record is none: see the
// catalogue.)
TEST_F(RemovalTest, RecordThatCannotBeHandledSafelyEndsTheCommandAndDeletesNothing) {
  const auto gauge = tree.make_file("FS9/gauges/alpha.gau", "a");
  const auto target = tree.make_file("outside/target.txt", "t");
  struct Case {
    std::string name;
    std::function<void(const std::string& record)> spoil;
  };
  const std::vector<Case> cases = {
      {"Linked", [&](const std::string& r) { fs::create_symlink(target, r + ".err"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = record(c.name, {gauge});
    c.spoil(path);
    catalogue({c.name});
    ui.messages.clear();

    try {
      SpeedButton8Click(shared, ui);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }

    ASSERT_EQ(ui.message_texts().size(), 1u);
    EXPECT_TRUE(ui.message_texts()[0].starts_with("Are you really sure ? \n"));
    EXPECT_TRUE(fs::exists(gauge));
    EXPECT_EQ(read_file(target), "t");
    EXPECT_TRUE(has_record(c.name));
    EXPECT_EQ(ui.progress.back(), "close");
    EXPECT_EQ(ui.enabled_state("util"), true);
    fs::remove(path);
  }
}

// Where no trash can take a folder the user is asked once per run: No keeps
// such folders and logs them, Yes deletes them for good without following
// the links inside.
TEST_F(RemovalTest, FoldersNoTrashTakesAreDeletedForGoodOnlyWhenTheUserSaysSo) {
  const auto keep = tree.make_file("outside/keep.txt", "k");
  tree.make_file("FS9/aircraft/Alpha/panel/panel.cfg", "p");
  ::chmod(tree.path("FS9/aircraft/Alpha/panel").c_str(), 0555);
  fs::create_directory_symlink(tree.path("outside"), fs + "aircraft/Alpha/out");
  tree.make_file("FS9/aircraft/Beta/aircraft.cfg", "b");
  const auto gauge = tree.make_file("FS9/gauges/alpha.gau", "a");
  record("Alpha", {gauge, fs + "aircraft/Alpha"});
  record("Beta", {fs + "aircraft/Beta"});
  const auto question = [&](const std::string& folder) {
    return "The folder " + fs + folder +
           " cannot be moved to the trash. Delete such folders permanently?";
  };
  const std::vector<std::string> records = {record_path("Alpha"), record_path("Beta")};
  EXPECT_FALSE(delete_for_good_ahead(shared, records));  // the home trash takes them

  // A trash that cannot be made: its place lies below a file. Known before.
  ::setenv("XDG_DATA_HOME", (tree.make_file("home/data", "") + "/share").c_str(), 1);
  const auto ahead = delete_for_good_ahead(shared, records);
  ASSERT_TRUE(ahead);
  EXPECT_EQ(ahead->text, question("aircraft/Alpha"));
  EXPECT_EQ(ahead->topic, delete_for_good_question("").topic);

  catalogue({"Alpha", "Beta"});
  ui.answers = {Answer::yes, Answer::no};
  SpeedButton8Click(shared, ui);

  EXPECT_EQ(messages_between_confirmation_and_end(),
            (std::vector<std::string>{question("aircraft/Alpha"),
                                      "Delete not possible " + fs + "aircraft/Alpha",
                                      "Delete not possible " + fs + "aircraft/Beta"}));
  EXPECT_EQ(ui.messages[1].kind, MessageKind::warning);
  EXPECT_EQ(ui.messages[1].buttons, Buttons::yes_no);
  EXPECT_TRUE(fs::exists(fs + "aircraft/Alpha/panel/panel.cfg"));
  EXPECT_TRUE(fs::exists(fs + "aircraft/Beta"));
  EXPECT_FALSE(fs::exists(gauge));
  EXPECT_EQ(log_of("Beta"), "Delete not possible " + fs + "aircraft/Beta\r\n");
  EXPECT_TRUE(has_record("Alpha") && has_record("Beta"));

  ui.messages.clear();
  catalogue({"Alpha", "Beta"});
  ui.answers = {Answer::yes, Answer::yes};
  SpeedButton8Click(shared, ui);

  EXPECT_EQ(messages_between_confirmation_and_end(),
            std::vector<std::string>{question("aircraft/Alpha")});
  EXPECT_FALSE(fs::exists(fs + "aircraft/Alpha"));
  EXPECT_FALSE(fs::exists(fs + "aircraft/Beta"));
  EXPECT_TRUE(fs::exists(fs + "aircraft"));
  EXPECT_EQ(read_file(keep), "k");
  EXPECT_FALSE(has_record("Alpha") || has_record("Beta"));
}

// A Ui whose process dies like at a power cut after a number of lines.
class DyingUi : public RecordingUi {
 public:
  explicit DyingUi(int lines) : lines_left(lines) {}
  void pump() override {
    if (--lines_left == 0) ::raise(SIGKILL);
  }
  int lines_left;
};

TEST_F(RemovalTest, RemovalKilledHalfwayCompletesWhenRunAgain) {
  std::vector<std::string> lines;
  for (int i = 0; i < 5; ++i)
    lines.push_back(tree.make_file("FS9/gauges/g" + std::to_string(i) + ".gau", "g"));
  tree.make_file("FS9/aircraft/Alpha/aircraft.cfg", "a");
  fs::create_directory_symlink(tree.path("outside"), fs + "aircraft/Alpha/out");
  lines.push_back(fs + "aircraft/Alpha");
  const auto keep = tree.make_file("outside/keep.txt", "k");
  const auto unlisted = tree.make_file("FS9/gauges/unlisted.gau", "u");
  record("Alpha", lines);
  catalogue({"Alpha"});

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DyingUi dying(3);
    dying.tag = ui.tag;
    dying.catalogue_entries = ui.catalogue_entries;
    dying.checked = ui.checked;
    try {
      SpeedButton8Click(shared, dying);
    } catch (...) {
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_FALSE(fs::exists(lines[2]));
  EXPECT_TRUE(fs::exists(lines[3]));
  EXPECT_TRUE(has_record("Alpha"));

  SpeedButton8Click(shared, ui);

  EXPECT_TRUE(messages_between_confirmation_and_end().empty());
  for (const auto& line : lines) EXPECT_FALSE(fs::exists(line)) << line;
  EXPECT_FALSE(has_record("Alpha"));
  EXPECT_EQ(read_file(keep), "k");
  EXPECT_EQ(read_file(unlisted), "u");
}

}  // namespace
}  // namespace wingstow::test
