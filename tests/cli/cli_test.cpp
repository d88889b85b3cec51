// wingstow-cli through its executable, on a small simulator world of its
// own: the disk, the exit status and the --json document of each command.

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "install/install_fixture.h"
#include "platform/single_instance.h"
#include "settings/record.h"
#include "settings/simulator.h"
#include "support/odd_entries.h"
#include "support/simulator_fixture.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

using test::read_file;
using test::snapshot;
using Strings = std::vector<std::string>;

void ensure_application() {
  static int argc = 1;
  static char name[] = "cli_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
  QJsonObject json;
};

std::string str(const QJsonValue& value) { return value.toString().toStdString(); }

Strings strings(const QJsonValue& value) {
  Strings out;
  for (const auto& item : value.toArray()) out.push_back(item.toString().toStdString());
  return out;
}

// Each element's field, in order.
Strings field(const QJsonValue& array, const char* name) {
  Strings out;
  for (const auto& item : array.toArray()) out.push_back(str(item.toObject()[name]));
  return out;
}

class CliTest : public test::SimulatorFixture {
 protected:
  CliTest()
      : SimulatorFixture(
            {"aircraft", "gauges", "sound", "effects/texture", "modules", "flights/myflts"}) {
    ensure_application();
    ::chmod(runtime.c_str(), 0700);  // as a runtime folder must be
    tree.make_file("prog/planeyard.ini",
                   "[main_path]\r\nfs_start=fs2004\r\nfs_path_2004=" + fs + "\r\n");
    test::write_zip(download + "Jet.zip", {{"Jet/aircraft.cfg", "jet"},
                                           {"Jet/panel/panel.cfg", "panel"},
                                           {"gauges/shared.gau", "shared"},
                                           {"gauges/jet.gau", "jet gauge"}});
    test::write_zip(download + "Prop.zip",
                    {{"Prop/aircraft.cfg", "[fltsim.0]\r\ntitle=Prop\r\nsim=prop\r\n"},
                     {"Prop/prop.air", "air"},
                     {"gauges/shared.gau", "shared"}});
    test::write_zip(download + "Twins.zip",
                    {{"Left/aircraft.cfg", "l"}, {"Right/aircraft.cfg", "r"}});
  }

  // Runs wingstow-cli on this world with standard input that is no
  // terminal; json: with --json, whose document is parsed.
  Result cli(Strings arguments, bool json = true) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(home));
    environment.insert("XDG_DATA_HOME", QString::fromStdString(home + ".local/share"));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    process.setProcessEnvironment(environment);
    QStringList list{"--program-folder", QString::fromStdString(program)};
    if (json) list << "--json";
    for (const auto& argument : arguments) list << QString::fromStdString(argument);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(WINGSTOW_CLI, list);
    Result result;
    // A command that blocks is a failure of its own, not a test that hangs.
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished(-1);
      ADD_FAILURE() << "wingstow-cli did not end";
      return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    if (json) {
      QJsonParseError error;
      result.json = QJsonDocument::fromJson(QByteArray::fromStdString(result.out), &error).object();
      EXPECT_EQ(error.error, QJsonParseError::NoError) << result.out;
      EXPECT_EQ(result.json["exit_status"].toInt(-1), result.status);
    }
    return result;
  }

  bool exists(const std::string& path) const { return std::filesystem::exists(path); }

  std::string download = tree.make_folder("prog/download_fs2004");
  std::string home = tree.make_folder("home");
  // No trailing separator: the lock's path is made by appending to it.
  std::string runtime = tree.make_folder("run").substr(0, tree.path("run").size());
};

// From nothing, with a Wine FS2004 in the home: sim and status name the
// find, a folder failing the chooser's test or already the other
// simulator's is refused, --found and a FOLDER set a simulator, a bare
// simulator selects it; and on a first use install takes the one simulator
// found by itself.
TEST_F(CliTest, SimSetsTheSimulatorsFromAFreshHome) {
  const auto simulator = [&](const std::string& at) {
    const std::string root = tree.make_folder(at);
    for (const char* sub : {"Aircraft", "Gauges", "Sound", "Effects", "Modules", "Flights"})
      tree.make_folder(at + "/" + sub);
    return root;
  };
  tree.make_file("home/.wine/system.reg", "");
  const std::string found =
      simulator("home/.wine/drive_c/Program Files/Microsoft Games/Flight Simulator 9");
  tree.make_file("home/.wine/drive_c/Program Files/Microsoft Games/Flight Simulator 9/fs9.exe",
                 "MZ");
  const std::string other = simulator("fs2002");
  const std::string half = tree.make_folder("half/Aircraft").substr(0, tree.path("half/").size());
  const std::string ini = program + "planeyard.ini";
  std::filesystem::remove(ini);

  auto run = cli({"status"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["found"], "folder"), Strings{found});
  run = cli({"sim"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["found"], "simulator"), Strings{"fs2004"});
  EXPECT_TRUE(run.json["simulators"].toObject()["fs2004"].toObject()["folder"].isNull());
  EXPECT_NE(cli({"sim"}, false).out.find("sim --found 1"), std::string::npos);

  struct Case {
    Strings arguments;
    int status;
    std::string told;  // in the error, or the settings file afterwards
  };
  const Case cases[] = {
      {{"sim", "fs2004", half}, 1, "must hold the folders Aircraft, Gauges, Sound"},
      {{"sim", "fs2002", "--found", "1"}, 1, "holds fs2004, not fs2002"},
      {{"sim", "--found", "2"}, 1, "no simulator number 2"},
      {{"sim", "fs2002"}, 1, "No fs2002 folder is set"},
      {{"sim", "fs2003"}, 2, "sim takes fs2002 or fs2004"},
      {{"sim", "--found", "1"}, 0, "fs_path_2004=" + found + "\r\n"},
      {{"sim", "fs2002", found}, 1, "it is already the fs2004 folder"},
      {{"sim", "fs2002", other}, 0, "fs_start=fs2002\r\n"},
      {{"sim", "fs2004"}, 0, "fs_start=fs2004\r\n"},
  };
  for (const auto& c : cases) {
    const std::string label = c.arguments.back();
    run = cli(c.arguments, false);
    EXPECT_EQ(run.status, c.status) << label << ": " << run.err;
    const std::string seen = c.status == 0 ? read_file(ini) : run.err;
    EXPECT_NE(seen.find(c.told), std::string::npos) << label << ": " << seen;
  }
  EXPECT_NE(read_file(ini).find("fs_path_2002=" + other), std::string::npos);

  // A first use: nothing set, one simulator found.
  std::filesystem::remove(ini);
  run = cli({"install", "Jet", "--yes"}, false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("fs2004 folder set to " + found + ", the one simulator found"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(read_file(found + "Aircraft/Jet/aircraft.cfg"), "jet");
  EXPECT_NE(read_file(ini).find("fs_path_2004=" + found), std::string::npos);
}

TEST_F(CliTest, UnzipInstallListFilesStatusRemove) {
  auto run = cli({"unzip", "Jet", "Prop.zip"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["archives"], "result"), (Strings{"unzipped", "unzipped"}));
  EXPECT_EQ(field(run.json["archives"], "package"), (Strings{unzip + "Jet", unzip + "Prop"}));
  EXPECT_EQ(read_file(unzip + "Jet/gauges/jet.gau"), "jet gauge");
  EXPECT_FALSE(exists(unzip + "Twins"));

  // An archive is unzipped on the way; a package named twice goes in once.
  run = cli({"install", "Jet", "Prop.zip", unzip + "Jet/"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["packages"], "name"), (Strings{"Jet", "Prop"}));
  EXPECT_EQ(field(run.json["packages"], "result"), (Strings{"installed", "installed"}));
  EXPECT_EQ(read_file(fs + "aircraft/Jet/panel/panel.cfg"), "panel");
  EXPECT_EQ(read_file(fs + "gauges/shared.gau"), "shared");
  EXPECT_EQ(record_lines(unzip + "Prop.txt"),
            (Strings{fs + "aircraft/Prop", fs + "gauges/shared.gau"}));
  EXPECT_TRUE(exists(unzip + "Jet.txt.sums"));

  run = cli({"list"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(field(run.json["packages"], "package"), (Strings{"Jet", "Prop"}));
  const auto packages = run.json["packages"].toArray();
  EXPECT_EQ(packages[0].toObject()["lines"].toInt(), 3);
  EXPECT_EQ(packages[0].toObject()["airplanes"].toInt(), 1);

  run = cli({"files", "jet"});  // letter case ignored
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(strings(run.json["files"]), record_lines(unzip + "Jet.txt"));
  EXPECT_EQ(cli({"files", "jet"}, false).out,
            fs + "aircraft/Jet\n" + fs + "gauges/jet.gau\n" + fs + "gauges/shared.gau\n");

  run = cli({"status"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(str(run.json["simulator"]), "fs2004");
  EXPECT_EQ(str(run.json["unzip_folder"]), unzip);
  EXPECT_EQ(run.json["archives"].toInt(), 3);
  EXPECT_EQ(run.json["archives_not_unzipped"].toInt(), 1);
  EXPECT_EQ(run.json["packages_installed"].toInt(), 2);
  EXPECT_GT(run.json["free_bytes"].toDouble(), 0);

  // The shared gauge stays with Prop; everything of Jet alone goes.
  run = cli({"remove", "JET", "--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["packages"], "result"), Strings{"removed"});
  EXPECT_EQ(str(run.json["messages"].toArray()[0].toObject()["answer"]), "yes");
  EXPECT_FALSE(exists(unzip + "Jet.txt"));
  EXPECT_FALSE(exists(unzip + "Jet.txt.sums"));
  EXPECT_FALSE(exists(fs + "aircraft/Jet"));
  EXPECT_FALSE(exists(fs + "gauges/jet.gau"));
  EXPECT_TRUE(exists(home + ".local/share/Trash/files/Jet"));
  EXPECT_EQ(read_file(fs + "gauges/shared.gau"), "shared");
  EXPECT_TRUE(exists(unzip + "Prop.txt"));

  // Default: every archive not unzipped yet, once.
  run = cli({"unzip"});
  EXPECT_EQ(field(run.json["archives"], "archive"), Strings{download + "Twins.zip"});
  EXPECT_EQ(cli({"unzip"}).json["archives"].toArray().size(), 0);
}

TEST_F(CliTest, PlanChangesNothingAndInstallDoesWhatItSaid) {
  ASSERT_EQ(cli({"install", "Prop"}).status, 0);
  tree.make_file("FS9/gauges/jet.gau", "the user's own");
  ASSERT_EQ(cli({"unzip", "Jet"}).status, 0);
  const auto before = snapshot(tree.root());

  const auto plan = cli({"plan", "Jet"});

  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_EQ(plan.status, 0) << plan.err;
  EXPECT_EQ(field(plan.json["kept"], "what"),
            (Strings{"simulator/user file, left alone and not recorded",
                     "shared with Prop: recorded, not copied"}));
  EXPECT_EQ(field(plan.json["kept"], "target"),
            (Strings{fs + "gauges/jet.gau", fs + "gauges/shared.gau"}));
  // The sums in MB for the eye; a few bytes are not rounded to nothing.
  const std::string text = cli({"plan", "Jet"}, false).out;
  EXPECT_NE(text.find(" file(s), under 0.1 MB needed, "), std::string::npos) << text;
  EXPECT_NE(text.find(" MB free"), std::string::npos) << text;
  // install --dry-run tells the same plan, changes nothing, takes no lock;
  // an archive not unzipped yet has no plan.
  const auto dry = cli({"install", "Jet", "Twins.zip", "--dry-run"});
  EXPECT_EQ(dry.status, 1) << dry.err;
  EXPECT_EQ(snapshot(tree.root()), before);
  const auto plans = dry.json["packages"].toArray();
  ASSERT_EQ(plans.size(), 2);
  EXPECT_EQ(plans[0].toObject()["plan"].toObject()["copies"], plan.json["copies"]);
  EXPECT_NE(str(plans[1].toObject()["error"]).find("not unzipped yet"), std::string::npos);
  EXPECT_EQ(cli({"unzip", "Jet", "--dry-run"}).status, 2);

  const auto install = cli({"install", "Jet"});
  EXPECT_EQ(install.status, 0) << install.err;
  EXPECT_EQ(strings(plan.json["record_lines"]), record_lines(unzip + "Jet.txt"));
  std::set<std::string> planned, made;
  for (const auto& copy : plan.json["copies"].toArray()) {
    planned.insert(str(copy.toObject()["target"]));
    EXPECT_EQ(read_file(str(copy.toObject()["target"])), read_file(str(copy.toObject()["source"])));
  }
  for (const auto& [path, content] : snapshot(tree.root()))
    if (!before.contains(path) && !path.ends_with("/") && path.starts_with("FS9/"))
      made.insert(tree.root() + path);
  EXPECT_EQ(planned, made);
  EXPECT_EQ(read_file(fs + "gauges/jet.gau"), "the user's own");
}

TEST_F(CliTest, OwnerVerifyAndCheck) {
  ASSERT_EQ(cli({"install", "Jet", "Prop"}).status, 0);

  auto run = cli({"owner", "gauges/shared.gau", fs + "aircraft/jet/panel/panel.cfg"});
  EXPECT_EQ(run.status, 0);
  const auto paths = run.json["paths"].toArray();
  EXPECT_EQ(strings(paths[0].toObject()["packages"]), (Strings{"Jet", "Prop"}));
  EXPECT_EQ(strings(paths[1].toObject()["packages"]), Strings{"Jet"});
  run = cli({"owner", "gauges/stock.gau"}, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, fs + "gauges/stock.gau: not installed by Wingstow\n");

  EXPECT_EQ(cli({"verify"}).status, 0);
  std::filesystem::remove(fs + "aircraft/Jet/panel/panel.cfg");
  test::write_file(fs + "gauges/jet.gau", "jet GAUGE");
  run = cli({"verify"});
  EXPECT_EQ(run.status, 1);
  const auto jet = run.json["packages"].toArray()[0].toObject();
  EXPECT_EQ(field(jet["problems"], "path"),
            (Strings{fs + "aircraft/Jet/panel/panel.cfg", fs + "gauges/jet.gau"}));
  EXPECT_EQ(field(jet["problems"], "problem"), (Strings{"missing", "content changed"}));
  EXPECT_EQ(cli({"verify", "prop"}).status, 0);
  // Sums it cannot read whole are no OK.
  const std::string sums = unzip + "Prop.txt.sums";
  test::write_file(sums, "");
  run = cli({"verify", "prop"}, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Prop: " + sums + ": empty, so nothing could be compared\n");
  EXPECT_EQ(str(cli({"verify", "prop"}).json["packages"].toArray()[0].toObject()["failure"]),
            sums + ": empty, so nothing could be compared");

  std::filesystem::remove(fs + "aircraft/Prop/prop.air");
  run = cli({"check", "prop", "jet"});
  EXPECT_EQ(run.status, 1);
  const auto checked = run.json["packages"].toArray();
  ASSERT_EQ(checked.size(), 2);
  EXPECT_EQ(field(checked[0].toObject()["findings"], "problem"), Strings{"missing_air_file"});
  test::write_file(fs + "aircraft/Prop/prop.air", "air");
  EXPECT_EQ(cli({"check", "prop"}).status, 0);
  EXPECT_EQ(cli({"check"}).json["packages"].toArray().size(), 2);  // every installed package
}

// A question nobody can answer stops the command before anything changes;
// an answer of No changes nothing either.
TEST_F(CliTest, QuestionsWithoutATerminal) {
  ASSERT_EQ(cli({"install", "Jet"}).status, 0);
  ASSERT_EQ(cli({"unzip", "Twins"}).status, 0);
  struct Case {
    Strings arguments;
    int status;
    std::string question;
  };
  const Case cases[] = {
      {{"remove", "Jet"}, 3, "Are you really sure ? \nRemove from fs2004: Jet."},
      {{"install", "Twins"}, 3, "More than one airplane will be installed"},
      {{"remove", "Jet", "--no"}, 1, ""},
      {{"install", "Twins", "-n"}, 1, ""},
  };
  for (const Case& c : cases) {
    const auto before = snapshot(tree.root());
    const auto run = cli(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments[0] << run.err;
    EXPECT_TRUE(str(run.json["question"]).starts_with(c.question)) << str(run.json["question"]);
    if (c.status == 3) {
      EXPECT_NE(run.err.find("--yes or --no"), std::string::npos) << run.err;
    }
    EXPECT_EQ(snapshot(tree.root()), before) << c.arguments[0];
  }
}

// A livery that fits two airplanes: without --into the question stops the
// command; with it, plan names the section and install, files, verify and
// remove follow it, and the airplane's file comes back byte for byte.
TEST_F(CliTest, LiveryGoesIntoTheAirplaneNamedByInto) {
  const std::string base = "[fltsim.0]\r\ntitle=Jodel\r\nsim=DR1050\r\nmodel=\r\ntexture=\r\n";
  for (const char* name : {"Jodel", "Jodel2"}) {
    tree.make_file("FS9/aircraft/" + std::string(name) + "/aircraft.cfg", base);
    tree.make_file("FS9/aircraft/" + std::string(name) + "/model/j.mdl", "mdl");
  }
  test::write_zip(download + "Bleu.zip",
                  {{"texture.bleu/t.bmp", "bleu"},
                   {"readme.txt",
                    "[fltsim.X]\r\ntitle=Jodel Bleu\r\nsim=DR1050\r\nmodel=\r\ntexture=bleu\r\n"}});
  ASSERT_EQ(cli({"unzip", "Bleu"}).status, 0);

  const auto before = snapshot(tree.root());
  const auto asked = cli({"install", "Bleu", "--yes"});
  EXPECT_EQ(asked.status, 3) << asked.err;
  EXPECT_NE(str(asked.json["question"]).find(fs + "aircraft/Jodel2"), std::string::npos);
  EXPECT_NE(asked.err.find("--into"), std::string::npos) << asked.err;
  EXPECT_EQ(snapshot(tree.root()), before);

  const auto plan = cli({"plan", "Bleu", "--into", "Jodel2"});
  ASSERT_EQ(plan.status, 0) << plan.err;
  const auto sections = plan.json["sections"].toArray();
  ASSERT_EQ(sections.size(), 1);
  EXPECT_EQ(sections[0].toObject()["number"].toInt(), 1);
  EXPECT_EQ(str(sections[0].toObject()["cfg"]), fs + "aircraft/Jodel2/aircraft.cfg");

  ASSERT_EQ(cli({"install", "Bleu", "--into", "Jodel2"}).status, 0);
  const std::string cfg = fs + "aircraft/Jodel2/aircraft.cfg";
  EXPECT_EQ(read_file(cfg), base +
                                "\r\n[fltsim.1]\r\ntitle=Jodel Bleu\r\nsim=DR1050\r\n"
                                "model=\r\ntexture=bleu\r\n");
  EXPECT_EQ(field(cli({"files", "Bleu"}).json["sections"], "title"), Strings{"Jodel Bleu"});
  EXPECT_EQ(cli({"verify", "Bleu"}).status, 0);
  ASSERT_EQ(cli({"remove", "Bleu", "--yes"}).status, 0);
  EXPECT_EQ(read_file(cfg), base);
  EXPECT_FALSE(exists(fs + "aircraft/Jodel2/texture.bleu"));
}

// Every question of a multi-package install comes before its first change:
// without an answer nothing is unzipped, installed or recorded.
TEST_F(CliTest, MultiPackageInstallAsksEverythingFirst) {
  ASSERT_EQ(cli({"unzip", "Twins"}).status, 0);
  test::write_zip(tree.path("inner.zip"), {{"Other/aircraft.cfg", "o"}});
  test::write_zip(download + "Nested.zip",
                  {{"Solo/aircraft.cfg", "s"}, {"more.zip", read_file(tree.path("inner.zip"))}});
  const Strings install = {"install", "Jet.zip", "Twins", "Prop", "Nested"};
  const auto before = snapshot(tree.root());

  auto run = cli(install);
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_EQ(field(run.json["questions"], "subject"), (Strings{unzip + "Twins", unzip + "Nested"}));
  EXPECT_NE(run.err.find("no answer to these 2 questions"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(unzip + "Nested: More than one airplane"), std::string::npos) << run.err;

  run = cli({"--yes", install[0], install[1], install[2], install[3], install[4]});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["packages"], "result"),
            (Strings{"installed", "installed", "installed", "installed"}));
  for (const char* airplane : {"Jet", "Left", "Right", "Prop", "Solo", "Other"})
    EXPECT_TRUE(exists(fs + "aircraft/" + airplane)) << airplane;
  for (const char* package : {"Jet", "Twins", "Prop", "Nested"})
    EXPECT_TRUE(exists(unzip + package + ".txt")) << package;
}

// A package the check finds fault with: install prints the findings, then
// asks; without an answer nothing changes, --no keeps it out, --yes puts it
// in. An archive's package is checked once unzipped.
TEST_F(CliTest, InstallPrintsTheFindingsAndAsks) {
  const std::string panel =
      "[Window Titles]\r\nWindow01=radio\r\n[Window01]\r\ngauge00=BA36!Com\r\n"
      "gauge01=Own!Nav\r\ngauge02=Lost!x\r\n";
  const auto broken = [&](const std::string& name) {
    test::write_zip(download + name + ".zip",
                    {{"Plane/aircraft.cfg", "[fltsim.0]\r\ntitle=" + name + "\r\npanel=\r\n"},
                     {"Plane/panel/panel.cfg", panel},
                     {"Plane/panel/own.dll", "MZ"}});
  };
  broken("Broken");
  broken("Later");
  ASSERT_EQ(cli({"unzip", "Broken"}).status, 0);
  const auto before = snapshot(tree.root());

  // A dry run tells the findings and the question it would ask, and asks nothing.
  auto run = cli({"install", "Broken", "--dry-run"}, false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_NE(run.out.find("Missing gauges (2)\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("install would ask: " + unzip +
                         "Broken: The airplane check found 2 problem(s) in Broken:"),
            std::string::npos)
      << run.out;
  run = cli({"install", "Broken", "--dry-run"});
  EXPECT_EQ(run.json["packages"].toArray()[0].toObject()["check"].toObject()["problems"].toInt(),
            2);

  run = cli({"install", "Broken"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(snapshot(tree.root()), before);
  const auto report = run.err.find(
      "Missing gauges (2)\n"
      "  Broken/Plane/panel/panel.cfg, line 4, [Window01]: gauge \"BA36\" is missing\n"
      "    the panel's radio stays blank: the gauge file BA36.gau comes with the airplane's full "
      "package or its gauge pack; put it in gauges\n");
  const auto question = run.err.find("no answer to this question (give --yes or --no): " + unzip +
                                     "Broken: The airplane check found 2 problem(s) in Broken:");
  EXPECT_NE(report, std::string::npos) << run.err;
  EXPECT_NE(question, std::string::npos) << run.err;
  EXPECT_LT(report, question);
  EXPECT_EQ(run.err.find("Own"), std::string::npos) << run.err;  // own.dll is the gauge
  EXPECT_EQ(field(run.json["questions"], "subject"), Strings{unzip + "Broken"});

  run = cli({"install", "--no", "Broken"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_NE(run.err.find("Install it all the same?\n(answered no by --no)"), std::string::npos)
      << run.err;
  const auto kept = run.json["packages"].toArray()[0].toObject();
  EXPECT_EQ(str(kept["result"]), "not installed");
  EXPECT_EQ(str(kept["check_answer"]), "no");

  run = cli({"install", "--yes", "Broken", "Later.zip"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(field(run.json["packages"], "result"), (Strings{"installed", "installed"}));
  EXPECT_EQ(field(run.json["packages"], "check_answer"), (Strings{"yes", "yes"}));
  const auto checked = run.json["packages"].toArray()[1].toObject()["check"].toObject();
  EXPECT_EQ(checked["problems"].toInt(), 2);
  EXPECT_EQ(str(checked["groups"].toArray()[0].toObject()["problem"]), "missing_gauge");
  EXPECT_NE(run.err.find("Airplane check of " + unzip + "Later"), std::string::npos) << run.err;
  EXPECT_TRUE(exists(fs + "aircraft/Broken/panel/own.dll"));
  EXPECT_TRUE(exists(fs + "aircraft/Later"));
  // What it was asked about, the check tells as well once installed.
  EXPECT_EQ(cli({"check", "Broken"}).json["packages"].toArray()[0].toObject()["problems"].toInt(),
            2);
}

TEST_F(CliTest, WritingCommandsAreRefusedWhileTheLockIsHeld) {
  ASSERT_EQ(cli({"install", "Jet"}).status, 0);
  platform::SingleInstance window(instance_lock_name, runtime);
  ASSERT_TRUE(window.acquire());
  const auto before = snapshot(tree.root());
  for (const Strings& arguments :
       {Strings{"unzip"}, Strings{"install", "Prop"}, Strings{"remove", "Jet", "--yes"}}) {
    const auto run = cli(arguments);
    EXPECT_EQ(run.status, 1) << arguments[0];
    EXPECT_NE(str(run.json["error"]).find("Wingstow is running"), std::string::npos)
        << str(run.json["error"]);
    EXPECT_NE(run.err.find(window.path()), std::string::npos) << run.err;
  }
  EXPECT_EQ(snapshot(tree.root()), before);
  for (const char* reading : {"list", "status", "verify"})
    EXPECT_EQ(cli({reading}).status, 0) << reading;
}

// A hostile record or argument puts no raw control byte on the terminal:
// every path and message comes out with its control bytes written out.
TEST_F(CliTest, ControlBytesAreEscapedOnTheTerminal) {
  using namespace std::string_literals;
  const std::string evil = fs + "aircraft/Evil\x1b]0;owned\x07";
  // (A NUL byte would make it no record at all.)
  const std::string gauge = fs + "gauges/a\tbc\x01\xc2\x9b.gau"s;
  tree.make_file("prog/unzip_fs2004/Evil.txt", evil + "\r\n" + gauge + "\r\n");
  tree.make_file("prog/unzip_fs2004/Red\x1b[31m.txt", fs + "gauges/red.gau\r\n");
  const std::string evil_shown = fs + "aircraft/Evil\\x1b]0;owned\\x07";
  const std::string gauge_shown = fs + "gauges/a\\tbc\\x01\\u009b.gau";
  struct Case {
    Strings arguments;
    std::string out;  // what standard output holds
    std::string err;  // what standard error holds
  };
  const Case cases[] = {
      {{"files", "evil"}, evil_shown + "\n" + gauge_shown + "\n", ""},
      {{"verify", "Evil"}, "Evil: " + evil_shown + ": missing\n", ""},
      {{"list"}, "Red\\x1b[31m", ""},
      {{"owner", "gauges/x\ny\x7f.gau"}, fs + "gauges/x\\ny\\x7f.gau: not installed", ""},
      {{"files", "No\x1b[2Jpe"}, "", "No\\x1b[2Jpe: no such installed package"},
      {{"fly\r"}, "", "unknown command 'fly\\r'"},
  };
  // By path, a name with a control character is refused before anything is done.
  tree.make_file("outside/Two\nLines.zip", read_file(download + "Jet.zip"));
  tree.make_folder("prog/unzip_fs2004/Tab\tbed");
  const auto before = snapshot(tree.root());
  const std::pair<Strings, std::string> refused[] = {
      {{"unzip", tree.path("outside/Two\nLines.zip")}, "outside/Two\\nLines.zip"},
      {{"install", unzip + "Tab\tbed"}, "unzip_fs2004/Tab\\tbed"}};
  for (const auto& [arguments, shown] : refused) {
    const auto run = cli(arguments, false);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(shown + ": its name holds a control character"), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(snapshot(tree.root()), before);
  for (const Case& c : cases) {
    const auto run = cli(c.arguments, false);
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    for (const std::string& said : {run.out, run.err})
      for (std::size_t i = 0; i < said.size(); ++i) {
        const auto byte = static_cast<unsigned char>(said[i]);
        const bool c1 = byte == 0xC2 && i + 1 < said.size() &&
                        (static_cast<unsigned char>(said[i + 1]) & 0xE0) == 0x80;
        EXPECT_FALSE((byte < 0x20 && byte != '\n') || byte == 0x7F || c1)
            << c.arguments[0] << ": byte " << int(byte) << " at " << i << " of " << said;
      }
  }
}

// A user's text file beside the records is named once by each command that
// reads the records, and every record works as before.
TEST_F(CliTest, TextFileThatIsNoRecordIsNamedOnceAndBlocksNothing) {
  tree.make_file("prog/unzip_fs2004/log.txt", std::string(70000, 'l'));
  ASSERT_EQ(cli({"--yes", "install", "Jet"}).status, 0);
  const std::string named = unzip + "log.txt has a line longer than 65536 bytes";
  for (const Strings& arguments : {Strings{"list"}, Strings{"verify"}, Strings{"files", "Jet"},
                                   Strings{"remove", "--yes", "Jet"}}) {
    const auto run = cli(arguments, false);
    EXPECT_EQ(run.status, 0) << arguments[0] << ": " << run.err;
    const auto first = run.err.find(named);
    EXPECT_NE(first, std::string::npos) << arguments[0] << ": " << run.err;
    EXPECT_EQ(run.err.find(named, first + 1), std::string::npos) << run.err;
  }
  EXPECT_FALSE(exists(unzip + "Jet.txt"));
  EXPECT_FALSE(exists(fs + "gauges/jet.gau"));
  EXPECT_TRUE(exists(unzip + "log.txt"));
}

// "." and ".." lead nowhere below the aircraft folder: the list counts the
// airplanes the check looks at.
TEST_F(CliTest, ListAndCheckAgreeOnTheAirplanesOfARecord) {
  ASSERT_EQ(cli({"install", "Prop"}).status, 0);
  auto lines = record_lines(unzip + "Prop.txt");
  for (const char* line : {"aircraft/./Prop/extra.txt", "aircraft/../gauges/shared.gau",
                           "aircraft/..", "AIRCRAFT/prop/panel"})
    lines.push_back(fs + line);
  write_record(unzip + "Prop.txt", lines);

  const auto list = cli({"list"});
  const auto check = cli({"check", "Prop"});

  ASSERT_EQ(list.json["packages"].toArray().size(), 1);
  ASSERT_EQ(check.json["packages"].toArray().size(), 1);
  EXPECT_EQ(list.json["packages"].toArray()[0].toObject()["airplanes"].toInt(), 1);
  EXPECT_EQ(strings(check.json["packages"].toArray()[0].toObject()["airplanes"]),
            Strings{fs + "aircraft/Prop/"});
}

// Whatever a package folder is called on the command line, check takes the
// folder install takes, and refuses what install refuses.
TEST_F(CliTest, CheckAndInstallResolveTheSameNames) {
  for (const char* folder : {"Solo", "Cased", "Pair", "PAIR"})
    tree.make_file("prog/unzip_fs2004/" + std::string(folder) + "/Plane/aircraft.cfg",
                   "[fltsim.0]");
  const std::string stray = tree.make_folder("elsewhere/Stray");
  tree.make_file("elsewhere/Stray/Plane/aircraft.cfg", "[fltsim.0]");
  struct Case {
    std::string argument;
    std::string folder;  // empty: refused
    std::string error;   // what both say; empty: each in its own words
  };
  const Case cases[] = {
      {"Solo", unzip + "Solo", ""},
      {"cASED", unzip + "Cased", ""},
      {"pair", "", "pair: names more than one package folder: PAIR Pair"},
      {stray, "",
       stray.substr(0, stray.size() - 1) + ": not a package folder of the unzip folder " + unzip},
      {"Nothing", "", ""},
  };
  for (const Case& c : cases) {
    // Checked first: once installed, the name means the record.
    const auto check = cli({"check", c.argument});
    const auto install = cli({"--yes", "install", c.argument});
    if (c.folder.empty()) {
      EXPECT_EQ(check.status, 1) << c.argument;
      EXPECT_EQ(install.status, 1) << c.argument;
      EXPECT_TRUE(check.json["packages"].toArray().isEmpty()) << c.argument;
      EXPECT_TRUE(install.json["packages"].toArray().isEmpty()) << c.argument;
      if (!c.error.empty()) {
        EXPECT_EQ(str(check.json["error"]), c.error);
        EXPECT_EQ(str(install.json["error"]), c.error);
      }
      continue;
    }
    ASSERT_EQ(check.json["packages"].toArray().size(), 1) << c.argument << check.err;
    EXPECT_EQ(str(check.json["packages"].toArray()[0].toObject()["subject"]), c.folder);
    EXPECT_EQ(field(install.json["packages"], "package"), Strings{c.folder}) << install.err;
    EXPECT_EQ(field(install.json["packages"], "result"), Strings{"installed"});
  }
  EXPECT_FALSE(exists(unzip + "Stray.txt"));
}

// A record linked in from elsewhere, a pipe and a folder named like records:
// no record for the window's catalogue, list, install, owner and removal
// alike, so none of them owns anything.
TEST_F(CliTest, LinkedAndUnreadableRecordsBesideGoodOnesCountForNothingAnywhere) {
  ASSERT_EQ(cli({"install", "Jet", "Prop"}).status, 0);
  tree.make_file("FS9/gauges/lonely.gau", "the user's own");
  const std::string linked = tree.make_file(
      "elsewhere/Linked.txt", fs + "aircraft/Prop\r\n" + fs + "gauges/lonely.gau\r\n");
  test::make_entry(unzip + "Linked.txt", test::Entry::link_to_file, linked);
  test::make_entry(unzip + "Piped.txt", test::Entry::pipe);
  test::make_entry(unzip + "Folder.txt", test::Entry::folder);
  const Strings good{unzip + "Jet.txt", unzip + "Prop.txt"};

  refresh_catalogue(shared, ui);
  EXPECT_EQ(ui.catalogue_entries, good);
  EXPECT_EQ(field(cli({"list"}).json["packages"], "record"), good);
  for (const char* odd : {"Linked", "Piped", "Folder"}) {
    EXPECT_EQ(str(cli({"files", odd}).json["error"]),
              std::string(odd) + ": no such installed package in " + unzip);
    EXPECT_EQ(cli({"check", odd}).status, 1) << odd;
  }
  EXPECT_EQ(
      strings(
          cli({"owner", "gauges/lonely.gau"}).json["paths"].toArray()[0].toObject()["packages"]),
      Strings{});

  // The user's gauge no record owns is left out of a new package's record.
  tree.make_file("prog/unzip_fs2004/Extra/Extra/aircraft.cfg", "[fltsim.0]\r\ntitle=Extra\r\n");
  tree.make_file("prog/unzip_fs2004/Extra/gauges/lonely.gau", "the package's");
  EXPECT_EQ(cli({"install", "Extra"}).status, 0);
  EXPECT_EQ(record_lines(unzip + "Extra.txt"), Strings{fs + "aircraft/Extra"});
  EXPECT_EQ(read_file(fs + "gauges/lonely.gau"), "the user's own");

  // Prop's airplane goes with Prop: the linked record spares nothing.
  const auto removed = cli({"remove", "--yes", "Prop"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_FALSE(exists(fs + "aircraft/Prop"));
  EXPECT_TRUE(exists(fs + "gauges/shared.gau"));  // Jet's too
  EXPECT_TRUE(std::filesystem::is_symlink(unzip + "Linked.txt"));
}

// A record nobody may read is a record all the same: the catalogue lists it,
// and every command that must read it says why in the same words.
TEST_F(CliTest, RecordNobodyMayReadIsToldAlikeByEveryCommand) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads a file whatever its mode";
  ASSERT_EQ(cli({"install", "Jet", "Prop"}).status, 0);
  const std::string locked = tree.make_file("prog/unzip_fs2004/Locked.txt", fs + "gauges/x\r\n");
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  const std::string why = "Input/output error 13 (Permission denied) on " + locked;

  refresh_catalogue(shared, ui);
  EXPECT_EQ(ui.catalogue_entries, (Strings{unzip + "Jet.txt", locked, unzip + "Prop.txt"}));
  const auto list = cli({"list"}, false);
  EXPECT_EQ(list.status, 1);
  EXPECT_NE(list.err.find(why), std::string::npos) << list.err;
  tree.make_file("prog/unzip_fs2004/Extra/Extra/aircraft.cfg", "[fltsim.0]\r\ntitle=Extra\r\n");
  for (const Strings& arguments :
       {Strings{"install", "Extra"}, Strings{"remove", "--yes", "Jet"}}) {
    const auto run = cli(arguments);
    EXPECT_EQ(run.status, 1) << arguments[0];
    EXPECT_EQ(str(run.json["error"]), why) << arguments[0];
  }
  EXPECT_TRUE(exists(unzip + "Jet.txt"));
  EXPECT_FALSE(exists(unzip + "Extra.txt"));
  ::chmod(locked.c_str(), 0600);
}

TEST_F(CliTest, UsageAndFailuresAreTold) {
  struct Case {
    Strings arguments;
    int status;
    std::string said;  // on standard error
  };
  const Case cases[] = {
      {{"fly"}, 2, "unknown command 'fly'"},
      {{}, 2, "no command given"},
      {{"install"}, 2, "usage: wingstow-cli [options] install PACKAGE..."},
      {{"list", "--sim", "fs2003"}, 2, "--sim takes fs2002 or fs2004"},
      {{"list", "--yes", "--no"}, 2, "--yes and --no cannot be given together"},
      {{"list", "--colour"}, 2, "unknown option --colour"},
      {{"install", "Nothing"}, 1, "Nothing: no such package in the unzip folder " + unzip},
      {{"remove", "Nothing", "--yes"}, 1, "Nothing: no such installed package in " + unzip},
      {{"unzip", "/nowhere/x.zip"}, 1, "/nowhere/x.zip: no such archive"},
      {{"list", "--sim", "fs2002"}, 1, "No fs2002 folder is set in " + program + "planeyard.ini"},
  };
  for (const Case& c : cases) {
    const auto before = snapshot(tree.root());
    const auto run = cli(c.arguments, false);
    EXPECT_EQ(run.status, c.status) << c.said;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(tree.root()), before) << c.said;
  }
  // A damaged archive: named with its reason, its package folder gone again.
  tree.make_file("prog/download_fs2004/Broken.zip", "no archive at all");
  for (const Strings& arguments : {Strings{"unzip", "Broken"}, Strings{"install", "Broken.zip"}}) {
    const auto run = cli(arguments);
    EXPECT_EQ(run.status, 1) << arguments[0];
    EXPECT_NE(run.err.find(download + "Broken.zip"), std::string::npos) << run.err;
    EXPECT_FALSE(exists(unzip + "Broken"));
    EXPECT_FALSE(exists(unzip + "Broken.txt"));
  }
  EXPECT_EQ(field(cli({"unzip", "Broken"}).json["archives"], "result"), Strings{"failed"});
  EXPECT_EQ(field(cli({"install", "Broken"}).json["packages"], "unzip"), Strings{"failed"});

  const auto version = cli({"--version"}, false);
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("wingstow-cli ")) << version.out;
  EXPECT_NE(cli({"--help"}, false).out.find("remove PACKAGE..."), std::string::npos);
}

}  // namespace
}  // namespace wingstow
