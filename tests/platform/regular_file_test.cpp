// Files read by a fixed name: only a regular file is read, whatever else
// lies at its place is told and nothing waits on it.

#include "platform/regular_file.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/single_instance.h"
#include "support/special_files.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace wingstow::platform {
namespace {

using test::Entry;
using test::returned;
using test::TempTree;

TEST(RegularFile, ReadsOnlyARegularFileUpToItsBound) {
  struct Case {
    const char* name;
    std::optional<Entry> entry;  // none: a regular file of content
    std::string content;
    int error;
    std::string reason;  // part of it
  };
  const Case cases[] = {
      {"regular", {}, "text", 0, ""},
      {"at the bound", {}, std::string(16, 'x'), 0, ""},
      {"over the bound", {}, std::string(17, 'x'), EFBIG, "larger than 16 bytes"},
      {"missing", {}, "<missing>", ENOENT, "No such file"},
      {"folder", Entry::folder, "", EISDIR, "a folder, not a regular file"},
      {"pipe", Entry::pipe, "", EINVAL, "a named pipe, not a regular file"},
      {"socket", Entry::socket, "", EINVAL, "a socket, not a regular file"},
      {"link to /dev/zero", Entry::link_to_dev_zero, "", ELOOP, "symbolic link"},
      {"link to a file", Entry::link_to_file, "", ELOOP, "symbolic link"},
      {"dangling link", Entry::dangling_link, "", ELOOP, "symbolic link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    const std::string path = tree.path("file");
    if (c.entry)
      test::make_entry(path, *c.entry, tree.make_file("target", "target's"));
    else if (c.content != "<missing>")
      tree.make_file("file", c.content);
    const auto read = returned<FileText>([path] { return read_regular_file(path, 16); });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->error, c.error);
    EXPECT_NE(read->reason.find(c.reason), std::string::npos) << read->reason;
    EXPECT_EQ(read->text, c.error == 0 ? c.content : "");
  }
}

TEST(RegularFile, InAFolderNeverThroughALink) {
  TempTree tree;
  tree.make_file("real/sub/file", "below");
  ASSERT_EQ(::symlink(tree.path("real/sub").c_str(), tree.path("real/link").c_str()), 0);
  const Folder real(tree.path("real"));
  std::string text;
  RegularFile below(Folder(real, "sub"), "file");
  ASSERT_TRUE(below.is_open());
  EXPECT_EQ(below.read_to(text, 100), 0);
  EXPECT_EQ(text, "below");
  const RegularFile through(Folder(real, "link"), "file");
  EXPECT_EQ(through.error(), ELOOP);
  EXPECT_EQ(through.reason(), "below a symbolic link, which is not followed");
}

// The settings file and the instance lock, with something else at their
// place: each call returns, tells the path and what is there, and leaves it.
TEST(FixedNames, ASpecialEntryIsToldAndNeverWaitedOn) {
  struct Case {
    Entry entry;
    std::string said;
  };
  const Case cases[] = {
      {Entry::pipe, "a named pipe, not a regular file"},
      {Entry::link_to_dev_zero, "a symbolic link, which is not followed"},
      {Entry::folder, "a folder, not a regular file"},
      {Entry::dangling_link, "a symbolic link, which is not followed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::entry_name(c.entry));
    TempTree tree;
    const std::string ini = tree.path("planeyard.ini");
    test::make_entry(ini, c.entry);
    const auto read = returned<std::string>([ini]() -> std::string {
      try {
        IniFile(ini).read("main_path", "fs_start", "");
        return "no error";
      } catch (const Error& error) {
        return error.what();
      }
    });
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, "The settings file " + ini + " cannot be read: " + c.said);
    const auto written = returned<std::string>([ini]() -> std::string {
      try {
        IniFile(ini).write("main_path", "fs_start", "fs2004");
        return "no error";
      } catch (const Error& error) {
        return error.what();
      }
    });
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, "Impossible d'écrire dans " + ini);

    tree.make_folder("run");
    const std::string folder = tree.path("run");
    const std::string lock = folder + "/MonMutexhangarkit.lock";
    test::make_entry(lock, c.entry);
    const auto taken = returned<std::pair<bool, std::string>>([folder] {
      SingleInstance instance("MonMutexhangarkit", folder);
      const bool held = instance.acquire();
      return std::pair{held, instance.failure()};
    });
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->first);
    EXPECT_EQ(taken->second, "The instance lock " + lock + " cannot be taken: it is " + c.said +
                                 "; it was left as it is: take it away, then start again");

    // Both are left as they were.
    for (const std::string& path : {ini, lock}) {
      struct stat st;
      ASSERT_EQ(::lstat(path.c_str(), &st), 0);
      EXPECT_EQ(S_ISLNK(st.st_mode),
                c.entry == Entry::link_to_dev_zero || c.entry == Entry::dangling_link);
      EXPECT_EQ(S_ISFIFO(st.st_mode), c.entry == Entry::pipe);
      EXPECT_EQ(S_ISDIR(st.st_mode), c.entry == Entry::folder);
    }
  }
}

}  // namespace
}  // namespace wingstow::platform
