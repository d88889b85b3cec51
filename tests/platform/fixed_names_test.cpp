// Files read by a fixed name: only a regular file is read, whatever else
// lies at its place is told and nothing waits on it.

#include "platform/error.h"
#include "platform/ini_file.h"
#include "platform/single_instance.h"
#include "support/odd_entries.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include <sys/stat.h>

namespace wingstow::platform {
namespace {

using test::Entry;
using test::returned;
using test::TempTree;

// What a call threw, or "no error".
std::string thrown(const std::function<void()>& call) {
  try {
    call();
    return "no error";
  } catch (const Error& error) {
    return error.what();
  }
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
  const auto kind = [](const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::entry_name(c.entry));
    TempTree tree;
    const std::string ini = tree.path("planeyard.ini");
    const std::string folder = tree.make_folder("run").substr(0, tree.path("run").size());
    const std::string lock = folder + "/MonMutexhangarkit.lock";
    for (const std::string& path : {ini, lock}) test::make_entry(path, c.entry);
    const auto kinds = std::pair{kind(ini), kind(lock)};

    const auto read = returned<std::string>(
        [ini] { return thrown([&] { IniFile(ini).read("main_path", "fs_start", ""); }); });
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, "The settings file " + ini + " cannot be read: " + c.said);
    const auto written = returned<std::string>(
        [ini] { return thrown([&] { IniFile(ini).write("main_path", "fs_start", "fs2004"); }); });
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, "Impossible d'écrire dans " + ini);
    const auto taken = returned<std::pair<bool, std::string>>([folder] {
      SingleInstance instance("MonMutexhangarkit", folder);
      const bool held = instance.acquire();
      return std::pair{held, instance.failure()};
    });
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->first);
    EXPECT_EQ(taken->second, "The instance lock " + lock + " cannot be taken: it is " + c.said +
                                 "; it was left as it is: take it away, then start again");
    EXPECT_EQ(std::pair(kind(ini), kind(lock)), kinds);  // both left as they were
  }
}

}  // namespace
}  // namespace wingstow::platform
