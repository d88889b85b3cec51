// The names the program judges once for every part of it: which files are
// archives, which of an archive's files the installer finds, and which
// package folder a name given by the user means.

#include "packages/entry_names.h"
#include "packages/package_folders.h"
#include "packages/unzip.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/error.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

// The window's Unzip and the command line take the same archives, in any
// letter case, and name their package folders alike.
TEST(ArchiveNames, WhatIsAnArchiveIsOneRuleForTheWindowAndTheCommandLine) {
  struct Case {
    const char* name;
    ArchiveFormat format;
    const char* package;  // package_name_for_archive; empty for no archive
  };
  const Case cases[] = {
      {"pack.zip", ArchiveFormat::zip, "pack"},
      {"/dl/PACK.ZIP", ArchiveFormat::zip, "PACK"},
      {"pack.Zip", ArchiveFormat::zip, "pack"},
      {"spitfire.mk2.zip", ArchiveFormat::zip, "spitfire_mk2"},
      {"Pack.7Z", ArchiveFormat::seven_zip, "Pack"},
      {"jodel.dr1050.7z", ArchiveFormat::seven_zip, "jodel_dr1050"},
      {"Beaver.RAR", ArchiveFormat::rar, "Beaver"},
      {"packzip", ArchiveFormat::none, ""},
      {".zip", ArchiveFormat::none, ""},
      {".7z", ArchiveFormat::none, ""},
      {"pack.zip.txt", ArchiveFormat::none, ""},
      {"pack.7zz", ArchiveFormat::none, ""},
      {"dir.zip/file", ArchiveFormat::none, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(archive_format(c.name), c.format);
    EXPECT_EQ(is_archive_name(c.name), c.format != ArchiveFormat::none);
    EXPECT_EQ(window_takes_archive(c.name), is_archive_name(c.name));
    if (c.format != ArchiveFormat::none) {
      EXPECT_EQ(package_name_for_archive(c.name), c.package);
    }
  }
  // A folder handed over with its separator is judged by its name.
  EXPECT_EQ(archive_format("Folder.zip/"), ArchiveFormat::zip);
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
      {"inner.zip", "*.zip", true},
      {"inner.7z", "*.7z", true},
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
