// The Unzip command on real archives, its Cancel button, the progress bar and
// the answer to a checksum error.

#include "packages/unzip.h"
#include "commands/package_buttons.h"
#include "packages/entry_names.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "packages/import_archives.h"
#include "packages/packages_fixture.h"
#include "platform/error.h"
#include "platform/faults.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using test::PackagesFixture;
using test::read_file;
using test::write_zip;
using Entries = std::vector<std::pair<std::string, std::string>>;
using Bar = std::vector<std::pair<int, int>>;

constexpr const char* guarded_controls[] = {"SpeedButton40", "SpeedButton9", "SpeedButton6",
                                            "Btn1LevelUp",   "BtnRefresh",   "SpeedButton5",
                                            "FlatButton1",   "FlatButton2",  "FlatButton3"};

bool exists(const std::string& path) { return std::filesystem::exists(path); }

// A test that would block for good fails instead: SIGALRM ends the process.
struct Watchdog {
  Watchdog() { ::alarm(20); }
  ~Watchdog() { ::alarm(0); }
};

// An archive whose entries are stored, not compressed, so their bytes can be
// found in the file.
void write_stored_zip(const std::string& path, const Entries& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, content] : entries) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    ASSERT_NE(source, nullptr);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

// Changes one byte of the stored data: the headers stay consistent, the
// CRC-32 no longer matches.
void spoil_stored_data(const std::string& path, const std::string& content) {
  std::string bytes = read_file(path);
  const auto at = bytes.find(content);
  ASSERT_NE(at, std::string::npos);
  bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
  test::write_file(path, bytes);
}

class UnzipTest : public PackagesFixture {
 protected:
  std::string archive(const std::string& name, const Entries& entries) {
    const std::string path = download + name;
    write_zip(path, entries);
    return path;
  }
  // Two entries in a folder of their own, as packages usually come.
  std::string package_archive(const std::string& name) {
    return archive(name, {{"Plane/aircraft.cfg", "[fltsim.0]"}, {"readme.txt", "read me"}});
  }

  // The download folder in the list with multiple selection, as "Download
  // Path" leaves it; the names are clicked in order, the last one decides.
  void select(std::initializer_list<const char*> names) {
    open(download);
    ui.multi_select = true;
    for (const char* name : names) click(name);
  }

  void run() { SpeedButton5Click(shared, ui, zip); }

  void expect_window_restored() {
    for (const char* control : guarded_controls)
      EXPECT_EQ(ui.enabled_state(control), true) << control;
    EXPECT_EQ(ui.enabled_state("SpeedButton10"), false);
    ASSERT_FALSE(ui.wait_cursor.empty());
    EXPECT_FALSE(ui.wait_cursor.back());
  }
};

TEST(PackageName, DotsBecomeUnderscores) {
  EXPECT_EQ(package_name_for_archive("/d/spitfire.mk2.zip"), "spitfire_mk2");
  EXPECT_EQ(package_name_for_archive("/d/corsair.zip"), "corsair");
  EXPECT_EQ(package_name_for_archive("/d/PACK.ZIP"), "PACK");
}

TEST_F(UnzipTest, DottedArchiveNameGivesUnderscoredPackageFolder) {
  package_archive("pack.mk1.2.zip");
  select({"pack.mk1.2.zip"});

  run();

  EXPECT_EQ(read_file(unzip + "pack_mk1_2/Plane/aircraft.cfg"), "[fltsim.0]");
  EXPECT_EQ(read_file(unzip + "pack_mk1_2/readme.txt"), "read me");
  EXPECT_FALSE(highlighted("pack.mk1.2.zip"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.statuses,
            std::vector<std::string>{"End of unzip: 1 package(s) unzipped into " + unzip});
  expect_window_restored();
  // The bar runs from 1 to the end over the archive and falls back to 1.
  ASSERT_FALSE(ui.progress_bar.empty());
  EXPECT_EQ(ui.progress_bar.front(), std::make_pair(10001, 1));
  EXPECT_EQ(ui.progress_bar.back(), std::make_pair(10001, 1));
  EXPECT_NE(std::find(ui.progress_bar.begin(), ui.progress_bar.end(), std::make_pair(10001, 10001)),
            ui.progress_bar.end());
}

TEST_F(UnzipTest, SecondUnzipSaysAlreadyUncompressedAndExtractsNothing) {
  package_archive("pack.mk1.2.zip");
  select({"pack.mk1.2.zip"});
  run();
  test::write_file(unzip + "pack_mk1_2/readme.txt", "edited by the user");
  std::filesystem::remove(unzip + "pack_mk1_2/Plane/aircraft.cfg");
  const auto bar_events = ui.progress_bar.size();
  ui.click("pack.mk1.2.zip");
  ui.statuses.clear();

  run();

  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Airplane  Already uncompressed!"});
  EXPECT_EQ(read_file(unzip + "pack_mk1_2/readme.txt"), "edited by the user");
  EXPECT_FALSE(exists(unzip + "pack_mk1_2/Plane/aircraft.cfg"));
  EXPECT_EQ(ui.progress_bar.size(), bar_events);
  EXPECT_TRUE(highlighted("pack.mk1.2.zip"));
  expect_window_restored();
}

// The file system of the simulator's host ignores letter case: "PACK"
// already is the folder of pack.zip.
TEST_F(UnzipTest, FolderSpelledOtherwiseCountsAsUncompressed) {
  package_archive("pack.zip");
  tree.make_folder("prog/unzip_fs2004/PACK");
  select({"pack.zip"});

  run();

  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Airplane  Already uncompressed!"});
  EXPECT_FALSE(exists(unzip + "PACK/readme.txt"));
}

TEST_F(UnzipTest, OnlyFromTheDownloadFolder) {
  tree.make_file("prog/unzip_fs2004/pack.zip");
  open(unzip);
  ui.click("pack.zip");
  ui.enabled.clear();

  run();

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
  EXPECT_EQ(ui.messages[0].text, "Install to fs is only possible from the download path directory");
  EXPECT_EQ(ui.messages[0].buttons, Buttons::ok);
  EXPECT_TRUE(ui.enabled.empty());
  EXPECT_TRUE(ui.wait_cursor.empty());
  EXPECT_FALSE(exists(unzip + "pack"));
}

TEST_F(UnzipTest, ClickedItemWithoutArchiveEndingIsRefused) {
  package_archive("pack.zipx");
  select({"pack.zipx"});
  ui.enabled.clear();

  run();

  ASSERT_EQ(ui.message_texts(), std::vector<std::string>{"Select a valid zip file"});
  EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
  EXPECT_TRUE(ui.enabled.empty());
  EXPECT_TRUE(highlighted("pack.zipx"));
}

TEST_F(UnzipTest, AnyLetterCaseOfTheEndingIsAccepted) {
  for (const char* name : {"PACK.ZIP", "mixed.Zip"}) {
    package_archive(name);
    select({name});
    run();
    EXPECT_EQ(read_file(unzip + without_archive_ending(name) + "/readme.txt"), "read me");
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST_F(UnzipTest, CancelDuringTheSecondOfThreeArchives) {
  for (const char* name : {"a.zip", "b.zip", "c.zip"})
    archive(name, {{"one.txt", "first"}, {"two.txt", "second"}});
  select({"a.zip", "b.zip", "c.zip"});

  int archives = 0;
  std::string entry;
  zip.OnProgress = [&](int kind, const std::string& name, std::uint64_t size) {
    if (kind == 4) {
      ++archives;
      entry.clear();
    }
    if (kind == 0) entry = name;
    ZipMaster1Progress(shared, ui, kind, size);
  };
  // A link that turned up in the half-made package leads outside; taking
  // the package back must not follow it.
  const std::string outside = tree.make_folder("outside");
  test::write_file(outside + "keep.txt", "keep");
  bool pressed = false;
  std::optional<bool> cancel_enabled, unzip_enabled;
  ui.on_process_messages = [&] {
    if (pressed || archives != 2 || entry != "two.txt") return;
    cancel_enabled = ui.enabled_state("SpeedButton10");
    unzip_enabled = ui.enabled_state("SpeedButton5");
    ASSERT_TRUE(exists(unzip + "b/one.txt"));
    std::filesystem::create_directory_symlink(outside, unzip + "b/link");
    pressed = true;
    SpeedButton10Click(shared, ui, zip);
  };

  run();

  ASSERT_TRUE(pressed);
  EXPECT_EQ(cancel_enabled, true);
  EXPECT_EQ(unzip_enabled, false);
  EXPECT_EQ(read_file(unzip + "a/two.txt"), "second");
  // The cancelled package is taken back whole; its archive waits for the
  // next Unzip.
  EXPECT_FALSE(exists(unzip + "b"));
  EXPECT_EQ(read_file(outside + "keep.txt"), "keep");
  EXPECT_FALSE(exists(unzip + "c"));
  EXPECT_FALSE(highlighted("a.zip"));
  EXPECT_TRUE(highlighted("b.zip"));
  EXPECT_TRUE(highlighted("c.zip"));
  EXPECT_EQ(archives, 2);
  EXPECT_EQ(shared.unzip_cancel_flag, 1);
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{"User canceled operation"});
  EXPECT_EQ(ui.statuses,
            std::vector<std::string>{"Unzip cancelled: 1 package(s) unzipped into " + unzip});
  expect_window_restored();

  ui.on_process_messages = nullptr;
  ui.statuses.clear();
  run();

  EXPECT_EQ(read_file(unzip + "b/two.txt"), "second");
  EXPECT_EQ(read_file(unzip + "c/two.txt"), "second");
  EXPECT_FALSE(highlighted("b.zip"));
  EXPECT_FALSE(highlighted("c.zip"));
  // Not "Airplane  Already uncompressed!": the taken-back package is new again.
  EXPECT_EQ(ui.statuses,
            std::vector<std::string>{"End of unzip: 2 package(s) unzipped into " + unzip});
}

// A new run starts uncancelled, also after a Cancel pressed while idle.
TEST_F(UnzipTest, RunAfterCancelExtractsAgain) {
  package_archive("pack.zip");
  select({"pack.zip"});
  SpeedButton10Click(shared, ui, zip);

  run();

  EXPECT_EQ(shared.unzip_cancel_flag, 0);
  EXPECT_EQ(read_file(unzip + "pack/readme.txt"), "read me");
}

TEST_F(UnzipTest, NothingHighlightedOnlyTogglesTheControls) {
  package_archive("pack.zip");
  select({"pack.zip"});
  ui.items[static_cast<std::size_t>(ui.index_of("pack.zip"))].highlighted = false;

  run();

  EXPECT_FALSE(exists(unzip + "pack"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(ui.progress_bar.empty());
  expect_window_restored();
}

// Every highlighted item is extracted whatever its name; the component
// reports the one that is no archive, its folder goes again, and the walk
// goes on. A named pipe is never opened (the watchdog ends a blocked test).
TEST_F(UnzipTest, ItemsThatAreNoArchiveLeaveNoFolder) {
  const Watchdog watchdog;
  test::write_file(download + "notes.txt", "not an archive");
  ASSERT_EQ(::mkfifo((download + "pipe.zip").c_str(), 0600), 0);
  package_archive("pack.zip");
  select({"notes.txt", "pipe.zip", "pack.zip"});

  run();

  EXPECT_FALSE(exists(unzip + "notes"));
  EXPECT_FALSE(exists(unzip + "pipe"));
  EXPECT_EQ(read_file(unzip + "pack/readme.txt"), "read me");
  EXPECT_EQ(ui.message_texts(),
            (std::vector<std::string>{
                "Zip file could not be opened: '" + download + "notes.txt': Not a zip archive",
                "Zip file could not be opened: '" + download + "pipe.zip' is not a regular file"}));
  EXPECT_TRUE(highlighted("notes.txt"));
  EXPECT_TRUE(highlighted("pipe.zip"));
  EXPECT_FALSE(highlighted("pack.zip"));
  expect_window_restored();
}

// A disk that fills up midway: the half package goes, one message says why,
// and the next Unzip, with room again, extracts it whole.
TEST_F(UnzipTest, DiskFullTakesThePackageBackAndTheNextUnzipCompletesIt) {
  package_archive("pack.zip");
  select({"pack.zip"});
  {
    const platform::FaultScope faults;
    platform::inject_persistent_fault(platform::FaultPoint::write, 2, ENOSPC);
    run();
  }

  EXPECT_FALSE(exists(unzip + "pack"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(std::strerror(ENOSPC)), std::string::npos);
  EXPECT_TRUE(highlighted("pack.zip"));
  expect_window_restored();

  run();

  EXPECT_EQ(read_file(unzip + "pack/Plane/aircraft.cfg"), "[fltsim.0]");
  EXPECT_EQ(read_file(unzip + "pack/readme.txt"), "read me");
  EXPECT_FALSE(highlighted("pack.zip"));
  EXPECT_EQ(ui.messages.size(), 1u);
}

// A killed Unzip leaves its package folder marked as unfinished; the next
// Unzip extracts the archive again instead of taking the remains for it.
TEST_F(UnzipTest, UnzipKilledMidwayExtractsAgain) {
  Entries entries;
  for (int i = 0; i < 20; ++i)
    entries.emplace_back("Plane/t" + std::to_string(i) + ".bmp", std::string(1000, 'a' + i));
  archive("pack.zip", entries);
  select({"pack.zip"});
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int left = 12;
    ui.on_process_messages = [&] {
      if (--left == 0) ::raise(SIGKILL);
    };
    run();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_TRUE(exists(unzip + "pack"));

  run();

  EXPECT_TRUE(ui.messages.empty());
  for (const auto& [name, content] : entries) EXPECT_EQ(read_file(unzip + "pack/" + name), content);
  EXPECT_FALSE(exists(unzip + "pack/.wingstow-unzipping"));
  EXPECT_FALSE(highlighted("pack.zip"));
  // A finished package is never extracted over.
  select({"pack.zip"});
  run();
  ASSERT_FALSE(ui.statuses.empty());
  EXPECT_EQ(ui.statuses.back(), "Airplane  Already uncompressed!");
}

TEST_F(UnzipTest, ExtractionThatRaisesIsReportedAndTheWalkGoesOn) {
  package_archive("a.zip");
  package_archive("b.zip");
  select({"a.zip", "b.zip"});
  zip.OnProgress = [&](int kind, const std::string&, std::uint64_t size) {
    if (zip.ZipFileName() == download + "a.zip") throw std::runtime_error("component failure");
    ZipMaster1Progress(shared, ui, kind, size);
  };

  run();

  ASSERT_EQ(ui.message_texts(), std::vector<std::string>{"Problem encountered while extracting !"});
  EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
  EXPECT_FALSE(exists(unzip + "a"));
  EXPECT_TRUE(highlighted("a.zip"));
  EXPECT_EQ(read_file(unzip + "b/readme.txt"), "read me");
  EXPECT_FALSE(highlighted("b.zip"));
  expect_window_restored();
}

TEST_F(UnzipTest, FileInTheWayOfThePackageFolderEndsTheRun) {
  package_archive("a.zip");
  package_archive("b.zip");
  package_archive("c.zip");
  test::write_file(unzip + "b", "a file, not a folder");
  select({"a.zip", "b.zip", "c.zip"});

  try {
    run();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    // The failure names its folder and reason.
    EXPECT_EQ(std::string(error.what()),
              "Directory could not be created ! (" + unzip + "b: File exists)");
  }

  EXPECT_EQ(read_file(unzip + "a/readme.txt"), "read me");
  EXPECT_EQ(read_file(unzip + "b"), "a file, not a folder");
  EXPECT_FALSE(exists(unzip + "c"));
  EXPECT_TRUE(highlighted("b.zip"));
  EXPECT_TRUE(highlighted("c.zip"));
  expect_window_restored();
}

TEST_F(UnzipTest, EntryWithAWrongChecksumIsNotExtracted) {
  const std::string path = download + "pack.zip";
  write_stored_zip(path, {{"good.txt", "sound content"}, {"bad.txt", "spoiled content"}});
  spoil_stored_data(path, "spoiled content");
  select({"pack.zip"});

  run();

  EXPECT_EQ(read_file(unzip + "pack/good.txt"), "sound content");
  EXPECT_FALSE(exists(unzip + "pack/bad.txt"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(highlighted("pack.zip"));
}

TEST(ChecksumError, EntryIsNeverKept) {
  bool do_extract = true;
  ZipMaster1CRC32Error(do_extract);
  EXPECT_FALSE(do_extract);
}

// ---- ProgressBar1

// Archive names with control characters reach neither the download folder
// nor a package folder: refused at the hand-over and at Unzip, named with
// their control bytes written out.
TEST_F(UnzipTest, NamesWithControlCharactersAreRefusedAtHandOverAndUnzip) {
  const std::string why =
      "its name holds a control character (such as a line break); rename it first";
  const std::pair<std::string, std::string> cases[] = {
      {"Line\nBreak.zip", "Line\\nBreak.zip"},    {"Carriage\rReturn.zip", "Carriage\\rReturn.zip"},
      {"Tab\tBed.zip", "Tab\\tBed.zip"},          {"Esc\x1b[2J.zip", "Esc\\x1b[2J.zip"},
      {"Bell\x07\x7f.zip", "Bell\\x07\\x7f.zip"}, {"Caf\xc3\xa9 back\\slash.zip", ""},
  };
  const std::string outside = tree.make_folder("outside");
  for (const auto& [name, shown] : cases) {
    SCOPED_TRACE(shown.empty() ? name : shown);
    for (const std::string& folder : {download, unzip}) std::filesystem::remove_all(folder);
    for (const std::string& folder : {download, unzip}) std::filesystem::create_directory(folder);
    ui.messages.clear();
    write_zip(outside + name, {{"Plane/aircraft.cfg", "x"}});
    const ImportOutcome imported = import_archives(download, {outside + name});
    const std::string archive = package_archive(name);
    std::vector<UnzipResult> results;
    unzip_archives(shared, ui, zip, {archive},
                   [&](std::size_t, UnzipResult result) { results.push_back(result); });

    const bool taken = shown.empty();
    EXPECT_EQ(imported.copied, taken ? 1u : 0u);
    EXPECT_EQ(imported.failures,
              taken ? std::vector<std::string>{} : std::vector{outside + shown + ": " + why});
    EXPECT_EQ(results, std::vector{taken ? UnzipResult::unzipped : UnzipResult::failed});
    EXPECT_EQ(exists(unzip + package_name_for_archive(name)), taken);
    EXPECT_EQ(ui.message_texts(),
              taken ? std::vector<std::string>{}
                    : std::vector{"'" + download + shown + "' was not unzipped: " + why});
  }
}

class ProgressBarTest : public PackagesFixture {
 protected:
  void event(int kind, std::uint64_t size) { ZipMaster1Progress(shared, ui, kind, size); }
};

TEST_F(ProgressBarTest, TotalSizeStartsTheBarAtOne) {
  shared.unzip_done_size = 77;

  event(4, 3);

  EXPECT_EQ(ui.progress_bar, (Bar{{10001, 1}}));
  EXPECT_EQ(shared.unzip_total_size, 3);
  EXPECT_EQ(shared.unzip_done_size, 0);
}

TEST_F(ProgressBarTest, BytesMoveTheBarToTheNearestStepPlusOne) {
  event(4, 3);
  event(1, 1);  // 3333.3
  event(1, 1);  // 6666.7
  event(1, 1);

  EXPECT_EQ(ui.progress_bar, (Bar{{10001, 1}, {10001, 3334}, {10001, 6668}, {10001, 10001}}));
}

// Sizes past 32 bits: the product must not wrap.
TEST_F(ProgressBarTest, LargeArchivesKeepTheirProportion) {
  event(4, 4'000'000'000u);
  event(1, 3'000'000'000u);

  EXPECT_EQ(ui.progress_bar.back(), std::make_pair(10001, 7501));
}

TEST_F(ProgressBarTest, ZeroTotalDrivesTheBarToTheEndAtTheFirstBytes) {
  event(4, 0);
  event(1, 0);

  EXPECT_EQ(ui.progress_bar, (Bar{{10001, 1}, {10001, 10001}}));
}

TEST_F(ProgressBarTest, EndOfBatchFallsBackToOne) {
  event(4, 10);
  event(1, 10);
  event(2, 0);

  EXPECT_EQ(ui.progress_bar.back(), std::make_pair(10001, 1));
}

TEST_F(ProgressBarTest, EntryAndCountEventsLeaveTheBar) {
  event(0, 500);
  event(3, 2);

  EXPECT_TRUE(ui.progress_bar.empty());
}

// Each archive counts from its own total.
TEST_F(ProgressBarTest, NextTotalStartsAfresh) {
  event(4, 100);
  event(1, 100);
  event(4, 1000);
  event(1, 500);

  EXPECT_EQ(ui.progress_bar.back(), std::make_pair(10001, 5001));
}

}  // namespace
}  // namespace wingstow
