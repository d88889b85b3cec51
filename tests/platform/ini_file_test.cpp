#include "platform/ini_file.h"

#include "platform/error.h"
#include "platform/faults.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include <unistd.h>

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
  // More than any settings file holds is refused, not read.
  EXPECT_THROW(IniFile(tree.make_file("big.ini", std::string(max_settings_bytes + 1, ';')))
                   .read("paths", "fs_path", "fb"),
               Error);
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

TEST(IniRead, EveryLineEndEndsALine) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"LF", "[A]\nx=1\ny = two \n[B]\nx=3\n"},
      {"CR LF", "[A]\r\nx=1\r\ny = two \r\n[B]\r\nx=3\r\n"},
      {"CR", "[A]\rx=1\ry = two \r[B]\rx=3\r"},
      {"CR CR LF", "[A]\r\r\nx=1\r\r\ny = two \r\r\n[B]\r\r\nx=3\r\r\n"},
      {"mixed, no last line end", "[A]\r\nx=1\ry = two \n[B]\r\r\nx=3"},
  };
  TempTree tree;
  for (const auto& c : cases) {
    const IniFile ini(tree.make_file("w.ini", c.text));
    EXPECT_EQ(ini.read("a", "x", "-"), "1") << c.name;
    EXPECT_EQ(ini.read("a", "y", "-"), "two") << c.name;
    EXPECT_EQ(ini.read("b", "x", "-"), "3") << c.name;
    EXPECT_EQ(ini.read("a", "z", "-"), "-") << c.name;
  }
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

TEST(IniWrite, KeepsBareCarriageReturnsOfUntouchedLines) {
  struct Case {
    const char* text;
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"[A]\rx=1\ry=2\r", "A", "x", "[A]\rx=9\ry=2\r"},
      {"[A]\rx=1\ry=2\r", "A", "z", "[A]\rx=1\ry=2\rz=9\r\n"},
      {"[A]\rx=1\r", "B", "k", "[A]\rx=1\r[B]\r\nk=9\r\n"},
      {"[A]\r\r\nx=1\r\r\ny=2\r\r\n", "A", "x", "[A]\r\r\nx=9\r\r\ny=2\r\r\n"},
      {"[A]\r\r\nx=1\r\r\ny=2\r\r\n", "A", "z", "[A]\r\r\nx=1\r\r\ny=2\rz=9\r\n\r\n"},
      {"[A]\nx=1\r\n[B]\ry=2", "B", "z", "[A]\nx=1\r\n[B]\ry=2\nz=9\n"},
  };
  TempTree tree;
  for (const auto& c : cases) {
    IniFile ini(tree.make_file("w.ini", c.text));
    EXPECT_EQ(ini.write(c.section, c.key, "9"), IniWrite::written);
    EXPECT_EQ(read_file(ini.path()), c.expected) << c.text;
    EXPECT_EQ(ini.read(c.section, c.key, "-"), "9") << c.text;
  }
}

TEST(IniWrite, RefusesWhatWouldNotReadBackAndLeavesTheFileAlone) {
  struct Case {
    std::string key;
    std::string value;
    IniWrite result;
  };
  const Case cases[] = {
      {"fs_path", "/home/u/new\nline/", IniWrite::line_break},
      {"fs_path", "/home/u/cr\r/", IniWrite::line_break},
      {"fs\n_path", "/x/", IniWrite::line_break},
      {"fs_path", " /lead/", IniWrite::not_kept},
      {"fs_path", "/trail/ ", IniWrite::not_kept},
      {"fs_path", "\t/tab/", IniWrite::not_kept},
      {"fs_path", "\"/quoted/\"", IniWrite::not_kept},
      {"fs_path", "'/quoted/'", IniWrite::not_kept},
      {"fs_path", std::string(2048, 'v'), IniWrite::not_kept},
      {";fs_path", "/x/", IniWrite::not_kept},  // a comment line
      {"[fs", "x]", IniWrite::not_kept},        // a section header
      {"fs=path", "/x/", IniWrite::not_kept},   // the key ends at the first '='
      // What the reader does not change is stored.
      {"fs_path", "/a;b/[c]/d=e/", IniWrite::written},
      {"fs_path", ";/x/", IniWrite::written},
      {"fs_path", "[x]", IniWrite::written},
      {"fs_path", "\"/half", IniWrite::written},
      {"fs_path", "\"/x/'", IniWrite::written},
      {"fs_path", "\"", IniWrite::written},
      {"fs_path", std::string(2047, 'v'), IniWrite::written},
      {"fs_path", "", IniWrite::written},
      {"fs_path", "C:\\FS9\\ \xc3\xa9t\xc3\xa9\\", IniWrite::written},
  };
  const std::string before = "[main_path]\r\nfs_start=fs2004\r\nfs_path=/old/\r\n";
  TempTree tree;
  for (const auto& c : cases) {
    IniFile ini(tree.make_file("w.ini", before));
    EXPECT_EQ(ini.write("main_path", c.key, c.value), c.result) << c.key << "=" << c.value;
    if (c.result == IniWrite::written)
      EXPECT_EQ(ini.read("main_path", c.key, "-"), c.value);
    else
      EXPECT_EQ(read_file(ini.path()), before) << c.key << "=" << c.value;
  }
  // A refused write makes no file either.
  IniFile missing(tree.path("missing.ini"));
  EXPECT_EQ(missing.write("main_path", "fs_path", "a\nb"), IniWrite::line_break);
  EXPECT_EQ(missing.write("main_path", "fs_path", " a"), IniWrite::not_kept);
  EXPECT_FALSE(std::filesystem::exists(missing.path()));
}

TEST(IniWrite, AFailedWriteKeepsTheOldFileByteForByte) {
  struct Case {
    FaultPoint point;
    int error;
  };
  const Case cases[] = {{FaultPoint::write, ENOSPC},
                        {FaultPoint::create, ENOSPC},
                        {FaultPoint::fsync, EIO},
                        {FaultPoint::rename, EROFS}};
  TempTree tree;
  const std::string folder = tree.make_folder("prog");
  for (const auto& c : cases) {
    const std::string old = tree.make_file("prog/planeyard.ini", sample);
    IniFile ini(old);
    FaultScope faults;
    inject_persistent_fault(c.point, 1, c.error);
    EXPECT_THROW(ini.write("paths", "fs_path", "/new/"), Error) << static_cast<int>(c.point);
    clear_faults();
    EXPECT_EQ(read_file(old), sample);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
  }
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
  // A settings file that is a symbolic link is refused, not followed.
  const auto target = tree.make_file("target.ini", "[s]\nk=old\n");
  ASSERT_EQ(::symlink(target.c_str(), tree.path("link.ini").c_str()), 0);
  // So is a read-only one.
  const auto read_only = tree.make_file("read-only.ini", "[s]\nk=old\n");
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);
  for (const auto& path : {blocker + "/w.ini", tree.path("no folder/w.ini"),
                           tree.make_folder("folder.ini"), tree.path("link.ini"), read_only}) {
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
  EXPECT_EQ(read_file(target), "[s]\nk=old\n");
  EXPECT_EQ(read_file(read_only), "[s]\nk=old\n");
  EXPECT_TRUE(std::filesystem::is_symlink(tree.path("link.ini")));
}

}  // namespace
}  // namespace wingstow::platform
