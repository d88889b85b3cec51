// The dry run of Install: it changes nothing, and the install then does
// exactly what it said.

#include "install/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "install/install_command.h"
#include "install/install_fixture.h"
#include "packages/unzip.h"
#include "packages/zip_master.h"
#include "settings/record.h"

namespace wingstow {
namespace {

using test::snapshot;

class PlanTest : public test::InstallFixture {
 protected:
  void SetUp() override {
    tree.make_file("prog/unzip_fs2004/Other.txt", fs + "gauges/shared.gau\r\n");
    tree.make_file("FS9/gauges/shared.gau", "shared");
    tree.make_file("FS9/gauges/stock.gau", "stock");
    tree.make_file("FS9/aircraft/UserPlane/aircraft.cfg", "user's");
    add("Pack/NewJet/aircraft.cfg", "jet");
    add("Pack/NewJet/panel/panel.cfg", "panel");
    // A second airplane under the same folder name adds only what is new.
    add("Pack/More/NewJet/aircraft.cfg", "jet two");
    add("Pack/More/NewJet/checklist.txt", "checklist");
    add("Pack/UserPlane/aircraft.cfg", "theirs");
    add("Pack/UserPlane/texture/t.bmp", "texture");
    add("Pack/gauges/new.gau", "new");
    add("Pack/gauges/stock.gau", "other stock");
    add("Pack/gauges/shared.gau", "shared too");
    add("Pack/Sounds/engine.wav", "engine");
    add("Pack/flights/demo.flt", "flight");
    shared.fs_version = "fs2004";
  }
};

TEST_F(PlanTest, ChangesNothingAndInstallDoesWhatItSaid) {
  const auto before = snapshot(tree.root());

  const InstallPlan plan = plan_install(shared, package("Pack"));

  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_FALSE(plan.refused);
  EXPECT_EQ(plan.record, unzip + "Pack.txt");
  std::vector<std::string> kept;
  for (const auto& target : plan.kept)
    kept.push_back(target.target + ": " + kept_owner_text(target));
  EXPECT_EQ(kept, (std::vector<std::string>{
                      fs + "aircraft/UserPlane: simulator/user folder, completed: only what is "
                           "added is recorded",
                      fs + "aircraft/UserPlane/aircraft.cfg: simulator/user file, left alone and "
                           "not recorded",
                      fs + "gauges/shared.gau: shared with Other: recorded, not copied",
                      fs + "gauges/stock.gau: simulator/user file, left alone and not recorded"}));
  EXPECT_EQ(plan.notes,
            std::vector<std::string>{
                "More than one airplane will be installed , Do you want to continue ? "});
  std::int64_t bytes = 0;
  for (const auto& copy : plan.copies) bytes += copy.bytes;
  EXPECT_EQ(plan.bytes_needed, bytes);
  EXPECT_GT(plan.bytes_free, 0);

  install_package(package("Pack"));

  EXPECT_EQ(plan.lines, record_lines(unzip + "Pack.txt"));
  const auto after = snapshot(tree.root());
  std::set<std::string> made, planned;
  for (const auto& [path, content] : after)
    if (!before.contains(path) && !path.ends_with("/") && path.starts_with("FS9/"))
      made.insert(tree.root() + path);
  for (const auto& copy : plan.copies) {
    planned.insert(copy.target);
    EXPECT_EQ(test::read_file(copy.target), test::read_file(copy.source)) << copy.target;
  }
  EXPECT_EQ(planned, made);
  EXPECT_EQ(test::read_file(fs + "gauges/stock.gau"), "stock");
}

TEST_F(PlanTest, InstalledPackageIsRefusedAndUnfinishedOneCompleted) {
  install_package(package("Pack"));
  finish("Pack");
  const InstallPlan installed = plan_install(shared, package("Pack"));
  EXPECT_TRUE(installed.refused);
  EXPECT_EQ(installed.notes.back(), "Airplane already installed " + package("Pack"));

  // Cut short: the mark stays and one gauge never arrived.
  mark_install_started(unzip + "Pack.txt");
  std::filesystem::remove(fs + "gauges/new.gau");
  const InstallPlan plan = plan_install(shared, package("Pack"));
  EXPECT_FALSE(plan.refused);
  EXPECT_TRUE(plan.resumed);
  ASSERT_EQ(plan.copies.size(), 1u);
  EXPECT_EQ(plan.copies[0].target, fs + "gauges/new.gau");
  EXPECT_EQ(plan.lines, record_lines(unzip + "Pack.txt"));
}

// What an interrupted Unzip left is part of a package: neither planned nor
// installed as the whole of it.
TEST_F(PlanTest, InterruptedUnzipIsNeitherPlannedNorInstalled) {
  add("Pack/.wingstow-unzipping", "");
  const auto before = snapshot(tree.root());

  const InstallPlan plan = plan_install(shared, package("Pack"));
  EXPECT_TRUE(plan.refused);
  EXPECT_EQ(plan.notes, std::vector<std::string>{unzip_interrupted_text(package("Pack"))});

  ZipMaster zip(ui);
  std::vector<InstallResult> results;
  install_packages(shared, ui, zip, {package("Pack")},
                   [&](std::size_t, InstallResult result) { results.push_back(result); });
  EXPECT_EQ(results, std::vector<InstallResult>{InstallResult::not_installed});
  EXPECT_EQ(ui.message_texts(), std::vector<std::string>{unzip_interrupted_text(package("Pack"))});
  EXPECT_EQ(snapshot(tree.root()), before);
}

}  // namespace
}  // namespace wingstow
