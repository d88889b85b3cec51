// The names the program judges once for every part of it: which files are
// archives, which of an archive's files the installer finds, and which
// package folder a name given by the user means.

#include "packages/entry_names.h"
#include "packages/package_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/error.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

TEST(ArchiveNames, WhatIsAnArchiveAndWhatTheWindowOffers) {
  struct Case {
    const char* name;
    bool archive;
    bool window;
  };
  const Case cases[] = {
      {"pack.zip", true, true},  {"/dl/PACK.ZIP", true, true}, {"pack.Zip", true, false},
      {"packzip", false, false}, {".zip", false, false},       {"pack.zip.txt", false, false},
      {"pack.zi", false, false}, {"a.zIP", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_archive_name(c.name), c.archive) << c.name;
    EXPECT_EQ(window_takes_archive(c.name), c.window) << c.name;
  }
}

TEST(ArchiveNames, WhatTheInstallersSearchesFind) {
  struct Case {
    const char* path;
    const char* mask;
    bool found;
  };
  const Case cases[] = {
      {"Plane/aircraft.cfg", "aircraft.cfg", true},
      {"Plane/AIRCRAFT.CFG", "aircraft.cfg", true},
      {".hidden/aircraft.cfg", "aircraft.cfg", false},
      {"Plane/.aircraft.cfg", "*", false},
      {"gauges/a.GAU", "*.gau", true},
      {"gauges/a.gau.bak", "*.gau", false},
      {"inner.zip", archive_mask.data(), true},
      {"a/b/c.txt", "*", true},
  };
  for (const Case& c : cases) EXPECT_EQ(found_by_search(c.path, c.mask), c.found) << c.path;
}

class PackageFolders : public ::testing::Test {
 protected:
  test::TempTree tree;
  std::string unzip = tree.make_folder("unzip_fs2004");
  std::string elsewhere = tree.make_folder("elsewhere");
};

TEST_F(PackageFolders, ExactFirstThenLetterCaseUnlessAmbiguousAndNeverOutside) {
  for (const char* folder : {"Jet", "Prop", "Twin", "TWIN", ".Hidden", "Line\nBreak"})
    tree.make_folder("unzip_fs2004/" + std::string(folder));
  tree.make_folder("elsewhere/Jet");
  tree.make_file("unzip_fs2004/Notes", "a file, not a package");
  struct Case {
    std::string argument;
    std::optional<std::string> folder;
    std::string error;  // empty: none
  };
  const Case cases[] = {
      {"Jet", unzip + "Jet", ""},
      {"jet", unzip + "Jet", ""},
      {unzip + "PROP/", unzip + "Prop", ""},
      {"TWIN", unzip + "TWIN", ""},
      {"twin", std::nullopt, "twin: names more than one package folder: TWIN Twin"},
      {".Hidden", unzip + ".Hidden", ""},
      {elsewhere + "Jet", std::nullopt,
       elsewhere + "Jet: not a package folder of the unzip folder " + unzip},
      {unzip + "Jet/..", std::nullopt,
       tree.path("unzip_fs2004") + ": not a package folder of the unzip folder " + unzip},
      {"Line\nBreak", std::nullopt,
       unzip + "Line\\nBreak: its name holds a control character (such as a line break); rename "
               "it first"},
      {"Notes", std::nullopt, ""},
      {"Nothing", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    try {
      EXPECT_EQ(find_package_folder(unzip, c.argument), c.folder) << c.argument;
      EXPECT_EQ(c.error, "") << c.argument;
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), c.error) << c.argument;
    }
  }
}

}  // namespace
}  // namespace wingstow
