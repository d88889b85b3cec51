#include "platform/file_transfer.h"

#include "platform/faults.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace wingstow::platform {
namespace {

using test::read_file;
using test::TempTree;
namespace fs = std::filesystem;

// Every entry below folder, hidden ones too, relative and sorted.
std::vector<std::string> tree_of(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    found.push_back(entry.path().string().substr(folder.size()));
  std::sort(found.begin(), found.end());
  return found;
}

ino_t inode(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// src holds a.txt, b.cfg and Sub/ (inner.cfg, deep/x.cfg): 8 bytes of data;
// dst already holds an a.txt of its own.
class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    src = tree.make_folder("src");
    dst = tree.make_folder("dst");
    tree.make_file("src/a.txt", "A");
    tree.make_file("src/b.cfg", "B");
    tree.make_file("src/Sub/inner.cfg", "inner");
    tree.make_file("src/Sub/deep/x.cfg", "x");
    tree.make_file("dst/a.txt", "old");
  }

  TransferOutcome copy(const std::vector<std::string>& sources, const std::string& folder,
                       const TransferProgress& progress = {}) {
    return transfer_entries(sources, false, folder, progress);
  }
  TransferOutcome move(const std::vector<std::string>& sources, const std::string& folder,
                       const TransferProgress& progress = {}) {
    return transfer_entries(sources, true, folder, progress);
  }

  TempTree tree;
  std::string src, dst;
};

TEST_F(Transfer, CopiesBesideTakenNamesAndNeverOverThem) {
  const std::vector<std::string> sources{src + "Sub", src + "a.txt"};
  TransferOutcome outcome = copy(sources, dst);
  EXPECT_TRUE(outcome.failures.empty());
  EXPECT_TRUE(outcome.unpasted.empty());
  EXPECT_EQ(outcome.items, 2u);
  EXPECT_EQ(read_file(dst + "a.txt"), "old");
  EXPECT_EQ(read_file(dst + "a - Copy.txt"), "A");
  EXPECT_EQ(read_file(dst + "Sub/inner.cfg"), "inner");
  EXPECT_EQ(read_file(dst + "Sub/deep/x.cfg"), "x");

  // Again: the names are numbered, a folder's without an extension.
  outcome = copy(sources, dst);
  EXPECT_TRUE(outcome.failures.empty());
  EXPECT_EQ(read_file(dst + "a - Copy (2).txt"), "A");
  EXPECT_EQ(read_file(dst + "Sub - Copy/deep/x.cfg"), "x");
  tree.make_folder("src/My.Plane");
  copy({src + "My.Plane"}, src);
  EXPECT_TRUE(fs::is_directory(src + "My.Plane - Copy"));

  // A name taken in other letter case is taken: Wine sees one file.
  tree.make_file("dst/B.CFG", "mine");
  copy({src + "b.cfg"}, dst);
  EXPECT_EQ(read_file(dst + "B.CFG"), "mine");
  EXPECT_EQ(read_file(dst + "b - Copy.cfg"), "B");

  // Pasted where it came from, an entry is duplicated beside itself; no
  // temporary name is left anywhere.
  copy({src + "a.txt"}, src);
  EXPECT_EQ(read_file(src + "a - Copy.txt"), "A");
  for (const std::string& folder : {src, dst})
    for (const std::string& entry : tree_of(folder))
      EXPECT_EQ(entry.find(".wingstow-"), std::string::npos) << entry;
  EXPECT_EQ(read_file(src + "Sub/deep/x.cfg"), "x");
}

TEST_F(Transfer, AMissingSourceOrTargetIsAFailureOfItsOwn) {
  TransferOutcome outcome = copy({src + "gone.txt", src + "b.cfg"}, dst);
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].path, src + "gone.txt");
  EXPECT_EQ(outcome.failures[0].problem, TransferProblem::system_error);
  EXPECT_EQ(outcome.failures[0].error, ENOENT);
  EXPECT_EQ(outcome.unpasted, std::vector<std::string>{src + "gone.txt"});
  EXPECT_EQ(read_file(dst + "b.cfg"), "B");

  // No target folder: nothing starts, and every source stays unpasted.
  int calls = 0;
  const TransferProgress counted{[&] { ++calls; }, [&](std::int64_t) { ++calls; },
                                 [&](std::int64_t) { return ++calls > 0; }, [&] { ++calls; }};
  outcome = copy({src + "a.txt", src + "Sub"}, tree.path("nowhere/"), counted);
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].path, tree.path("nowhere/"));
  EXPECT_EQ(outcome.failures[0].error, ENOENT);
  EXPECT_EQ(outcome.unpasted, (std::vector<std::string>{src + "a.txt", src + "Sub"}));
  EXPECT_EQ(calls, 0);
}

TEST_F(Transfer, AFolderNeverGoesIntoItself) {
  for (bool moving : {false, true}) {
    const TransferOutcome outcome = transfer_entries({src + "Sub"}, moving, src + "Sub/deep/", {});
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].path, src + "Sub");
    EXPECT_EQ(outcome.failures[0].problem, TransferProblem::destination_inside);
    EXPECT_EQ(tree_of(src + "Sub/deep/"), std::vector<std::string>{"x.cfg"});
  }
}

// The bytes are told as they go; a cancel leaves each item whole or not
// there at all, and a failed file leaves no part of itself.
TEST_F(Transfer, ProgressCancelAndFailuresLeaveWholeItems) {
  const std::vector<std::string> everything{"Sub",           "Sub/deep", "Sub/deep/x.cfg",
                                            "Sub/inner.cfg", "a.txt",    "b.cfg"};
  struct Case {
    int cancel_at;  // the step answered with a cancel; 0 for none
    int failing_write;
    std::vector<std::string> left;  // what the target holds afterwards
    std::vector<std::string> unpasted, cancelled;
  };
  const Case cases[] = {
      {0, 0, everything, {}, {}},
      {1, 0, {}, {"Sub", "a.txt", "b.cfg"}, {"Sub", "a.txt", "b.cfg"}},
      {3, 0, {everything.begin(), everything.begin() + 5}, {"b.cfg"}, {"b.cfg"}},
      {0, 1, {"Sub", "Sub/deep", "Sub/inner.cfg", "a.txt", "b.cfg"}, {"Sub"}, {}},
  };
  const auto in_src = [&](std::vector<std::string> names) {
    for (auto& name : names) name = src + name;
    return names;
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.cancel_at * 10 + test.failing_write);
    const std::string target =
        tree.make_folder("target" + std::to_string(test.cancel_at * 10 + test.failing_write));
    std::vector<std::string> events;
    std::vector<std::int64_t> steps;
    bool half_shown = false;
    TransferProgress progress;
    progress.opened = [&] { events.push_back("opened"); };
    progress.started = [&](std::int64_t total) {
      events.push_back("started " + std::to_string(total));
    };
    progress.step = [&](std::int64_t done) {
      steps.push_back(done);
      // A folder under way has no name of its own yet.
      half_shown = half_shown || (fs::exists(target + "Sub") && steps.size() < 2);
      return int(steps.size()) != test.cancel_at;
    };
    progress.finished = [&] { events.push_back("finished"); };
    FaultScope faults;
    if (test.failing_write) inject_fault(FaultPoint::write, test.failing_write, ENOSPC);

    const TransferOutcome outcome = copy(in_src({"Sub", "a.txt", "b.cfg"}), target, progress);

    EXPECT_EQ(events, (std::vector<std::string>{"opened", "started 8", "finished"}));
    const std::vector<std::int64_t> all_steps{1, 6, 7, 8};
    EXPECT_EQ(steps,
              std::vector<std::int64_t>(all_steps.begin(),
                                        all_steps.begin() + (test.cancel_at ? test.cancel_at : 4)));
    EXPECT_FALSE(half_shown);
    EXPECT_EQ(tree_of(target), test.left);
    EXPECT_EQ(outcome.unpasted, in_src(test.unpasted));
    EXPECT_EQ(outcome.cancelled, in_src(test.cancelled));
    if (test.failing_write) {
      ASSERT_EQ(outcome.failures.size(), 1u);
      EXPECT_EQ(outcome.failures[0].path, src + "Sub/deep/x.cfg");
      EXPECT_EQ(outcome.failures[0].error, ENOSPC);
    } else {
      EXPECT_TRUE(outcome.failures.empty());
    }
    EXPECT_EQ(
        read_file(src + "Sub/deep/x.cfg") + read_file(src + "a.txt") + read_file(src + "b.cfg"),
        "xAB");
  }
}

TEST_F(Transfer, AMoveWithinOneFileSystemIsARename) {
  const ino_t before = inode(src + "Sub/deep/x.cfg");
  int steps = 0;
  TransferProgress progress;
  std::int64_t total = -1;
  progress.started = [&](std::int64_t bytes) { total = bytes; };
  progress.step = [&](std::int64_t) { return ++steps > 0; };
  const TransferOutcome outcome = move({src + "Sub", src + "a.txt", src + "b.cfg"}, dst, progress);
  EXPECT_TRUE(outcome.failures.empty());
  EXPECT_TRUE(tree_of(src).empty());
  EXPECT_EQ(inode(dst + "Sub/deep/x.cfg"), before);
  EXPECT_EQ(read_file(dst + "a.txt"), "old");
  EXPECT_EQ(read_file(dst + "a - Copy.txt"), "A");
  EXPECT_EQ(read_file(dst + "b.cfg"), "B");
  // No data to copy, so nothing to tell but the start.
  EXPECT_EQ(total, 0);
  EXPECT_EQ(steps, 0);

  // Into the folder that holds it, a move changes nothing.
  const TransferOutcome again = move({dst + "b.cfg"}, dst);
  EXPECT_TRUE(again.failures.empty() && again.unpasted.empty());
  EXPECT_EQ(read_file(dst + "b.cfg"), "B");
  EXPECT_FALSE(fs::exists(dst + "b - Copy.cfg"));
}

TEST_F(Transfer, AMoveAcrossFileSystemsCopiesLinksAsLinksAndKeepsWhatCannotGoWhole) {
  // /dev/shm is a file system of its own on most Linux systems.
  struct stat shm {
  }, tmp{};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(tree.root().c_str(), &tmp) != 0 ||
      shm.st_dev == tmp.st_dev)
    GTEST_SKIP() << "no second file system to move across";
  std::string pattern = "/dev/shm/file_transfer-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::string far = pattern + "/";
  struct Remove {
    std::string path;
    ~Remove() { test::remove_tree(path); }
  } remove{pattern};
  fs::create_directories(far + "Plane/panel");
  test::write_file(far + "Plane/panel/panel.cfg", "panel");
  fs::create_symlink("panel/panel.cfg", far + "Plane/link.cfg");
  fs::create_directories(far + "Broken");
  test::write_file(far + "Broken/kept.txt", "kept");
  ASSERT_EQ(::mkfifo((far + "Broken/pipe").c_str(), 0600), 0);

  const TransferOutcome outcome = move({far + "Broken", far + "Plane"}, dst);
  EXPECT_EQ(read_file(dst + "Plane/panel/panel.cfg"), "panel");
  EXPECT_EQ(fs::read_symlink(dst + "Plane/link.cfg"), "panel/panel.cfg");
  EXPECT_FALSE(fs::exists(far + "Plane"));
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].path, far + "Broken/pipe");
  EXPECT_EQ(outcome.failures[0].problem, TransferProblem::not_regular_file);
  EXPECT_EQ(outcome.unpasted, std::vector<std::string>{far + "Broken"});
  EXPECT_EQ(read_file(far + "Broken/kept.txt"), "kept");
  EXPECT_FALSE(fs::exists(dst + "Broken"));
  EXPECT_EQ(tree_of(dst), (std::vector<std::string>{"Plane", "Plane/link.cfg", "Plane/panel",
                                                    "Plane/panel/panel.cfg", "a.txt"}));
}

// A folder is copied under a hidden name and renamed at the end: a name
// that appears there meanwhile is kept, and the copy goes.
TEST_F(Transfer, ANameThatAppearsMeanwhileIsNeverReplaced) {
  TransferProgress progress;
  progress.step = [&](std::int64_t) {
    if (!fs::exists(dst + "Sub")) test::write_file(dst + "Sub", "theirs");
    return true;
  };
  const TransferOutcome outcome = copy({src + "Sub"}, dst, progress);
  EXPECT_EQ(read_file(dst + "Sub"), "theirs");
  ASSERT_EQ(outcome.failures.size(), 1u);
  EXPECT_EQ(outcome.failures[0].path, src + "Sub");
  EXPECT_EQ(outcome.failures[0].error, EEXIST);
  EXPECT_EQ(outcome.unpasted, std::vector<std::string>{src + "Sub"});
  EXPECT_EQ(tree_of(dst), (std::vector<std::string>{"Sub", "a.txt"}));
  EXPECT_EQ(read_file(src + "Sub/deep/x.cfg"), "x");
}

TEST_F(Transfer, TheRenameNeverReplacesAnEntry) {
  EXPECT_EQ(rename_without_replacing(src + "a.txt", dst + "a.txt"), EEXIST);
  EXPECT_EQ(read_file(src + "a.txt"), "A");
  EXPECT_EQ(read_file(dst + "a.txt"), "old");
  EXPECT_EQ(rename_without_replacing(src + "a.txt", dst + "moved.txt"), 0);
  EXPECT_EQ(read_file(dst + "moved.txt"), "A");
  EXPECT_FALSE(fs::exists(src + "a.txt"));
}

// Where the file system lacks RENAME_NOREPLACE, the platform's rename falls
// back to a hard link, which a folder cannot have (EPERM): the folder goes
// onto an empty folder made for it, and an entry already there, even an
// empty folder that a plain rename() would replace, is kept.
TEST_F(Transfer, AFolderRenameWithoutNoReplaceStillNeverReplaces) {
  tree.make_folder("dst/Empty");
  for (const std::string& taken : {dst + "a.txt", dst + "Empty"}) {
    FaultScope faults;
    inject_fault(FaultPoint::rename, 1, EPERM);
    EXPECT_EQ(rename_without_replacing(src + "Sub", taken), EEXIST) << taken;
    EXPECT_EQ(read_file(src + "Sub/inner.cfg"), "inner");
  }
  EXPECT_EQ(read_file(dst + "a.txt"), "old");
  EXPECT_TRUE(fs::is_empty(dst + "Empty"));

  {
    FaultScope faults;
    inject_fault(FaultPoint::rename, 1, EPERM);
    EXPECT_EQ(rename_without_replacing(src + "Sub", dst + "Plane"), 0);
  }
  EXPECT_EQ(read_file(dst + "Plane/deep/x.cfg"), "x");
  EXPECT_FALSE(fs::exists(src + "Sub"));

  // A file has no such way: its EPERM is the answer.
  FaultScope faults;
  inject_fault(FaultPoint::rename, 1, EPERM);
  EXPECT_EQ(rename_without_replacing(src + "b.cfg", dst + "b.cfg"), EPERM);
  EXPECT_EQ(read_file(src + "b.cfg"), "B");
  EXPECT_FALSE(fs::exists(dst + "b.cfg"));
}

}  // namespace
}  // namespace wingstow::platform
