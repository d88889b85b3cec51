#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "packages/zip_master.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/known_crcs.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

constexpr std::size_t mebibyte = 1024 * 1024;

struct Entry {
  enum Kind { file, folder, symlink };
  Entry(std::string name, std::string data = {}, Kind kind = file,
        zip_int32_t compression = ZIP_CM_DEFLATE)
      : name(std::move(name)), data(std::move(data)), kind(kind), compression(compression) {}

  std::string name;
  std::string data;  // a link's target for a symlink
  Kind kind;
  zip_int32_t compression;
  zip_uint16_t encryption = ZIP_EM_NONE;
  std::string password;
  std::time_t mtime = 0;
};

Entry locked(Entry entry, zip_uint16_t method, std::string password) {
  entry.encryption = method;
  entry.password = std::move(password);
  return entry;
}

void make_zip(const std::string& path, const std::vector<Entry>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr) << error;
  for (const auto& e : entries) {
    zip_int64_t index = -1;
    if (e.kind == Entry::folder) {
      index = zip_dir_add(archive, e.name.c_str(), ZIP_FL_ENC_RAW);
    } else {
      zip_source_t* source = zip_source_buffer(archive, e.data.data(), e.data.size(), 0);
      index = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_RAW);
    }
    ASSERT_GE(index, 0) << e.name;
    const auto i = static_cast<zip_uint64_t>(index);
    ASSERT_EQ(zip_set_file_compression(archive, i, e.compression, 0), 0);
    if (e.encryption != ZIP_EM_NONE) {
      ASSERT_EQ(zip_file_set_encryption(archive, i, e.encryption, e.password.c_str()), 0);
    }
    if (e.kind == Entry::symlink) {
      const zip_uint32_t mode = S_IFLNK | 0777u;
      ASSERT_EQ(zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX, mode << 16), 0);
    }
    if (e.mtime != 0) {
      ASSERT_EQ(zip_file_set_mtime(archive, i, e.mtime, 0), 0);
    }
  }
  ASSERT_EQ(zip_close(archive), 0) << zip_error_strerror(zip_get_error(archive));
}

// Bytes that deflate does not shrink much, so large entries stay large.
std::string noise(std::size_t size, std::uint32_t seed, int alphabet = 256) {
  std::string data(size, '\0');
  for (auto& c : data) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>((seed >> 24) % static_cast<std::uint32_t>(alphabet));
  }
  return data;
}

std::uint32_t crc_of(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

void put16(std::string& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  put16(bytes, at, value & 0xFFFF);
  put16(bytes, at + 2, value >> 16);
}

std::uint32_t get16(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// Offset of the record with this signature whose name (at name_at) is name.
std::size_t find_record(const std::string& bytes, std::string_view signature, std::size_t name_at,
                        const std::string& name) {
  for (auto at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1))
    if (bytes.compare(at + name_at, name.size(), name) == 0) return at;
  ADD_FAILURE() << "no record for " << name;
  return 0;
}

std::size_t local_header(const std::string& bytes, const std::string& name) {
  return find_record(bytes, "PK\3\4", 30, name);
}

std::size_t data_offset(const std::string& bytes, const std::string& name) {
  const auto header = local_header(bytes, name);
  return header + 30 + get16(bytes, header + 26) + get16(bytes, header + 28);
}

// Relative paths under folder, sorted; folders end with "/", links with "@".
std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> paths;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    auto path = e.path().lexically_relative(folder).string();
    if (e.is_symlink())
      path += "@";
    else if (e.is_directory())
      path += "/";
    paths.push_back(path);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A test that would block for good fails instead: SIGALRM ends the process.
struct Watchdog {
  Watchdog() { ::alarm(20); }
  ~Watchdog() { ::alarm(0); }
};

std::size_t open_descriptors() {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

using Event = std::tuple<int, std::string, std::uint64_t>;

class ZipExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip.OnProgress = [this](int kind, const std::string& name, std::uint64_t size) {
      events.emplace_back(kind, name, size);
    };
  }

  int extract(const std::vector<Entry>& entries) {
    make_zip(archive, entries);
    return run();
  }

  int run() {
    zip.setZipFileName(archive);
    zip.ExtrBaseDir = base;
    return zip.Extract();
  }

  std::vector<Event> events_of_kind(int kind) const {
    std::vector<Event> found;
    std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                 [kind](const Event& e) { return std::get<0>(e) == kind; });
    return found;
  }

  std::uint64_t bytes_processed() const {
    std::uint64_t sum = 0;
    for (const auto& e : events_of_kind(1)) sum += std::get<2>(e);
    return sum;
  }

  // The single message that names the entry.
  void expect_reported(const std::string& name) const {
    const auto texts = ui.message_texts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [&](const std::string& t) {
                              return t.find("'" + name + "'") != std::string::npos;
                            }),
              1)
        << name;
  }

  test::TempTree tree;
  test::RecordingUi ui;
  ZipMaster zip{ui};
  std::string base = tree.make_folder("out/base");
  std::string archive = tree.path("pack.zip");
  std::vector<Event> events;
};

TEST_F(ZipExtractTest, RecreatesTheTreeWithContentsAndTimes) {
  const std::time_t mtime = 1091110000;  // even: DOS times have two-second steps
  const std::string config = "[fltsim.0]\ntitle=Corsair\n";
  const std::string texture = noise(200000, 7);
  const auto descriptors = open_descriptors();
  Entry cfg("Aircraft/Corsair/aircraft.cfg", config);
  cfg.mtime = mtime;
  ASSERT_EQ(extract({cfg,
                     {"Aircraft/Corsair/texture/", "", Entry::folder},
                     {"Aircraft/Corsair/texture/body.bmp", texture, Entry::file, ZIP_CM_STORE},
                     {"Aircraft/Corsair/panel/", "", Entry::folder},
                     {"readme.txt", "hello"}}),
            0);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(open_descriptors(), descriptors);
  EXPECT_EQ(zip.entries(),
            (std::vector<std::string>{"Aircraft/Corsair/aircraft.cfg", "Aircraft/Corsair/texture/",
                                      "Aircraft/Corsair/texture/body.bmp",
                                      "Aircraft/Corsair/panel/", "readme.txt"}));
  EXPECT_EQ(listing(base), (std::vector<std::string>{
                               "Aircraft/", "Aircraft/Corsair/", "Aircraft/Corsair/aircraft.cfg",
                               "Aircraft/Corsair/panel/", "Aircraft/Corsair/texture/",
                               "Aircraft/Corsair/texture/body.bmp", "readme.txt"}));
  EXPECT_EQ(read_file(base + "Aircraft/Corsair/aircraft.cfg"), config);
  EXPECT_EQ(read_file(base + "Aircraft/Corsair/texture/body.bmp"), texture);
  struct stat st;
  ASSERT_EQ(::stat((base + "Aircraft/Corsair/aircraft.cfg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, mtime);
}

TEST_F(ZipExtractTest, FlatExtractionDropsTheFolders) {
  zip.ExtrDirNames = false;
  ASSERT_EQ(extract({{"gauges/", "", Entry::folder},
                     {"gauges/alt.gau", "alt"},
                     {"panel\\deep\\panel.cfg", "cfg"}}),
            0);
  EXPECT_EQ(listing(base), (std::vector<std::string>{"alt.gau", "panel.cfg"}));
  EXPECT_EQ(read_file(base + "panel.cfg"), "cfg");
}

TEST_F(ZipExtractTest, ExistingFilesAreReplacedOrKeptAsAsked) {
  make_zip(archive, {{"docs/readme.txt", "new"}});
  tree.make_file("out/base/docs/readme.txt", "old");

  zip.ExtrOverWrite = false;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(base + "docs/readme.txt"), "old");

  zip.ExtrOverWrite = true;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(base + "docs/readme.txt"), "new");
  EXPECT_EQ(listing(base), (std::vector<std::string>{"docs/", "docs/readme.txt"}));  // no temp
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ZipExtractTest, MissingFolderOrArchiveIsReported) {
  make_zip(archive, {{"a.txt", "a"}});
  zip.setZipFileName(archive);
  zip.ExtrBaseDir = tree.path("nowhere/");
  EXPECT_EQ(zip.Extract(), ZipMaster::extract_no_base_dir);
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"Extract directory '" +
                                                         tree.path("nowhere/") + "' must exist"});
  EXPECT_FALSE(fs::exists(tree.path("nowhere")));

  ui.messages.clear();
  zip.setZipFileName(tree.path("missing.zip"));
  EXPECT_TRUE(zip.entries().empty());
  zip.ExtrBaseDir = base;
  EXPECT_EQ(zip.Extract(), ZipMaster::extract_no_archive);
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"Input file does not exist"});
  EXPECT_TRUE(events.empty());
}

TEST_F(ZipExtractTest, UnreadableArchivesAreReportedQuietlyWhenUnattended) {
  write_file(archive, "This is not a zip file at all, just some text.");
  EXPECT_EQ(run(), ZipMaster::extract_unreadable);
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"Zip file could not be opened: '" +
                                                         archive + "': Not a zip archive"});

  // Cut in the middle: the table of contents is gone.
  make_zip(archive, {{"one.bin", noise(100000, 1)}, {"two.bin", noise(100000, 2)}});
  const auto whole = read_file(archive);
  write_file(archive, whole.substr(0, whole.size() / 2));
  zip.Unattended = true;
  EXPECT_EQ(run(), ZipMaster::extract_unreadable);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(listing(base).empty());
}

TEST_F(ZipExtractTest, UnsafeNamesAreRefusedAndNothingLandsOutsideTheBase) {
  const std::vector<std::string> unsafe = {"../evil1.txt",
                                           "dir/../../evil2.txt",
                                           "..\\evil3.txt",
                                           "/abs1.txt",
                                           "\\abs2.txt",
                                           "C:\\evil4.txt",
                                           "c:evil5.txt",
                                           "line\nfeed.txt",
                                           "tab\there.txt",
                                           "del\x7f.txt",
                                           "./"};
  std::vector<Entry> entries;
  for (const auto& name : unsafe) entries.push_back({name, "pwned"});
  entries.push_back({"ok.txt", "fine"});
  EXPECT_EQ(extract(entries), ZipMaster::extract_incomplete);

  EXPECT_EQ(listing(tree.root()),
            (std::vector<std::string>{"out/", "out/base/", "out/base/ok.txt", "pack.zip"}));
  // One box: the first refusal in full, then how many more and the next five.
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::warning);
  const std::string& box = ui.messages[0].text;
  EXPECT_TRUE(box.starts_with(
      "'../evil1.txt' was not extracted: its name leads out of the extract directory\n"
      "...and 10 more entries were not extracted:\n'dir/../../evil2.txt': "))
      << box;
  EXPECT_EQ(std::count(box.begin(), box.end(), '\n'), 1 + 1 + 5);
  EXPECT_TRUE(box.ends_with("\n...")) << box;
  // Every refusal, with its reason, goes to the status line.
  ASSERT_EQ(ui.statuses.size(), unsafe.size());
  for (std::size_t i = 0; i < unsafe.size(); ++i) {
    auto name = unsafe[i];
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c < 0x20 || c == 0x7F; }, '?');
    EXPECT_TRUE(ui.statuses[i].starts_with("'" + name + "' was not extracted: its name "))
        << ui.statuses[i];
  }
  // Refused entries are not announced.
  EXPECT_EQ(events_of_kind(3), (std::vector<Event>{{3, "", 1}}));

  // Unattended: neither box nor status.
  ui.messages.clear();
  ui.statuses.clear();
  zip.Unattended = true;
  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(ui.statuses.empty());
}

TEST_F(ZipExtractTest, BackslashNamesBecomeFoldersMergedWithoutRegardToCase) {
  ASSERT_EQ(extract({{"Gauges\\a.gau", "a"}, {"gauges/b.gau", "b"}, {"GAUGES\\sub\\c.gau", "c"}}),
            0);
  EXPECT_EQ(listing(base), (std::vector<std::string>{"Gauges/", "Gauges/a.gau", "Gauges/b.gau",
                                                     "Gauges/sub/", "Gauges/sub/c.gau"}));
}

TEST_F(ZipExtractTest, CodePage437NamesAreDecoded) {
  ASSERT_EQ(extract({{"caf\x82.txt", "menu"}}), 0);
  EXPECT_EQ(zip.entries(), std::vector<std::string>{"caf\xC3\xA9.txt"});
  EXPECT_EQ(read_file(base + "caf\xC3\xA9.txt"), "menu");
}

TEST_F(ZipExtractTest, SymbolicLinksAreNeverCreatedNorFollowed) {
  const auto outside = tree.make_folder("outside");
  write_file(outside + "target.txt", "precious");
  ASSERT_EQ(::symlink(outside.c_str(), (base + "escape").c_str()), 0);
  ASSERT_EQ(::symlink((outside + "target.txt").c_str(), (base + "file.txt").c_str()), 0);

  EXPECT_EQ(extract({{"link", "/etc/passwd", Entry::symlink},
                     {"escape/pwned.txt", "pwned"},
                     {"file.txt", "replaced"}}),
            ZipMaster::extract_incomplete);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "'link' was not extracted: symbolic links are not extracted\n"
            "...and 1 more entry was not extracted:\n"
            "'escape/pwned.txt': a symbolic link stands in its path ('escape')");
  EXPECT_EQ(listing(outside), std::vector<std::string>{"target.txt"});
  EXPECT_EQ(read_file(outside + "target.txt"), "precious");
  // The link in the file's place is replaced, not written through.
  EXPECT_EQ(listing(base), (std::vector<std::string>{"escape@", "file.txt"}));
  EXPECT_EQ(read_file(base + "file.txt"), "replaced");
}

// A copy that keeps sums takes the CRC the extraction checked, for the file
// as it was extracted only: one changed since, its size and time put back,
// is read through, and every sum is that of the bytes copied.
TEST_F(ZipExtractTest, CopiesTakeTheExtractionsCrcOnlyForFilesAsExtracted) {
  const std::string big = noise(100000, 3);
  const std::string other = noise(100000, 4);
  ASSERT_EQ(extract({{"big.bin", big},
                     {"kept.bin", noise(90000, 5), Entry::file, ZIP_CM_STORE},
                     {"small.txt", "small"}}),
            0);
  // big.bin rewritten in place (the same inode), its size and modification
  // time as before.
  struct stat before {};
  ASSERT_EQ(::stat((base + "big.bin").c_str(), &before), 0);
  std::ofstream(base + "big.bin", std::ios::binary | std::ios::in | std::ios::out) << other;
  struct stat after {};
  ASSERT_EQ(::stat((base + "big.bin").c_str(), &after), 0);
  ASSERT_EQ(after.st_ino, before.st_ino);
  const std::array<timespec, 2> times{before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, (base + "big.bin").c_str(), times.data(), 0), 0);

  const std::string copies = tree.make_folder("copies");
  platform::Folder from(base);
  platform::Folder to(copies);
  platform::FileCopier copier;
  copier.keep_sums(true);
  const std::pair<const char*, std::string> cases[] = {
      {"kept.bin", read_file(base + "kept.bin")}, {"big.bin", other}, {"small.txt", "small"}};
  const auto taken = platform::known_crcs_taken();
  for (const auto& [name, content] : cases) {
    const auto result = copier.copy(from, name, to, name);
    ASSERT_EQ(result.status, platform::CopyStatus::copied) << name;
    ASSERT_TRUE(result.sum) << name;
    EXPECT_EQ(result.sum->crc, crc_of(content)) << name;
    EXPECT_EQ(result.sum->size, content.size()) << name;
    EXPECT_EQ(read_file(copies + name), content) << name;
  }
  // Only kept.bin: big.bin changed, small.txt is not worth remembering.
  EXPECT_EQ(platform::known_crcs_taken() - taken, 1u);
}

TEST_F(ZipExtractTest, CrcMismatchFollowsTheHandlersAnswer) {
  const std::string original = "Stored text whose CRC the archive remembers.";
  make_zip(archive, {{"bad.txt", original, Entry::file, ZIP_CM_STORE}, {"good.txt", "good"}});
  auto bytes = read_file(archive);
  const auto at = data_offset(bytes, "bad.txt");
  bytes[at + 3] ^= 0x20;
  const std::string damaged = bytes.substr(at, original.size());
  write_file(archive, bytes);

  std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t>> calls;
  bool answer = false;
  zip.OnCRC32Error = [&](const std::string& name, std::uint32_t found, std::uint32_t expected,
                         bool& do_extract) {
    EXPECT_TRUE(do_extract);
    calls.emplace_back(name, found, expected);
    do_extract = answer;
  };
  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  EXPECT_EQ(calls, (std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t>>{
                       {"bad.txt", crc_of(damaged), crc_of(original)}}));
  EXPECT_EQ(listing(base), std::vector<std::string>{"good.txt"});
  EXPECT_TRUE(ui.messages.empty());

  answer = true;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(base + "bad.txt"), damaged);

  // Without a handler the entry is dropped and reported.
  fs::remove(base + "bad.txt");
  zip.OnCRC32Error = nullptr;
  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  EXPECT_FALSE(fs::exists(base + "bad.txt"));
  expect_reported("bad.txt");
}

TEST_F(ZipExtractTest, EntryLongerThanDeclaredIsCutOffAndDropped) {
  make_zip(archive, {{"bomb.bin", std::string(mebibyte, 'z')}, {"ok.txt", "ok"}});
  auto bytes = read_file(archive);
  put32(bytes, local_header(bytes, "bomb.bin") + 22, 10);
  put32(bytes, find_record(bytes, "PK\1\2", 46, "bomb.bin") + 24, 10);
  write_file(archive, bytes);

  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  expect_reported("bomb.bin");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find("declared size"), std::string::npos);
  EXPECT_EQ(listing(base), std::vector<std::string>{"ok.txt"});
  EXPECT_EQ(bytes_processed(), 12u);
}

TEST_F(ZipExtractTest, DamagedEntryLeavesNoFileAndTheOthersAreExtracted) {
  zip.WholeEntryLimit = 64 * 1024;  // streamed, so that the damage shows midway
  const auto data = noise(mebibyte, 3, 16);
  make_zip(archive, {{"broken.bin", data}, {"after.txt", "after"}});
  auto bytes = read_file(archive);
  const auto start = data_offset(bytes, "broken.bin");
  const auto end = find_record(bytes, "PK\3\4", 30, "after.txt");
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(start + (end - start) * 3 / 4), 16,
              '\xFF');
  write_file(archive, bytes);

  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  expect_reported("broken.bin");
  EXPECT_EQ(listing(base), std::vector<std::string>{"after.txt"});
  EXPECT_GT(events_of_kind(1).size(), 2u);  // it was partly written before the damage showed
}

// Two entries whose data overlap: "outer" stores the local header and the
// data of "inner". libzip opens this without complaint.
std::string overlapping_archive() {
  const auto le16 = [](std::uint32_t v) {
    std::string s(2, '\0');
    put16(s, 0, v);
    return s;
  };
  const auto le32 = [](std::uint32_t v) {
    std::string s(4, '\0');
    put32(s, 0, v);
    return s;
  };
  const auto sizes = [&](const std::string& data) {
    return le32(crc_of(data)) + le32(static_cast<std::uint32_t>(data.size())) +
           le32(static_cast<std::uint32_t>(data.size()));
  };
  const auto local = [&](const std::string& name, const std::string& data) {
    return "PK\3\4" + le16(20) + le16(0) + le16(0) + le16(0) + le16(0x21) + sizes(data) +
           le16(static_cast<std::uint32_t>(name.size())) + le16(0) + name;
  };
  const auto central = [&](const std::string& name, const std::string& data, std::uint32_t offset) {
    return "PK\1\2" + le16(20) + le16(20) + le16(0) + le16(0) + le16(0) + le16(0x21) + sizes(data) +
           le16(static_cast<std::uint32_t>(name.size())) + le16(0) + le16(0) + le16(0) + le16(0) +
           le32(0) + le32(offset) + name;
  };
  const std::string inner_data(4000, 'x');
  const std::string inner = local("inner", inner_data) + inner_data;
  const std::string outer = local("outer", inner) + inner;
  const std::string directory =
      central("outer", inner, 0) +
      central("inner", inner_data, static_cast<std::uint32_t>(outer.size() - inner.size()));
  return outer + directory + "PK\5\6" + le16(0) + le16(0) + le16(2) + le16(2) +
         le32(static_cast<std::uint32_t>(directory.size())) +
         le32(static_cast<std::uint32_t>(outer.size())) + le16(0);
}

TEST_F(ZipExtractTest, OverlappingEntriesAreRefusedBeforeAnythingIsWritten) {
  write_file(archive, overlapping_archive());
  int error = 0;
  zip_t* opened = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  ASSERT_NE(opened, nullptr) << "the guard would not be what refuses it";
  zip_discard(opened);

  EXPECT_EQ(run(), ZipMaster::extract_refused);
  EXPECT_EQ(zip.entries(), (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(listing(base).empty());
  EXPECT_TRUE(events.empty());
}

TEST_F(ZipExtractTest, PasswordIsAskedRetriedAndRemembered) {
  const std::vector<Entry> entries = {
      locked({"one.txt", "first secret"}, ZIP_EM_AES_256, "secret"),
      {"plain.txt", "plain"},
      locked({"two.txt", "second secret"}, ZIP_EM_AES_256, "secret")};
  ui.inputs = {"wrong", "secret"};
  EXPECT_EQ(extract(entries), 0);
  EXPECT_EQ(ui.input_prompts,
            (std::vector<std::string>{"Password|Enter Password ", "Password|Enter Password "}));
  EXPECT_EQ(read_file(base + "one.txt"), "first secret");
  EXPECT_EQ(read_file(base + "two.txt"), "second secret");
  EXPECT_TRUE(ui.messages.empty());

  // Traditional encryption, right at once.
  fs::remove_all(base);
  fs::create_directory(base);
  ui.input_prompts.clear();
  ui.inputs = {"old"};
  EXPECT_EQ(extract({locked({"legacy.txt", "legacy"}, ZIP_EM_TRAD_PKWARE, "old")}), 0);
  EXPECT_EQ(ui.input_prompts.size(), 1u);
  EXPECT_EQ(read_file(base + "legacy.txt"), "legacy");
}

TEST_F(ZipExtractTest, EncryptedEntryIsSkippedOnCancelOrAfterThreeWrongPasswords) {
  make_zip(archive, {locked({"locked.txt", "x"}, ZIP_EM_AES_256, "secret"), {"open.txt", "open"}});
  ui.inputs = {std::nullopt};
  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  EXPECT_EQ(ui.input_prompts.size(), 1u);
  expect_reported("locked.txt");
  EXPECT_EQ(listing(base), std::vector<std::string>{"open.txt"});

  ui.messages.clear();
  ui.input_prompts.clear();
  ui.inputs = {"a", "b", "c", "secret"};
  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  EXPECT_EQ(ui.input_prompts.size(), 3u);
  expect_reported("locked.txt");
  EXPECT_FALSE(fs::exists(base + "locked.txt"));

  // Unattended: no question, no message.
  ui.messages.clear();
  ui.input_prompts.clear();
  zip.Unattended = true;
  EXPECT_EQ(run(), ZipMaster::extract_incomplete);
  EXPECT_TRUE(ui.input_prompts.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ZipExtractTest, ProgressReportsTotalsAndBytesDuringLargeEntries) {
  ASSERT_EQ(extract({{"big.bin", noise(mebibyte, 5)},
                     {"folder/", "", Entry::folder},
                     {"small.txt", "0123456789"},
                     {"empty.txt", ""}}),
            0);
  const std::uint64_t total = mebibyte + 10;
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], (Event{4, "", total}));
  EXPECT_EQ(events[1], (Event{3, "", 4}));
  EXPECT_EQ(
      events_of_kind(0),
      (std::vector<Event>{
          {0, "big.bin", mebibyte}, {0, "folder/", 0}, {0, "small.txt", 10}, {0, "empty.txt", 0}}));
  EXPECT_EQ(bytes_processed(), total);
  const auto big = std::find(events.begin(), events.end(), Event{0, "big.bin", mebibyte});
  const auto next =
      std::find_if(big + 1, events.end(), [](const Event& e) { return std::get<0>(e) != 1; });
  EXPECT_GE(next - big - 1, 8);  // bytes reported while the entry is written
  EXPECT_EQ(std::get<0>(events.back()), 2);
  // The window is served after every event, and while waiting for the workers.
  EXPECT_GE(ui.processed, static_cast<int>(events.size()));
}

TEST_F(ZipExtractTest, CancelStopsInsideTheFirstLargeEntry) {
  make_zip(archive, {{"first.bin", noise(mebibyte, 8)}, {"second.bin", noise(mebibyte, 9)}});
  const auto descriptors = open_descriptors();
  zip.Cancel();  // a stale request is cleared when an extraction starts
  ui.on_process_messages = [this] {
    if (events_of_kind(1).size() == 2) zip.Cancel();
  };
  EXPECT_EQ(run(), ZipMaster::extract_cancelled);
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"User canceled operation"});
  EXPECT_TRUE(listing(base).empty());  // neither the partial file nor its temporary
  EXPECT_EQ(events_of_kind(0).size(), 1u);
  EXPECT_EQ(events_of_kind(1).size(), 2u);
  EXPECT_EQ(std::get<0>(events.back()), 2);
  EXPECT_FALSE(zip.cancel_requested());
  EXPECT_FALSE(zip.busy());
  EXPECT_EQ(open_descriptors(), descriptors);

  ui.on_process_messages = nullptr;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(listing(base), (std::vector<std::string>{"first.bin", "second.bin"}));
}

TEST_F(ZipExtractTest, ExtractFromInsideACallbackIsRefused) {
  std::vector<int> inner;
  zip.OnProgress = [&](int kind, const std::string&, std::uint64_t) {
    if (kind != 0) return;
    EXPECT_TRUE(zip.busy());
    const auto messages = ui.messages.size();
    inner.push_back(zip.Extract());
    EXPECT_EQ(ui.messages.size(), messages);
  };
  EXPECT_EQ(extract({{"a.txt", "a"}, {"b.txt", "b"}}), 0);
  EXPECT_EQ(inner, (std::vector<int>{ZipMaster::extract_busy, ZipMaster::extract_busy}));
  EXPECT_EQ(listing(base), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_FALSE(zip.busy());
}

// A named pipe would block an open until a writer comes; none comes here.
TEST_F(ZipExtractTest, SpecialFilesAreNeverOpened) {
  const Watchdog watchdog;
  ASSERT_EQ(::mkfifo(tree.path("pipe.zip").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(tree.path("pipe.zip").c_str(), tree.path("link.zip").c_str()), 0);
  tree.make_folder("folder.zip");
  for (const char* name : {"pipe.zip", "link.zip", "folder.zip"}) {
    ui.messages.clear();
    zip.setZipFileName(tree.path(name));
    EXPECT_TRUE(zip.entries().empty()) << name;
    zip.ExtrBaseDir = base;
    EXPECT_EQ(zip.Extract(), ZipMaster::extract_unreadable) << name;
    EXPECT_EQ(ui.message_texts(),
              std::vector<std::string>{"Zip file could not be opened: '" + tree.path(name) +
                                       "' is not a regular file"});
  }
  EXPECT_TRUE(listing(base).empty());
  EXPECT_TRUE(events.empty());
}

// An extract directory that is itself a link, such as a package's file_zip
// pointing elsewhere, receives nothing, with or without its separator.
TEST_F(ZipExtractTest, ExtractDirectoryThatIsALinkIsRefused) {
  const std::string elsewhere = tree.make_folder("elsewhere");
  const std::string package = tree.make_folder("unzip/Pack");
  archive = package + "inner.zip";
  make_zip(archive, {{"Plane/aircraft.cfg", "cfg"}, {"gauge.gau", "g"}});
  ASSERT_EQ(::symlink(elsewhere.c_str(), (package + "file_zip").c_str()), 0);
  zip.setZipFileName(archive);
  for (const std::string& dir : {package + "file_zip/", package + "FILE_ZIP"}) {
    ui.messages.clear();
    zip.ExtrBaseDir = dir;
    EXPECT_EQ(zip.Extract(), ZipMaster::extract_no_base_dir);
    EXPECT_EQ(ui.message_texts(),
              std::vector<std::string>{"Extract directory '" + dir +
                                       "' is a symbolic link; nothing is extracted through it"});
  }
  EXPECT_TRUE(listing(elsewhere).empty());
  EXPECT_EQ(listing(package), (std::vector<std::string>{"file_zip@", "inner.zip"}));
  EXPECT_TRUE(events.empty());
}

// The disk refuses: no file under its final name, no temporary left, one
// box naming the entry, the folder and the reason. A disk that stays full
// or read-only stops the extraction; a single failed write costs one entry.
TEST_F(ZipExtractTest, WriteFailuresLeaveNoPartialFiles) {
  struct Case {
    platform::FaultPoint point;
    int error;
    bool persistent;
    int result;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {platform::FaultPoint::write, ENOSPC, true, ZipMaster::extract_write_failed, {}},
      {platform::FaultPoint::create, EDQUOT, true, ZipMaster::extract_write_failed, {}},
      {platform::FaultPoint::rename, EROFS, true, ZipMaster::extract_write_failed, {}},
      {platform::FaultPoint::write, EIO, false, ZipMaster::extract_incomplete, {"two.bin"}},
  };
  make_zip(archive, {{"Plane/one.bin", noise(200000, 1)}, {"two.bin", noise(1000, 2)}});
  // The seam counts calls across threads: one worker keeps their order.
  zip.Workers = 1;
  for (const auto& c : cases) {
    const std::string label = std::strerror(c.error);
    test::remove_tree(base);
    fs::create_directory(base);
    ui.messages.clear();
    events.clear();
    {
      const platform::FaultScope faults;
      if (c.persistent)
        platform::inject_persistent_fault(c.point, 1, c.error);
      else
        platform::inject_fault(c.point, 1, c.error);
      EXPECT_EQ(run(), c.result) << label;
    }
    std::vector<std::string> files;
    for (const auto& path : listing(base))
      if (!path.ends_with("/")) files.push_back(path);
    EXPECT_EQ(files, c.files) << label;
    ASSERT_EQ(ui.messages.size(), 1u) << label;
    const std::string& text = ui.messages[0].text;
    EXPECT_TRUE(
        text.starts_with("'Plane/one.bin' was not extracted: it cannot be written (" + label + ")"))
        << text;
    EXPECT_EQ(text.find("'" + base + "'") != std::string::npos, c.persistent) << text;
    EXPECT_EQ(std::get<0>(events.back()), 2) << label;
  }
}

// Every entry finds its folder from the names read once, shared by the
// workers, and the existing spelling of folders and files wins over the
// archive's.
TEST_F(ZipExtractTest, ManyEntriesInOneFolderAndExistingSpellings) {
  constexpr int count = 20000;
  tree.make_folder("out/base/panel");
  tree.make_file("out/base/Many/README.TXT", "old");
  std::vector<Entry> entries;
  entries.reserve(count + 2);
  for (int i = 0; i < count; ++i) {
    const std::string name = "many/f" + std::to_string(i) + ".txt";
    entries.emplace_back(name, std::to_string(i), Entry::file, ZIP_CM_STORE);
  }
  entries.emplace_back("Panel/panel.cfg", "cfg", Entry::file, ZIP_CM_STORE);
  entries.emplace_back("MANY/readme.txt", "new", Entry::file, ZIP_CM_STORE);
  const auto descriptors = open_descriptors();
  const auto listed = ZipMaster::folder_listings();
  zip.Workers = 2;

  ASSERT_EQ(extract(entries), 0);

  // The extract directory, panel and Many: each listed once.
  EXPECT_EQ(ZipMaster::folder_listings() - listed, 3u);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(open_descriptors(), descriptors);
  EXPECT_EQ(read_file(base + "panel/panel.cfg"), "cfg");
  EXPECT_EQ(read_file(base + "Many/README.TXT"), "new");
  EXPECT_EQ(listing(base).size(), std::size_t{count} + 4);  // Many/, panel/, their 2 files
  for (int i = 0; i < count; i += 997)
    EXPECT_EQ(read_file(base + "Many/f" + std::to_string(i) + ".txt"), std::to_string(i));
}

// Size and CRC of a file's content.
std::string digest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string data(fs::file_size(path), '\0');
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  return std::to_string(data.size()) + " " + std::to_string(crc_of(data));
}

// Everything an extraction shows and leaves, to compare runs.
struct Observed {
  int result = 0;
  std::vector<std::string> files;  // path, then content
  std::vector<std::string> messages;
  std::vector<std::string> statuses;
  std::vector<std::string> prompts;
  std::vector<Event> events;
  std::vector<std::string> crc_calls;
  bool operator==(const Observed&) const = default;
};

Observed extract_observed(const std::string& archive, const std::string& base, unsigned workers,
                          std::uint64_t whole_limit) {
  test::RecordingUi ui;
  ui.inputs = {"wrong", "secret"};
  ZipMaster zip(ui);
  zip.Workers = workers;
  zip.WholeEntryLimit = whole_limit;
  Observed seen;
  zip.OnProgress = [&](int kind, const std::string& name, std::uint64_t size) {
    seen.events.emplace_back(kind, name, size);
  };
  zip.OnCRC32Error = [&](const std::string& name, std::uint32_t found, std::uint32_t expected,
                         bool& do_extract) {
    seen.crc_calls.push_back(name + " " + std::to_string(found) + " " + std::to_string(expected));
    do_extract = name.find("keep") != std::string::npos;
  };
  zip.setZipFileName(archive);
  zip.ExtrBaseDir = base;
  seen.result = zip.Extract();
  for (const auto& path : listing(base)) {
    seen.files.push_back(path);
    if (!path.ends_with("/") && !path.ends_with("@")) seen.files.push_back(digest(base + path));
  }
  seen.messages = ui.message_texts();
  seen.statuses = ui.statuses;
  seen.prompts = ui.input_prompts;
  return seen;
}

// Hostile and damaged archives, among ordinary entries that keep both
// workers busy: two workers give exactly what one gives, in memory and
// streamed alike, and nothing lands outside the extract directory.
TEST_F(ZipExtractTest, OneOrTwoWorkersGiveTheSameTreeAndMessages) {
  // Ordinary entries around each case's own.
  const auto padded = [](const std::vector<Entry>& own) {
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < 24; ++i) {
      const auto size = i % 3 == 0 ? 150000 : 2000;
      entries.push_back({"Plane/texture/t" + std::to_string(i) + ".bmp", noise(size, i, 16)});
      // Two by two, so that both workers take them at once.
      for (std::size_t k = i / 3 * 2;
           i % 3 == 2 && k < std::min<std::size_t>(i / 3 * 2 + 2, own.size()); ++k)
        entries.push_back(own[k]);
    }
    return entries;
  };
  // Flips a byte of an entry's data, or sets its CRC in both headers.
  const auto flip = [](std::string& bytes, const std::string& name, std::size_t at) {
    bytes[data_offset(bytes, name) + at] ^= 0x20;
  };
  const auto set_crc = [](std::string& bytes, const std::string& name, std::uint32_t crc) {
    put32(bytes, local_header(bytes, name) + 14, crc);
    put32(bytes, find_record(bytes, "PK\1\2", 46, name) + 16, crc);
  };
  struct Case {
    std::string label;
    std::vector<Entry> entries;
    std::function<void(std::string&)> damage;
    int result;
    std::function<void()> check = {};  // of the tree left
  };
  const std::string text = "Stored text whose CRC the archive remembers.";
  const std::vector<Case> cases = {
      {"unsafe names",
       padded({{"../evil1.txt", "x"},
               {"dir/../../evil2.txt", "x"},
               {"C:\\evil3.txt", "x"},
               {"/abs.txt", "x"},
               {"tab\there.txt", "x"},
               {"ok.txt", "ok"}}),
       nullptr, ZipMaster::extract_incomplete},
      {"links", padded({{"link", "/etc/passwd", Entry::symlink}, {"escape/pwned.txt", "pwned"}}),
       nullptr, ZipMaster::extract_incomplete},
      {"same targets",
       padded({{"Dup/a.txt", "first"},
               {"dup/A.TXT", "second"},
               {"x", "file"},
               {"x/y", "under a file"},
               {"f/", "", Entry::folder},
               {"F", "file over a folder"}}),
       nullptr, ZipMaster::extract_incomplete,
       [&] {
         // As entry after entry: the later spelling replaces the earlier
         // file, and a file and a folder of one name make one refusal.
         EXPECT_EQ(read_file(base + "Dup/a.txt"), "second");
         EXPECT_FALSE(fs::exists(base + "Dup/A.TXT"));
         EXPECT_EQ(read_file(base + "x"), "file");
         EXPECT_TRUE(fs::is_directory(base + "f"));
       }},
      {"longer than declared", padded({{"bomb.bin", std::string(mebibyte, 'z')}, {"ok.txt", "ok"}}),
       [](std::string& bytes) {
         put32(bytes, local_header(bytes, "bomb.bin") + 22, 10);
         put32(bytes, find_record(bytes, "PK\1\2", 46, "bomb.bin") + 24, 10);
       },
       ZipMaster::extract_incomplete},
      {"crc errors",
       padded({{"keep.txt", text, Entry::file, ZIP_CM_STORE},
               {"drop.txt", text, Entry::file, ZIP_CM_STORE},
               {"keep.bin", noise(200000, 40, 16)},
               {"drop.bin", noise(200000, 41, 16)}}),
       [&](std::string& bytes) {
         flip(bytes, "keep.txt", 3);
         flip(bytes, "drop.txt", 5);
         set_crc(bytes, "keep.bin", 1234);
         set_crc(bytes, "drop.bin", 5678);
       },
       ZipMaster::extract_incomplete},
      {"damaged data", padded({{"broken.bin", noise(mebibyte, 3, 16)}, {"after.txt", "after"}}),
       [&](std::string& bytes) {
         const auto start = data_offset(bytes, "broken.bin");
         std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(start + 20000), 16, '\xFF');
       },
       ZipMaster::extract_incomplete},
      {"encrypted",
       padded({locked({"one.txt", "first secret"}, ZIP_EM_AES_256, "secret"),
               locked({"two.txt", "second secret"}, ZIP_EM_AES_256, "secret")}),
       nullptr, 0},
  };
  const auto outside = tree.make_folder("outside");
  for (const auto& c : cases) {
    make_zip(archive, c.entries);
    if (c.damage) {
      auto bytes = read_file(archive);
      c.damage(bytes);
      write_file(archive, bytes);
    }
    for (const std::uint64_t limit : {std::uint64_t{8} * mebibyte, std::uint64_t{0}}) {
      std::vector<Observed> runs;
      for (const unsigned workers : {1u, 2u}) {
        test::remove_tree(base);
        fs::create_directory(base);
        ASSERT_EQ(::symlink(outside.c_str(), (base + "escape").c_str()), 0);
        runs.push_back(extract_observed(archive, base, workers, limit));
        EXPECT_EQ(runs.back().result, c.result) << c.label;
        if (c.check) c.check();
      }
      const auto label = c.label + (limit == 0 ? ", streamed" : ", in memory");
      EXPECT_EQ(runs[0].files, runs[1].files) << label;
      EXPECT_EQ(runs[0].messages, runs[1].messages) << label;
      EXPECT_EQ(runs[0].statuses, runs[1].statuses) << label;
      EXPECT_EQ(runs[0].prompts, runs[1].prompts) << label;
      EXPECT_EQ(runs[0].events, runs[1].events) << label;
      EXPECT_EQ(runs[0].crc_calls, runs[1].crc_calls) << label;
      for (const auto& path : listing(tree.root()))
        EXPECT_TRUE(path.starts_with("out/base/") || path == "out/" || path == "out/base/" ||
                    path == "outside/" || path == "pack.zip")
            << label << ": " << path;
    }
  }
}

// Far more entries than the workers may run ahead of the calling thread,
// with names met again (in another case) both within that reach and beyond
// it: two workers give what one gives, the later entry of a name winning.
// Entries of a few bytes take one reader whatever is asked, and give the
// same too.
TEST_F(ZipExtractTest, LongArchivesGiveTheSameTreeWithOneOrTwoWorkers) {
  for (const std::size_t size : {std::size_t{3000}, std::size_t{20}}) {
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < 700; ++i) {
      std::string name = "Plane/texture/t" + std::to_string(i) + ".bmp";
      // Every 25th entry writes over one 10 or 301 entries before it.
      if (i % 25 == 24)
        name =
            "PLANE/Texture/T" + std::to_string(i - (i % 50 == 49 && i > 301 ? 301 : 10)) + ".BMP";
      entries.push_back(
          {name, noise(size + i % 7, i, 16), Entry::file, i % 2 ? ZIP_CM_STORE : ZIP_CM_DEFLATE});
    }
    make_zip(archive, entries);
    std::vector<Observed> runs;
    for (const unsigned workers : {1u, 2u}) {
      test::remove_tree(base);
      fs::create_directory(base);
      runs.push_back(extract_observed(archive, base, workers, 8 * mebibyte));
      EXPECT_EQ(runs.back().result, 0) << size;
      EXPECT_EQ(read_file(base + "Plane/texture/t14.bmp"), entries[24].data) << size;
      EXPECT_EQ(read_file(base + "Plane/texture/t248.bmp"), entries[549].data) << size;
    }
    EXPECT_EQ(runs[0], runs[1]) << size;
    EXPECT_EQ(runs[0].files.size(), 2 * (700 - 28) + 2) << size;  // Plane/, texture/
  }
}

// Cancel while both workers write: the files left are exactly those of the
// entries reported before, each whole, and no temporary file remains.
TEST_F(ZipExtractTest, CancelDuringTwoWorkersLeavesOnlyWholeFiles) {
  std::vector<Entry> entries;
  for (std::uint32_t i = 0; i < 40; ++i)
    entries.push_back({"Plane/part" + std::to_string(i) + ".bin", noise(400000, i, 16)});
  make_zip(archive, entries);
  zip.Workers = 2;
  for (const std::uint64_t limit : {std::uint64_t{8} * mebibyte, std::uint64_t{64} * 1024}) {
    test::remove_tree(base);
    fs::create_directory(base);
    events.clear();
    ui.messages.clear();
    zip.WholeEntryLimit = limit;
    const auto descriptors = open_descriptors();
    ui.on_process_messages = [this] {
      if (events_of_kind(1).size() == 60) zip.Cancel();
    };
    EXPECT_EQ(run(), ZipMaster::extract_cancelled);
    EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"User canceled operation"});
    const auto announced = events_of_kind(0);
    ASSERT_GE(announced.size(), 2u);
    std::vector<std::string> whole = {"Plane/"};
    for (std::size_t i = 0; i + 1 < announced.size(); ++i) whole.push_back(entries[i].name);
    std::sort(whole.begin(), whole.end());
    EXPECT_EQ(listing(base), whole) << limit;
    for (std::size_t i = 0; i + 1 < announced.size(); ++i)
      EXPECT_EQ(read_file(base + entries[i].name), entries[i].data);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_FALSE(zip.busy());
  }
}

}  // namespace
}  // namespace wingstow
