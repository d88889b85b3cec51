#include "removal/removal.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "install/install_fixture.h"
#include "platform/error.h"
#include "removal/removal_fixture.h"

namespace wingstow::test {
namespace {

namespace fs = std::filesystem;

class RemovalTest : public RemovalFixture {
 protected:
  std::vector<std::string> messages_between_confirmation_and_end() const {
    auto texts = ui.message_texts();
    EXPECT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.front(), "Are you really sure ? ");
    EXPECT_EQ(texts.back(), "End of  delete from fs2004");
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
  EXPECT_EQ(ui.refreshes, 2);
}

TEST_F(RemovalTest, FailedRecordStillSparesTheFilesItLists) {
  const auto shared_gauge = tree.make_file("FS9/gauges/shared.gau", "s");
  const auto missing = fs + "gauges/missing.gau";
  record("Alpha", {missing, shared_gauge});
  record("Beta", {shared_gauge});
  catalogue({"Alpha", "Beta"});

  SpeedButton8Click(shared, ui);

  EXPECT_EQ(messages_between_confirmation_and_end(),
            std::vector<std::string>{"Delete not possible " + missing});
  EXPECT_EQ(log_of("Alpha"), "delete not possible " + missing + "\r\n");
  EXPECT_TRUE(has_record("Alpha"));
  EXPECT_FALSE(has_record("Beta"));
  EXPECT_TRUE(fs::exists(shared_gauge));
  EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{record_path("Alpha")});
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
// whole, even when another record lists a file inside it.
TEST_F(RemovalTest, FolderLineGoesWholeIntoTheTrash) {
  tree.make_file("FS9/aircraft/Alpha/aircraft.cfg", "a");
  const auto panel = tree.make_file("FS9/aircraft/Alpha/panel/panel.cfg", "p");
  record("Alpha", {tree.root() + "fs9/AIRCRAFT//alpha/"});
  record("Beta", {panel});
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

TEST_F(RemovalTest, FileListedTwiceFailsTheSecondTimeAndKeepsTheRecord) {
  const auto gauge = tree.make_file("FS9/gauges/twice.gau", "t");
  // A log left by an earlier attempt starts empty again.
  tree.make_file("prog/unzip_fs2004/Alpha.txt.err", "old failure\r\n");
  record("Alpha", {gauge, gauge});
  catalogue({"Alpha"});

  SpeedButton8Click(shared, ui);

  EXPECT_FALSE(fs::exists(gauge));
  EXPECT_EQ(messages_between_confirmation_and_end(),
            std::vector<std::string>{"Delete not possible " + gauge});
  EXPECT_EQ(log_of("Alpha"), "delete not possible " + gauge + "\r\n");
  EXPECT_TRUE(has_record("Alpha"));
}

TEST_F(RemovalTest, AnswerNoChangesNothing) {
  tree.make_file("FS9/gauges/alpha.gau", "a");
  record("Alpha", {fs + "gauges/alpha.gau"});
  catalogue({"Alpha"});
  const auto before = snapshot(tree.root());
  ui.answers = {Answer::no};

  SpeedButton8Click(shared, ui);

  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"Are you really sure ? "});
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

// A record is a text file anyone can write: nothing outside the simulator
// folder, nor the folder itself or its standard subfolders, may go.
TEST_F(RemovalTest, LinesOutsideTheSimulatorOrOnItsOwnFoldersAreRefused) {
  const auto keep = tree.make_file("outside/keep.txt", "k");
  tree.make_file("outside/dir/inner.txt", "i");
  fs::create_directory_symlink(tree.path("outside"), fs + "aircraft/Escape");
  tree.make_file("FS9/gauges/panel.gau", "p");
  const std::vector<std::pair<std::string, bool>> lines = {
      {keep, false},
      {tree.path("outside/dir"), true},
      {fs, true},
      {fs.substr(0, fs.size() - 1), true},
      {fs + "GAUGES", true},
      {fs + "flights/MyFlts/", true},
      {fs + "effects/./texture", true},
      {fs + "aircraft/../sound", true},
      {fs + "gauges/../../outside/keep.txt", false},
      {fs + "aircraft/Escape/keep.txt", false},
      {fs + "aircraft/Escape/dir", true},
      {"gauges/panel.gau", false},
  };
  std::string text, expected_log;
  std::vector<std::string> expected_messages;
  for (const auto& [line, folder] : lines) {
    text += line + "\r\n";
    expected_log += (folder ? "Delete not possible " : "delete not possible ") + line + "\r\n";
    expected_messages.push_back("Delete not possible " + line);
  }
  tree.make_file("prog/unzip_fs2004/Evil.txt", text);
  record("Other", {keep});  // sharing a refused line excuses nothing
  catalogue({"Evil"});
  const auto outside = snapshot(tree.path("outside/"));
  const auto simulator = snapshot(fs);

  SpeedButton8Click(shared, ui);

  EXPECT_EQ(snapshot(tree.path("outside/")), outside);
  EXPECT_EQ(snapshot(fs), simulator);
  EXPECT_EQ(messages_between_confirmation_and_end(), expected_messages);
  EXPECT_EQ(log_of("Evil"), expected_log);
  EXPECT_TRUE(has_record("Evil"));
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
  tree.make_folder("FS9/Aircraft2");
  fs::create_directory_symlink(fs + "gauges", fs + "aircraft/ToGauges");
  EXPECT_EQ(removable_path(fs, tree.root() + "fs9/aircraft2/x.cfg"), fs + "Aircraft2/x.cfg");
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

}  // namespace
}  // namespace wingstow::test
