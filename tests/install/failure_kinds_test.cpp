// Failures an install meets: one that may pass (a disk full, a folder that
// refuses a file) keeps the install unfinished so that the next Install
// completes it; one the package itself brings is told once and the package
// counts as installed; a path too long for the file system is refused
// before anything is recorded.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "install/trust_fixture.h"
#include "platform/faults.h"
#include "settings/record.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;
using platform::FaultPoint;
using test::read_file;
using FailureKindsTest = test::TrustFixture;

TEST_F(FailureKindsTest, OnlyAFailureThatMayPassKeepsTheInstallUnfinished) {
  struct Case {
    const char* name;
    bool passes;
  };
  for (const Case c : {Case{"Inherent", false}, Case{"Passing", true}}) {
    SCOPED_TRACE(c.name);
    const std::string name = c.name;
    add(name + "/Plane/aircraft.cfg", "cfg");
    add(name + "/sound/" + name + ".wav", "wav");
    if (!c.passes) tree.make_folder("prog/unzip_fs2004/" + name + "/sound/folder.wav");
    ui.messages.clear();
    {
      const platform::FaultScope faults;
      // The marker, the record, aircraft.cfg, the record again, then the sound.
      if (c.passes) platform::inject_fault(FaultPoint::create, 5, EACCES);
      install({c.name});
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string& told = ui.messages[0].text;
    EXPECT_NE(told.find(c.passes ? fs + "sound/" + name + ".wav: Permission denied"
                                 : fs + "sound/folder.wav: Is a directory"),
              std::string::npos)
        << told;
    EXPECT_EQ(told.find("installing again will not change that") == std::string::npos, c.passes)
        << told;
    EXPECT_EQ(install_unfinished(unzip + name + ".txt"), c.passes);
    EXPECT_EQ(fs::exists(unzip + name + ".txt.sums"), !c.passes);

    ui.messages.clear();
    install({c.name});
    if (c.passes) {
      EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
      EXPECT_EQ(read_file(fs + "sound/" + name + ".wav"), "wav");
      EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004");
    } else {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_EQ(ui.messages[0].text, "Airplane already installed " + unzip + name);
    }
    EXPECT_FALSE(install_unfinished(unzip + name + ".txt"));
  }
}

// A package folder that is a link would have its inner archives extracted
// wherever it leads: it is refused, and nothing is written there.
TEST_F(FailureKindsTest, PackageFolderThatIsALinkIsRefused) {
  const auto outside = tree.make_folder("outside/Linked");
  tree.make_file("outside/Linked/Plane/aircraft.cfg", "cfg");
  test::write_zip(outside + "inner.zip", {{"Inner/aircraft.cfg", "inner"}});
  fs::create_directory_symlink(outside, unzip + "Linked");
  const auto before = test::snapshot(tree.path("outside/"));

  install({"Linked"});

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "The package folder " + unzip +
                                     "Linked is a symbolic link; nothing is installed from it");
  EXPECT_EQ(test::snapshot(tree.path("outside/")), before);
  EXPECT_FALSE(has_record("Linked"));
  EXPECT_FALSE(fs::exists(fs + "aircraft/Linked"));
}

// Made through descriptors: such a path cannot be made by its name.
void make_deep_airplane(const std::string& base, int depth) {
  int fd = ::open(base.c_str(), O_DIRECTORY | O_RDONLY);
  ASSERT_GE(fd, 0);
  const std::string name(7, 'd');
  for (int i = 0; i < depth; ++i) {
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    const int next = ::openat(fd, name.c_str(), O_DIRECTORY | O_RDONLY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  const int cfg = ::openat(fd, "aircraft.cfg", O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(cfg, 0);
  ASSERT_EQ(::write(cfg, "cfg", 3), 3);
  ::close(cfg);
  ::close(fd);
}

TEST_F(FailureKindsTest, PathTooLongIsRefusedBeforeAnythingIsRecorded) {
  add("Deep/panel/deep.gau", "gauge");
  make_deep_airplane(tree.make_folder("prog/unzip_fs2004/Deep/Plane"), 520);
  const auto before = test::snapshot(fs + "aircraft/");

  install({"Deep"});

  EXPECT_EQ(test::snapshot(fs + "aircraft/"), before);
  // The check cannot read its aircraft.cfg either, and asks first.
  ASSERT_EQ(ui.messages.size(), 2u) << ui.statuses.back();
  EXPECT_EQ(ui.messages[0].text.find("The airplane check found 1 problem(s) in Deep:"), 0u);
  EXPECT_NE(ui.messages[1].text.find("is too long for the file system"), std::string::npos)
      << ui.messages[1].text;
  EXPECT_NE(ui.messages[1].text.find(unzip + "Deep/Plane/ddddddd/"), std::string::npos);
  EXPECT_EQ(record_of("Deep"), std::vector<std::string>{fs + "gauges/deep.gau"});
  EXPECT_FALSE(install_unfinished(unzip + "Deep.txt"));

  // With nothing else in the package, no record claims it: Install says
  // the same again instead of "already installed".
  make_deep_airplane(tree.make_folder("prog/unzip_fs2004/Only/Plane"), 520);
  for (int run = 0; run < 2; ++run) {
    ui.messages.clear();
    install({"Only"});
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[1].text.find("is too long for the file system"), std::string::npos);
    EXPECT_FALSE(has_record("Only"));
    EXPECT_FALSE(fs::exists(unzip + "Only.txt.installing"));
    EXPECT_FALSE(fs::exists(unzip + "Only.txt.sums"));
  }
}

}  // namespace
}  // namespace wingstow
