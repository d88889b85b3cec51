#include "base/path_helpers.h"

#include <gtest/gtest.h>

namespace wingstow {
namespace {

TEST(PathHelpersTest, LastPathPart) {
  EXPECT_EQ(last_path_part("/FS/unzip_fs2004/Cessna", 0), "Cessna");
  EXPECT_EQ(last_path_part("/FS/unzip_fs2004/Cessna/", 0), "Cessna/");
  EXPECT_EQ(last_path_part("/pkg/panel/gauge1.gau", 0), "gauge1.gau");
  EXPECT_EQ(last_path_part("/dl/Cessna.zip", 4), "Cessna");
  EXPECT_EQ(last_path_part("/u/Cessna.txt", 4), "Cessna");
  EXPECT_EQ(last_path_part("/a/b/", 1), "b");
  EXPECT_EQ(last_path_part("/x", 0), "x");
  // The last kept character is never taken for the separator.
  EXPECT_EQ(last_path_part("/a//", 0), "/");
}

TEST(PathHelpersTest, ParentFolder) {
  EXPECT_EQ(parent_folder("/pkg/Cessna/aircraft.cfg"), "/pkg/Cessna/");
  EXPECT_EQ(parent_folder("/pkg/Cessna/"), "/pkg/");
  EXPECT_EQ(parent_folder("/pkg/Cessna"), "/pkg/");
  EXPECT_EQ(parent_folder("/pkg"), "/");
}

TEST(PathHelpersTest, InputsWithoutASeparatorToScanFor) {
  EXPECT_EQ(last_path_part("Cessna", 0), "Cessna");
  EXPECT_EQ(last_path_part("Cessna.zip", 4), "Cessna");
  EXPECT_EQ(last_path_part("", 0), "");
  EXPECT_EQ(last_path_part("/a", 2), "");
  EXPECT_EQ(last_path_part("/a", 9), "");
  EXPECT_EQ(parent_folder("Cessna"), "");
  EXPECT_EQ(parent_folder(""), "");
  EXPECT_EQ(parent_folder("/"), "");
}

TEST(PathHelpersTest, LineBreaks) {
  EXPECT_TRUE(has_line_break("a\nb"));
  EXPECT_TRUE(has_line_break("a\rb"));
  EXPECT_TRUE(has_line_break("\r\n"));
  EXPECT_FALSE(has_line_break("a b\t.gau"));
  EXPECT_FALSE(has_line_break(""));
}

}  // namespace
}  // namespace wingstow
