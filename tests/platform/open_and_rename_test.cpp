// The one rename that never replaces, and the one open of a regular file:
// what every engine caller gets from them.

#include "platform/atomic_file.h"
#include "platform/faults.h"
#include "platform/regular_file.h"
#include "support/odd_entries.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

namespace wingstow::platform {
namespace {

namespace fs = std::filesystem;
using test::Entry;
using test::TempTree;

TEST(RenameNoReplace, MovesFilesAndFoldersAcrossFoldersAndNeverReplacesAnything) {
  struct Case {
    const char* what;
    bool folder;                 // the source is a folder, else a file
    std::optional<Entry> there;  // what lies at the target; nothing: free
    int error;
  };
  const Case cases[] = {
      {"a file to a free name", false, std::nullopt, 0},
      {"a folder to a free name", true, std::nullopt, 0},
      {"over an empty folder", true, Entry::folder, EEXIST},
      {"a file over a folder", false, Entry::folder, EEXIST},
      {"over a dangling link", false, Entry::dangling_link, EEXIST},
      {"over a named pipe", false, Entry::pipe, EEXIST},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    const std::string from = tree.path("a/item");
    if (c.folder)
      tree.make_file("a/item/inside", "x");
    else
      tree.make_file("a/item", "x");
    const std::string to = tree.make_folder("b") + "item";
    if (c.there) test::make_entry(to, *c.there);
    const auto kind_there = fs::symlink_status(to).type();

    EXPECT_EQ(rename_no_replace(from, to), c.error);

    EXPECT_EQ(fs::exists(from), c.error != 0);
    if (c.error == 0) {
      EXPECT_EQ(fs::is_directory(to), c.folder);
    } else {
      EXPECT_EQ(fs::symlink_status(to).type(), kind_there);  // left as it was
    }
  }
  // The fault seam stands for a file system that refuses.
  TempTree tree;
  const std::string from = tree.make_file("a/item", "x");
  const FaultScope faults;
  inject_fault(FaultPoint::rename, 1, EROFS);
  EXPECT_EQ(rename_no_replace(from, tree.path("item")), EROFS);
  EXPECT_TRUE(fs::exists(from));
}

TEST(RegularFile, ALinkAtItsPlaceIsFollowedOnlyWhenAsked) {
  struct Case {
    Entry entry;
    int refused;   // the error with links refused
    int followed;  // and with links followed
  };
  const Case cases[] = {
      {Entry::link_to_file, ELOOP, 0},          {Entry::dangling_link, ELOOP, ENOENT},
      {Entry::link_to_dev_zero, ELOOP, EINVAL}, {Entry::pipe, EINVAL, EINVAL},
      {Entry::folder, EISDIR, EISDIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::entry_name(c.entry));
    TempTree tree;
    const std::string target = tree.make_file("target.zip", "PK");
    const std::string path = tree.path("entry.zip");
    test::make_entry(path, c.entry, target);
    EXPECT_EQ(RegularFile(path).error(), c.refused);
    EXPECT_EQ(RegularFile(path, Links::followed).error(), c.followed);
    EXPECT_EQ(check_regular_file(path, Links::followed).error, c.followed);
    const FileText text = read_regular_file(path, 10, Links::followed);
    EXPECT_EQ(text.error, c.followed);
    if (c.followed == 0) {
      EXPECT_EQ(text.text, "PK");
    }
  }
}

}  // namespace
}  // namespace wingstow::platform
