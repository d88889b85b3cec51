#include "removal/shell_file_operation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "install/install_fixture.h"
#include "removal/removal_fixture.h"

namespace wingstow::test {
namespace {

namespace fs = std::filesystem;

class ShellFileOperationTest : public RemovalFixture {
 protected:
  // A folder with a file and a subfolder.
  std::string make_plane(std::string_view relative) {
    tree.make_file(std::string(relative) + "/aircraft.cfg", "cfg");
    tree.make_file(std::string(relative) + "/panel/panel.cfg", "panel");
    return tree.path(relative);
  }
};

TEST_F(ShellFileOperationTest, DeleteTakesOnlyAnExistingFolderIntoTheTrash) {
  const auto file = tree.make_file("work/plane.cfg", "p");
  const auto before = snapshot(tree.root());
  EXPECT_FALSE(shell_delete_folder(file));
  EXPECT_FALSE(shell_delete_folder(tree.path("work/missing")));
  EXPECT_FALSE(shell_delete_folder(""));
  EXPECT_EQ(snapshot(tree.root()), before);

  const auto plane = make_plane("work/Plane");
  EXPECT_TRUE(shell_delete_folder(plane));
  EXPECT_FALSE(fs::exists(plane));
  EXPECT_EQ(read_file(home + ".local/share/Trash/files/Plane/panel/panel.cfg"), "panel");

  make_plane("work/Other");
  EXPECT_TRUE(
      shell_file_operation("delete", false, true, true, false, tree.path("work/OTHER"), ""));
  EXPECT_TRUE(in_trash("Other"));
}

TEST_F(ShellFileOperationTest, CopyMoveAndRenameInAnyLetterCase) {
  const auto plane = make_plane("work/Plane");
  const auto into = tree.make_folder("dest");

  EXPECT_TRUE(shell_file_operation("copy", false, true, true, false, plane, into));
  EXPECT_EQ(read_file(into + "Plane/panel/panel.cfg"), "panel");
  EXPECT_TRUE(fs::exists(plane + "/aircraft.cfg"));
  // An existing target is never merged into.
  EXPECT_FALSE(shell_file_operation("Copy", false, true, true, false, plane, into));
  EXPECT_TRUE(shell_file_operation("COPY", true, true, true, false, plane, into));
  EXPECT_EQ(read_file(into + "Plane (2)/aircraft.cfg"), "cfg");

  EXPECT_TRUE(shell_file_operation("rename", false, true, true, false, plane, "Renamed"));
  EXPECT_FALSE(fs::exists(plane));
  const auto renamed = tree.path("work/Renamed");
  EXPECT_TRUE(shell_file_operation("move", false, true, true, false, renamed, tree.path("moved")));
  EXPECT_FALSE(fs::exists(renamed));
  EXPECT_EQ(read_file(tree.path("moved/panel/panel.cfg")), "panel");
}

TEST_F(ShellFileOperationTest, EveryOtherRequestFailsAndTouchesNothing) {
  const auto plane = make_plane("work/Plane");
  const auto file = tree.make_file("work/file.cfg", "f");
  const auto before = snapshot(tree.root());
  EXPECT_FALSE(shell_file_operation("erase", false, true, true, false, plane, ""));
  EXPECT_FALSE(shell_file_operation("COPY", false, true, true, false, plane, ""));
  EXPECT_FALSE(shell_file_operation("COPY", false, true, true, false, file, tree.path("dest")));
  EXPECT_FALSE(shell_file_operation("COPY", false, true, true, false, plane, plane + "/panel"));
  EXPECT_FALSE(shell_file_operation("MOVE", false, true, true, false, plane, plane + "/panel"));
  EXPECT_FALSE(shell_file_operation("RENAME", false, true, true, false, plane, file));
  EXPECT_EQ(snapshot(tree.root()), before);
}

}  // namespace
}  // namespace wingstow::test
