// The same promises for every archive format: ZIP through libzip, 7z and
// RAR through libarchive. The 7z archives are made with 7z at run time, the
// RAR 5 and RAR 4 ones by the tests' own writers.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "packages/libarchive_backend.h"
#include "packages/zip_archive.h"
#include "packages/zip_master.h"
#include "support/rar_writer.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;
using test::RarEntry;
using test::read_file;

using Kind = RarEntry::Kind;
using Entries = std::vector<RarEntry>;

bool have_7z() { return std::system("7z i >/dev/null 2>&1") == 0; }

void make_zip(const std::string& path, const Entries& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& e : entries) {
    if (e.kind == Kind::folder) {
      ASSERT_GE(zip_dir_add(archive, e.name.c_str(), ZIP_FL_ENC_RAW), 0);
      continue;
    }
    zip_source_t* source = zip_source_buffer(archive, e.content.data(), e.content.size(), 0);
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_RAW);
    ASSERT_GE(index, 0) << e.name;
    if (e.kind == Kind::symlink)
      zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                       (S_IFLNK | 0777u) << 16);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

// 7z takes what lies in a folder: the entries are laid out there first.
// Names 7z cannot store (absolute, climbing) make no 7z case.
void make_7z(test::TempTree& tree, const std::string& path, const Entries& entries,
             const std::string& options = "-ms=on -m0=lzma2") {
  const std::string stage = tree.make_folder("stage" + std::to_string(std::rand()));
  for (const auto& e : entries) {
    const fs::path at = fs::path(stage) / e.name;
    fs::create_directories(at.parent_path());
    if (e.kind == Kind::folder)
      fs::create_directories(at);
    else if (e.kind == Kind::symlink)
      fs::create_symlink(e.content, at);
    else
      test::write_file(at.string(), e.content);
  }
  const std::string command = "cd '" + stage + "' && 7z a -snl -bso0 -bsp0 " + options + " '" +
                              path + "' * >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

bool safe_name(const std::string& name) {
  return !name.starts_with("/") && name.find("..") == std::string::npos;
}

class ArchiveFormats : public ::testing::TestWithParam<const char*> {
 protected:
  test::TempTree tree;
  test::RecordingUi ui;
  ZipMaster zip{ui};
  std::string out = tree.make_folder("out");

  // The format's name ending: both RAR versions are "x.rar".
  std::string ending() const { return std::string(GetParam()) == ".rar4" ? ".rar" : GetParam(); }

  // The archive of entries in this test's format; empty when the format
  // cannot hold them.
  std::string make(const std::string& name, const Entries& entries) {
    const std::string path = tree.path(name + ending());
    if (ending() == ".zip") {
      make_zip(path, entries);
    } else if (std::string(GetParam()) == ".rar4") {
      test::write_rar4(path, entries);
    } else if (ending() == ".rar") {
      test::write_rar5(path, entries);
    } else {
      for (const auto& e : entries)
        if (!safe_name(e.name)) return {};
      make_7z(tree, path, entries);
    }
    return path;
  }

  int extract(const std::string& archive) {
    zip.setZipFileName(archive);
    zip.ExtrBaseDir = out;
    return zip.Extract();
  }
};

// What lands and what is refused, alike whatever the format.
TEST_P(ArchiveFormats, TheSafetyRulesHoldForEveryFormat) {
  if (ending() == ".7z" && !have_7z()) GTEST_SKIP() << "7z is not installed";
  struct Case {
    const char* name;
    Entries entries;
    std::map<std::string, std::string> files;  // what lands, below out
    std::string refused;                       // in the one box; empty: none
  };
  const std::string big(300000, 'x');
  const Case cases[] = {
      {"tree",
       {{"Plane/aircraft.cfg", "[fltsim.0]"}, {"Plane/texture/t.bmp", big}},
       {{"Plane/aircraft.cfg", "[fltsim.0]"}, {"Plane/texture/t.bmp", big}},
       ""},
      {"link",
       {{"Plane/aircraft.cfg", "cfg"}, {"Plane/evil", "/etc", Kind::symlink}},
       {{"Plane/aircraft.cfg", "cfg"}},
       "'Plane/evil' was not extracted"},
      {"absolute",
       {{"ok.txt", "ok"}, {"/tmp/evil.txt", "evil"}},
       {{"ok.txt", "ok"}},
       "its name is an absolute path"},
      {"climbing",
       {{"ok.txt", "ok"}, {"../evil.txt", "evil"}},
       {{"ok.txt", "ok"}},
       "was not extracted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(out);
    fs::create_directories(out);
    ui.messages.clear();
    const std::string archive = make(c.name, c.entries);
    if (archive.empty()) continue;
    const int result = extract(archive);
    EXPECT_EQ(result, c.refused.empty() ? 0 : ZipMaster::extract_incomplete);
    std::map<std::string, std::string> landed;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      EXPECT_FALSE(entry.is_symlink()) << entry.path();
      if (entry.is_regular_file())
        landed[fs::relative(entry.path(), out).string()] = read_file(entry.path().string());
    }
    EXPECT_EQ(landed, c.files);
    EXPECT_FALSE(fs::exists(tree.path("evil.txt")));
    if (c.refused.empty()) {
      EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
    } else {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_NE(ui.messages[0].text.find(c.refused), std::string::npos) << ui.messages[0].text;
    }
    // The table of contents lists what extraction makes.
    const auto listed = archive_files(archive);
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->size(), c.files.size());
  }
}

// A damaged archive is told once, with its name, and is no package.
TEST_P(ArchiveFormats, ATruncatedArchiveIsToldOnce) {
  if (ending() == ".7z" && !have_7z()) GTEST_SKIP() << "7z is not installed";
  const std::string noise = [] {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += static_cast<char>((i * 7919) % 251);
    return text;
  }();
  const std::string archive = make("cut", {{"a.bin", noise}, {"b.bin", noise + "b"}});
  fs::resize_file(archive, fs::file_size(archive) / 2);
  const int result = extract(archive);
  EXPECT_TRUE(result == ZipMaster::extract_unreadable || result == ZipMaster::extract_incomplete)
      << result;
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(ending() == ".zip" ? "Zip file could not be opened"
                                                        : "cut" + ending()),
            std::string::npos)
      << ui.messages[0].text;
}

// Cancel stops within a chunk: nothing more lands under a final name.
TEST_P(ArchiveFormats, CancelStopsTheExtraction) {
  if (ending() == ".7z" && !have_7z()) GTEST_SKIP() << "7z is not installed";
  Entries entries;
  for (int i = 0; i < 20; ++i)
    entries.push_back({"f" + std::to_string(i) + ".bin", std::string(200000, char('a' + i))});
  const std::string archive = make("many", entries);
  int files = 0;
  zip.OnProgress = [&](int kind, const std::string&, std::uint64_t) {
    if (kind == 0 && ++files == 3) zip.Cancel();
  };
  EXPECT_EQ(extract(archive), ZipMaster::extract_cancelled);
  std::size_t landed = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    EXPECT_EQ(entry.path().filename().string().find(".wingstow-"), std::string::npos);
    ++landed;
  }
  EXPECT_LT(landed, 3u);
}

INSTANTIATE_TEST_SUITE_P(EveryBackEnd, ArchiveFormats,
                         ::testing::Values(".zip", ".7z", ".rar", ".rar4"),
                         [](const auto& info) { return std::string(info.param).substr(1) + "s"; });

// 7z-only cases: an encrypted archive is refused in one message that says
// what to do, whether its names are hidden too or not, leaving nothing.
TEST(SevenZip, AnEncryptedArchiveIsRefusedWithWhatToDo) {
  if (!have_7z()) GTEST_SKIP() << "7z is not installed";
  for (const char* options : {"-pSECRET -mhe=off", "-pSECRET -mhe=on"}) {
    SCOPED_TRACE(options);
    test::TempTree tree;
    test::RecordingUi ui;
    ZipMaster zip{ui};
    const std::string archive = tree.path("locked.7z");
    make_7z(tree, archive, {{"Plane/aircraft.cfg", "cfg"}}, options);
    const std::string out = tree.make_folder("out");
    zip.setZipFileName(archive);
    zip.ExtrBaseDir = out;
    EXPECT_EQ(zip.Extract(), ZipMaster::extract_unreadable);
    ASSERT_EQ(ui.message_texts(), std::vector<std::string>{encrypted_archive_text(archive)});
    EXPECT_FALSE(fs::exists(out + "Plane/aircraft.cfg"));
  }
}

// Data damaged inside a 7z is caught by its checksums: the damaged file is
// never left under its name, and the archive is named in one message.
TEST(SevenZip, DamagedDataIsCaughtAndToldOnce) {
  if (!have_7z()) GTEST_SKIP() << "7z is not installed";
  test::TempTree tree;
  test::RecordingUi ui;
  ZipMaster zip{ui};
  std::string noise;
  for (int i = 0; i < 100000; ++i) noise += static_cast<char>((i * 7919 + i / 7) % 251);
  const std::string archive = tree.path("damaged.7z");
  make_7z(tree, archive, {{"a.bin", noise}}, "-ms=off -m0=lzma2");
  std::string bytes = read_file(archive);
  bytes[bytes.size() / 3] = static_cast<char>(bytes[bytes.size() / 3] ^ 0x55);
  test::write_file(archive, bytes);
  const std::string out = tree.make_folder("out");
  zip.setZipFileName(archive);
  zip.ExtrBaseDir = out;
  EXPECT_NE(zip.Extract(), 0);
  if (fs::exists(out + "a.bin")) {
    EXPECT_EQ(read_file(out + "a.bin"), noise);
  }
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("a.bin"), std::string::npos) << ui.messages[0].text;
  for (const auto& entry : fs::directory_iterator(out))
    EXPECT_EQ(entry.path().filename().string().find(".wingstow-"), std::string::npos);
}

// A ZIP with data before it, which unzip -t accepts, is read all the same.
TEST(Zip, DataBeforeTheArchiveIsNoRefusal) {
  test::TempTree tree;
  test::RecordingUi ui;
  ZipMaster zip{ui};
  const std::string plain = tree.path("plain.zip");
  make_zip(plain, {{"Plane/aircraft.cfg", "cfg"}, {"Plane/big.bin", std::string(500000, 'z')}});
  const std::string archive = tree.path("padded.zip");
  test::write_file(archive, std::string(100, '\x7f') + read_file(plain));
  const std::string out = tree.make_folder("out");
  zip.setZipFileName(archive);
  zip.ExtrBaseDir = out;
  EXPECT_EQ(zip.Extract(), 0);
  EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
  EXPECT_EQ(read_file(out + "Plane/big.bin"), std::string(500000, 'z'));
  ASSERT_TRUE(archive_files(archive).has_value());
  EXPECT_EQ(archive_files(archive)->size(), 2u);
}

// A volume of a multi-volume RAR set is refused, saying what to do: known
// by its name, or by its main header for the older "x.rar", "x.r00" sets.
TEST(Rar, AVolumeOfASetIsRefusedClearly) {
  EXPECT_TRUE(rar_volume("/dl/Beaver.part1.rar"));
  EXPECT_TRUE(rar_volume("Beaver.PART02.RAR"));
  EXPECT_FALSE(rar_volume("Beaver.rar"));
  EXPECT_FALSE(rar_volume("my.part.rar"));
  struct Case {
    const char* name;
    bool rar4;
    bool volume_flag;
    bool refused;
  };
  const Case cases[] = {
      {"Beaver.part1.rar", false, false, true}, {"Beaver.rar", false, true, true},
      {"Beaver.rar", true, true, true},         {"Beaver.rar", false, false, false},
      {"Beaver.rar", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.rar4 ? " rar4" : " rar5") +
                 (c.volume_flag ? " volume" : ""));
    test::TempTree tree;
    test::RecordingUi ui;
    ZipMaster zip{ui};
    const std::string archive = tree.path(c.name);
    const test::RarOptions options{c.volume_flag};
    if (c.rar4)
      test::write_rar4(archive, {{"a.txt", "a"}}, options);
    else
      test::write_rar5(archive, {{"a.txt", "a"}}, options);
    zip.setZipFileName(archive);
    const std::string out = tree.make_folder("out");
    zip.ExtrBaseDir = out;
    if (c.refused) {
      EXPECT_EQ(zip.Extract(), ZipMaster::extract_unreadable);
      EXPECT_EQ(ui.message_texts(), std::vector<std::string>{rar_volume_text(archive)});
      EXPECT_FALSE(archive_files(archive).has_value());
    } else {
      EXPECT_EQ(zip.Extract(), 0);
      EXPECT_EQ(read_file(out + "a.txt"), "a");
    }
  }
}

// Data that does not match its CRC-32 never appears under its name, in
// either RAR version: refused in the one box without a handler, declined
// quietly when the handler says so (as the window and the command line do).
TEST(Rar, AnEntryWithAWrongCrcIsNeverLeftUnderItsName) {
  for (const bool rar4 : {false, true}) {
    for (const bool handler : {false, true}) {
      SCOPED_TRACE(std::string(rar4 ? "rar4" : "rar5") + (handler ? " handler" : ""));
      test::TempTree tree;
      test::RecordingUi ui;
      ZipMaster zip{ui};
      const std::string archive = tree.path("crc.rar");
      RarEntry damaged{"bad.txt", "damaged bytes"};
      damaged.bad_crc = true;
      const Entries entries{
          {"Plane", "", Kind::folder}, {"good.txt", "good"}, damaged, {"after.txt", "after"}};
      rar4 ? test::write_rar4(archive, entries) : test::write_rar5(archive, entries);
      std::vector<std::string> declined;
      if (handler)
        zip.OnCRC32Error = [&](const std::string& name, std::uint32_t, std::uint32_t,
                               bool& do_extract) {
          declined.push_back(name);
          do_extract = false;
        };
      const std::string out = tree.make_folder("out");
      zip.setZipFileName(archive);
      zip.ExtrBaseDir = out;
      EXPECT_EQ(zip.Extract(), ZipMaster::extract_incomplete);
      EXPECT_EQ(read_file(out + "good.txt"), "good");
      EXPECT_EQ(read_file(out + "after.txt"), "after");
      EXPECT_FALSE(fs::exists(out + "bad.txt"));
      if (handler) {
        EXPECT_EQ(declined, std::vector<std::string>{"bad.txt"});
        EXPECT_TRUE(ui.messages.empty());
      } else {
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("'bad.txt'"), std::string::npos) << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find("CRC error"), std::string::npos) << ui.messages[0].text;
      }
      for (const auto& entry : fs::directory_iterator(out))
        EXPECT_EQ(entry.path().filename().string().find(".wingstow-"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace wingstow
