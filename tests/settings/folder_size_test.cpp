#include "settings/folder_size.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "support/temp_tree.h"

namespace wingstow {
namespace {

using test::TempTree;

// root: a 10, b 20, .h 5, sub/c 30, sub/.h2 7, sub/deep/d 40, .git/big 1000.
class FolderSizeTest : public ::testing::Test {
 protected:
  FolderSizeTest() {
    tree.make_file("root/a", std::string(10, 'a'));
    tree.make_file("root/b", std::string(20, 'b'));
    tree.make_file("root/.h", std::string(5, 'h'));
    tree.make_file("root/sub/c", std::string(30, 'c'));
    tree.make_file("root/sub/.h2", std::string(7, 'h'));
    tree.make_file("root/sub/deep/d", std::string(40, 'd'));
    tree.make_file("root/.git/big", std::string(1000, 'g'));
  }

  TempTree tree;
  std::string root = tree.path("root");  // without its separator
};

TEST_F(FolderSizeTest, ThisFolderOrTheWholeTreeHiddenFilesIncluded) {
  EXPECT_EQ(folder_size(root, false), 35);
  EXPECT_EQ(folder_size(root, true), 112);
  EXPECT_EQ(folder_size(root + "/", true), 112);
  EXPECT_EQ(folder_size(root + "/", false), 35);
  EXPECT_EQ(folder_size(root + "/sub", true), 77);
}

TEST_F(FolderSizeTest, UnreadableOrMissingFoldersCountNothing) {
  EXPECT_EQ(folder_size(tree.path("missing"), true), 0);
  EXPECT_EQ(folder_size("", true), 0);
  EXPECT_EQ(folder_size(tree.path("root/a"), true), 0);  // a file, not a folder
}

TEST_F(FolderSizeTest, LinkedFoldersAreNotWalked) {
  ASSERT_EQ(::symlink("..", tree.path("root/sub/loop").c_str()), 0);
  ASSERT_EQ(::symlink(tree.path("root").c_str(), tree.path("root/self").c_str()), 0);
  EXPECT_EQ(folder_size(root, true), 112);
}

TEST_F(FolderSizeTest, TotalsOverTwoGibibytesAreExact) {
  constexpr std::int64_t three_gib = std::int64_t{3} << 30;
  const std::string big = tree.make_file("root/sub/huge.bin");
  const int fd = ::open(big.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, three_gib), 0);  // sparse: no blocks are written
  ::close(fd);

  EXPECT_EQ(folder_size(root, true), three_gib + 112);
  EXPECT_EQ(folder_size(root + "/sub/", false), three_gib + 37);
}

}  // namespace
}  // namespace wingstow
