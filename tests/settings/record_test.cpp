#include "settings/record.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/faults.h"
#include "settings/record_index.h"
#include "settings/shared.h"
#include "support/odd_entries.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

using test::read_file;
using test::TempTree;

class RecordTest : public ::testing::Test {
 protected:
  RecordTest() {
    shared.unzip_path = unzip;
    shared.record_name = "Cessna.txt";
  }

  // Record failures reach the user as errors that name the file.
  static void expect_error_naming(const std::string& path, auto&& action) {
    try {
      action();
      ADD_FAILURE() << "no error for " << path;
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }

  TempTree tree;
  std::string unzip = tree.make_folder("unzip_fs2004");
  std::string path = unzip + "Cessna.txt";
  Shared shared{tree.root()};
};

TEST_F(RecordTest, LiesInTheUnzipFolderAndExistsOnlyAsAFile) {
  EXPECT_EQ(record_path(shared), path);
  EXPECT_FALSE(record_exists(shared));
  tree.make_folder("unzip_fs2004/Cessna.txt");
  EXPECT_FALSE(record_exists(shared));
  shared.record_name = "Other.txt";
  tree.make_file("unzip_fs2004/Other.txt", "");
  EXPECT_TRUE(record_exists(shared));
}

TEST_F(RecordTest, LinesEndWithCarriageReturnAndLineFeed) {
  create_record(path);
  EXPECT_EQ(read_file(path), "");
  append_record_line(path, "/FS9/aircraft/Cessna");
  open_record_for_reading(path);
  append_record_line(path, "/FS9/gauges/cessna_panel.gau");
  EXPECT_EQ(read_file(path), "/FS9/aircraft/Cessna\r\n/FS9/gauges/cessna_panel.gau\r\n");

  create_record(path);  // emptied again
  EXPECT_EQ(read_file(path), "");
}

TEST_F(RecordTest, LineBreaksInsideALineAreRefused) {
  create_record(path);
  append_record_line(path, "/FS9/aircraft/Cessna");
  for (const char* line : {"/FS9/gauges/a\n/FS9/gauges/b.gau", "/FS9/gauges/a\r.gau"})
    expect_error_naming(path, [&] { append_record_line(path, line); });
  EXPECT_EQ(read_file(path), "/FS9/aircraft/Cessna\r\n");
}

TEST_F(RecordTest, FailuresBecomeErrorsNamingTheRecord) {
  expect_error_naming(path, [&] { open_record_for_reading(path); });
  const std::string nowhere = tree.path("missing/Cessna.txt");
  expect_error_naming(nowhere, [&] { create_record(nowhere); });
  expect_error_naming(nowhere, [&] { append_record_line(nowhere, "/FS9/aircraft/Cessna"); });
}

// Nothing is read or written through a link or from a special file: a link
// named like a record or a log would make the program write outside the
// unzip folder, a named pipe would block it for good. A mark of an
// unfinished install that is no regular file is no mark.
TEST_F(RecordTest, LinksAndSpecialFilesAreRefused) {
  using test::Entry;
  const std::string link = "a symbolic link, which is not followed";
  const std::pair<Entry, std::string> cases[] = {
      {Entry::link_to_file, link},
      {Entry::dangling_link, link},
      {Entry::link_to_dev_zero, link},
      {Entry::pipe, "a named pipe, not a regular file"},
      {Entry::socket, "a socket, not a regular file"},
      {Entry::folder, "a folder, not a regular file"},
  };
  const std::string outside = tree.make_file("outside.txt", "keep");
  write_record(path, {"/FS9/aircraft/Cessna"});
  for (const auto& [entry, reason] : cases) {
    SCOPED_TRACE(test::entry_name(entry));
    const std::string record = unzip + "Special.txt";
    test::make_entry(record, entry, outside);
    const auto read = test::returned<std::string>([record] {
      try {
        record_lines(record);
      } catch (const Error& error) {
        return std::string(error.what());
      }
      return std::string("no error");
    });
    ASSERT_TRUE(read);
    EXPECT_NE(read->find("(" + reason + ") on " + record), std::string::npos) << *read;
    if (entry != Entry::folder) {
      expect_error_naming(record, [&] { write_record(record, {"/FS9/aircraft/X"}); });
      expect_error_naming(record, [&] { append_record_line(record, "/FS9/aircraft/X"); });
    }

    test::make_entry(install_marker(path), entry, outside);
    const auto unfinished =
        test::returned<bool>([record = path] { return install_unfinished(record); });
    ASSERT_TRUE(unfinished);
    EXPECT_FALSE(*unfinished);
  }
  EXPECT_EQ(read_file(outside), "keep");
  // A mark this program makes still counts.
  test::remove_tree(install_marker(path));
  mark_install_started(path);
  EXPECT_TRUE(install_unfinished(path));
}

// A record is rewritten whole or not at all: a failure at any point leaves
// the old content, and no temporary file.
TEST_F(RecordTest, RewriteIsAtomicUnderEveryFault) {
  using platform::FaultPoint;
  write_record(path, {"/FS9/aircraft/Cessna"});
  for (FaultPoint point :
       {FaultPoint::create, FaultPoint::write, FaultPoint::fsync, FaultPoint::rename}) {
    const platform::FaultScope faults;
    platform::inject_fault(point, 1, ENOSPC);
    expect_error_naming(path, [&] { write_record(path, {"/FS9/aircraft/Cessna", "/FS9/x"}); });
    EXPECT_EQ(read_file(path), "/FS9/aircraft/Cessna\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(unzip),
                            std::filesystem::directory_iterator()),
              1);
  }
  ::chmod(path.c_str(), 0600);
  write_record(path, {"/FS9/aircraft/Cessna", "/FS9/x"});
  EXPECT_EQ(record_lines(path), (std::vector<std::string>{"/FS9/aircraft/Cessna", "/FS9/x"}));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // the user's permissions survive the rewrite
  // A NUL would cut the line short for whoever reads it as a path.
  expect_error_naming(path, [&] { write_record(path, {std::string("/FS9/a\0b", 8)}); });
}

// A record far bigger than any package is refused with one message instead
// of being read into memory.
TEST_F(RecordTest, HugeRecordIsRefusedWithOneError) {
  std::string text;
  for (std::size_t i = 0; i <= max_record_lines; ++i) text += "/FS9/gauges/g.gau\r\n";
  test::write_file(path, text);
  std::size_t seen = 0;
  expect_error_naming(
      path, [&] { read_record_lines(path, [&](const std::string&) { return ++seen, true; }); });
  EXPECT_EQ(seen, max_record_lines);
}

}  // namespace
}  // namespace wingstow

namespace wingstow {
namespace {

// The listing of the records tells the unfinished installs as the marker
// beside each record does, in whatever letter case the marker is spelled.
TEST(RecordFolder, ItsUnfinishedInstallsAgreeWithTheMarkers) {
  test::TempTree tree;
  const std::string unzip = tree.make_folder("unzip_fs2004");
  for (const char* name : {"Done.txt", "Half.txt", "Case.txt", "Folder.txt"})
    test::write_file(unzip + name, "x\r\n");
  test::write_file(unzip + "Half.txt.installing", "");
  test::write_file(unzip + "CASE.TXT.installing", "");
  tree.make_folder("unzip_fs2004/Folder.txt.installing");  // no mark of ours
  const RecordFolder folder = list_records(unzip);
  for (const auto& record : folder.records)
    EXPECT_EQ(folder.install_unfinished(record), install_unfinished(record)) << record;
  EXPECT_TRUE(folder.install_unfinished(unzip + "Half.txt"));
  EXPECT_TRUE(folder.install_unfinished(unzip + "Case.txt"));
  EXPECT_FALSE(folder.install_unfinished(unzip + "Done.txt"));
  EXPECT_FALSE(folder.install_unfinished(unzip + "Folder.txt"));
}

}  // namespace
}  // namespace wingstow
