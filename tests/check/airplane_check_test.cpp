// The airplane check on small airplanes made for each case, on a package
// before and after install, and on the sample the sample tool makes.

#include "check/airplane_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "check/check_json.h"

#include <QJsonArray>
#include "commands/package_analysis.h"
#include "install/install_aircraft.h"
#include "install/install_command.h"
#include "install/side_files.h"
#include "platform/error.h"
#include "support/recording_ui.h"
#include "support/simulator_fixture.h"
#include "support/temp_tree.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using test::TempTree;
using Files = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

// Markers among the contents: a folder, an entry taken away, a named pipe,
// and "-> path" a link to that path of the tree.
const std::string folder = "<folder>";
const std::string removed = "<removed>";
const std::string fifo = "<fifo>";

// A clean airplane FS9/Aircraft/Test: aircraft.cfg with the usual keys on
// lines 2 (title) to 7 (texture), what they name, a panel whose gauge lies
// in the simulator's gauges folder, and a sound.
Files clean_airplane() {
  return {{"FS9/Aircraft/Test/aircraft.cfg",
           "[fltsim.0]\r\ntitle=Test Plane\r\nsim=plane\r\nmodel=\r\npanel=\r\nsound=\r\n"
           "texture=\r\n"},
          {"FS9/Aircraft/Test/plane.air", "air"},
          {"FS9/Aircraft/Test/model/plane.mdl", "mdl"},
          {"FS9/Aircraft/Test/texture/plane.bmp", "BM"},
          {"FS9/Aircraft/Test/panel/panel.cfg", "[Window00]\r\ngauge00=Cessna!Airspeed, 1,2\r\n"},
          {"FS9/Aircraft/Test/sound/sound.cfg", "[fltsim]\r\n"},
          {"FS9/Aircraft/Other/aircraft.cfg", "[fltsim.0]\r\ntitle=Other Plane\r\n"},
          {"FS9/Gauges/Cessna.gau", "gauge"}};
}

struct Expected {
  Problem problem;
  std::string file;  // the end of the finding's file
  int line;
  std::string missing;  // part of the text
  std::size_t looked_in = 1;
};

struct Case {
  const char* name;
  Files changes;
  std::vector<Expected> expected;
  std::size_t notes = 0;
};

const std::string cfg = "FS9/Aircraft/Test/aircraft.cfg";
const std::string panel_cfg = "FS9/Aircraft/Test/panel/panel.cfg";

std::string with_key(const std::string& key, const std::string& value) {
  Files base = clean_airplane();
  std::string text = base[cfg];
  const auto at = text.find("\r\n" + key + "=") + 2;
  return text.replace(at, text.find("\r\n", at) - at, key + "=" + value);
}

void make(const TempTree& tree, const Files& files) {
  for (const auto& [path, content] : files) {
    if (content == removed) {
      test::remove_tree(tree.path(path));
    } else if (content == folder) {
      tree.make_folder(path);
    } else if (content == fifo) {
      test::remove_tree(tree.path(path));
      ASSERT_EQ(::mkfifo(tree.path(path).c_str(), 0600), 0);
    } else if (content.starts_with("-> ")) {
      test::remove_tree(tree.path(path));
      ASSERT_EQ(::symlink(tree.path(content.substr(3)).c_str(), tree.path(path).c_str()), 0);
    } else {
      tree.make_file(path, content);
    }
  }
}

TEST(AirplaneCheck, OneFaultPerAirplane) {
  const std::string huge =
      "[fltsim.0]\r\ntitle=Test Plane\r\n" + std::string(5 * 1024 * 1024, ';') + "\r\n";
  const std::string utf16 = [] {
    const std::string text = "[FltSim.0]\r\ntitle=Test Plane\r\nmodel=F16\r\n";
    std::string bytes = "\xFF\xFE";
    for (char c : text) bytes += {c, '\0'};
    return bytes;
  }();
  const std::vector<Case> cases = {
      {"clean", {}, {}},
      {"missing model.X",
       {{cfg, with_key("model", "F16")}},
       {{Problem::missing_folder, "aircraft.cfg", 4,
         "folder \"model.F16\" (model=F16) is missing"}}},
      {"missing texture.X",
       {{cfg, with_key("texture", "red")}},
       {{Problem::missing_folder, "aircraft.cfg", 7, "\"texture.red\""}}},
      {"missing .air",
       {{"FS9/Aircraft/Test/plane.air", removed}},
       {{Problem::missing_air_file, "aircraft.cfg", 3, "file \"plane.air\" (sim=plane)"}}},
      {"duplicate title across two airplanes",
       {{"FS9/Aircraft/Other/aircraft.cfg", "[fltsim.0]\r\ntitle=  test PLANE \r\n"}},
       {{Problem::duplicate_title, "aircraft.cfg", 2, "Other/aircraft.cfg", 0}}},
      {"duplicate title within one airplane",
       {{cfg, clean_airplane()[cfg] + "[fltsim.1]\r\ntitle=Test Plane\r\n"}},
       {{Problem::duplicate_title, "aircraft.cfg", 9, "[fltsim.0] of this file", 0}}},
      {"panel alias to a missing airplane",
       {{panel_cfg, "[fltsim]\r\nalias=Ghost\\panel\r\n"}},
       {{Problem::missing_alias_target, "panel.cfg", 2, "\"Ghost\\panel\""}}},
      {"sound alias to an airplane that is there",
       {{"FS9/Aircraft/Test/sound/sound.cfg", "[fltsim]\r\nalias=other\\SOUND\r\n"},
        {"FS9/Aircraft/Other/Sound", folder}},
       {}},
      {"gauge found in the panel folder as .cab",
       {{panel_cfg, "[Window00]\r\ngauge00=Radio!Com\r\n"},
        {"FS9/Aircraft/Test/panel/Radio.cab", "cab"}},
       {}},
      {"gauge found as a folder in gauges",
       {{panel_cfg, "[VCockpit01]\r\ngauge00=Folded\r\n"}, {"FS9/Gauges/Folded", folder}},
       {}},
      {"gauge missing everywhere, one finding for all its lines",
       {{panel_cfg,
         "[Window Titles]\r\nwindow00=Main\r\n[Window00]\r\ngauge00=Nowhere!a\r\n"
         "gauge01=Cessna!b\r\n[Window01]\r\ngauge00=nowhere!c\r\n"}},
       {{Problem::missing_gauge, "panel.cfg", 4, "gauge \"Nowhere\" is missing (used on 2 lines)",
         8}}},
      {"gauge found as .dll in gauges and in the panel folder",
       {{panel_cfg, "[Window00]\r\ngauge00=Dll!a\r\ngauge01=Own!b\r\n"},
        {"FS9/Gauges/dll.DLL", "MZ"},
        {"FS9/Aircraft/Test/panel/Own.dll", "MZ"}},
       {}},
      {"letter case never counts",
       {{cfg, removed},
        {"FS9/Aircraft/Test/AIRCRAFT.CFG",
         "[FLTSIM.0]\r\nTitle=Test Plane\r\nSIM=PLANE\r\nModel=F16\r\nPANEL=\r\nsound=\r\n"
         "Texture=Red\r\n"},
        {"FS9/Aircraft/Test/Model.f16", folder},
        {"FS9/Aircraft/Test/TEXTURE.RED", folder},
        {panel_cfg, removed},
        {"FS9/Aircraft/Test/panel/Panel.CFG",
         "[WINDOW00]\r\nGAUGE00=cessna!x\r\n[fltsim]\r\n[vcockpit01]\r\ngauge00=BIG!y\r\n"},
        {"FS9/Gauges/big.GAU", "gauge"}},
       {}},
      {"blanks, comments, LF, a byte-order mark",
       {{cfg,
         "\xEF\xBB\xBF// made by hand\n[ fltsim.0 ] ; first\ntitle = Test Plane ; ours\n"
         "sim = plane\nmodel = F16 // the jet\n"},
        {"FS9/Aircraft/Test/model.F16", folder}},
       {}},
      {"UTF-16", {{cfg, utf16}, {"FS9/Aircraft/Test/model.F16", folder}}, {}},
      {"huge file read in part", {{cfg, huge}}, {}, 1},
      {"binary file", {{cfg, std::string("\0\x01[fltsim.0\0]\xff", 14)}}, {}},
      {"a pipe is never opened",
       {{panel_cfg, fifo}},
       {{Problem::unreadable, "panel.cfg", 0, "not a regular file", 0}}},
      // Its text, from outside the simulator, must not reach a finding.
      {"a linked panel.cfg is not read",
       {{panel_cfg, "-> outside/panel.cfg"},
        {"outside/panel.cfg", "[Window00]\r\ngauge00=Secret!a\r\n"}},
       {{Problem::unreadable, "panel.cfg", 0, "a symbolic link, which is not followed", 0}}},
      {"a gap in the numbers",
       {{cfg, clean_airplane()[cfg] + "[fltsim.2]\r\ntitle=Never\r\n"}},
       {{Problem::unread_section, "aircraft.cfg", 8, "there is no [fltsim.1]", 0}}},
      {"no title",
       {{cfg, "[fltsim.0]\r\nsim=plane\r\n"}},
       {{Problem::missing_title, "aircraft.cfg", 1, "title= is missing", 0}}},
      {"panel folder without panel.cfg",
       {{panel_cfg, removed}, {"FS9/Aircraft/Test/panel/panel.bmp", "BM"}},
       {{Problem::missing_cfg, "panel.cfg", 0, "the simulator shows no panel"}}},
      {"empty panel folder, as AI airplanes have", {{panel_cfg, removed}}, {}},
      {"names leading out of the simulator are not looked up",
       {{panel_cfg, "[Window00]\r\ngauge00=..\\..\\Gauges\\Cessna!a\r\ngauge01=/etc/x!b\r\n"},
        {"FS9/Aircraft/Test/sound/sound.cfg", "[fltsim]\r\nalias=Other\\. .\\..\\x\r\n"},
        {cfg, with_key("texture", "\\..\\..\\Test\\texture")}},
       {{Problem::unsafe_name, "aircraft.cfg", 7, "outside the airplane folder", 0},
        {Problem::unsafe_name, "panel.cfg", 2, "outside the panel and gauges folders", 0},
        {Problem::unsafe_name, "panel.cfg", 3, "gauge \"/etc/x\"", 0},
        {Problem::unsafe_name, "sound.cfg", 2, "outside the simulator's aircraft folder", 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    make(tree, clean_airplane());
    make(tree, c.changes);
    const std::string fs = tree.path("FS9/");

    const CheckReport report = check_airplane(tree.path("FS9/Aircraft/Test"), fs);

    EXPECT_EQ(report.notes.size(), c.notes);
    ASSERT_EQ(report.findings.size(), c.expected.size()) << report_text(report);
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
      const Finding& found = report.findings[i];
      const Expected& want = c.expected[i];
      SCOPED_TRACE(finding_text(report, found));
      EXPECT_EQ(found.problem, want.problem);
      EXPECT_TRUE(found.file.ends_with(want.file));
      EXPECT_EQ(found.line, want.line);
      EXPECT_NE(found.missing.find(want.missing), std::string::npos);
      EXPECT_EQ(found.looked_in.size(), want.looked_in);
      EXPECT_EQ(found.airplane, tree.path("FS9/Aircraft/Test/"));
    }
  }
}

// Several missing gauges and a .dll: grouped by what is missing, one line
// each relative to the simulator, what it does and what to do, the places
// looked in once; a gauge a .dll provides is never reported missing, and
// one only a .dll in Modules has says so.
TEST(AirplaneCheck, GroupedReportSaysWhatToDo) {
  TempTree tree;
  make(tree, clean_airplane());
  make(tree, {{cfg, with_key("model", "F16")},
              {panel_cfg,
               "[Window Titles]\r\nWindow00=Main Panel\r\nWindow01=radio\r\n"
               "[Window00]\r\ngauge00=Cessna!Airspeed\r\ngauge01=Nowhere!a\r\n"
               "gauge02=Dllgauge!b\r\ngauge03=Modgauge!c\r\n"
               "[Window01]\r\ngauge00=BA36!Com\r\ngauge01=ba36!Nav\r\n"
               "[VCockpit01]\r\ngauge00=Nowhere!a\r\n"},
              {"FS9/Gauges/Dllgauge.dll", "MZ"},
              {"FS9/Modules/Modgauge.dll", "MZ"}});
  const std::string fs = tree.path("FS9/");
  const std::string plane = tree.path("FS9/Aircraft/Test/");

  const CheckReport report = check_airplane(plane, fs);

  EXPECT_EQ(report_text(report),
            "Airplane check of " + plane +
                "\n"
                "4 problem(s) found in 1 airplane(s)\n"
                "Paths below the simulator folder " +
                fs +
                " are relative to it\n"
                "Airplane(s): Aircraft/Test\n"
                "\n"
                "Missing gauges (2)\n"
                "  Aircraft/Test/panel/panel.cfg, line 6, [Window00]: gauge \"Nowhere\" is missing "
                "(used on 2 lines)\n"
                "    the panel's Main Panel and the virtual cockpit stay blank: the gauge file "
                "Nowhere.gau comes with the airplane's full package or its gauge pack; put it in "
                "Gauges\n"
                "    looked in: Aircraft/Test/panel, Gauges (as Nowhere.gau, .dll, .cab or a "
                "folder)\n"
                "  Aircraft/Test/panel/panel.cfg, line 10, [Window01]: gauge \"BA36\" is missing "
                "(used on 2 lines)\n"
                "    the panel's radio stays blank: the gauge file BA36.gau comes with the "
                "airplane's full package or its gauge pack; put it in Gauges\n"
                "    looked in: Aircraft/Test/panel, Gauges (as BA36.gau, .dll, .cab or a folder)\n"
                "\n"
                "Gauges that only a .dll in Modules provides (1)\n"
                "  Aircraft/Test/panel/panel.cfg, line 8, [Window00]: gauge \"Modgauge\" is there "
                "only as Modgauge.dll, which lies in Modules, where the panel does not look for "
                "gauges\n"
                "    the panel's Main Panel stays blank: the simulator loads Modgauge.dll as a "
                "gauge only from the panel folder or Gauges; copy Modgauge.dll from Modules into "
                "Gauges\n"
                "    looked in: Aircraft/Test/panel, Gauges (as Modgauge.gau, .dll, .cab or a "
                "folder)\n"
                "\n"
                "Missing folders (1)\n"
                "  Aircraft/Test/aircraft.cfg, line 4, [fltsim.0]: folder \"model.F16\" "
                "(model=F16) is missing\n"
                "    the simulator cannot show this airplane: the model folder comes with the "
                "airplane's full package; install that, or make model= in aircraft.cfg name a "
                "folder the airplane has\n"
                "    looked for: Aircraft/Test/model.F16\n");

  // Whole paths stay in the JSON, beside the relative ones and the groups.
  const QJsonObject json = report_json(report);
  const QJsonArray groups = json["groups"].toArray();
  ASSERT_EQ(groups.size(), 3);
  EXPECT_EQ(groups[0]["problem"].toString(), "missing_gauge");
  EXPECT_EQ(groups[1]["problem"].toString(), "gauge_in_modules");
  const QJsonArray gauges = groups[0]["findings"].toArray();
  ASSERT_EQ(gauges.size(), 2);
  const QJsonObject nowhere = json["findings"][gauges[0].toInt()].toObject();
  EXPECT_EQ(nowhere["relative_file"].toString(), "Aircraft/Test/panel/panel.cfg");
  EXPECT_EQ(nowhere["relative_places"].toArray(), (QJsonArray{"Aircraft/Test/panel", "Gauges"}));
  std::vector<std::string> looked_in;
  for (const auto& path : nowhere["looked_in"].toArray())
    looked_in.push_back(path.toString().toStdString());
  const std::string gauges_folder = fs + "Gauges/";
  EXPECT_EQ(looked_in,
            (std::vector<std::string>{plane + "panel/Nowhere.gau", plane + "panel/Nowhere.dll",
                                      plane + "panel/Nowhere.cab", plane + "panel/Nowhere/",
                                      gauges_folder + "Nowhere.gau", gauges_folder + "Nowhere.dll",
                                      gauges_folder + "Nowhere.cab", gauges_folder + "Nowhere/"}));
  EXPECT_EQ(json["text"].toString().toStdString(), report_text(report));
}

// A package of two airplanes: gauges and an alias target it brings count as
// there before install; after install the record's airplanes give the same
// finding, and so do the command line's names for them.
class PackageCheck : public test::SimulatorFixture {
 protected:
  PackageCheck() : SimulatorFixture({"Aircraft", "Gauges", "Sound"}) { ui.prompt = true; }

  PackageInstall state;

  void make_pack() {
    const std::string pack = "prog/unzip_fs2004/Pack/";
    make(tree,
         {{pack + "A/aircraft.cfg",
           "[fltsim.0]\r\ntitle=A\r\nsim=a\r\nmodel=\r\npanel=\r\nsound=\r\n"},
          {pack + "A/a.air", "air"},
          {pack + "A/model/a.mdl", "mdl"},
          {pack + "A/panel/panel.cfg", "[Window00]\r\ngauge00=packgauge!x\r\n"},
          {pack + "A/sound/sound.cfg", "[fltsim]\r\n"},
          {pack + "A/sound/a.wav", "RIFF"},
          {pack + "B/aircraft.cfg", "[fltsim.0]\r\ntitle=B\r\nsim=b\r\nsound=\r\ntexture=red\r\n"},
          {pack + "B/b.air", "air"},
          {pack + "B/sound/sound.cfg", "[fltsim]\r\nalias=a\\sound\r\n"},
          {pack + "gauges/packgauge.gau", "gauge"}});
    test::write_zip(tree.path(pack + "extra.zip"), {{"Cub/AIRCRAFT.CFG", "[fltsim.0]"}});
  }
};

TEST_F(PackageCheck, BeforeAndAfterInstallTheFindingsAgree) {
  make_pack();
  const std::string package = unzip + "Pack";

  const CheckReport before = check_package_folder(package, fs);

  ASSERT_EQ(before.findings.size(), 1u) << report_text(before);
  EXPECT_EQ(before.airplanes, (std::vector<std::string>{package + "/A/", package + "/B/"}));
  ASSERT_EQ(before.notes.size(), 1u);
  EXPECT_NE(before.notes[0].find(package + "/extra.zip"), std::string::npos);
  const QJsonObject json = report_json(before);
  EXPECT_EQ(json["problems"].toInt(), 1);
  EXPECT_EQ(json["findings"][0]["problem"].toString(), "missing_folder");
  EXPECT_EQ(check_package(package, fs, unzip).findings.size(), 1u);

  install_aircraft(shared, ui, state, package);
  install_gauges(shared, ui, state, package);
  const CheckReport after = check_record(unzip + "Pack.txt", fs);

  ASSERT_EQ(after.findings.size(), 1u) << report_text(after);
  EXPECT_EQ(after.subject, "Pack");
  EXPECT_EQ(after.airplanes, (std::vector<std::string>{fs + "Aircraft/A/", fs + "Aircraft/B/"}));
  const Finding& a = before.findings[0];
  const Finding& b = after.findings[0];
  EXPECT_EQ(std::tie(a.problem, a.line, a.section, a.missing),
            std::tie(b.problem, b.line, b.section, b.missing));
  EXPECT_EQ(b.looked_in, (std::vector<std::string>{fs + "Aircraft/B/texture.red/"}));
  EXPECT_EQ(report_text(check_package("Pack", fs, unzip)), report_text(after));
  EXPECT_EQ(report_text(check_package("Pack.txt", fs, unzip)), report_text(after));

  // Gone by hand: the catalogue's airplane is missing from the simulator.
  test::remove_tree(fs + "Aircraft/A");
  const CheckReport gone = check_record(unzip + "Pack.txt", fs);
  ASSERT_EQ(gone.findings.size(), 3u) << report_text(gone);
  EXPECT_EQ(gone.findings[0].problem, Problem::missing_airplane);
  EXPECT_EQ(gone.findings[1].problem, Problem::missing_folder);
  EXPECT_EQ(gone.findings[2].problem, Problem::missing_alias_target);

  EXPECT_THROW(check_package("Nothing", fs, unzip), Error);
}

// A gauge the package brings as .dll: Install puts it into the modules
// folder, where no panel looks, so the check says so before and after
// install, and nothing once the .dll is in the gauges folder.
TEST_F(PackageCheck, AGaugeThePackageBringsAsDllIsToldWhereItGoes) {
  const std::string pack = "prog/unzip_fs2004/Dll/";
  make(tree, {{pack + "Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=D\r\npanel=\r\n"},
              {pack + "Plane/panel/panel.cfg", "[Window00]\r\ngauge00=Radio!Com\r\n"},
              {pack + "gauges/RADIO.DLL", "MZ"}});
  const std::string package = unzip + "Dll";

  const CheckReport before = check_package_folder(package, fs);

  ASSERT_EQ(before.findings.size(), 1u) << report_text(before);
  EXPECT_EQ(before.findings[0].problem, Problem::gauge_in_modules);
  EXPECT_NE(before.findings[0].missing.find("only as Radio.dll, which Install puts in Modules"),
            std::string::npos);
  EXPECT_NE(finding_text(before, before.findings[0])
                .find("looked in: Dll/Plane/panel, Gauges, Dll (as Radio.gau"),
            std::string::npos)
      << finding_text(before, before.findings[0]);

  install_aircraft(shared, ui, state, package);
  install_modules(shared, ui, state, package);
  const CheckReport after = check_record(unzip + "Dll.txt", fs);
  ASSERT_EQ(after.findings.size(), 1u) << report_text(after);
  EXPECT_EQ(after.findings[0].problem, Problem::gauge_in_modules);
  EXPECT_NE(after.findings[0].meaning.find("copy Radio.dll from Modules into Gauges"),
            std::string::npos);

  tree.make_file("FS9/Gauges/radio.dll", "MZ");
  EXPECT_TRUE(check_record(unzip + "Dll.txt", fs).findings.empty());
}

// What Install takes as the package's airplanes is what the check looks at:
// an airplane that completes one of the simulator has what that one has, a
// folder repainting an airplane elsewhere is none.
TEST_F(PackageCheck, AirplanesAreCheckedAsInstallTakesThem) {
  make(tree, {{"FS9/Aircraft/Cub/aircraft.cfg", "[fltsim.0]\r\ntitle=Cub\r\nsim=cub\r\n"},
              {"FS9/Aircraft/Cub/cub.air", "air"},
              {"FS9/Aircraft/Cub/model/cub.mdl", "mdl"},
              {"prog/unzip_fs2004/Cub/Cub/aircraft.cfg",
               "[fltsim.0]\r\ntitle=Cub\r\nsim=cub\r\nmodel=\r\ntexture=\r\n"
               "[fltsim.1]\r\ntitle=Cub red\r\nsim=cub\r\nmodel=\r\ntexture=red\r\n"},
              {"prog/unzip_fs2004/Cub/Cub/texture/t.bmp", "BM"},
              {"prog/unzip_fs2004/Mixed/Piper/aircraft.cfg", "[fltsim.0]\r\ntitle=Piper\r\n"},
              {"prog/unzip_fs2004/Mixed/Cub Red/aircraft.cfg",
               "[fltsim.1]\r\ntitle=Cub red\r\nsim=cub\r\nmodel=\r\ntexture=red\r\n"},
              {"prog/unzip_fs2004/Mixed/Cub Red/texture.red/t.bmp", "BM"}});

  const CheckReport cub = check_package_folder(unzip + "Cub", fs);
  ASSERT_EQ(cub.findings.size(), 1u) << report_text(cub);
  EXPECT_NE(cub.findings[0].missing.find("\"texture.red\""), std::string::npos);

  const CheckReport mixed = check_package_folder(unzip + "Mixed", fs);
  EXPECT_EQ(mixed.airplanes, Strings{unzip + "Mixed/Piper/"});
  EXPECT_TRUE(mixed.findings.empty()) << report_text(mixed);
}

// Install to FS asks about a package with findings, naming the first few;
// not about a clean one, nor about one Install refuses anyway.
TEST_F(PackageCheck, TheQuestionBeforeInstallNamesTheFirstFindings) {
  const std::string five_gauges =
      "[Window00]\r\ngauge00=G1\r\ngauge01=G2\r\ngauge02=G3\r\ngauge03=G4\r\ngauge04=G5\r\n";
  const std::string plane = "[fltsim.0]\r\ntitle=T\r\npanel=\r\n";
  make(tree, {{"prog/unzip_fs2004/Five/P/aircraft.cfg", plane},
              {"prog/unzip_fs2004/Five/P/panel/panel.cfg", five_gauges},
              {"prog/unzip_fs2004/Clean/P/aircraft.cfg", "[fltsim.0]\r\ntitle=C\r\n"},
              {"prog/unzip_fs2004/Setup/P/aircraft.cfg", plane},
              {"prog/unzip_fs2004/Setup/P/panel/panel.cfg", five_gauges},
              {"prog/unzip_fs2004/Setup/setup.exe", "MZ"},
              {"prog/unzip_fs2004/Done/P/aircraft.cfg", plane},
              {"prog/unzip_fs2004/Done/P/panel/panel.cfg", five_gauges},
              {"prog/unzip_fs2004/Done.txt", fs + "Aircraft/Done\r\n"}});

  const InstallCheck five = check_before_install(unzip + "Five", fs);
  ASSERT_TRUE(five.question);
  EXPECT_EQ(five.question->topic, check_question_topic);
  EXPECT_EQ(five.question->subject, unzip + "Five");
  EXPECT_EQ(five.question->buttons, Buttons::yes_no);
  EXPECT_EQ(five.question->text,
            "The airplane check found 5 problem(s) in Five:\n"
            "  Five/P/panel/panel.cfg, line 2, [Window00]: gauge \"G1\" is missing\n"
            "  Five/P/panel/panel.cfg, line 3, [Window00]: gauge \"G2\" is missing\n"
            "  Five/P/panel/panel.cfg, line 4, [Window00]: gauge \"G3\" is missing\n"
            "  ... and 2 more\n"
            "Install it all the same?");
  EXPECT_EQ(five.report.findings.size(), 5u);
  for (const char* quiet : {"Clean", "Setup", "Done"}) {
    SCOPED_TRACE(quiet);
    EXPECT_FALSE(check_before_install(unzip + quiet, fs).question);
  }
  EXPECT_EQ(check_before_install(unzip + "Done", fs).report.findings.size(), 5u);
}

// An airplane in an inner archive counts for the check as it counts for the
// unzip folder's marks and for Install's questions: where Install, opening
// the archive as every archive is opened, finds an aircraft.cfg.
TEST_F(PackageCheck, InnerArchivesCountAlikeForTheCheckTheMarksAndInstall) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> entries;
    bool airplane;
  };
  const Case cases[] = {
      {"an airplane", {{"Cub/AIRCRAFT.CFG", "[fltsim.0]"}}, true},
      {"in a hidden folder", {{".Cub/aircraft.cfg", "[fltsim.0]"}}, false},
      {"a name that climbs", {{"../aircraft.cfg", "[fltsim.0]"}}, false},
      // Made twice of one name below: libzip's consistency check refuses it.
      {"two entries of one name", {{"Cub/aircraft.cfg", "a"}, {"Cub/aircraft.cfX", "b"}}, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    // Alone in its package, and beside an airplane of the package's own.
    const std::string alone = unzip + "Alone" + std::to_string(i);
    const std::string beside = unzip + "Beside" + std::to_string(i);
    tree.make_file("prog/unzip_fs2004/Beside" + std::to_string(i) + "/Own/aircraft.cfg", "x");
    for (const std::string& package : {alone, beside}) {
      const std::string inner = package + "/inner.zip";
      tree.make_folder(package.substr(tree.root().size()));
      test::write_zip(inner, c.entries);
      std::string bytes = test::read_file(inner);
      for (auto at = bytes.find("aircraft.cfX"); at != std::string::npos;
           at = bytes.find("aircraft.cfX", at))
        bytes[at + 11] = 'g';
      test::write_file(inner, bytes);
    }

    const CheckReport report = check_package_folder(alone, fs);
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_EQ(report.notes[0].find("The airplane in " + alone + "/inner.zip") == 0, c.airplane)
        << report.notes[0];
    ui.directory = unzip;
    ui.list_refresh();
    mark_no_aircraft(shared, ui);
    const int item = ui.index_of("Alone" + std::to_string(i));
    ASSERT_GE(item, 0);
    EXPECT_EQ(ui.items[static_cast<std::size_t>(item)].caption != caption_no_aircraft, c.airplane);
    EXPECT_EQ(install_questions(beside).size(), c.airplane ? 1u : 0u);
  }
}
// A package of liveries has no model, panel or sound of its own: the check
// counts nothing against it and says where they go, in each of its forms.
TEST_F(PackageCheck, LiveriesAreToldAsSuchNotCountedAsFaults) {
  const std::string cub = "[fltsim.0]\r\ntitle=Cub\r\nsim=cub\r\nmodel=\r\ntexture=\r\n";
  const auto livery = [](const std::string& title, const std::string& sim,
                         const std::string& texture) {
    return "[fltsim.1]\r\ntitle=" + title + "\r\nsim=" + sim + "\r\nmodel=\r\ntexture=" + texture +
           "\r\npanel=\r\nsound=\r\n";
  };
  make(tree, {{"FS9/Aircraft/Cub/aircraft.cfg", cub},
              {"FS9/Aircraft/Cub/cub.air", "air"},
              {"FS9/Aircraft/Cub/model/cub.mdl", "mdl"},
              {"prog/unzip_fs2004/Red/Cub Red/aircraft.cfg", cub + livery("Cub red", "cub", "red")},
              {"prog/unzip_fs2004/Red/Cub Red/texture.red/t.bmp", "BM"},
              {"prog/unzip_fs2004/Same/Cub/aircraft.cfg", cub + livery("Cub green", "cub", "g")},
              {"prog/unzip_fs2004/Same/Cub/texture.g/t.bmp", "BM"},
              {"prog/unzip_fs2004/Loose/texture.blue/t.bmp", "BM"},
              {"prog/unzip_fs2004/Loose/readme.txt", livery("Cub blue", "cub", "blue")},
              {"prog/unzip_fs2004/Yak/Yak Red/aircraft.cfg", livery("Yak red", "yak", "red")},
              {"prog/unzip_fs2004/Yak/Yak Red/texture.red/t.bmp", "BM"}});
  for (const auto& [package, note] : std::vector<std::pair<std::string, std::string>>{
           {"Red", "Liveries only (1, livery for Cub): they use the model, panel and sound"},
           {"Same", "Liveries only (1, livery for Cub): "},
           {"Loose", "Liveries only (1, livery for Cub): "},
           {"Yak",
            "Liveries only (1, livery for yak (not installed)): Install needs the "
            "airplane they repaint in the simulator first."}}) {
    SCOPED_TRACE(package);
    const InstallCheck check = check_before_install(unzip + package, fs);
    EXPECT_TRUE(check.report.findings.empty()) << report_text(check.report);
    EXPECT_FALSE(check.question);
    ASSERT_EQ(check.report.notes.size(), 1u);
    EXPECT_EQ(check.report.notes[0].rfind(note, 0), 0u) << check.report.notes[0];
  }
}
}  // namespace
}  // namespace wingstow
