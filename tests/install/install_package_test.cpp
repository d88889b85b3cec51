// The aircraft step and the side-file steps together, as the install command
// runs them on one package.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "install/install_fixture.h"

namespace wingstow {
namespace {

using test::InstallFixture;
using test::snapshot;
using Tree = std::map<std::string, std::string>;

class InstallPackageTest : public InstallFixture {};

TEST_F(InstallPackageTest, OneAirplaneOneGaugeOneSound) {
  add("Cessna/C172/aircraft.cfg", "cfg");
  add("Cessna/C172/panel/panel.cfg", "panel");
  add("Cessna/C172/panel/cessna_panel.gau", "gauge");
  add("Cessna/C172/sound/sound.cfg", "sounds");
  add("Cessna/C172/sound/c172_engine.wav", "own");
  add("Cessna/Sounds/cessna_engine.wav", "engine");

  install_package(package("Cessna"));

  EXPECT_EQ(shared.abort_flag, 0);
  EXPECT_EQ(record("Cessna"), fs + "aircraft/Cessna\r\n" + fs + "gauges/cessna_panel.gau\r\n" + fs +
                                  "sound/cessna_engine.wav\r\n");
  EXPECT_EQ(snapshot(fs), (Tree{{"aircraft/", ""},
                                {"aircraft/Cessna/", ""},
                                {"aircraft/Cessna/aircraft.cfg", "cfg"},
                                {"aircraft/Cessna/panel/", ""},
                                {"aircraft/Cessna/panel/panel.cfg", "panel"},
                                {"aircraft/Cessna/sound/", ""},
                                {"aircraft/Cessna/sound/sound.cfg", "sounds"},
                                {"aircraft/Cessna/sound/c172_engine.wav", "own"},
                                {"effects/", ""},
                                {"flights/", ""},
                                {"gauges/", ""},
                                {"gauges/cessna_panel.gau", "gauge"},
                                {"modules/", ""},
                                {"sound/", ""},
                                {"sound/cessna_engine.wav", "engine"}}));
  EXPECT_TRUE(ui.messages.empty());
  // The window is given a turn at least between every two files copied.
  EXPECT_GE(ui.pumps, 6);
}

TEST_F(InstallPackageTest, RefusedPackageInstallsNoSideFile) {
  add("Pack/A/aircraft.cfg");
  add("Pack/B/aircraft.cfg");
  add("Pack/panel/gauge1.gau");
  add("Pack/Sounds/engine.wav");
  ui.answers = {Answer::no};
  const Tree before = snapshot(fs);

  install_package(package("Pack"));

  EXPECT_EQ(shared.abort_flag, 1);
  EXPECT_FALSE(has_record("Pack"));
  EXPECT_EQ(snapshot(fs), before);
}

// Under Wine the simulator spells its folders with capitals; the files go
// into those folders while the record keeps the program's own spelling.
TEST_F(InstallPackageTest, SimulatorTreeSpelledAsUnderWine) {
  const std::string wine = tree.make_folder("WineFS9");
  for (const char* sub : {"Aircraft", "Sound", "Effects/Texture", "Modules", "Flights/MyFlts"})
    tree.make_folder("WineFS9/" + std::string(sub));
  tree.make_file("WineFS9/Gauges/CESSNA_PANEL.GAU", "the simulator's");
  shared.fs_path = wine;

  add("Piper/Piper/aircraft.cfg", "cfg");
  add("Piper/Piper/panel/cessna_panel.gau", "the package's");
  add("Piper/Piper/panel/piper.cab", "cab");
  add("Piper/Sounds/piper.wav", "wav");
  add("Piper/modules/piper.dll", "dll");
  add("Piper/flights/piper.flt", "flt");
  add("Piper/flights/piper.wx", "wx");
  add("Piper/effects/fx_piper.fx", "fx");
  add("Piper/effects/texture/fx_piper.bmp", "bmp");

  install_package(package("Piper"));

  EXPECT_EQ(record("Piper"),
            lines({wine + "aircraft/Piper", wine + "gauges/piper.cab", wine + "sound/piper.wav",
                   wine + "modules/piper.dll", wine + "flights/myflts/piper.flt",
                   wine + "flights/myflts/piper.wx", wine + "effects/fx_piper.fx",
                   wine + "effects/texture/fx_piper.bmp"}));
  EXPECT_EQ(snapshot(wine), (Tree{{"Aircraft/", ""},
                                  {"Aircraft/Piper/", ""},
                                  {"Aircraft/Piper/aircraft.cfg", "cfg"},
                                  {"Aircraft/Piper/panel/", ""},
                                  {"Aircraft/Piper/panel/piper.cab", "cab"},
                                  {"Effects/", ""},
                                  {"Effects/fx_piper.fx", "fx"},
                                  {"Effects/Texture/", ""},
                                  {"Effects/Texture/fx_piper.bmp", "bmp"},
                                  {"Flights/", ""},
                                  {"Flights/MyFlts/", ""},
                                  {"Flights/MyFlts/piper.flt", "flt"},
                                  {"Flights/MyFlts/piper.wx", "wx"},
                                  {"Gauges/", ""},
                                  {"Gauges/CESSNA_PANEL.GAU", "the simulator's"},
                                  {"Gauges/piper.cab", "cab"},
                                  {"Modules/", ""},
                                  {"Modules/piper.dll", "dll"},
                                  {"Sound/", ""},
                                  {"Sound/piper.wav", "wav"}}));
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace wingstow
