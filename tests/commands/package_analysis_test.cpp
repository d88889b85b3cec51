// The checks a click on a package folder runs, and the marks of "View
// airplane already installed".

#include "commands/package_analysis.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "packages/packages_fixture.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using test::PackagesFixture;
using Texts = std::vector<std::string>;

constexpr const char* installed_text = " Already installed!";
constexpr const char* executable_text = "This airplane use an executable for the installation !";

class PackageAnalysisTest : public PackagesFixture {
 protected:
  // ListBox2 as refresh_catalogue leaves it: one record per name.
  void catalogue(std::initializer_list<const char*> names) {
    ui.catalogue_entries.clear();
    for (const char* name : names) ui.catalogue_entries.push_back(unzip + name + ".txt");
  }
  void airplane(const std::string& package) { add(package + "/Plane/aircraft.cfg"); }
};

// ---- The click checks

TEST_F(PackageAnalysisTest, InstalledPackageDisablesInstall) {
  airplane("Cessna");
  add("Cessna.txt");
  catalogue({"Cessna"});

  click_in(unzip, "Cessna");

  EXPECT_EQ(ui.statuses, (Texts{"", installed_text}));
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
}

TEST_F(PackageAnalysisTest, WithMultiSelectTheTextShowsAndInstallStays) {
  airplane("Cessna");
  add("Cessna/setup.exe");
  catalogue({"Cessna"});
  ui.prompt = true;

  click_in(unzip, "Cessna");

  EXPECT_EQ(ui.statuses, (Texts{"", installed_text, executable_text}));
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), true);
}

// An install that was cut short is finished by installing again.
TEST_F(PackageAnalysisTest, UnfinishedInstallKeepsInstallEnabled) {
  airplane("Cessna");
  add("Cessna.txt");
  add("Cessna.txt.installing");
  catalogue({"Cessna"});

  click_in(unzip, "Cessna");

  EXPECT_EQ(ui.statuses.back(), " Install not finished: Install to FS completes it");
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), true);
}

// The catalogue as last refreshed decides, not the disk.
TEST_F(PackageAnalysisTest, RecordDeletedByHandCountsUntilRefresh) {
  airplane("Cessna");
  catalogue({"Cessna"});

  click_in(unzip, "Cessna");

  EXPECT_EQ(ui.statuses.back(), installed_text);
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
}

TEST_F(PackageAnalysisTest, LetterCaseOfTheRecordNameCounts) {
  airplane("Cessna");
  add("cessna.txt");
  catalogue({"cessna"});

  click_in(unzip, "Cessna");
  EXPECT_EQ(ui.statuses, (Texts{""}));
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), true);

  SpeedButton12Click(shared, ui);
  EXPECT_EQ(caption_of("Cessna"), "Cessna");
}

TEST_F(PackageAnalysisTest, InstalledCheckLooksOnlyAtTheUnzipFolder) {
  tree.make_file("prog/download_fs2004/Cessna/Plane/aircraft.cfg");
  catalogue({"Cessna"});
  open(download);
  ui.click("Cessna");

  check_already_installed(shared, ui);

  EXPECT_TRUE(ui.statuses.empty());
  EXPECT_FALSE(ui.enabled_state("SpeedButton7").has_value());
}

// An executable anywhere below the package counts, whatever the searches
// before the click left in the finder.
TEST_F(PackageAnalysisTest, ExecutableDeepInThePackageIsFound) {
  airplane("Setup");
  add("Setup/disk1/bin/install.EXE");
  shared.FindFile1.InSubFolders = false;
  shared.FindFile1.FileAttr = {TFileAttrKind::ffaDirectory};

  click_in(unzip, "Setup");

  EXPECT_EQ(ui.statuses, (Texts{"", executable_text}));
  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
}

// ---- The marks

class MarkingTest : public PackageAnalysisTest {
 protected:
  void SetUp() override {
    add("Installed/setup.exe");   // installed wins over self installable...
    add("Installed/readme.txt");  // ...and over no aircraft.cfg
    add("SelfInst/disk1/setup.exe");
    airplane("Both");
    add("Both/setup.exe");
    add("NoPlane/readme.txt");
    tree.make_folder("prog/unzip_fs2004/Empty");
    airplane("Ready");
    add("Installed.txt", "record");
    add("Legacy", "a file named like a record");
    add("notes.txt");
    // The airplane in an inner archive (in any letter case), as Install finds it.
    tree.make_folder("prog/unzip_fs2004/Inner");
    tree.make_folder("prog/unzip_fs2004/Docs");
    test::write_zip(unzip + "Inner/cub.zip", {{"Cub/AIRCRAFT.CFG", "[fltsim.0]"}});
    test::write_zip(unzip + "Docs/manual.zip", {{"manual.txt", "read me"}});
    // No airplane, but what the side-file installers take, on disk or inner.
    add("Gauges/gauges/a.gau");
    add("Gauges/gauges/b.cab");
    tree.make_folder("prog/unzip_fs2004/Smoke");
    test::write_zip(unzip + "Smoke/fx.zip", {{"effects/fx_smoke.fx", "fx"}});
    // A repaint whose airplane is not in the simulator.
    add("Blue/texture.blue/t.bmp");
    add("Blue/readme.txt", "[fltsim.X]\ntitle=Jodel Blue\nsim=DR1050\nmodel=\ntexture=blue\n");
    catalogue({"Installed", "Legacy"});
    open(unzip);
  }
};

TEST_F(MarkingTest, EachPackageGetsOneMarkByPriority) {
  ui.enabled["SpeedButton7"] = true;

  SpeedButton12Click(shared, ui);

  EXPECT_EQ(caption_of(".."), " Parent");
  EXPECT_EQ(caption_of("Installed"), caption_already_installed);
  EXPECT_EQ(caption_of("SelfInst"), caption_self_installable);
  EXPECT_EQ(caption_of("Both"), caption_self_installable);
  EXPECT_EQ(caption_of("NoPlane"), caption_no_aircraft);
  EXPECT_EQ(caption_of("Empty"), caption_no_aircraft);
  EXPECT_EQ(caption_of("Ready"), "Ready");
  EXPECT_EQ(caption_of("Inner"), "Inner");
  EXPECT_EQ(caption_of("Docs"), caption_no_aircraft);
  EXPECT_EQ(caption_of("Gauges"), "##### 2 gauges #####");
  EXPECT_EQ(caption_of("Smoke"), "##### 1 effect #####");
  EXPECT_EQ(caption_of("Blue"), "##### livery for DR1050 (not installed) #####");
  EXPECT_EQ(ui.statuses.back(),
            "5 of 11 package(s) ready to install; 1 already installed, 2 self installable, 3 "
            "without aircraft.cfg");
  // Files keep their names, the installation records among them.
  EXPECT_EQ(caption_of("Installed.txt"), "Installed.txt");
  EXPECT_EQ(caption_of("Legacy"), "Legacy");
  EXPECT_EQ(caption_of("notes.txt"), "notes.txt");

  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
  EXPECT_EQ(ui.wait_cursor, (std::vector<bool>{true, false}));
  EXPECT_FALSE(ui.multi_select);
}

TEST_F(MarkingTest, AFreshPassForgetsEarlierMarksAndHighlights) {
  ui.items[static_cast<std::size_t>(ui.index_of("Ready"))].caption =
      std::string(caption_already_installed);
  ui.click("Ready");

  SpeedButton12Click(shared, ui);

  EXPECT_EQ(caption_of("Ready"), "Ready");
  for (const auto& item : ui.items) EXPECT_FALSE(item.highlighted) << item.path;
}

TEST_F(MarkingTest, RefreshBringsTheNamesBack) {
  SpeedButton12Click(shared, ui);
  ASSERT_EQ(caption_of("Installed"), caption_already_installed);

  ui.list_refresh();

  for (const char* name : {"Installed", "SelfInst", "Both", "NoPlane", "Empty", "Ready"})
    EXPECT_EQ(caption_of(name), name);
}

TEST_F(MarkingTest, MultiSelectComesBackAsThePromptSays) {
  ui.prompt = true;
  ui.multi_select = false;

  SpeedButton12Click(shared, ui);

  EXPECT_TRUE(ui.multi_select);
}

TEST_F(PackageAnalysisTest, AnotherFolderOnlyDisablesInstall) {
  tree.make_file("prog/download_fs2004/Installed/setup.exe");
  tree.make_folder("prog/download_fs2004/Empty");
  catalogue({"Installed"});
  open(download);
  ui.click("Empty");
  ui.enabled["SpeedButton7"] = true;
  const auto items = ui.items.size();
  const int refreshes = ui.refreshes;

  SpeedButton12Click(shared, ui);

  EXPECT_EQ(ui.enabled_state("SpeedButton7"), false);
  EXPECT_EQ(ui.items.size(), items);
  EXPECT_EQ(ui.refreshes, refreshes);
  EXPECT_EQ(caption_of("Installed"), "Installed");
  EXPECT_EQ(caption_of("Empty"), "Empty");
  EXPECT_TRUE(highlighted("Empty"));
  EXPECT_TRUE(ui.wait_cursor.empty());
  EXPECT_FALSE(ui.multi_select);
}

}  // namespace
}  // namespace wingstow
