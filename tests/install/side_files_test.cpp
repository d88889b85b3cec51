#include "install/side_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "install/install_fixture.h"
#include "platform/error.h"

namespace wingstow {
namespace {

using enum TFileAttrKind;
using test::copy_warning;
using test::InstallFixture;
using test::read_file;
using test::snapshot;
using Tree = std::map<std::string, std::string>;
using Texts = std::vector<std::string>;
using Failures = std::vector<std::pair<std::string, int>>;

// The package Cessna with its record as the aircraft step left it.
class SideFilesTest : public InstallFixture {
 protected:
  SideFilesTest() { start_record("Cessna"); }

  std::string head() const { return fs + "aircraft/Cessna\r\n"; }
  Tree folder(const std::string& relative) const { return snapshot(fs + relative); }

  const std::string pkg = package("Cessna");
};

TEST_F(SideFilesTest, GaugesAreCopiedFlatInFinderOrder) {
  add("Cessna/panel/gauge2.gau", "g2");
  add("Cessna/gauge1.gau", "g1");
  add("Cessna/panel/sub/Gauge3.GAU", "g3");
  add("Cessna/panel/panel.cfg");

  install_gauges(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"), head() + lines({fs + "gauges/gauge1.gau", fs + "gauges/gauge2.gau",
                                              fs + "gauges/Gauge3.GAU"}));
  EXPECT_EQ(folder("gauges/"),
            (Tree{{"gauge1.gau", "g1"}, {"gauge2.gau", "g2"}, {"Gauge3.GAU", "g3"}}));
  EXPECT_TRUE(ui.messages.empty());
}

// A gauge that was there and that no record lists is the simulator's own:
// never listed, so never removed. Of two files of one name the first wins.
TEST_F(SideFilesTest, ExistingGaugeIsKeptAndNotRecordedFirstFoundWins) {
  tree.make_file("FS9/gauges/gauge1.gau", "the simulator's");
  add("Cessna/panel/gauge1.gau", "the package's");
  add("Cessna/a/shared.gau", "first");
  add("Cessna/b/shared.gau", "second");

  install_gauges(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"), head() + lines({fs + "gauges/shared.gau"}));
  EXPECT_EQ(folder("gauges/"), (Tree{{"gauge1.gau", "the simulator's"}, {"shared.gau", "first"}}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SideFilesTest, CabinetsModulesFlightsAndWeatherGoToTheirFolders) {
  add("Cessna/panel/cessna.cab", "cab");
  add("Cessna/modules/fsuipc.dll", "dll");
  add("Cessna/flights/Cessna.flt", "flt");
  add("Cessna/flights/Cessna.wx", "wx");

  install_cab_gauges(shared, ui, state, pkg);
  install_modules(shared, ui, state, pkg);
  install_flights(shared, ui, state, pkg);
  install_weather(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"),
            head() + lines({fs + "gauges/cessna.cab", fs + "modules/fsuipc.dll",
                            fs + "flights/myflts/Cessna.flt", fs + "flights/myflts/Cessna.wx"}));
  EXPECT_EQ(folder("gauges/"), (Tree{{"cessna.cab", "cab"}}));
  EXPECT_EQ(folder("modules/"), (Tree{{"fsuipc.dll", "dll"}}));
  EXPECT_EQ(folder("flights/"),
            (Tree{{"myflts/", ""}, {"myflts/Cessna.flt", "flt"}, {"myflts/Cessna.wx", "wx"}}));
}

TEST_F(SideFilesTest, NothingFoundLeavesRecordAndSimulatorAlone) {
  std::filesystem::remove(fs + "modules");
  add("Cessna/aircraft.cfg");
  const Tree before = snapshot(tree.root());

  install_gauges(shared, ui, state, pkg);
  install_cab_gauges(shared, ui, state, pkg);
  install_sounds(shared, ui, state, pkg);
  install_modules(shared, ui, state, pkg);
  install_flights(shared, ui, state, pkg);
  install_weather(shared, ui, state, pkg);
  install_effects(shared, ui, state, pkg);

  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SideFilesTest, MissingRecordIsAnErrorBeforeAnythingIsCopied) {
  std::filesystem::remove(unzip + "Cessna.txt");
  std::filesystem::remove(fs + "gauges");
  add("Cessna/panel/gauge1.gau");
  const Tree before = snapshot(tree.root());

  EXPECT_THROW(install_gauges(shared, ui, state, pkg), Error);
  EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(SideFilesTest, SoundAlreadyThereIsNeitherCopiedNorRecorded) {
  tree.make_file("FS9/sound/engine.wav", "the simulator's");
  add("Cessna/Sounds/engine.wav", "the package's");
  add("Cessna/Sounds/prop.wav", "prop");

  install_sounds(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"), head() + lines({fs + "sound/prop.wav"}));
  EXPECT_EQ(folder("sound/"), (Tree{{"engine.wav", "the simulator's"}, {"prop.wav", "prop"}}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SideFilesTest, OneSoundConfigurationKeepsTheAirplanesOwnSounds) {
  add("Cessna/Cessna/sound/sound.cfg");
  add("Cessna/Cessna/sound/c172_engine.wav");
  add("Cessna/Cessna/sound/extra/deeper.wav", "deeper");
  add("Cessna/Sounds/cessna_engine.wav", "engine");

  install_sounds(shared, ui, state, pkg);

  // Only the folder holding sound.cfg is left out, not the ones below it.
  EXPECT_EQ(record("Cessna"),
            head() + lines({fs + "sound/deeper.wav", fs + "sound/cessna_engine.wav"}));
  EXPECT_EQ(folder("sound/"), (Tree{{"cessna_engine.wav", "engine"}, {"deeper.wav", "deeper"}}));
}

TEST_F(SideFilesTest, TwoSoundConfigurationsInstallEverySound) {
  add("Cessna/A/sound/sound.cfg");
  add("Cessna/A/sound/a.wav", "a");
  add("Cessna/B/sound/sound.cfg");
  add("Cessna/B/sound/b.wav", "b");

  install_sounds(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"), head() + lines({fs + "sound/a.wav", fs + "sound/b.wav"}));
  EXPECT_EQ(folder("sound/"), (Tree{{"a.wav", "a"}, {"b.wav", "b"}}));
}

TEST_F(SideFilesTest, FolderNamedLikeASoundIsListedAndItsCopyFails) {
  add("Cessna/Sounds/new.wav", "new");
  add("Cessna/Sounds/old.wav/inside.wav", "inside");

  install_sounds(shared, ui, state, pkg);

  EXPECT_TRUE(ui.messages.empty());  // told once, when the package is done
  EXPECT_EQ(failures(), (Failures{{fs + "sound/old.wav", EISDIR}}));
  EXPECT_EQ(record("Cessna"), head() + lines({fs + "sound/new.wav", fs + "sound/inside.wav"}));
  EXPECT_EQ(folder("sound/"), (Tree{{"inside.wav", "inside"}, {"new.wav", "new"}}));
}

TEST_F(SideFilesTest, EachStepSetsTheFinderAttributesItReliesOn) {
  add("Cessna/Sounds/a.wav");
  add("Cessna/decoy.dll/readme.txt");
  add("Cessna/decoy.flt/readme.txt");

  install_sounds(shared, ui, state, pkg);
  EXPECT_EQ(shared.FindFile1.FileAttr, TFileAttr{ffaDirectory});
  install_modules(shared, ui, state, pkg);
  install_flights(shared, ui, state, pkg);

  EXPECT_EQ(shared.FindFile1.FileAttr, TFileAttr{});
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(record("Cessna"), head() + lines({fs + "sound/a.wav"}));
}

TEST_F(SideFilesTest, FirstEffectInAnAirplaneFolderMeansNoTextures) {
  add("Cessna/effects/fx_smoke.fx", "smoke");
  add("Cessna/effects/fx_exhaust.fx", "exhaust");
  add("Cessna/effects/texture/fx_1.bmp", "t1");
  add("Cessna/effects/fx_2.bmp", "t2");
  add("Cessna/Cessna/aircraft.cfg");
  add("Cessna/Cessna/texture/livery.bmp");  // outside the effects folder
  add("Cessna/Cessna/extra.fx", "extra");

  install_effects(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"), head() + lines({fs + "effects/extra.fx", fs + "effects/fx_exhaust.fx",
                                              fs + "effects/fx_smoke.fx"}));
  EXPECT_EQ(folder("effects/"),
            (Tree{{"extra.fx", "extra"}, {"fx_exhaust.fx", "exhaust"}, {"fx_smoke.fx", "smoke"}}));
}

TEST_F(SideFilesTest, EffectsAndTheTexturesOfTheFirstEffectsFolder) {
  add("Cessna/effects/fx_smoke.fx", "smoke");
  add("Cessna/effects/texture/fx_1.bmp", "t1");
  add("Cessna/effects/fx_2.bmp", "t2");
  add("Cessna/other/fx_other.fx", "other");
  add("Cessna/other/other.bmp");

  install_effects(shared, ui, state, pkg);

  EXPECT_EQ(record("Cessna"),
            head() + lines({fs + "effects/fx_smoke.fx", fs + "effects/fx_other.fx",
                            fs + "effects/texture/fx_2.bmp", fs + "effects/texture/fx_1.bmp"}));
  EXPECT_EQ(folder("effects/"), (Tree{{"fx_other.fx", "other"},
                                      {"fx_smoke.fx", "smoke"},
                                      {"texture/", ""},
                                      {"texture/fx_1.bmp", "t1"},
                                      {"texture/fx_2.bmp", "t2"}}));
}

TEST_F(SideFilesTest, FlightsWithoutTheSimulatorsFlightsFolderFail) {
  std::filesystem::remove(fs + "flights");
  add("Cessna/Cessna.flt");
  add("Cessna/Cessna.wx");

  install_flights(shared, ui, state, pkg);
  install_weather(shared, ui, state, pkg);

  EXPECT_EQ(failures(), (Failures{{fs + "flights/myflts/Cessna.flt", ENOENT},
                                  {fs + "flights/myflts/Cessna.wx", ENOENT}}));
  EXPECT_EQ(record("Cessna"), head());
  EXPECT_FALSE(std::filesystem::exists(fs + "flights"));
}

TEST_F(SideFilesTest, FailedCopyShowsTheSystemErrorAndTheStepGoesOn) {
  std::filesystem::remove(fs + "gauges");
  tree.make_file("FS9/gauges", "a file where the folder should be");
  add("Cessna/panel/a.gau");
  add("Cessna/panel/b.gau");
  add("Cessna/panel/c.cab");

  install_gauges(shared, ui, state, pkg);
  install_cab_gauges(shared, ui, state, pkg);

  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(failures(), (Failures{{fs + "gauges/a.gau", ENOTDIR},
                                  {fs + "gauges/b.gau", ENOTDIR},
                                  {fs + "gauges/c.cab", ENOTDIR}}));
  EXPECT_EQ(record("Cessna"), head());
}

TEST_F(SideFilesTest, NamesWithLineBreaksAreNeitherInstalledNorRecorded) {
  add("Cessna/panel/bad\nname.gau");
  add("Cessna/panel/good.gau", "good");
  add("Cessna/Sounds/bad\rname.wav");

  install_gauges(shared, ui, state, pkg);
  install_sounds(shared, ui, state, pkg);

  EXPECT_EQ(failures(), (Failures{{fs + "gauges/bad\nname.gau", EINVAL},
                                  {fs + "sound/bad\rname.wav", EINVAL}}));
  EXPECT_EQ(record("Cessna"), head() + lines({fs + "gauges/good.gau"}));
  EXPECT_EQ(folder("gauges/"), (Tree{{"good.gau", "good"}}));
  EXPECT_TRUE(folder("sound/").empty());
}

}  // namespace
}  // namespace wingstow
