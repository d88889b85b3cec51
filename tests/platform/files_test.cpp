#include "platform/files.h"

#include "platform/faults.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <tuple>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace wingstow::platform {
namespace {

using test::read_file;
using test::TempTree;
namespace fs = std::filesystem;

std::vector<std::string> names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.name);
  return out;
}

// A simulator tree as Wine installs it, asked for in lower case.
class SimulatorTree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto folder : {"Aircraft", "Gauges", "Sound", "Effects", "Modules", "Flights/MyFlts"})
      tree.make_folder(folder);
    tree.make_file("Gauges/Radio.GAU", "gau");
    tree.make_file("Effects/Smoke.fx", "fx");
    fs_path = tree.root();
  }
  TempTree tree;
  std::string fs_path;
};

TEST_F(SimulatorTree, EveryCallFindsTheFoldersThroughLowerCaseNames) {
  for (auto folder : {"aircraft", "gauges", "sound", "effects", "modules", "flights/myflts"}) {
    EXPECT_TRUE(folder_exists(fs_path + folder)) << folder;
    EXPECT_EQ(file_attributes(fs_path + folder + "/"), attr_directory) << folder;
  }
  EXPECT_EQ(resolve(fs_path + "flights/myflts/"), fs_path + "Flights/MyFlts/");
  EXPECT_TRUE(file_exists(fs_path + "gauges/radio.gau"));
  EXPECT_EQ(names(find_entries(fs_path + "gauges", "*.gau", 0)),
            std::vector<std::string>{"Radio.GAU"});
  EXPECT_GT(free_bytes(fs_path + "modules/"), 0);

  EXPECT_TRUE(delete_file(fs_path + "effects/smoke.FX"));
  EXPECT_FALSE(fs::exists(fs_path + "Effects/Smoke.fx"));
}

TEST_F(SimulatorTree, CreatedFoldersAndCopiedFilesKeepTheExistingSpelling) {
  ASSERT_TRUE(create_folder(fs_path + "aircraft/NewPlane"));
  EXPECT_TRUE(fs::is_directory(fs_path + "Aircraft/NewPlane"));
  ASSERT_TRUE(create_folder(fs_path + "aircraft/newplane/Panel/"));
  EXPECT_TRUE(fs::is_directory(fs_path + "Aircraft/NewPlane/Panel"));

  const auto source = tree.make_file("in/Engine.wav", "wav");
  EXPECT_EQ(copy_file(source, fs_path + "sound/Engine.wav").status, CopyStatus::copied);
  EXPECT_EQ(read_file(fs_path + "Sound/Engine.wav"), "wav");
  EXPECT_EQ(names(find_entries(fs_path, "*", attr_directory)),
            (std::vector<std::string>{".", "..", "Aircraft", "Effects", "Flights", "Gauges", "in",
                                      "Modules", "Sound"}));
}

TEST_F(SimulatorTree, ResolvePrefersTheExactNameThenTheFirstInOrder) {
  tree.make_folder("gauges");  // beside "Gauges"
  EXPECT_EQ(resolve(fs_path + "gauges/"), fs_path + "gauges/");
  EXPECT_EQ(resolve(fs_path + "GAUGES/radio.gau"), fs_path + "Gauges/Radio.GAU");
  // What matches nothing is kept as written, and so is all that follows.
  EXPECT_EQ(resolve(fs_path + "aircraft/NoSuch/sound"), fs_path + "Aircraft/NoSuch/sound");
  EXPECT_EQ(resolve(fs_path + "sound/../gauges"), fs_path + "Sound/../gauges");
}

TEST(Attributes, MirrorTheWindowsBits) {
  TempTree tree;
  const auto plain = tree.make_file("plain.txt", "x");
  const auto hidden = tree.make_file(".hidden", "x");
  const auto locked = tree.make_file("locked.cfg", "x");
  ::chmod(locked.c_str(), 0444);

  EXPECT_EQ(file_attributes(plain), attr_archive);
  EXPECT_EQ(file_attributes(hidden), attr_archive | attr_hidden);
  EXPECT_EQ(file_attributes(locked), attr_archive | attr_read_only);  // even for root
  EXPECT_EQ(file_attributes(tree.make_folder(".cache")), attr_directory | attr_hidden);
  EXPECT_EQ(file_attributes(tree.root() + "."), attr_directory);
  EXPECT_EQ(file_attributes(tree.root() + ".."), attr_directory);
  EXPECT_EQ(file_attributes(tree.path("missing")), std::nullopt);

  EXPECT_TRUE(set_file_attributes(plain, attr_read_only | attr_archive));
  EXPECT_EQ(file_attributes(plain), attr_archive | attr_read_only);
  EXPECT_TRUE(set_file_attributes(locked, attr_archive));
  EXPECT_EQ(file_attributes(locked), attr_archive);
  EXPECT_FALSE(set_file_attributes(tree.path("missing"), 0));
}

TEST(Wildcards, FollowTheWindowsRules) {
  // clang-format off
  const std::pair<const char*, const char*> matching[] = {
      {"*.*", "README"}, {"*.*", "a.b.c"}, {"*.*", "."}, {"*.txt", "notes.TXT"},
      {"readme.*", "ReadMe"}, {"?.cfg", "a.cfg"}, {"*a*b", "xAyaYB"}, {"*", ""},
      {"Aircraft.CFG", "aircraft.cfg"}};
  const std::pair<const char*, const char*> different[] = {
      {"*.txt", "notes.txt.bak"}, {"*.txt", "txt"}, {"?.cfg", "ab.cfg"}, {"?.cfg", ".cfg"},
      {"a?c", "ac"}, {"*a*b", "xaYbc"}, {"\xc3\x89*", "\xc3\xa9t\xc3\xa9"}};  // UTF-8: exact
  // clang-format on
  for (const auto& [pattern, name] : matching)
    EXPECT_TRUE(wildcard_match(pattern, name)) << pattern << " / " << name;
  for (const auto& [pattern, name] : different)
    EXPECT_FALSE(wildcard_match(pattern, name)) << pattern << " / " << name;
}

TEST(FindEntries, SortsAsNtfsAndAppliesTheAttributeRule) {
  TempTree tree;
  for (auto name : {"b.txt", "a.txt", "A.txt", "_x", "Zeta", "10", ".hidden"})
    tree.make_file(name, "12345");
  ::chmod(tree.path("Zeta").c_str(), 0444);
  tree.make_folder("Sub");
  tree.make_folder(".cache");
  fs::create_symlink(tree.path("nowhere"), tree.path("broken"));
  const auto& root = tree.root();

  // Upper-case folding puts '_' after the letters; equal names by bytes.
  EXPECT_EQ(names(find_entries(root, "*", 0)),
            (std::vector<std::string>{"10", "A.txt", "a.txt", "b.txt", "Zeta", "_x"}));
  EXPECT_EQ(
      names(find_entries(root, "*.*", attr_directory)),
      (std::vector<std::string>{".", "..", "10", "A.txt", "a.txt", "b.txt", "Sub", "Zeta", "_x"}));
  EXPECT_EQ(names(find_entries(root, "*", attr_hidden)),
            (std::vector<std::string>{".hidden", "10", "A.txt", "a.txt", "b.txt", "Zeta", "_x"}));
  EXPECT_EQ(names(find_entries(root, ".*", attr_any)),
            (std::vector<std::string>{".", "..", ".cache", ".hidden"}));
  EXPECT_EQ(names(find_entries(root, "*.TXT", attr_any)),
            (std::vector<std::string>{"A.txt", "a.txt", "b.txt"}));

  const auto all = find_entries(root.substr(0, root.size() - 1), "*", attr_any);
  ASSERT_EQ(all.size(), 11u);
  EXPECT_EQ(all[0].attributes, attr_directory);
  const auto sub = std::find_if(all.begin(), all.end(), [](auto& e) { return e.name == "Sub"; });
  EXPECT_EQ(sub->size, 0u);
  const auto zeta = std::find_if(all.begin(), all.end(), [](auto& e) { return e.name == "Zeta"; });
  EXPECT_EQ(zeta->attributes, attr_archive | attr_read_only);
  EXPECT_EQ(zeta->size, 5u);

  EXPECT_TRUE(find_entries(tree.path("missing"), "*", attr_any).empty());
}

// A listing of kinds alone stats nothing but links, yet tells the same
// entries and kinds as a full one, whatever the masks.
TEST(FindEntries, KindsAloneAgreeWithTheFullListing) {
  TempTree tree;
  tree.make_file("plain.cfg", "12345");
  ::chmod(tree.make_file("Locked.bmp", "x").c_str(), 0444);
  tree.make_file(".hidden");
  tree.make_folder("Sub");
  tree.make_folder(".cache");
  fs::create_symlink(tree.path("plain.cfg"), tree.path("to_file"));
  fs::create_symlink(tree.path("Sub"), tree.path("to_folder"));
  fs::create_symlink(tree.path("nowhere"), tree.path("broken"));
  ASSERT_EQ(::mkfifo(tree.path("pipe").c_str(), 0600), 0);

  const auto kinds_of = [](std::vector<DirEntry> entries, bool drop_details) {
    std::vector<std::tuple<std::string, std::uint32_t, bool>> out;
    for (const auto& e : entries)
      out.emplace_back(e.name, drop_details ? e.attributes & ~attr_read_only : e.attributes,
                       e.link);
    return out;
  };
  for (const std::uint32_t mask : {0u, attr_directory, attr_hidden | attr_archive, attr_system,
                                   attr_directory | attr_hidden, attr_any}) {
    for (const char* pattern : {"*", "*.*", "*.cfg", "to_*"}) {
      const auto full = find_entries(tree.root(), pattern, mask);
      const auto kinds = find_entries(tree.root(), pattern, mask, Detail::kinds);
      EXPECT_EQ(kinds_of(kinds, false), kinds_of(full, true)) << mask << " " << pattern;
      for (const auto& e : kinds) EXPECT_EQ(e.size, 0u) << e.name;
    }
  }
}

// An open folder answers letter-case questions as resolve does, reading the
// folder once; a folder it made itself is never read at all.
TEST(Folder, FindsNamesAsResolveDoes) {
  TempTree tree;
  for (auto name : {"Panel.CFG", "panel.cfg", "PANEL.cfg", "Model.mdl"}) tree.make_file(name);
  Folder folder(tree.root());
  ASSERT_TRUE(folder.is_open());
  for (auto name : {"panel.cfg", "Panel.cfg", "PANEL.CFG", "model.MDL", "Model.mdl", "none"}) {
    const std::string resolved = resolve(tree.path(name)).substr(tree.root().size());
    const bool there = fs::exists(tree.path(resolved));
    EXPECT_EQ(folder.find(name), there ? std::optional(resolved) : std::nullopt) << name;
  }
  // What the run itself adds and takes away is known without a new read.
  tree.make_file("Extra.TXT");
  folder.added("Extra.TXT");
  EXPECT_EQ(folder.find("extra.txt"), "Extra.TXT");
  folder.removed("PANEL.cfg");
  folder.removed("Panel.CFG");
  EXPECT_EQ(folder.find("PANEL.Cfg"), "panel.cfg");

  Folder made = Folder::create(folder, "New");
  ASSERT_TRUE(made.is_open());
  tree.make_file("New/behind.txt");  // not the run's
  EXPECT_EQ(made.find("behind.txt"), std::nullopt);
  made.added("Mine.bmp");
  EXPECT_EQ(made.find("MINE.bmp"), "Mine.bmp");
  EXPECT_EQ(Folder::create(folder, "New").error(), EEXIST);

  fs::create_directory_symlink(tree.path("New"), tree.path("Linked"));
  EXPECT_EQ(Folder(folder, "Linked").error(), ELOOP);
  EXPECT_EQ(Folder(tree.path("linked/"), false).error(), ELOOP);
  EXPECT_TRUE(Folder(tree.path("linked")).is_open());
}

TEST(CreateFolder, MakesOneLevelOnly) {
  TempTree tree;
  tree.make_file("file");
  EXPECT_TRUE(create_folder(tree.path("New")));
  EXPECT_FALSE(create_folder(tree.path("new")));  // exists, other case
  EXPECT_FALSE(create_folder(tree.path("file")));
  EXPECT_FALSE(create_folder(tree.path("a/b")));
  EXPECT_EQ(errno, ENOENT);
}

TEST(CopyFile, CopiesContentTimeAndReadOnlyState) {
  TempTree tree;
  std::string content(3 * 1024 * 1024 + 17, '\0');  // more than one chunk
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 % 251);
  const auto source = tree.make_file("Big.bin", content);
  const timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
  ::utimes(source.c_str(), times);
  ::chmod(source.c_str(), 0444);

  int chunks = 0;
  const auto result = copy_file(source, tree.path("copy.bin"), [&] { ++chunks; });
  ASSERT_EQ(result.status, CopyStatus::copied);
  EXPECT_EQ(chunks, 3);  // between the four chunks
  EXPECT_EQ(read_file(tree.path("copy.bin")), content);
  struct stat st;
  ASSERT_EQ(::stat(tree.path("copy.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);
  EXPECT_EQ(file_attributes(tree.path("copy.bin")), attr_archive | attr_read_only);
}

TEST(CopyFile, NeverOverwritesAndReportsWhy) {
  TempTree tree;
  const auto source = tree.make_file("new.cfg", "new");
  const auto target = tree.make_file("Old.CFG", "old");

  for (auto name : {"Old.CFG", "old.cfg"}) {
    const auto result = copy_file(source, tree.path(name));
    EXPECT_EQ(result.status, CopyStatus::target_exists) << name;
    EXPECT_EQ(result.error, EEXIST);
  }
  EXPECT_EQ(read_file(target), "old");

  auto result = copy_file(tree.path("nofolder/new.cfg"), tree.path("x"));
  EXPECT_EQ(result.status, CopyStatus::failed);
  EXPECT_EQ(result.error, ENOENT);
  result = copy_file(source, tree.path("nofolder/new.cfg"));
  EXPECT_EQ(result.error, ENOENT);
  result = copy_file(tree.root(), tree.path("folder-copy"));
  EXPECT_EQ(result.status, CopyStatus::failed);
  EXPECT_EQ(result.error, EISDIR);
  EXPECT_FALSE(fs::exists(tree.path("folder-copy")));

  // Reading this "regular" file fails at once: the started target must go.
  result = copy_file("/proc/self/mem", tree.path("partial"));
  EXPECT_EQ(result.status, CopyStatus::failed);
  EXPECT_NE(result.error, 0);
  EXPECT_FALSE(fs::exists(tree.path("partial")));
  // A file whose size says 0 is read to its end all the same.
  ASSERT_EQ(copy_file("/proc/self/status", tree.path("status")).status, CopyStatus::copied);
  EXPECT_NE(read_file(tree.path("status")).find("Name:"), std::string::npos);
}

// Many files through one copier: the source folder's names are copied into
// a folder the run made or one that was there, and a name that exists there
// in any letter case, or that an earlier file of the run took, is skipped.
TEST(CopyFile, ManyFilesIntoNewAndExistingFolders) {
  TempTree tree;
  for (auto name : {"A.bmp", "a.BMP", "b.bmp", "C.cfg"})
    tree.make_file("src/" + std::string(name), name);
  tree.make_file("old/c.CFG", "kept");
  const Folder from(tree.path("src"));
  Folder old(tree.path("old"), false);
  Folder made = Folder::create(tree.path("new"));
  ASSERT_TRUE(made.is_open());
  FileCopier copier;
  for (auto* to : {&made, &old}) {
    std::vector<CopyStatus> statuses;
    for (auto name : {"A.bmp", "a.BMP", "b.bmp", "C.cfg"})
      statuses.push_back(copier.copy(from, name, *to, name).status);
    EXPECT_EQ(statuses, (std::vector<CopyStatus>{
                            CopyStatus::copied, CopyStatus::target_exists, CopyStatus::copied,
                            to == &made ? CopyStatus::copied : CopyStatus::target_exists}));
  }
  EXPECT_EQ(read_file(tree.path("new/A.bmp")), "A.bmp");
  EXPECT_FALSE(fs::exists(tree.path("new/a.BMP")));
  EXPECT_EQ(read_file(tree.path("old/c.CFG")), "kept");
  EXPECT_FALSE(fs::exists(tree.path("old/C.cfg")));
  EXPECT_EQ(copier.copy(tree.path("src/b.bmp"), made, "B.BMP").status, CopyStatus::target_exists);
  EXPECT_EQ(copier.copy(from, "missing", made, "missing").error, ENOENT);
}

// A copy that fails at any system call leaves neither the target nor its
// temporary file; links and special files are never read or written through.
TEST(CopyFile, FailuresLeaveNothingAndLinksAreNotFollowed) {
  TempTree tree;
  const auto source = tree.make_file("src/big.bin", std::string(3 << 20, 'b'));
  const auto target_folder = tree.make_folder("dst");
  for (FaultPoint point : {FaultPoint::create, FaultPoint::write, FaultPoint::rename}) {
    for (int nth : {1, 2}) {
      const FaultScope faults;
      inject_fault(point, nth, ENOSPC);
      const auto result = copy_file(source, target_folder + "big.bin");
      if (point != FaultPoint::write && nth == 2) {
        EXPECT_EQ(result.status, CopyStatus::copied);  // one create, one rename per copy
        fs::remove(target_folder + "big.bin");
        continue;
      }
      EXPECT_EQ(result.status, CopyStatus::failed);
      EXPECT_EQ(result.error, ENOSPC);
      EXPECT_TRUE(fs::is_empty(target_folder)) << static_cast<int>(point) << " " << nth;
    }
  }

  const auto outside = tree.make_folder("outside");
  const auto linked_source = tree.path("src/link.bin");
  fs::create_symlink(source, linked_source);
  EXPECT_EQ(copy_file(linked_source, target_folder + "link.bin").status, CopyStatus::failed);
  fs::create_symlink(outside, tree.path("dst/linked"));
  EXPECT_EQ(copy_file(source, tree.path("dst/linked/big.bin")).error, ELOOP);
  EXPECT_TRUE(fs::is_empty(outside));
  const auto pipe = tree.path("src/pipe.bin");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(copy_file(pipe, target_folder + "pipe.bin").error, EINVAL);
  EXPECT_EQ(file_attributes(pipe), attr_system);
}

TEST(DeleteFile, RefusesReadOnlyFilesAndFolders) {
  TempTree tree;
  const auto locked = tree.make_file("locked", "x");
  ::chmod(locked.c_str(), 0444);
  EXPECT_FALSE(delete_file(locked));
  EXPECT_EQ(errno, EACCES);
  EXPECT_TRUE(fs::exists(locked));

  tree.make_folder("Folder");
  EXPECT_FALSE(delete_file(tree.path("folder")));
  EXPECT_TRUE(fs::exists(tree.path("Folder")));
  EXPECT_FALSE(delete_file(tree.path("missing")));
  EXPECT_EQ(errno, ENOENT);
}

TEST(FreeBytes, AsksTheFileSystemOfAnExistingPath) {
  EXPECT_GT(free_bytes("/tmp"), 0);
  EXPECT_EQ(free_bytes("/tmp/no such folder/really not"), -1);
}

TEST(ExecutableFolder, IsTheFolderOfThisExecutable) {
  const auto folder = executable_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::exists(folder + "platform_tests"));
}

// The kernel's answer for this process: a folder without write permission is
// still writable for root, which is why the program folder's choice is tested
// with an injected answer and this test follows whoever runs it.
TEST(FolderWritable, FollowsTheKernelsAnswerForThisUser) {
  TempTree tree;
  const std::string open = tree.make_folder("open");
  const std::string locked = tree.make_folder("locked");
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  tree.make_file("file");

  EXPECT_TRUE(folder_writable(open));
  EXPECT_TRUE(folder_writable(tree.path("OPEN")));  // letter case aside
  EXPECT_EQ(folder_writable(locked), ::geteuid() == 0);
  EXPECT_FALSE(folder_writable(tree.path("file")));
  EXPECT_FALSE(folder_writable(tree.path("missing")));
  ::chmod(locked.c_str(), 0755);
}

}  // namespace
}  // namespace wingstow::platform
