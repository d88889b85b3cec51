// Archives handed to the program join the download folder: copied, never
// moved, never over another file.

#include "packages/import_archives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "support/recording_ui.h"
#include "support/temp_tree.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

class ImportArchivesTest : public ::testing::Test {
 protected:
  test::TempTree tree;
  std::string download = tree.make_folder("download_fs2004");
  std::string outside = tree.make_folder("home/Downloads");

  std::string zip(const std::string& path, const std::string& content = "x") {
    test::write_zip(path, {{"Plane/aircraft.cfg", content}});
    return path;
  }
};

TEST_F(ImportArchivesTest, EachKindOfArchiveEndsAsExpected) {
  const std::string fresh = zip(outside + "Fresh.ZIP");
  const std::string same = zip(outside + "Same.zip", "same");
  zip(download + "same.zip", "same");  // another letter case, same bytes
  const std::string other = zip(outside + "Other.zip", "mine");
  zip(download + "Other.zip", "theirs");
  const std::string inside = zip(download + "Inside.zip");
  const std::string text = tree.make_file("home/Downloads/notes.zip", "not a zip");
  const std::string named = zip(outside + "archive.bin");
  const std::string folder = tree.make_folder("home/Downloads/Folder.zip");
  const std::string fifo = outside + "pipe.zip";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = outside + "gone.zip";
  const std::string link = outside + "Linked.zip";  // read through, written as a file
  ASSERT_EQ(::symlink(fresh.c_str(), link.c_str()), 0);

  const auto outcome = import_archives(
      download, {fresh, same, other, inside, text, named, folder, fifo, missing, link});

  EXPECT_EQ(outcome.copied, 2u);
  EXPECT_EQ(outcome.arrived,
            (std::vector<std::string>{download + "Fresh.ZIP", download + "same.zip",
                                      download + "Inside.zip", download + "Linked.zip"}));
  EXPECT_FALSE(fs::is_symlink(download + "Linked.zip"));
  EXPECT_EQ(test::read_file(download + "Linked.zip"), test::read_file(fresh));
  ASSERT_EQ(outcome.failures.size(), 6u);
  const std::vector<std::string> expected = {
      other + ": another file named Other.zip is already in the download folder",
      text + ": not a ZIP archive",
      named + ": not a ZIP, 7z or RAR archive (its name does not end in .zip, .7z or .rar)",
      folder + ": a folder, not a ZIP archive",
      fifo + ": not a regular file",
      missing + ": No such file or directory"};
  EXPECT_EQ(outcome.failures, expected);

  // Copied, not moved; the other file of the same name untouched.
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_EQ(test::read_file(download + "Fresh.ZIP"), test::read_file(fresh));
  EXPECT_NE(test::read_file(download + "Other.zip"), test::read_file(other));
  EXPECT_FALSE(fs::exists(download + "Same.zip"));
  for (const auto& entry : fs::directory_iterator(download))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST_F(ImportArchivesTest, ReportSaysWhatArrivedAndListsFailuresInOneBox) {
  test::RecordingUi ui;
  ImportOutcome outcome;
  outcome.arrived = {download + "a.zip", download + "b.zip"};
  outcome.copied = 1;
  for (int i = 0; i < 12; ++i) outcome.failures.push_back("/x/" + std::to_string(i) + ".zip: why");

  report_import(ui, download, outcome);

  EXPECT_EQ(ui.statuses.back(),
            "1 archive(s) copied into " + download + ", 1 already there, 12 not copied");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::warning);
  EXPECT_TRUE(ui.messages[0].text.starts_with("12 archive(s) could not be copied into " + download +
                                              ":\n/x/0.zip: why\n"));
  EXPECT_TRUE(ui.messages[0].text.ends_with("/x/9.zip: why\n... and 2 more"));

  test::RecordingUi quiet;
  report_import(quiet, download, {{download + "a.zip"}, 1, {}});
  EXPECT_EQ(quiet.statuses.back(), "1 archive(s) copied into " + download);
  EXPECT_TRUE(quiet.messages.empty());
}

}  // namespace
}  // namespace wingstow
