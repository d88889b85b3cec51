#include "platform/shell.h"

#include <gtest/gtest.h>

#include <QDir>

namespace wingstow::platform {
namespace {

TEST(Drives, ListTheRootAndHomeFirstAndKnowTheirRoots) {
  const auto list = drives();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[0].root, "/");
  const auto home = QDir::homePath().toStdString();
  EXPECT_EQ(list[1].root, home + "/");
  EXPECT_EQ(list[1].label, "Home (" + home + ")");
  for (const auto& drive : list) {
    EXPECT_EQ(drive.root.back(), '/') << drive.root;
    EXPECT_FALSE(drive.label.empty()) << drive.root;
  }
  EXPECT_TRUE(is_drive_root("/"));
  EXPECT_FALSE(is_drive_root(home));  // going up from home leads to its parent
  EXPECT_FALSE(is_drive_root("/usr/"));
  for (std::size_t i = 2; i < list.size(); ++i) {
    EXPECT_TRUE(is_drive_root(list[i].root));
    EXPECT_TRUE(is_drive_root(list[i].root.substr(0, list[i].root.size() - 1)));
  }
}

}  // namespace
}  // namespace wingstow::platform
