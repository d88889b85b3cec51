#include "platform/trash.h"

#include "support/odd_entries.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {
namespace {

using test::TempTree;
namespace fs = std::filesystem;

// Runs with HOME and XDG_DATA_HOME in a temporary tree (whose .local/share
// does not exist yet), and the tree as current folder, so that the real
// trash is never touched and a stray "./files" would show.
class FakeHome : public ::testing::Test {
 protected:
  void SetUp() override {
    save("HOME");
    save("XDG_DATA_HOME");
    home = tree.make_folder("home");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + ".local/share").c_str(), 1);
    old_cwd = fs::current_path();
    fs::current_path(tree.root());
    trash = home + ".local/share/Trash/";
    // Volume trash folders of this machine would be emptied too.
    for (const auto& folder : trash_folders())
      if (!folder.starts_with(home)) GTEST_SKIP() << "a real trash exists: " << folder;
  }
  void TearDown() override {
    fs::current_path(old_cwd);
    for (const auto& [name, value] : saved)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }
  void save(const char* name) {
    const char* value = std::getenv(name);
    saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }

  TempTree tree;
  std::string home, trash;
  fs::path old_cwd;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(FakeHome, TrashesFilesAndFoldersIntoTheHomeTrash) {
  const auto file = tree.make_file("work/Plane.zip", "zip");
  tree.make_file("work/Unpacked/panel/panel.cfg", "cfg");
  ::chmod(tree.path("work/Unpacked/panel").c_str(), 0555);
  const auto outside = tree.make_file("keep.txt", "keep");
  fs::create_symlink(outside, tree.path("work/link"));

  EXPECT_TRUE(move_to_trash(tree.path("work/plane.ZIP")));  // letter case resolved too
  EXPECT_TRUE(move_to_trash(tree.path("work/Unpacked/")));
  EXPECT_TRUE(move_to_trash(tree.path("work/link")));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(tree.path("work/Unpacked")));
  EXPECT_EQ(test::read_file(outside), "keep");
  EXPECT_TRUE(fs::exists(trash + "files/Plane.zip"));
  EXPECT_TRUE(fs::exists(trash + "info/Plane.zip.trashinfo"));
  EXPECT_FALSE(fs::exists(tree.path("files")));
  EXPECT_EQ(trash_item_count(), 3u);

  EXPECT_FALSE(move_to_trash(tree.path("work/missing")));
  EXPECT_EQ(trash_item_count(), 3u);
}

TEST_F(FakeHome, EmptiesOnlyTheTrashAndOnlyWhenTheUserAgrees) {
  int asked = 0;
  EXPECT_FALSE(empty_trash([&](std::size_t) { return ++asked, true; }));
  EXPECT_EQ(asked, 0);  // nothing to empty, nothing asked

  const auto outside = tree.make_folder("outside");
  tree.make_file("outside/keep.txt", "keep");
  tree.make_file("work/Old/gauges/a.gau", "a");
  ::chmod(tree.path("work/Old/gauges").c_str(), 0555);
  fs::create_symlink(outside, tree.path("work/Old/into-outside"));
  ASSERT_TRUE(move_to_trash(tree.path("work/Old")));
  ASSERT_TRUE(move_to_trash(tree.make_file("work/b.txt", "b")));
  tree.make_file("home/.local/share/Trash/expunged/leftover", "x");

  std::size_t told = 0;
  EXPECT_FALSE(empty_trash([&](std::size_t n) { return told = n, false; }));
  EXPECT_EQ(told, 2u);
  EXPECT_EQ(trash_item_count(), 2u);

  EXPECT_TRUE(empty_trash([](std::size_t) { return true; }));
  EXPECT_EQ(trash_item_count(), 0u);
  for (auto part : {"files", "info", "expunged"}) {
    EXPECT_TRUE(fs::is_directory(trash + part)) << part;
    EXPECT_TRUE(fs::is_empty(trash + part)) << part;
  }
  EXPECT_EQ(test::read_file(outside + "keep.txt"), "keep");
}

// For folders no trash takes: gone for good, read-only folders inside
// included, and no link followed, neither inside nor the path itself.
// An item on another volume goes to that volume's trash; where that trash
// takes nothing (here its info folder is a file, as a volume that takes no
// new file leaves it unusable), the call returns false at once and the item
// stays.
TEST_F(FakeHome, ItemOnAnotherVolumeGoesToItsTrashOrStays) {
  const std::string volume = "/dev/shm/";
  struct stat shm, own;
  if (::stat(volume.c_str(), &shm) != 0 || ::stat(home.c_str(), &own) != 0 ||
      shm.st_dev == own.st_dev)
    GTEST_SKIP() << "no second volume here";
  const std::string volume_trash = volume + ".Trash-" + std::to_string(::getuid());
  if (fs::exists(volume_trash)) GTEST_SKIP() << "a real trash exists: " << volume_trash;
  TempTree other(volume);
  struct Cleanup {
    std::string path;
    ~Cleanup() { fs::remove_all(path); }
  } cleanup{volume_trash};

  const auto first = other.make_file("Plane/aircraft.cfg", "cfg");
  EXPECT_EQ(test::returned<bool>([&] { return move_to_trash(other.path("Plane")); }), true);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(test::read_file(volume_trash + "/files/Plane/aircraft.cfg"), "cfg");
  EXPECT_TRUE(fs::exists(volume_trash + "/info/Plane.trashinfo"));

  fs::remove_all(volume_trash + "/info");
  test::write_file(volume_trash + "/info", "not a folder");
  const auto second = other.make_file("Other/aircraft.cfg", "cfg");
  EXPECT_EQ(test::returned<bool>([&] { return move_to_trash(other.path("Other")); }), false);
  EXPECT_EQ(test::read_file(second), "cfg");
}

TEST(DeleteTree, DeletesForGoodWithoutFollowingLinks) {
  TempTree tree;
  const auto keep = tree.make_file("outside/keep.txt", "keep");
  tree.make_file("work/Plane/panel/panel.cfg", "cfg");
  ::chmod(tree.path("work/Plane/panel").c_str(), 0500);
  fs::create_directory_symlink(tree.path("outside"), tree.path("work/Plane/out"));
  fs::create_directory_symlink(tree.path("outside"), tree.path("work/Link"));

  EXPECT_TRUE(delete_tree(tree.path("work/plane/")));  // letter case resolved too
  EXPECT_TRUE(delete_tree(tree.path("work/Link")));
  EXPECT_TRUE(delete_tree(tree.path("work/missing")));
  EXPECT_FALSE(delete_tree(tree.path("work/..")));
  EXPECT_TRUE(fs::is_empty(tree.path("work")));
  EXPECT_EQ(test::read_file(keep), "keep");
}

}  // namespace
}  // namespace wingstow::platform
