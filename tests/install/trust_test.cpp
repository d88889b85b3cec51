// What an install may take back: only what it brought. Files and airplane
// folders that were there before survive install and removal; files two
// packages share go with the last of them; full disks and killed processes
// leave no half file, an honest message and a command that runs again to
// its end.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "commands/package_buttons.h"
#include "install/install_command.h"
#include "install/install_fixture.h"
#include "install/trust_fixture.h"
#include "packages/zip_master.h"
#include "platform/error.h"
#include "platform/faults.h"
#include "removal/removal.h"
#include "settings/record.h"
#include "settings/simulator.h"

namespace wingstow {
namespace {

using platform::FaultPoint;
using test::has_temporaries;
using test::read_file;
using test::snapshot;
using test::Tree;
using TrustTest = test::TrustFixture;

TEST_F(TrustTest, WhatWasThereBeforeSurvivesInstallAndRemoval) {
  tree.make_file("FS9/gauges/stock.gau", "the simulator's");
  tree.make_file("FS9/modules/user.dll", "the user's");
  tree.make_file("FS9/aircraft/Stock/aircraft.cfg", "stock cfg");
  tree.make_file("FS9/aircraft/Stock/model/stock.mdl", "stock model");
  const Tree before = snapshot(fs);
  // One airplane goes in under the package's name.
  add("Stock/Plane/aircraft.cfg", "package cfg");
  add("Stock/Plane/model/stock.mdl", "package model");
  add("Stock/Plane/model/extra.mdl", "extra");
  add("Stock/Plane/texture.new/skin.bmp", "skin");
  add("Stock/panel/stock.gau", "package gauge");
  add("Stock/panel/new.gau", "new gauge");
  add("Stock/modules/user.dll", "package module");

  install({"Stock"});

  EXPECT_EQ(record_of("Stock"),
            (std::vector<std::string>{fs + "aircraft/Stock/model/extra.mdl",
                                      fs + "aircraft/Stock/texture.new", fs + "gauges/new.gau"}));
  EXPECT_EQ(read_file(fs + "gauges/stock.gau"), "the simulator's");
  EXPECT_EQ(read_file(fs + "aircraft/Stock/model/stock.mdl"), "stock model");
  EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004");

  remove({"Stock"});

  EXPECT_EQ(snapshot(fs), before);
  EXPECT_FALSE(has_record("Stock"));
}

TEST_F(TrustTest, SharedFileGoesWithItsLastOwner) {
  add("A/A/aircraft.cfg");
  add("A/panel/shared.gau", "from A");
  add("B/B/aircraft.cfg");
  add("B/panel/shared.gau", "from B");
  install({"A"});
  install({"B"});
  EXPECT_EQ(record_of("B"),
            (std::vector<std::string>{fs + "aircraft/B", fs + "gauges/shared.gau"}));

  remove({"A"});
  EXPECT_EQ(read_file(fs + "gauges/shared.gau"), "from A");
  remove({"B"});
  EXPECT_FALSE(std::filesystem::exists(fs + "gauges/shared.gau"));
}

TEST_F(TrustTest, AirplaneFolderOfAnotherPackageIsNotInstalledInto) {
  // Two airplanes each, so that each goes in under its folder's name.
  add("First/Plane/aircraft.cfg", "first");
  add("First/Other/aircraft.cfg", "other");
  add("Second/Plane/aircraft.cfg", "second");
  add("Second/Plane/extra.txt", "second's extra");
  add("Second/Third/aircraft.cfg", "third");
  add("Second/panel/second.gau", "gauge");
  install({"First"});
  ui.messages.clear();

  install({"Second"});

  ASSERT_EQ(ui.messages.size(), 2u);  // the several-airplanes question first
  EXPECT_EQ(ui.messages[1].kind, MessageKind::warning);
  EXPECT_EQ(ui.messages[1].text, "The airplane folder " + fs +
                                     "aircraft/Plane was not installed: it belongs to the "
                                     "installed package First (" +
                                     unzip + "First.txt)");
  EXPECT_EQ(record_of("Second"),
            (std::vector<std::string>{fs + "aircraft/Third", fs + "gauges/second.gau"}));
  EXPECT_FALSE(std::filesystem::exists(fs + "aircraft/Plane/extra.txt"));

  remove({"Second"});
  EXPECT_EQ(read_file(fs + "aircraft/Plane/aircraft.cfg"), "first");
}

TEST_F(TrustTest, AirplanesOfOneNameInOnePackageShareOneLine) {
  add("Pack/v1/Plane/aircraft.cfg", "v1");
  add("Pack/v2/Plane/aircraft.cfg", "v2");
  add("Pack/v2/Plane/v2.txt", "only in v2");

  install({"Pack"});

  EXPECT_EQ(record_of("Pack"), std::vector<std::string>{fs + "aircraft/Plane"});
  EXPECT_EQ(read_file(fs + "aircraft/Plane/aircraft.cfg"), "v1");
  EXPECT_EQ(read_file(fs + "aircraft/Plane/v2.txt"), "only in v2");
}

// A disk that fills up during the copies: every file that is there is whole,
// one message tells how many failed, the status does not claim the end, and
// Install run again once there is room completes the package.
TEST_F(TrustTest, DiskFullDuringTheCopiesThenInstallAgain) {
  add("Pack/Plane/aircraft.cfg", "cfg");
  for (const char* name : {"w", "x", "y", "z"})
    add("Pack/Plane/" + std::string(name) + ".bmp", std::string(5000, name[0]));
  {
    const platform::FaultScope faults;
    // The record and aircraft.cfg go in; from the third write on the disk is full.
    platform::inject_persistent_fault(FaultPoint::write, 3, ENOSPC);
    install({"Pack"});
  }
  const Tree after = snapshot(fs);
  EXPECT_FALSE(has_temporaries(after));
  EXPECT_EQ(snapshot(fs + "aircraft/Pack/"), (Tree{{"aircraft.cfg", "cfg"}}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::warning);
  EXPECT_EQ(ui.messages[0].text,
            "Pay attention, problem encountered during the copy 28  memo1.Lines[count0]\n"
            "4 files of Pack could not be copied:\n" +
                fs + "aircraft/Pack/w.bmp: No space left on device\n" + fs +
                "aircraft/Pack/x.bmp: No space left on device\n" + fs +
                "aircraft/Pack/y.bmp: No space left on device\n" + fs +
                "aircraft/Pack/z.bmp: No space left on device\n"
                "The details could not be written: Input/output error 28 (No space left on "
                "device) on " +
                unzip + "Pack.txt.err");
  EXPECT_EQ(ui.statuses.back(), "Copy into fs2004 incomplete: Pack (4 not copied)");
  // The log beside the record could not be written either: the disk is full.
  EXPECT_FALSE(std::filesystem::exists(unzip + "Pack.txt.err"));

  ui.messages.clear();
  install({"Pack"});

  EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
  EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004");
  EXPECT_EQ(record_of("Pack"), std::vector<std::string>{fs + "aircraft/Pack"});
  EXPECT_EQ(read_file(fs + "aircraft/Pack/z.bmp"), std::string(5000, 'z'));
  EXPECT_FALSE(std::filesystem::exists(unzip + "Pack.txt.installing"));
}

// When the disk is full, the record cannot take the next step's lines
// either: one message tells the failed copies and the error, the command
// ends, and Install run again later completes the package.
TEST_F(TrustTest, DiskFullForTheCopiesAndTheRecord) {
  add("Pack/Plane/aircraft.cfg", "cfg");
  add("Pack/Plane/a.bmp", "a");
  add("Pack/panel/g.gau", "g");
  {
    const platform::FaultScope faults;
    platform::inject_persistent_fault(FaultPoint::write, 3, ENOSPC);
    install({"Pack"});
  }
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::error);
  EXPECT_NE(ui.messages[0].text.find("1 file of Pack could not be copied:"), std::string::npos);
  EXPECT_NE(ui.messages[0].text.find("\nThe install stopped: Input/output error 28 (No space left "
                                     "on device) on " +
                                     unzip + "Pack.txt"),
            std::string::npos)
      << ui.messages[0].text;
  EXPECT_FALSE(std::filesystem::exists(fs + "gauges/g.gau"));

  ui.messages.clear();
  install({"Pack"});
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(record_of("Pack"),
            (std::vector<std::string>{fs + "aircraft/Pack", fs + "gauges/g.gau"}));
  EXPECT_EQ(read_file(fs + "aircraft/Pack/a.bmp"), "a");
}

// An install that could not copy everything is taken back whole by removal,
// the mark of the unfinished install with it.
TEST_F(TrustTest, IncompleteInstallIsRemovedWhole) {
  add("Pack/Plane/aircraft.cfg", "cfg");
  add("Pack/panel/a.gau", "a");
  add("Pack/panel/b.gau", "b");
  const Tree before = snapshot(fs);
  {
    const platform::FaultScope faults;
    // The marker, the record, aircraft.cfg, the record again, then a.gau.
    platform::inject_fault(FaultPoint::create, 5, EACCES);
    install({"Pack"});
  }
  EXPECT_TRUE(std::filesystem::exists(unzip + "Pack.txt.installing"));
  EXPECT_EQ(ui.statuses.back(), "Copy into fs2004 incomplete: Pack (1 not copied)");

  remove({"Pack"});

  EXPECT_EQ(snapshot(fs), before);
  EXPECT_FALSE(has_record("Pack"));
  EXPECT_FALSE(std::filesystem::exists(unzip + "Pack.txt.installing"));
}

// A record that cannot be written stops the install before any copy and
// leaves no record behind, not even half a line.
TEST_F(TrustTest, DiskFullDuringTheRecordWrite) {
  add("Pack/Plane/aircraft.cfg", "cfg");
  add("Pack/panel/a.gau", "a");
  const Tree before = snapshot(fs);
  {
    const platform::FaultScope faults;
    platform::inject_persistent_fault(FaultPoint::write, 1, ENOSPC);
    EXPECT_THROW(install({"Pack"}), Error);
  }
  EXPECT_EQ(snapshot(fs), before);
  EXPECT_FALSE(has_record("Pack"));
  EXPECT_FALSE(has_temporaries(snapshot(unzip)));

  install({"Pack"});
  EXPECT_EQ(record_of("Pack"),
            (std::vector<std::string>{fs + "aircraft/Pack", fs + "gauges/a.gau"}));
}

// The window stops without warning in the middle of an install: killed.
// The next Install completes the package.
TEST_F(TrustTest, InstallKilledMidwayIsCompletedByTheNextInstall) {
  add("Pack/Plane/aircraft.cfg", "cfg");
  for (int i = 0; i < 30; ++i)
    add("Pack/Plane/texture/t" + std::to_string(i) + ".bmp", std::string(3000, 'a' + i % 26));
  for (int i = 0; i < 10; ++i) add("Pack/panel/g" + std::to_string(i) + ".gau", "gauge");

  for (int kill_at : {5, 25, 38}) {
    SCOPED_TRACE(kill_at);
    const int status = install_killed("Pack", [&](int pumps) { return pumps == kill_at; });
    ASSERT_TRUE(WIFSIGNALED(status));
    // Whatever is there carries its whole content.
    for (const auto& [path, content] : snapshot(fs + "aircraft/"))
      if (path.ends_with(".bmp")) {
        EXPECT_EQ(content.size(), 3000u) << path;
      }
    EXPECT_TRUE(has_record("Pack"));

    ui.messages.clear();
    install({"Pack"});

    EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
    EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004");
    EXPECT_EQ(record_of("Pack").size(), 11u);
    EXPECT_EQ(snapshot(fs + "aircraft/Pack/texture/").size(), 30u);
    EXPECT_EQ(snapshot(fs + "gauges/").size(), 10u);
    EXPECT_FALSE(has_temporaries(snapshot(fs)));

    remove({"Pack"});
    EXPECT_FALSE(has_record("Pack"));
    EXPECT_TRUE(snapshot(fs + "gauges/").empty());
  }
}

}  // namespace
}  // namespace wingstow
