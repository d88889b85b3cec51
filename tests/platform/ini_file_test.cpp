#include "platform/ini_file.h"

#include "platform/error.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

namespace wingstow::platform {
namespace {

using test::read_file;
using test::TempTree;

const char* const sample =
    "; settings\r\n"
    "[Paths]\r\n"
    "  FS_Path = C:\\FS9\\ \r\n"
    "Quoted=\" spaced \"\r\n"
    "Single='x'\r\n"
    "Lonely=\"\r\n"
    ";Commented=yes\r\n"
    "\r\n"
    "[ Other ]\r\n"
    "Key\t=\tother value\r\n"
    "Empty=\r\n";

TEST(IniRead, MatchesNamesWithoutCaseAndTrimsValues) {
  TempTree tree;
  const IniFile ini(tree.make_file("w.ini", sample));
  EXPECT_EQ(ini.read("paths", "fs_path", "-"), "C:\\FS9\\");
  EXPECT_EQ(ini.read(" PATHS ", " Fs_Path ", "-"), "C:\\FS9\\");
  EXPECT_EQ(ini.read("other", "KEY", "-"), "other value");
  EXPECT_EQ(ini.read("other", "empty", "-"), "");
  EXPECT_EQ(ini.read("paths", "quoted", "-"), " spaced ");
  EXPECT_EQ(ini.read("paths", "single", "-"), "x");
  EXPECT_EQ(ini.read("paths", "lonely", "-"), "\"");
  // Comments, other sections' keys and missing names give the fallback.
  EXPECT_EQ(ini.read("paths", "commented", "-"), "-");
  EXPECT_EQ(ini.read("paths", "key", "-"), "-");
  EXPECT_EQ(ini.read("nosuch", "fs_path", "-"), "-");
  EXPECT_EQ(IniFile(tree.path("missing.ini")).read("paths", "fs_path", "fb"), "fb");
  EXPECT_EQ(IniFile(tree.make_folder("dir.ini")).read("paths", "fs_path", "fb"), "fb");
}

TEST(IniRead, CapsValuesAt2047Characters) {
  TempTree tree;
  const std::string long_value(3000, 'v');
  const auto accented = std::string(2046, 'v') + "\xc3\xa9";  // 2048 bytes
  const IniFile ini(tree.make_file(
      "w.ini", "[s]\nk=" + long_value + "\nq=\"" + long_value + "\"\nu=" + accented));
  EXPECT_EQ(ini.read("s", "k", ""), long_value.substr(0, 2047));
  EXPECT_EQ(ini.read("s", "q", ""), long_value.substr(0, 2047));
  EXPECT_EQ(ini.read("s", "u", ""), std::string(2046, 'v'));  // no half character
}

TEST(IniWrite, ChangesOnlyTheKeysLine) {
  TempTree tree;
  IniFile ini(tree.make_file("w.ini", sample));
  ini.write("PATHS", "fs_path", "D:\\Sim\\");
  std::string expected = sample;
  expected.replace(expected.find("  FS_Path = C:\\FS9\\ "), 20, "FS_Path=D:\\Sim\\");
  EXPECT_EQ(read_file(ini.path()), expected);
  EXPECT_EQ(ini.read("paths", "FS_PATH", "-"), "D:\\Sim\\");
}

TEST(IniWrite, AppendsKeysAndSectionsKeepingTheLineEnds) {
  TempTree tree;
  IniFile ini(tree.make_file("w.ini", "[A]\nx=1\n; note\n\n[B]\ny=2"));
  ini.write("a", "New", "n");  // after the last non-blank line of [A], a comment
  ini.write("b", "z", "3");    // last line had no line end
  ini.write("C", "k", "v");
  EXPECT_EQ(read_file(ini.path()), "[A]\nx=1\n; note\nNew=n\n\n[B]\ny=2\nz=3\n[C]\nk=v\n");

  IniFile crlf(tree.make_file("crlf.ini", "[A]\r\nx=1"));
  crlf.write("D", "k", "v");
  EXPECT_EQ(read_file(crlf.path()), "[A]\r\nx=1\r\n[D]\r\nk=v\r\n");
}

TEST(IniWrite, CreatesAMissingFileWithWindowsLineEnds) {
  TempTree tree;
  IniFile ini(tree.path("New.ini"));
  ini.write("Main", "fs", "C:\\FS9\\");
  EXPECT_EQ(read_file(tree.path("New.ini")), "[Main]\r\nfs=C:\\FS9\\\r\n");
  // The file is found again however its name is written.
  IniFile(tree.path("new.INI")).write("main", "other", "1");
  EXPECT_EQ(read_file(tree.path("New.ini")), "[Main]\r\nfs=C:\\FS9\\\r\nother=1\r\n");
}

TEST(IniWrite, ReportsAnUnwritableFileWithTheExactMessage) {
  TempTree tree;
  const auto blocker = tree.make_file("plain-file");
  for (const auto& path : {blocker + "/w.ini", tree.path("no folder/w.ini")}) {
    IniFile ini(path);
    try {
      ini.write("s", "k", "v");
      ADD_FAILURE() << "no error for " << path;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Impossible d'\xc3\xa9"
                "crire dans " +
                    path);
    }
  }
}

}  // namespace
}  // namespace wingstow::platform
