// Which package brought a path, and whether what a package listed is still
// there as installed.

#include "install/verify.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "install/install_fixture.h"
#include "platform/files.h"
#include "settings/record.h"
#include "settings/record_index.h"
#include "support/odd_entries.h"

namespace wingstow {
namespace {

class VerifyTest : public test::InstallFixture {
 protected:
  void SetUp() override {
    add("Jet/Jet/aircraft.cfg", "jet");
    add("Jet/Jet/panel/panel.cfg", "panel");
    add("Jet/gauges/shared.gau", "shared");
    add("Jet/gauges/jet.gau", "jet gauge");
    install_package(package("Jet"));
    finish("Jet");
    add("Prop/Prop/aircraft.cfg", "prop");
    add("Prop/gauges/shared.gau", "shared");
    install_package(package("Prop"));
    finish("Prop");
    tree.make_file("FS9/gauges/stock.gau", "stock");
  }
};

TEST_F(VerifyTest, OwnersOfSharedOwnAndForeignPaths) {
  const auto answers =
      owners_of(shared, {fs + "gauges/shared.gau", "AIRCRAFT\\Jet\\panel\\panel.cfg",
                         "gauges/stock.gau", "/elsewhere/aircraft/Jet"});
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[0].records, (std::vector<std::string>{unzip + "Jet.txt", unzip + "Prop.txt"}));
  EXPECT_EQ(answers[1].path, fs + "AIRCRAFT/Jet/panel/panel.cfg");
  EXPECT_EQ(answers[1].records, std::vector<std::string>{unzip + "Jet.txt"});
  EXPECT_EQ(answers[1].listed_as, fs + "AIRCRAFT/Jet");
  EXPECT_TRUE(answers[2].records.empty());
  EXPECT_TRUE(answers[3].records.empty());  // outside the simulator
}

// Listing the records, which installs are unfinished and which package
// folders lie there takes one listing of the unzip folder, however many
// records there are; verify asks it nothing more when told.
TEST_F(VerifyTest, TheUnzipFolderIsListedOncePerCommand) {
  for (int i = 0; i < 30; ++i) {
    const std::string name = "Pack" + std::to_string(i);
    tree.make_file("prog/unzip_fs2004/" + name + ".txt", fs + "aircraft/" + name + "\r\n");
    if (i % 3 == 0) tree.make_file("prog/unzip_fs2004/" + name + ".txt.installing", "");
  }
  for (const auto& record : record_candidates(unzip)) ASSERT_EQ(write_install_sums(record), 0);
  platform::watch_listings(unzip);
  const RecordFolder folder = list_records(unzip);
  EXPECT_EQ(platform::watched_listings(), 1u);
  EXPECT_EQ(folder.records.size(), 32u);  // Jet and Prop too
  EXPECT_EQ(folder.unfinished.size(), 10u);
  EXPECT_TRUE(folder.install_unfinished(unzip + "PACK3.txt"));
  EXPECT_FALSE(folder.install_unfinished(unzip + "Pack4.txt"));
  EXPECT_TRUE(folder.folders.contains("jet"));
  for (const auto& record : folder.records) {
    const bool unfinished = folder.install_unfinished(record);
    EXPECT_EQ(verify_record(record, unfinished).failure.empty(), !unfinished) << record;
  }
  EXPECT_EQ(platform::watched_listings(), 1u);
  platform::watch_listings({});
}

// Presence over many records: letter case aside, the folder's own spelling
// aside, and a cached listing that still tells what is missing.
TEST_F(VerifyTest, PresenceCacheAnswersAsTheLookUpDoes) {
  PresenceCache presence;
  const std::pair<std::string, bool> cases[] = {
      {fs + "gauges/stock.gau", true}, {fs + "GAUGES/STOCK.GAU", true},
      {fs + "gauges/Stock.gau", true}, {fs + "gauges/gone.gau", false},
      {fs + "Gauges/jet.gau", true},   {fs + "nowhere/stock.gau", false},
      {fs + "aircraft/JET/", true},    {fs + "aircraft/jet/PANEL/panel.cfg", true},
  };
  for (int round = 0; round < 2; ++round)
    for (const auto& [path, present] : cases)
      EXPECT_EQ(presence.exists(path), present) << path << " round " << round;
}

TEST_F(VerifyTest, FindsMissingAndChangedFiles) {
  const std::string record = unzip + "Jet.txt";
  EXPECT_FALSE(verify_record(record).has_sums);  // an install from before sums were kept
  ASSERT_EQ(write_install_sums(record), 0);
  const auto clean = verify_record(record);
  EXPECT_TRUE(clean.has_sums);
  EXPECT_EQ(clean.lines, 3u);
  EXPECT_TRUE(clean.problems.empty());

  std::filesystem::remove(fs + "aircraft/Jet/panel/panel.cfg");
  test::write_file(fs + "gauges/jet.gau", "jet GAUGE");  // same size
  test::write_file(fs + "aircraft/Jet/aircraft.cfg", "jet, edited");
  const auto found = verify_record(record);
  std::vector<std::string> problems;
  for (const auto& problem : found.problems) problems.push_back(problem.path + ": " + problem.what);
  EXPECT_EQ(problems, (std::vector<std::string>{
                          fs + "aircraft/Jet/aircraft.cfg: size changed (3 -> 11 bytes)",
                          fs + "aircraft/Jet/panel/panel.cfg: missing",
                          fs + "gauges/jet.gau: content changed"}));

  std::filesystem::remove_all(fs + "aircraft/Jet");
  const auto gone = verify_record(record);
  ASSERT_EQ(gone.problems.size(), 2u);  // the folder once, not each of its files
  EXPECT_EQ(gone.problems[0].path, fs + "aircraft/Jet");
}

// Verify says OK only when it compared every sum the install wrote: sums it
// cannot read whole, or that name a path the record does not list, are a
// failure that names them, and such a path is never opened.
TEST_F(VerifyTest, EverySumIsComparedOrVerifyFails) {
  using test::Entry;
  const std::string record = unzip + "Jet.txt";
  const std::string sums = sums_path(record);
  ASSERT_EQ(write_install_sums(record), 0);
  const std::string good = test::read_file(sums);
  const std::string secret = tree.make_file("outside/secret", "secret");
  const std::string jet = fs + "aircraft/Jet/";
  const auto verify = [record] {
    return test::returned<VerifyResult>([record] { return verify_record(record); });
  };

  const auto clean = verify();
  ASSERT_TRUE(clean);
  EXPECT_EQ(clean->failure, "");
  EXPECT_TRUE(clean->problems.empty());
  test::write_file(fs + "gauges/jet.gau", "jet GAUGE");
  const auto edited = verify();
  ASSERT_TRUE(edited && edited->problems.size() == 1u);
  EXPECT_EQ(edited->problems[0].what, "content changed");
  EXPECT_EQ(edited->failure, "");
  test::write_file(fs + "gauges/jet.gau", "jet gauge");

  // The four sums, each with its line end, and the end line.
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < good.size(); at = good.find('\n', at) + 1)
    lines.push_back(good.substr(at, good.find('\n', at) + 1 - at));
  ASSERT_EQ(lines.size(), 5u);
  ASSERT_EQ(lines[4], "end\t4\n");
  const std::string old_format = lines[0] + lines[1] + lines[2] + lines[3];
  std::filesystem::create_symlink(tree.path("outside"), jet + "escape");
  struct Case {
    const char* name;
    std::string text;  // of the sums
    std::string failure;
    std::string problem = {};  // the one problem
    std::optional<Entry> entry = {};
    std::function<void()> also = {};
  };
  const Case cases[] = {
      {"written before sums had an end line", old_format, ""},
      {"empty", "", sums + ": empty, so nothing could be compared"},
      {"no end line, the last sum gone", lines[0] + lines[1] + lines[2],
       "incomplete: it has no end line"},
      {"end line counts more", lines[0] + lines[2] + lines[3] + lines[4],
       "truncated: its end line counts 4 sum(s), 3 are there"},
      {"cut inside a line", good.substr(0, good.size() - 3), "line 5 has no line end"},
      {"a line that does not parse", "x" + good, "line 1 does not parse"},
      {"a path climbing out of its line",
       "6\t00000000\t" + jet + "../../../outside/secret\n" + good, "line 1 does not parse"},
      {"a path no line lists", "6\t00000000\t" + secret + "\n" + good,
       "line 1 names " + secret + ", which no line of " + record + " lists; it was not opened"},
      {"a path through a link below its line",
       "6\t00000000\t" + jet + "escape/secret\n" + old_format + "end\t5\n", "",
       jet + "escape/secret: not read: below a symbolic link, which is not followed"},
      {"a folder", "", sums + ": a folder, not a regular file", "", Entry::folder},
      {"a named pipe", "", sums + ": a named pipe, not a regular file", "", Entry::pipe},
      {"a socket", "", sums + ": a socket, not a regular file", "", Entry::socket},
      {"a link to good sums", "", sums + ": a symbolic link", "", Entry::link_to_file},
      {"a dangling link", "", sums + ": a symbolic link", "", Entry::dangling_link},
      {"larger than a record of 3 lines has",
       good,
       sums + ": larger than " + std::to_string(max_sums_bytes(3)) + " bytes",
       "",
       {},
       [&] { std::filesystem::resize_file(sums, max_sums_bytes(3) + 1); }},
      {"an unfinished install",
       good,
       "its install is unfinished (" + install_marker(record) + " is there)",
       "",
       {},
       [&] { mark_install_started(record); }},
  };
  const std::string copy = tree.make_file("good.sums", good);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.entry ? test::make_entry(sums, *c.entry, copy) : test::write_file(sums, c.text);
    if (c.also) c.also();
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, secret.c_str(), IN_OPEN), 0);
    const auto result = verify();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->failure.empty(), c.failure.empty()) << result->failure;
    EXPECT_NE(result->failure.find(c.failure), std::string::npos) << result->failure;
    ASSERT_EQ(result->problems.size(), c.problem.empty() ? 0u : 1u);
    for (const auto& problem : result->problems)
      EXPECT_EQ(problem.path + ": " + problem.what, c.problem);
    char event[256];
    EXPECT_EQ(::read(watch, event, sizeof event), -1) << "the file outside was opened";
    ::close(watch);
    test::remove_tree(sums);
    mark_install_finished(record);
  }
}

}  // namespace
}  // namespace wingstow
