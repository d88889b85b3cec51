// Packages without an airplane: gauge, effects, sound, module and flight
// packs go in through the side-file installers and come out like airplanes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "check/airplane_check.h"
#include "install/side_files.h"
#include "install/trust_fixture.h"
#include "install/verify.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;
using test::read_file;

class PartsTest : public test::TrustFixture {};

// Each kind of pack is installed where its installer puts it, under a
// record of its name; a package with nothing installable, or its own
// installer, keeps its refusal.
TEST_F(PartsTest, EachPackInstallsAndComesOutLikeAnAirplane) {
  struct Case {
    const char* package;
    std::map<std::string, std::string> files;
    std::vector<std::string> installed;  // below the simulator
    std::string end;                     // the status at the end; or the refusal
  };
  const Case cases[] = {
      {"Gauges",
       {{"Gauges/gauges/BA36.gau", "g"}, {"Gauges/gauges/Radio.cab", "c"}},
       {"gauges/BA36.gau", "gauges/Radio.cab"},
       "End of copy into fs2004 (Gauges: 2 gauges)"},
      {"Effects",
       {{"Effects/effects/fx_smoke.fx", "fx"}, {"Effects/effects/texture/smoke.bmp", "bmp"}},
       {"effects/fx_smoke.fx", "effects/texture/smoke.bmp"},
       "End of copy into fs2004 (Effects: 1 effect, 1 effect texture)"},
      {"Module",
       {{"Module/fsuipc.dll", "dll"}},
       {"modules/fsuipc.dll"},
       "End of copy into fs2004 (Module: 1 module)"},
      {"Flights",
       {{"Flights/Paris.flt", "flt"}, {"Flights/Paris.wx", "wx"}},
       {"flights/myflts/Paris.flt", "flights/myflts/Paris.wx"},
       "End of copy into fs2004 (Flights: 1 flight, 1 weather file)"},
      {"Docs", {{"Docs/readme.txt", "text"}}, {}, "No airplane found, Installation not possible !"},
      {"Setup",
       {{"Setup/setup.exe", "MZ"}, {"Setup/gauges/x.gau", "g"}},
       {},
       "This airplane use an executable for the installation !"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.package);
    for (const auto& [path, content] : c.files) add(path, content);
    ui.messages.clear();
    install({c.package});
    if (c.installed.empty()) {
      ASSERT_FALSE(ui.messages.empty());
      EXPECT_EQ(ui.message_texts().front(), c.end);
      EXPECT_FALSE(has_record(c.package));
      continue;
    }
    EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
    EXPECT_EQ(ui.statuses.back(), c.end);
    std::vector<std::string> expected;
    for (const auto& path : c.installed) {
      expected.push_back(fs + path);
      EXPECT_TRUE(fs::exists(fs + path)) << path;
    }
    EXPECT_EQ(record_of(c.package), expected);
    EXPECT_TRUE(verify_record(unzip + c.package + ".txt").problems.empty());
    remove({c.package});
    EXPECT_FALSE(has_record(c.package));
    for (const auto& path : c.installed) EXPECT_FALSE(fs::exists(fs + path)) << path;
  }
}

// A pack inside another package's inner archive goes in the same way.
TEST_F(PartsTest, APackInAnInnerArchiveIsInstalledAlike) {
  tree.make_folder("prog/unzip_fs2004/Outer");
  test::write_zip(unzip + "Outer/gauges.zip", {{"gauges/BA36.gau", "g"}});
  install({"Outer"});
  EXPECT_EQ(ui.statuses.back(), "End of copy into fs2004 (Outer: 1 gauge)");
  EXPECT_EQ(record_of("Outer"), std::vector<std::string>{fs + "gauges/BA36.gau"});
  remove({"Outer"});
  EXPECT_FALSE(fs::exists(fs + "gauges/BA36.gau"));
}

// Inner 7z archives are extracted into file_zip like inner ZIPs.
TEST_F(PartsTest, AnInner7zIsExtractedLikeAnInnerZip) {
  if (std::system("7z i >/dev/null 2>&1") != 0) GTEST_SKIP() << "7z is not installed";
  const std::string stage = tree.make_folder("stage/gauges");
  test::write_file(stage + "/BA36.gau", "g");
  tree.make_folder("prog/unzip_fs2004/Outer7");
  const std::string command = "cd '" + tree.path("stage") + "' && 7z a -bso0 -bsp0 '" + unzip +
                              "Outer7/Gauges.7Z' gauges >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  install({"Outer7"});
  EXPECT_EQ(read_file(unzip + "Outer7/file_zip/gauges/BA36.gau"), "g");
  EXPECT_EQ(record_of("Outer7"), std::vector<std::string>{fs + "gauges/BA36.gau"});
}

// A gauge a pack and an airplane both bring stays until the last of them
// goes, whichever goes first; the simulator's own gauges stay throughout.
TEST_F(PartsTest, AGaugeSharedWithAnAirplaneStaysUntilTheLastGoes) {
  tree.make_file("FS9/gauges/stock.gau", "the simulator's");
  add("Pack/gauges/BA36.gau", "g");
  add("Plane/Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=Plane\r\nsim=plane\r\n");
  add("Plane/gauges/BA36.gau", "g");
  add("Plane/gauges/stock.gau", "another");
  for (bool pack_first : {true, false}) {
    SCOPED_TRACE(pack_first);
    install({"Pack"});
    install({"Plane"});
    EXPECT_EQ(record_of("Pack"), std::vector<std::string>{fs + "gauges/BA36.gau"});
    remove({pack_first ? "Pack" : "Plane"});
    EXPECT_TRUE(fs::exists(fs + "gauges/BA36.gau"));
    remove({pack_first ? "Plane" : "Pack"});
    EXPECT_FALSE(fs::exists(fs + "gauges/BA36.gau"));
    EXPECT_EQ(read_file(fs + "gauges/stock.gau"), "the simulator's");
  }
}

// The check of an airplane whose panel names a gauge it does not bring
// reports it until the gauge pack is in, and again once it is gone.
TEST_F(PartsTest, TheCheckOfAnAirplaneFollowsItsGaugePack) {
  add("Jodel/Jodel/aircraft.cfg",
      "[fltsim.0]\r\ntitle=Jodel\r\nsim=jodel\r\nmodel=\r\n"
      "panel=\r\nsound=\r\ntexture=\r\n");
  add("Jodel/Jodel/jodel.air", "air");
  add("Jodel/Jodel/model/j.mdl", "mdl");
  add("Jodel/Jodel/texture/t.bmp", "bmp");
  add("Jodel/Jodel/sound/sound.cfg", "[fltsim]\r\n");
  add("Jodel/Jodel/panel/panel.cfg", "[Window00]\r\ngauge00=BA36!Airspeed, 1,2\r\n");
  add("BA36/gauges/BA36.gau", "gauge");
  install({"Jodel"});
  const auto missing = [&] {
    std::size_t n = 0;
    for (const auto& finding : check_record(unzip + "Jodel.txt", fs).findings)
      n += finding.problem == Problem::missing_gauge;
    return n;
  };
  EXPECT_EQ(missing(), 1u);
  install({"BA36"});
  EXPECT_EQ(missing(), 0u);
  const auto owners = owners_of(shared, {fs + "gauges/BA36.gau"});
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(owners[0].records, std::vector<std::string>{unzip + "BA36.txt"});
  remove({"BA36"});
  EXPECT_EQ(missing(), 1u);
}

}  // namespace
}  // namespace wingstow
