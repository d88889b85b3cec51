// Liveries: a repaint goes into the airplane it belongs to, its section into
// that airplane's aircraft.cfg, and both come out again byte for byte.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "check/airplane_check.h"
#include "install/fltsim_sections.h"
#include "install/install_command.h"
#include "install/livery.h"
#include "install/livery_record.h"
#include "install/plan.h"
#include "install/trust_fixture.h"
#include "install/verify.h"
#include "removal/removal.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;
using test::read_file;

// An airplane as real ones are: Latin-1, mixed line ends, headers in either
// letter case, tab-aligned values and comments.
const std::string base_cfg =
    "// Jodel DR-1050 \xe9"
    "dition\r\n"
    "[Fltsim.0]\r\n"
    "title=Jodel DR-1050 F-BJQA\t// stock\r\n"
    "sim=DR1050\n"
    "model=\r\n"
    "texture=\r\n"
    "\r\n"
    "[fltsim.1]\n"
    "title=Jodel DR-1050 Rouge\n"
    "sim=DR1050\r\n"
    "model=\r\n"
    "texture=rouge\r\n"
    "\r\n"
    "[General]\r\n"
    "atc_type=JODEL\r\n"
    "performance=\xe9t\xe9\r\n";

// The base's file with sections added after [fltsim.1], as the install
// places them: LF, the line end of the last header.
std::string with_added(const std::vector<std::vector<std::string>>& sections) {
  const std::string cut = "texture=rouge";
  const std::size_t at = base_cfg.find(cut) + cut.size();
  std::string added;
  int number = 2;
  for (const auto& lines : sections) {
    added += "\n\n[fltsim." + std::to_string(number++) + "]";
    for (const auto& line : lines) added += "\n" + line;
  }
  return base_cfg.substr(0, at) + added + base_cfg.substr(at);
}

std::vector<std::string> section(const std::string& title, const std::string& texture) {
  return {"title=" + title, "sim=DR1050", "model=", "texture=" + texture};
}

std::string snippet(const std::string& number, const std::string& title,
                    const std::string& texture) {
  std::string text = "[fltsim." + number + "]\n";
  for (const auto& line : section(title, texture)) text += line + "\n";
  return text;
}

class LiveryTest : public test::TrustFixture {
 protected:
  LiveryTest() { make_base("Jodel"); }

  std::string make_base(const std::string& name) {
    const std::string folder = "FS9/aircraft/" + name + "/";
    tree.make_file(folder + "aircraft.cfg", base_cfg);
    tree.make_file(folder + "dr1050.air", "air");
    tree.make_file(folder + "model/jodel.mdl", "mdl");
    tree.make_file(folder + "texture/t.bmp", "stock");
    tree.make_file(folder + "texture.rouge/t.bmp", "rouge");
    return fs + "aircraft/" + name + "/";
  }

  std::string cfg(const std::string& base = "Jodel") const {
    return read_file(fs + "aircraft/" + base + "/aircraft.cfg");
  }
  bool in_base(const std::string& relative, const std::string& base = "Jodel") const {
    return fs::exists(fs + "aircraft/" + base + "/" + relative);
  }

  // A texture folder and its section in a readme; the number a placeholder.
  void loose(const std::string& package, const std::string& title, const std::string& texture) {
    add(package + "/texture." + texture + "/t.bmp", texture);
    add(package + "/readme.txt", "Copy the folder, then add this to aircraft.cfg:\r\n\r\n" +
                                     snippet("X", title, texture) + "\r\nHave fun\r\n");
  }
};

// The three forms a livery comes in: each adds its section as the next
// number after the last one, copies its texture folder, and removal gives the
// file back byte for byte.
TEST_F(LiveryTest, EachFormGoesInAndComesOutByteForByte) {
  struct Form {
    const char* package;
    std::map<std::string, std::string> files;
    std::string texture;
    std::vector<std::string> lines;
  };
  const std::string green_cfg =
      "[fltsim.0]\r\ntitle=Jodel DR-1050 F-BJQA\r\nsim=DR1050\r\n"
      "model=\r\ntexture=\r\n\r\n" +
      snippet("1", "Jodel DR-1050 Vert", "vert");
  const Form forms[] = {
      {"Bleu",
       {{"Bleu/texture.bleu/t.bmp", "bleu"},
        {"Bleu/readme.txt", "Add:\n\n" + snippet("X", "Jodel DR-1050 Bleu", "bleu") + "\nEnd\n"}},
       "texture.bleu",
       section("Jodel DR-1050 Bleu", "bleu")},
      // A whole aircraft.cfg repeating the base's section; its number 1 is taken.
      {"Vert",
       {{"Vert/Jodel Vert/aircraft.cfg", green_cfg}, {"Vert/Jodel Vert/texture.vert/t.bmp", "v"}},
       "texture.vert",
       section("Jodel DR-1050 Vert", "vert")},
      // An airplane folder of the base's name: completed, and its new section added.
      {"Jodel",
       {{"Jodel/aircraft.cfg", base_cfg + "\r\n" + snippet("2", "Jodel DR-1050 Jaune", "jaune")},
        {"Jodel/model/jodel.mdl", "mdl"},
        {"Jodel/texture.jaune/t.bmp", "j"}},
       "texture.jaune",
       section("Jodel DR-1050 Jaune", "jaune")},
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.package);
    for (const auto& [path, content] : form.files) add(path, content);
    ui.messages.clear();
    install({form.package});
    EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
    EXPECT_EQ(cfg(), with_added({form.lines}));
    EXPECT_TRUE(in_base(form.texture + "/t.bmp"));
    EXPECT_NE(std::find(record_of(form.package).begin(), record_of(form.package).end(),
                        fs + "aircraft/Jodel/" + form.texture),
              record_of(form.package).end());
    const auto added = read_added_sections(unzip + form.package + ".txt");
    ASSERT_EQ(added.files.size(), 1u);
    EXPECT_EQ(added.files[0].titles, std::vector<std::string>{form.lines[0].substr(6)});
    EXPECT_TRUE(verify_record(unzip + form.package + ".txt").problems.empty());

    remove({form.package});
    EXPECT_EQ(cfg(), base_cfg);
    EXPECT_FALSE(in_base(form.texture));
    EXPECT_TRUE(in_base("texture.rouge/t.bmp"));
    EXPECT_FALSE(has_record(form.package));
    EXPECT_FALSE(fs::exists(unzip + form.package + ".txt.sections"));
  }
}

// Two liveries, removed in either order: the later number moves down, and
// the file is the original once both are gone.
TEST_F(LiveryTest, TwoLiveriesRemovedInEitherOrderLeaveNoGapThenTheOriginal) {
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  loose("Vert", "Jodel DR-1050 Vert", "vert");
  const auto bleu = section("Jodel DR-1050 Bleu", "bleu");
  const auto vert = section("Jodel DR-1050 Vert", "vert");
  for (bool bleu_first : {true, false}) {
    SCOPED_TRACE(bleu_first);
    install({"Bleu"});
    install({"Vert"});
    ASSERT_EQ(cfg(), with_added({bleu, vert}));
    remove({bleu_first ? "Bleu" : "Vert"});
    EXPECT_EQ(cfg(), with_added({bleu_first ? vert : bleu}));
    remove({bleu_first ? "Vert" : "Bleu"});
    EXPECT_EQ(cfg(), base_cfg);
  }
}

// A title the base has: with the same texture the livery is there already
// and nothing is written; with another it gets a title of its own.
TEST_F(LiveryTest, ATakenTitleIsEitherInstalledAlreadyOrMadeUnique) {
  loose("Same", "Jodel DR-1050 Rouge", "rouge");
  install({"Same"});
  EXPECT_EQ(ui.message_texts().front(),
            "The livery Jodel DR-1050 Rouge is installed in Jodel already");
  EXPECT_EQ(cfg(), base_cfg);
  EXPECT_FALSE(has_record("Same"));

  ui.messages.clear();
  loose("Other", "Jodel DR-1050 Rouge", "rouge2");
  install({"Other"});
  EXPECT_EQ(cfg(), with_added({section("Jodel DR-1050 Rouge (rouge2)", "rouge2")}));
  remove({"Other"});
  EXPECT_EQ(cfg(), base_cfg);
}

// A texture folder of that name with other content is not the livery's:
// refused and told, the base unchanged.
TEST_F(LiveryTest, AFolderOfThatNameWithOtherContentIsARefusal) {
  tree.make_file("FS9/aircraft/Jodel/texture.bleu/own.bmp", "the user's");
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  install({"Bleu"});
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_NE(ui.message_texts().front().find(fs + "aircraft/Jodel/texture.bleu is there already "
                                                 "with other content"),
            std::string::npos)
      << ui.message_texts().front();
  EXPECT_EQ(cfg(), base_cfg);
  EXPECT_FALSE(in_base("texture.bleu/t.bmp"));
  EXPECT_FALSE(has_record("Bleu"));
}

// Several airplanes fit: the user chooses, or nothing happens; none fits:
// the message names the airplane needed.
TEST_F(LiveryTest, TheBaseIsChosenAmongSeveralAndNamedWhenMissing) {
  make_base("Jodel2");
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  install({"Bleu"});
  ASSERT_EQ(ui.choices_offered.size(), 1u);
  EXPECT_EQ(ui.choices_offered[0],
            (std::vector<std::string>{fs + "aircraft/Jodel", fs + "aircraft/Jodel2"}));
  EXPECT_FALSE(has_record("Bleu"));
  EXPECT_EQ(cfg(), base_cfg);

  ui.choices_made.push_back(fs + "aircraft/Jodel2");
  const InstallPlan plan = plan_install(shared, unzip + "Bleu", fs + "aircraft/Jodel2");
  ASSERT_EQ(plan.sections.size(), 1u);
  EXPECT_EQ(plan.sections[0].number, 2);
  EXPECT_EQ(plan.sections[0].cfg, fs + "aircraft/Jodel2/aircraft.cfg");
  install({"Bleu"});
  EXPECT_EQ(cfg("Jodel2"), with_added({section("Jodel DR-1050 Bleu", "bleu")}));
  EXPECT_EQ(cfg(), base_cfg);

  ui.messages.clear();
  add("Cub/texture.cub/t.bmp", "cub");
  add("Cub/readme.txt", "[fltsim.X]\ntitle=Piper Cub Yellow\nsim=Cub\nmodel=\ntexture=cub\n");
  install({"Cub"});
  EXPECT_EQ(ui.message_texts().front(),
            "The livery Piper Cub Yellow needs the airplane it repaints: a folder in " + fs +
                "aircraft/ whose aircraft.cfg has sim=Cub and which holds model. Install that "
                "airplane first; nothing was installed");
  EXPECT_FALSE(has_record("Cub"));
}

// Removing an airplane takes the liveries of other packages in it along,
// named in the question: no record is left listing a folder that is gone.
TEST_F(LiveryTest, RemovingTheBaseTakesItsLiveriesAlong) {
  fs::remove_all(fs + "aircraft/Jodel");
  add("Jodel/aircraft.cfg", base_cfg);
  add("Jodel/model/jodel.mdl", "mdl");
  add("Jodel/texture.rouge/t.bmp", "rouge");
  install({"Jodel"});
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  install({"Bleu"});
  ASSERT_TRUE(has_record("Bleu"));
  // The airplane's sums still hold: it differs only by the livery's section.
  EXPECT_TRUE(verify_record(unzip + "Jodel.txt").problems.empty());
  test::write_file(fs + "aircraft/Jodel/aircraft.cfg", cfg() + "edited=1\r\n");
  EXPECT_EQ(verify_record(unzip + "Jodel.txt").problems.size(), 1u);

  const std::string question = removal_question({unzip + "Jodel.txt"}, "fs2004");
  EXPECT_NE(question.find("with the liveries installed in them: Bleu"), std::string::npos)
      << question;
  remove({"Jodel"});
  EXPECT_FALSE(has_record("Jodel"));
  EXPECT_FALSE(has_record("Bleu"));
  EXPECT_FALSE(fs::exists(fs + "aircraft/Jodel"));
}

// A section removed by hand shows in verify, and counts as removed.
TEST_F(LiveryTest, ASectionTheUserDeletedIsToldByVerifyAndCountsAsRemoved) {
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  install({"Bleu"});
  test::write_file(fs + "aircraft/Jodel/aircraft.cfg", base_cfg);
  const auto result = verify_record(unzip + "Bleu.txt");
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].what, "section missing: title=Jodel DR-1050 Bleu");
  remove({"Bleu"});
  EXPECT_FALSE(has_record("Bleu"));
  EXPECT_EQ(cfg(), base_cfg);
}

// A package of an airplane and a livery for another asks no "more than one
// airplane" question: the livery folder is no airplane, for the command
// line's questions as for the install.
TEST_F(LiveryTest, ALiveryFolderBesideAnAirplaneIsNoSecondAirplane) {
  add("Mixed/Cub/aircraft.cfg", "[fltsim.0]\r\ntitle=Cub\r\nsim=cub\r\nmodel=\r\n");
  add("Mixed/Cub/model/cub.mdl", "mdl");
  add("Mixed/Cub/cub.air", "air");
  add("Mixed/Jodel Vert/aircraft.cfg", snippet("1", "Jodel DR-1050 Vert", "vert"));
  add("Mixed/Jodel Vert/texture.vert/t.bmp", "v");
  EXPECT_TRUE(install_questions(unzip + "Mixed", "", fs).empty());
  install({"Mixed"});
  EXPECT_TRUE(ui.messages.empty()) << ui.message_texts().front();
  EXPECT_TRUE(fs::exists(fs + "aircraft/Mixed/model/cub.mdl"));
  EXPECT_EQ(cfg(), with_added({section("Jodel DR-1050 Vert", "vert")}));
}

// A sections file is plain text: one naming a file outside the simulator's
// airplanes has it neither opened by verify nor written by removal.
TEST_F(LiveryTest, ASectionsFileNamingAnyOtherFileIsRefused) {
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  install({"Bleu"});
  const std::string outside = tree.make_file("outside/aircraft.cfg", base_cfg);
  for (const std::string& named : {outside, fs + "gauges/aircraft.cfg"}) {
    SCOPED_TRACE(named);
    if (named != outside) tree.make_file("FS9/gauges/aircraft.cfg", base_cfg);
    test::write_file(unzip + "Bleu.txt.sections",
                     "cfg\t" + named + "\ntitle\tJodel DR-1050 Rouge\nend\t1\n");
    EXPECT_NE(verify_record(unzip + "Bleu.txt").failure.find("it was not opened"),
              std::string::npos);
    remove({"Bleu"});
    EXPECT_EQ(read_file(named), base_cfg);
    EXPECT_TRUE(has_record("Bleu"));
  }
}

// The airplane check of a livery's package checks the airplane it went
// into: its numbering holds, and a texture folder gone is found.
TEST_F(LiveryTest, TheCheckOfALiveryLooksAtItsAirplane) {
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  install({"Bleu"});
  EXPECT_TRUE(check_record(unzip + "Bleu.txt", fs).findings.empty());
  fs::remove_all(fs + "aircraft/Jodel/texture.bleu");
  const auto report = check_record(unzip + "Bleu.txt", fs);
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_EQ(report.findings[0].section, "fltsim.2");
}

// Killed once the texture folder is copied, before aircraft.cfg is written:
// the next Install completes it, and removal leaves the original.
TEST_F(LiveryTest, AnInstallKilledBeforeTheSectionIsCompletedByTheNext) {
  loose("Bleu", "Jodel DR-1050 Bleu", "bleu");
  const std::string copied = fs + "aircraft/Jodel/texture.bleu/t.bmp";
  const int status = install_killed("Bleu", [&](int) { return fs::exists(copied); });
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_TRUE(fs::exists(copied));
  ASSERT_EQ(cfg(), base_cfg);

  install({"Bleu"});
  EXPECT_EQ(cfg(), with_added({section("Jodel DR-1050 Bleu", "bleu")}));
  EXPECT_FALSE(install_unfinished(unzip + "Bleu.txt"));
  remove({"Bleu"});
  EXPECT_EQ(cfg(), base_cfg);
  EXPECT_FALSE(fs::exists(fs + "aircraft/Jodel/texture.bleu"));
}

}  // namespace
}  // namespace wingstow
