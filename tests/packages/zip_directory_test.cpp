// The directory reader against libzip: whatever it vouches for, libzip opens
// with its consistency check and tells the same figures; what it does not
// vouch for is left to libzip, and an extraction then opens a libzip handle.

#include "packages/zip_directory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "packages/zip_archive.h"
#include "packages/zip_master.h"
#include "platform/unique_fd.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

using test::read_file;
using test::write_file;

constexpr zip_uint16_t renamed_field = 0x1234;

struct Item {
  Item(std::string name, std::string data = {}, zip_int32_t method = ZIP_CM_DEFLATE)
      : name(std::move(name)), data(std::move(data)), method(method) {}
  Item&& as_folder() && {
    folder = true;
    return std::move(*this);
  }
  Item&& as_link() && {
    link = true;
    return std::move(*this);
  }
  Item&& as_locked() && {
    locked = true;
    return std::move(*this);
  }

  std::string name;
  std::string data;
  zip_int32_t method = ZIP_CM_DEFLATE;
  bool folder = false;
  bool link = false;
  bool locked = false;
  std::time_t mtime = 1700000000;
  std::string unicode_name;  // in an Info-ZIP Unicode path field
};

std::string zipped(const test::TempTree& tree, const std::vector<Item>& items) {
  const std::string path = tree.path("built.zip");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  EXPECT_NE(archive, nullptr);
  for (const auto& item : items) {
    const zip_int64_t index =
        item.folder
            ? zip_dir_add(archive, item.name.c_str(), ZIP_FL_ENC_RAW)
            : zip_file_add(archive, item.name.c_str(),
                           zip_source_buffer(archive, item.data.data(), item.data.size(), 0),
                           ZIP_FL_ENC_RAW);
    EXPECT_GE(index, 0) << item.name;
    const auto i = static_cast<zip_uint64_t>(index);
    zip_set_file_compression(archive, i, item.method, 0);
    zip_file_set_mtime(archive, i, item.mtime, 0);
    if (item.link)
      zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX,
                                       static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
    if (item.locked) zip_file_set_encryption(archive, i, ZIP_EM_TRAD_PKWARE, "secret");
    if (!item.unicode_name.empty()) {
      std::string field = "\x01";
      const auto crc = static_cast<std::uint32_t>(
          crc32(0, reinterpret_cast<const Bytef*>(item.name.data()), item.name.size()));
      for (int k = 0; k < 4; ++k) field += static_cast<char>((crc >> (8 * k)) & 0xFF);
      field += item.unicode_name;
      // libzip writes no field of that kind itself: another, renamed below.
      zip_file_extra_field_set(archive, i, renamed_field, ZIP_EXTRA_FIELD_NEW,
                               reinterpret_cast<const zip_uint8_t*>(field.data()),
                               static_cast<zip_uint16_t>(field.size()), ZIP_FL_CENTRAL);
    }
  }
  EXPECT_EQ(zip_close(archive), 0);
  std::string bytes = read_file(path);
  const bool renamed = std::any_of(items.begin(), items.end(),
                                   [](const Item& item) { return !item.unicode_name.empty(); });
  for (std::size_t at = 0; renamed && (at = bytes.find("\x34\x12", at)) != std::string::npos;
       at += 2)
    if (at > bytes.find("PK\x01\x02")) bytes.replace(at, 2, "\x75\x70");
  return bytes;
}

struct Figures {
  std::string name;
  std::uint64_t size, packed;
  std::int32_t method;
  std::uint32_t crc;
  std::time_t mtime;
  bool encrypted, link;
  bool operator==(const Figures&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Figures& f) {
  return out << f.name << " " << f.size << "/" << f.packed << " m" << f.method << " " << f.crc
             << " t" << f.mtime << (f.encrypted ? " locked" : "") << (f.link ? " link" : "");
}

// What libzip tells, nothing when it does not open the archive.
std::optional<std::vector<Figures>> libzip_figures(const std::string& path) {
  const auto opened = open_zip(path);
  if (!opened.archive) return std::nullopt;
  std::vector<Figures> all;
  zip_t* archive = opened.archive.get();
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t st;
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &st) != 0) return std::nullopt;
    all.push_back({st.name, st.size, st.comp_size, st.comp_method, st.crc, st.mtime,
                   st.encryption_method != ZIP_EM_NONE, is_link_entry(archive, index)});
  }
  return all;
}

// What the reader tells, nothing when it does not vouch for the archive.
std::optional<std::vector<Figures>> reader_figures(const std::string& path) {
  const platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
  const auto directory = ZipDirectory::read(fd.get(), static_cast<std::uint64_t>(st.st_size));
  if (!directory) return std::nullopt;
  std::vector<Figures> all;
  const bool read = directory->for_each([&](const ZipEntryFigures& e) {
    all.push_back({std::string(e.name), e.size, e.packed_size, e.method, e.crc, e.mtime,
                   e.encrypted, e.link});
  });
  EXPECT_TRUE(read);
  EXPECT_EQ(directory->count(), all.size());
  return all;
}

class ZipDirectoryTest : public ::testing::Test {
 protected:
  test::TempTree tree;
  std::string path = tree.path("probe.zip");

  // Whether the reader vouches for bytes; when it does, libzip must agree.
  bool vouched(const std::string& bytes) {
    write_file(path, bytes);
    const auto ours = reader_figures(path);
    if (!ours) return false;
    const auto theirs = libzip_figures(path);
    EXPECT_TRUE(theirs.has_value()) << "libzip refuses what the reader took";
    if (theirs) {
      EXPECT_EQ(*ours, *theirs);
    }
    return true;
  }
};

// The archive's comment replaced, as any tool may write it.
std::string with_comment(const std::string& bytes, const std::string& comment) {
  const std::size_t end = bytes.rfind("PK\x05\x06");
  std::string out = bytes.substr(0, end + 20);
  out += static_cast<char>(comment.size() & 0xFF);
  out += static_cast<char>(comment.size() >> 8);
  return out + comment;
}

const std::vector<Item> plain_items = {
    {"Aircraft/Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=Plane\r\n"},
    Item("Aircraft/Plane/", "", ZIP_CM_STORE).as_folder(),
    {"Aircraft/Plane/model/plane.mdl", std::string(5000, 'x')},
    {"Gauges/stored.gau", "MZ\x90\x00 stored bytes", ZIP_CM_STORE},
    {"Effects/empty.fx", ""},
    {"Texte/\xC3\xA9t\xC3\xA9.txt", "utf-8 name"},
    Item("link", "target", ZIP_CM_STORE).as_link(),
};

TEST_F(ZipDirectoryTest, PlainArchivesGiveLibzipsFigures) {
  EXPECT_TRUE(vouched(zipped(tree, plain_items)));
  EXPECT_TRUE(vouched(with_comment(zipped(tree, plain_items), "a comment\r\nof two lines")));
  EXPECT_TRUE(vouched(zipped(tree, {{"one.txt", "1"}})));
}

// What libzip may read otherwise than the reader would: left to it.
TEST_F(ZipDirectoryTest, AnythingUnusualIsLeftToLibzip) {
  const std::string plain = zipped(tree, plain_items);
  const auto end = plain.rfind("PK\x05\x06");
  ASSERT_NE(end, std::string::npos);
  const auto central = plain.find("PK\x01\x02");
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string cp437 = zipped(tree, {{"caf\x82.txt", "cp437"}});
  std::string locked = zipped(tree, {Item("a.txt", "secret data").as_locked()});
  std::string bzip = zipped(tree, {{"a.txt", std::string(300, 'b'), ZIP_CM_BZIP2}});
  std::string twice = zipped(tree, {{"a.txt", "1"}, {"b.txt", "2"}});
  twice.replace(twice.find("b.txt"), 5, "a.txt");
  twice.replace(twice.find("b.txt"), 5, "a.txt");
  std::string moved_header = plain;
  moved_header[central + 10] ^= 1;  // the method in the directory only
  std::string stub = "MZ self-extractor stub" + plain;
  const std::string fake_end = with_comment(plain, "xx PK\x05\x06 and more than 22 bytes after it");
  std::string trailing = plain + "trailing";
  Item renamed{"a.txt", "1"};
  renamed.unicode_name = "\xC3\xA9.txt";
  std::string unicode_path = zipped(tree, {renamed});
  const std::vector<Case> cases = {
      {"a CP437 name", cp437},
      {"a Unicode path field", unicode_path},
      {"an encrypted entry", locked},
      {"a method other than store and deflate", bzip},
      {"two entries of one name", twice},
      {"a local header that disagrees", moved_header},
      {"data before the archive", stub},
      {"an end record in the comment", fake_end},
      {"bytes after the comment", trailing},
      {"a file too short", plain.substr(0, end)},
      {"nothing", ""},
  };
  for (const auto& c : cases) EXPECT_FALSE(vouched(c.bytes)) << c.what;
}

// Damage anywhere: the reader either refuses or tells what libzip tells.
TEST_F(ZipDirectoryTest, DamagedBytesNeverMakeItDisagreeWithLibzip) {
  const std::string plain = with_comment(zipped(tree, plain_items), "comment");
  std::mt19937 random(20261209);
  int taken = 0;
  for (int round = 0; round < 800; ++round) {
    std::string bytes = plain;
    const int flips = 1 + round % 3;
    for (int k = 0; k < flips; ++k) {
      const std::size_t at = random() % bytes.size();
      bytes[at] = static_cast<char>(bytes[at] ^ (1u << (random() % 8)));
    }
    taken += vouched(bytes) ? 1 : 0;
    if (HasFailure()) break;
  }
  // Flips in the data itself leave the directory sound.
  EXPECT_GT(taken, 25);
}

// More than 65,535 entries need the ZIP64 end record.
std::string little(std::uint64_t value, int bytes) {
  std::string out;
  for (int k = 0; k < bytes; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
  return out;
}

// The archive with the ZIP64 end record and locator that more than 65,535
// entries need, its short end record pointing to them.
std::string with_long_end_record(const std::string& bytes) {
  const std::size_t end = bytes.rfind("PK\x05\x06");
  const auto field = [&](std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int k = size - 1; k >= 0; --k)
      value = (value << 8) | static_cast<unsigned char>(bytes[end + at + k]);
    return value;
  };
  const std::uint64_t count = field(10, 2), size = field(12, 4), offset = field(16, 4);
  const std::string record = "PK\x06\x06" + little(44, 8) + little(45, 2) + little(45, 2) +
                             little(0, 4) + little(0, 4) + little(count, 8) + little(count, 8) +
                             little(size, 8) + little(offset, 8);
  const std::string locator = "PK\x06\x07" + little(0, 4) + little(end, 8) + little(1, 4);
  const std::string short_end = "PK\x05\x06" + little(0, 4) + little(0xFFFF, 2) +
                                little(0xFFFF, 2) + little(0xFFFFFFFF, 4) + little(0xFFFFFFFF, 4) +
                                bytes.substr(end + 20);
  return bytes.substr(0, end) + record + locator + short_end;
}

TEST_F(ZipDirectoryTest, TheLongEndRecordOfManyEntries) {
  const std::string bytes = with_long_end_record(zipped(tree, plain_items));
  EXPECT_TRUE(vouched(bytes));
  // A locator that points elsewhere than just before it.
  std::string astray = bytes;
  astray[astray.rfind("PK\x06\x07") + 8] ^= 4;
  EXPECT_FALSE(vouched(astray));
}

// The extraction keeps no libzip handle for a plain archive, and still
// takes the others through libzip.
TEST_F(ZipDirectoryTest, ExtractionOpensLibzipOnlyForWhatTheReaderLeaves) {
  test::RecordingUi ui;
  ZipMaster zip(ui);
  zip.Unattended = true;
  zip.ExtrDirNames = true;
  zip.Workers = 1;
  const auto extract = [&](const std::string& bytes) {
    write_file(path, bytes);
    const std::string out = tree.make_folder("out" + std::to_string(zip_handles_opened()) + "-" +
                                             std::to_string(bytes.size()));
    zip.ExtrBaseDir = out;
    zip.setZipFileName(path);
    const std::uint64_t before = zip_handles_opened();
    EXPECT_EQ(zip.Extract(), 0);
    EXPECT_EQ(read_file(out + "one.txt"), "1");
    return zip_handles_opened() - before;
  };
  EXPECT_EQ(extract(zipped(tree, {{"one.txt", "1"}})), 0u);
  EXPECT_GT(extract(zipped(tree, {{"one.txt", "1"}, {"caf\x82.txt", "2"}})), 0u);
}

}  // namespace
}  // namespace wingstow
