#include "commands/catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>

#include "removal/removal.h"
#include "removal/removal_fixture.h"
#include "settings/record.h"
#include "settings/record_index.h"

namespace wingstow::test {
namespace {

using CatalogueTest = RemovalFixture;

TEST_F(CatalogueTest, CheckAllAndUncheckAllSetTheDeleteButton) {
  record("Alpha", {});
  record("Beta", {});
  catalogue();

  SpeedButton2Click(ui);
  EXPECT_EQ(ui.checked, (std::set<int>{0, 1}));
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), true);

  SpeedButton3Click(ui);
  EXPECT_TRUE(ui.checked.empty());
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), false);

  ui.checked = {1};  // the user ticks one box
  ListBox2ClickCheck(ui);
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), true);
  ui.checked.clear();
  ListBox2ClickCheck(ui);
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), false);
}

TEST_F(CatalogueTest, CheckAllAndUncheckAllLeaveAnEmptyCatalogueAlone) {
  catalogue();
  SpeedButton2Click(ui);
  SpeedButton3Click(ui);
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), std::nullopt);
  EXPECT_TRUE(ui.checked.empty());
}

// ASCII letters match in any case, other letters only as written; the
// match is a substring of any line; each airplane is named once, and the
// names are sorted without regard to case.
TEST_F(CatalogueTest, FindChecksAndNamesTheRecordsContainingTheText) {
  record("Alpha", {fs + "aircraft/Cessna_172", fs + "gauges/cessna.gau"});
  record("beta", {fs + "aircraft/Piper", fs + "sound/CESSNA_old.wav"});
  record("My Plane", {fs + "gauges/xcEsSnA.gau"});
  record("Zeta", {fs + "aircraft/Mooney"});
  record("\xC3\x89lan", {fs + "aircraft/\xC3\x89LAN"});  // "Élan"
  catalogue({"Zeta"});                                   // checked by hand before
  ui.texts["Edit3"] = "CESS";

  SpeedButton1Click(shared, ui);

  EXPECT_EQ(ui.found_list, (std::vector<std::string>{"Alpha", "beta", "My Plane"}));
  EXPECT_EQ(ui.checked, (std::set<int>{0, 1, 2}));  // Alpha, beta, My Plane
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), true);

  ui.texts["Edit3"] = "\xC3\xA9lan";  // "élan": only A to Z fold
  SpeedButton1Click(shared, ui);
  EXPECT_TRUE(ui.found_list.empty());
  EXPECT_TRUE(ui.checked.empty());
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), false);

  ui.texts["Edit3"] = "\xC3\x89lan";
  SpeedButton1Click(shared, ui);
  EXPECT_EQ(ui.found_list, std::vector<std::string>{"\xC3\x89lan"});
}

TEST_F(CatalogueTest, FindWithNothingToFindUnchecksEverything) {
  record("Alpha", {fs + "aircraft/Alpha"});
  catalogue({"Alpha"});
  ui.found_list = {"Alpha"};

  ui.texts["Edit3"] = "";  // an empty text is contained in no line
  SpeedButton1Click(shared, ui);
  EXPECT_TRUE(ui.checked.empty());
  EXPECT_TRUE(ui.found_list.empty());
  EXPECT_EQ(ui.enabled_state("SpeedButton8"), false);

  ui.tag.clear();  // no simulator selected yet
  ui.texts["Edit3"] = "alpha";
  SpeedButton1Click(shared, ui);
  EXPECT_TRUE(ui.checked.empty());
  EXPECT_TRUE(ui.found_list.empty());
}

TEST_F(CatalogueTest, EmptyingTheSearchTextClearsTheNamesButNotTheMarks) {
  ui.texts["Edit3"] = "a";
  Edit3Change(ui);
  EXPECT_EQ(ui.enabled_state("SpeedButton1"), true);

  ui.found_list = {"Alpha"};
  ui.checked = {0};
  ui.texts["Edit3"] = "";
  Edit3Change(ui);
  EXPECT_EQ(ui.enabled_state("SpeedButton1"), false);
  EXPECT_TRUE(ui.found_list.empty());
  EXPECT_EQ(ui.checked, std::set<int>{0});
}

TEST_F(CatalogueTest, SelectedAirplaneShowsThePictureOfItsPackageFolder) {
  record("Alpha", {});
  record("Beta", {});
  record("Gamma", {});
  tree.make_file("prog/unzip_fs2004/Alpha/shots/a.gif", "g");
  const auto jpeg = tree.make_file("prog/unzip_fs2004/Alpha/shots/b.jpg", "j");
  // A package folder spelled otherwise than its record: the picture is
  // handed over as the disk spells it, so that it can be opened.
  const auto gif = tree.make_file("prog/unzip_fs2004/BETA/b.gif", "g");
  catalogue();

  ListBox2Click(shared, ui);  // nothing selected
  EXPECT_FALSE(ui.pictures.contains("AdvImage2"));

  ui.catalogue_selected = 0;
  ListBox2Click(shared, ui);
  EXPECT_EQ(ui.pictures["AdvImage2"], jpeg);
  ui.catalogue_selected = 1;
  ListBox2Click(shared, ui);
  EXPECT_EQ(ui.pictures["AdvImage2"], gif);
  ui.catalogue_selected = 2;  // its package folder was deleted
  ListBox2Click(shared, ui);
  EXPECT_EQ(ui.pictures["AdvImage2"], "");
}

TEST_F(CatalogueTest, ListedInOtherRecordIgnoresAsciiCaseAndTheRecordItself) {
  const auto gauge = fs + "gauges/panel.gau";
  const auto alpha = record("Alpha", {gauge});
  EXPECT_FALSE(listed_in_other_record(shared, gauge, alpha));  // the only record

  const auto own = fs + "modules/beta.dll";
  const auto beta = record("Beta", {fs + "GAUGES/Panel.GAU", fs + "sound/engine.wav ", own});
  EXPECT_TRUE(listed_in_other_record(shared, gauge, alpha));
  EXPECT_TRUE(listed_in_other_record(shared, own, alpha));
  EXPECT_FALSE(listed_in_other_record(shared, own, beta));
  EXPECT_FALSE(listed_in_other_record(shared, fs + "sound/engine.wav", alpha));
  EXPECT_FALSE(listed_in_other_record(shared, fs + "gauges/other.gau", alpha));
}

// What "Delete from FS" counts once per run says what reading every record
// per line said: on a generated catalogue whose records share files spelled
// in any letter case, list some twice, and leave one after another.
TEST_F(CatalogueTest, RecordIndexAgreesWithTheLineByLineRule) {
  std::vector<std::string> pool;
  for (int i = 0; i < 8; ++i)
    pool.push_back(fs + (i % 2 ? "gauges/Panel" : "sound/Engine") + std::to_string(i) + ".gau");
  // The path's letters in upper case where the pattern's bits say so.
  const auto spelled = [](std::string path, unsigned pattern) {
    for (std::size_t i = 0; i < path.size(); ++i)
      if ((pattern >> (i % 16)) & 1u) path[i] = static_cast<char>(std::toupper(path[i]));
    return path;
  };
  std::mt19937 random(2024);
  std::vector<std::string> records;
  for (int r = 0; r < 12; ++r) {
    std::vector<std::string> lines;
    for (int l = 0; l < 4; ++l) lines.push_back(spelled(pool[random() % pool.size()], random()));
    if (r % 5 == 0) lines.push_back(lines.front());
    // And one of its own.
    lines.push_back(spelled(fs + "modules/own" + std::to_string(r) + ".dll", random()));
    records.push_back(record("R" + std::to_string(r), lines));
  }
  std::vector<std::string> probes;
  for (const auto& path : pool) {
    probes.push_back(path);
    probes.push_back(spelled(path, random()));
  }
  for (const int r : {0, 5, 11}) probes.push_back(fs + "MODULES/OWN" + std::to_string(r) + ".DLL");
  probes.push_back(fs + "gauges/unlisted.gau");

  RecordIndex index = RecordIndex::load(unzip);
  const auto agree = [&](const std::string& when) {
    for (const auto& asker : {records[0], records[5], records[11], unzip + "Gone.txt"})
      for (const auto& probe : probes)
        EXPECT_EQ(index.listed_by_others(probe, asker) != 0,
                  listed_in_other_record(shared, probe, asker))
            << when << ": " << probe << " asked by " << asker;
  };
  agree("all records");
  for (const int leaving : {5, 0, 7, 3}) {
    std::filesystem::remove(records[leaving]);
    index.forget(records[leaving]);
    agree("without R" + std::to_string(leaving));
  }
}

// A user's text file beside the records (notes, a flight log, a binary file
// named .txt) is named once and is no record: the catalogue, Find, the
// ownership index and removal work on the records as before.
TEST_F(CatalogueTest, TextFilesThatAreNoRecordBlockNothing) {
  const auto gauge = tree.make_file("FS9/gauges/alpha.gau", "a");
  struct Case {
    const char* name;
    std::string text;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"long line", std::string(70000, 'n') + "\r\n", "has a line longer than 65536 bytes"},
      {"many lines",
       [] {
         std::string text;
         for (std::size_t i = 0; i <= max_record_lines; ++i) text += "x\n";
         return text;
       }(),
       "holds more than 200000 lines"},
      {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "holds a NUL byte"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto notes = tree.make_file("prog/unzip_fs2004/notes.txt", c.text);
    record("Alpha", {gauge});
    shared.catalogue_notice.clear();
    ui.statuses.clear();

    catalogue();
    catalogue();

    EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{record_path("Alpha")});
    ASSERT_EQ(ui.statuses.size(), 1u);
    EXPECT_EQ(ui.statuses[0], "Left out of the installed packages: " + notes + " " + c.why +
                                  ": it is not a record");
    const auto index = RecordIndex::load(unzip);
    EXPECT_EQ(index.records(), std::vector<std::string>{record_path("Alpha")});
    ASSERT_EQ(index.not_records().size(), 1u);
    EXPECT_EQ(index.not_records()[0].path, notes);

    ui.texts["Edit3"] = "alpha";
    SpeedButton1Click(shared, ui);
    EXPECT_EQ(ui.found_list, std::vector<std::string>{"Alpha"});

    SpeedButton8Click(shared, ui);
    EXPECT_FALSE(std::filesystem::exists(gauge));
    EXPECT_FALSE(has_record("Alpha"));
    EXPECT_EQ(read_file(notes), c.text);
    tree.make_file("FS9/gauges/alpha.gau", "a");
  }
  // A link named like a record leads elsewhere: named too, never read.
  std::filesystem::remove(unzip + "notes.txt");
  const auto elsewhere = tree.make_file("outside/Other.txt", gauge + "\r\n");
  std::filesystem::create_symlink(elsewhere, unzip + "Linked.txt");
  record("Alpha", {gauge});
  shared.catalogue_notice.clear();
  ui.statuses.clear();
  catalogue();
  EXPECT_EQ(ui.catalogue_entries, std::vector<std::string>{record_path("Alpha")});
  EXPECT_EQ(ui.statuses, std::vector<std::string>{"Left out of the installed packages: " + unzip +
                                                  "Linked.txt is a symbolic link, which is not "
                                                  "followed: it is not a record"});
}

}  // namespace
}  // namespace wingstow::test
