#include "install/record.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "settings/shared.h"
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

}  // namespace
}  // namespace wingstow
