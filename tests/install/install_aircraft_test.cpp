#include "install/install_aircraft.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "install/install_fixture.h"
#include "platform/error.h"

namespace wingstow {
namespace {

using test::copy_warning;
using test::InstallFixture;
using test::read_file;
using test::snapshot;
using Tree = std::map<std::string, std::string>;
using Texts = std::vector<std::string>;

const char* const several_question =
    "More than one airplane will be installed , Do you want to continue ? ";

class InstallAircraftTest : public InstallFixture {
 protected:
  // Pack/A and Pack/b: two airplanes, listed A before b.
  std::string make_pack() {
    add("Pack/b/aircraft.cfg", "b cfg");
    add("Pack/b/model/b.mdl", "b model");
    add("Pack/A/aircraft.cfg", "A cfg");
    add("Pack/readme.txt", "not part of an airplane");
    return package("Pack");
  }
  Tree aircraft() const { return snapshot(fs + "aircraft/"); }
};

TEST_F(InstallAircraftTest, OneAirplaneGoesInUnderThePackageName) {
  add("Cessna/readme.txt");
  add("Cessna/Aircraft/C172/aircraft.cfg", "[fltsim.0]");
  add("Cessna/Aircraft/C172/model/c172.mdl", "model");
  add("Cessna/Aircraft/C172/panel/panel.cfg", "panel");
  add("Cessna/Aircraft/C172/panel/gauge1.gau", "gauge");
  shared.abort_flag = 1;  // left over from the package before

  install_aircraft(shared, ui, state, package("Cessna"));

  EXPECT_EQ(shared.abort_flag, 0);
  EXPECT_EQ(shared.record_name, "Cessna.txt");
  EXPECT_EQ(record("Cessna"), fs + "aircraft/Cessna\r\n");
  EXPECT_EQ(aircraft(), (Tree{{"Cessna/", ""},
                              {"Cessna/aircraft.cfg", "[fltsim.0]"},
                              {"Cessna/model/", ""},
                              {"Cessna/model/c172.mdl", "model"},
                              {"Cessna/panel/", ""},
                              {"Cessna/panel/panel.cfg", "panel"}}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(InstallAircraftTest, SeveralAirplanesAnsweredYes) {
  const std::string pack = make_pack();

  install_aircraft(shared, ui, state, pack);

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::warning);
  EXPECT_EQ(ui.messages[0].text, several_question);
  EXPECT_EQ(ui.messages[0].buttons, Buttons::yes_no);
  EXPECT_EQ(shared.abort_flag, 0);
  EXPECT_EQ(record("Pack"), lines({fs + "aircraft/A", fs + "aircraft/b"}));
  EXPECT_EQ(aircraft(), (Tree{{"A/", ""},
                              {"A/aircraft.cfg", "A cfg"},
                              {"b/", ""},
                              {"b/aircraft.cfg", "b cfg"},
                              {"b/model/", ""},
                              {"b/model/b.mdl", "b model"}}));
}

TEST_F(InstallAircraftTest, SeveralAirplanesAnsweredNo) {
  const std::string pack = make_pack();
  ui.answers = {Answer::no};

  install_aircraft(shared, ui, state, pack);

  EXPECT_EQ(ui.message_texts(), Texts{several_question});
  EXPECT_EQ(shared.abort_flag, 1);
  EXPECT_FALSE(has_record("Pack"));
  EXPECT_TRUE(aircraft().empty());
}

TEST_F(InstallAircraftTest, ProgressCaptionsDifferByOneBlank) {
  make_pack();
  add("Single/aircraft.cfg");

  install_aircraft(shared, ui, state, package("Pack"));
  install_aircraft(shared, ui, state, package("Single"));

  EXPECT_EQ(ui.progress, (Texts{"caption " + package("Pack") + "  ---->  fs2004",
                                "caption " + package("Single") + "  ----> fs2004"}));
}

TEST_F(InstallAircraftTest, BatchModeAsksAndTellsNothing) {
  ui.prompt = true;
  const std::string pack = make_pack();
  add("Single/aircraft.cfg");
  add("Empty/readme.txt");

  install_aircraft(shared, ui, state, pack);
  EXPECT_EQ(shared.abort_flag, 0);
  EXPECT_EQ(record("Pack"), lines({fs + "aircraft/A", fs + "aircraft/b"}));
  install_aircraft(shared, ui, state, package("Single"));
  EXPECT_EQ(shared.abort_flag, 0);
  finish("Pack");
  finish("Single");

  const Tree before = snapshot(tree.root());
  for (const char* name : {"Pack", "Single", "Empty"}) {
    shared.abort_flag = 0;
    install_aircraft(shared, ui, state, package(name));
    EXPECT_EQ(shared.abort_flag, 1) << name;
  }
  EXPECT_EQ(snapshot(tree.root()), before);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(InstallAircraftTest, NoAirplaneFound) {
  add("Scenery/texture/ground.bmp");

  install_aircraft(shared, ui, state, package("Scenery"));

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
  EXPECT_EQ(ui.messages[0].text, "No airplane found, Installation not possible !");
  EXPECT_EQ(ui.messages[0].buttons, Buttons::ok);
  EXPECT_EQ(shared.abort_flag, 1);
  EXPECT_FALSE(has_record("Scenery"));
  EXPECT_TRUE(aircraft().empty());
}

TEST_F(InstallAircraftTest, SecondInstallIsRefusedAndChangesNothing) {
  add("Cessna/aircraft.cfg", "new");
  const std::string pack = make_pack();
  install_aircraft(shared, ui, state, package("Cessna"));
  install_aircraft(shared, ui, state, pack);
  ASSERT_EQ(shared.abort_flag, 0);
  finish("Cessna");
  finish("Pack");
  // Even an airplane removed by hand since does not make the package new.
  std::filesystem::remove_all(fs + "aircraft/Cessna");
  ui.messages.clear();
  const Tree before = snapshot(tree.root());

  install_aircraft(shared, ui, state, package("Cessna"));
  EXPECT_EQ(shared.abort_flag, 1);
  shared.abort_flag = 0;
  install_aircraft(shared, ui, state, pack);
  EXPECT_EQ(shared.abort_flag, 1);

  EXPECT_EQ(snapshot(tree.root()), before);
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0].kind, MessageKind::information);
  EXPECT_EQ(ui.messages[0].text, "Airplane already installed " + package("Cessna"));
  EXPECT_EQ(ui.messages[0].buttons, Buttons::ok);
  // With several airplanes the refusal comes after the Yes.
  EXPECT_EQ(ui.messages[1].text, several_question);
  EXPECT_EQ(ui.messages[2].text, "Airplane already installed " + pack);
}

TEST_F(InstallAircraftTest, NestedAirplanesAreEachInstalled) {
  add("Pack/A/aircraft.cfg", "outer");
  add("Pack/A/B/aircraft.cfg", "inner");

  install_aircraft(shared, ui, state, package("Pack"));

  EXPECT_EQ(record("Pack"), lines({fs + "aircraft/A", fs + "aircraft/B"}));
  EXPECT_EQ(aircraft(), (Tree{{"A/", ""},
                              {"A/aircraft.cfg", "outer"},
                              {"A/B/", ""},
                              {"A/B/aircraft.cfg", "inner"},
                              {"B/", ""},
                              {"B/aircraft.cfg", "inner"}}));
}

TEST_F(InstallAircraftTest, ExistingAirplaneFolderIsCompletedNotOverwritten) {
  tree.make_file("FS9/aircraft/Cessna/aircraft.cfg", "the user's own");
  add("Cessna/aircraft.cfg", "from the package");
  add("Cessna/model/c172.mdl", "model");

  install_aircraft(shared, ui, state, package("Cessna"));

  EXPECT_EQ(aircraft(), (Tree{{"Cessna/", ""},
                              {"Cessna/aircraft.cfg", "the user's own"},
                              {"Cessna/model/", ""},
                              {"Cessna/model/c172.mdl", "model"}}));
  // Not ours: the record lists what the copy added, not the folder.
  EXPECT_EQ(record("Cessna"), fs + "aircraft/Cessna/model\r\n");
}

// A Wine tree spells the folder's contents its own way: the existing
// spellings are completed, never doubled, and the record lists what was
// added as the package spells it.
TEST_F(InstallAircraftTest, ExistingAirplaneFolderIsCompletedInAnyLetterCase) {
  tree.make_file("FS9/aircraft/Cessna/Aircraft.CFG", "the user's own");
  tree.make_file("FS9/aircraft/Cessna/Model/C172.MDL", "old model");
  add("Cessna/aircraft.cfg", "from the package");
  add("Cessna/model/c172.mdl", "new model");
  add("Cessna/model/extra.mdl", "extra");
  add("Cessna/PANEL/panel.cfg", "panel");

  install_aircraft(shared, ui, state, package("Cessna"));

  EXPECT_EQ(aircraft(), (Tree{{"Cessna/", ""},
                              {"Cessna/Aircraft.CFG", "the user's own"},
                              {"Cessna/Model/", ""},
                              {"Cessna/Model/C172.MDL", "old model"},
                              {"Cessna/Model/extra.mdl", "extra"},
                              {"Cessna/PANEL/", ""},
                              {"Cessna/PANEL/panel.cfg", "panel"}}));
  EXPECT_EQ(record("Cessna"),
            fs + "aircraft/Cessna/model/extra.mdl\r\n" + fs + "aircraft/Cessna/PANEL\r\n");
  EXPECT_TRUE(failures().empty());
}

// The line goes in before the copy; a folder that could not even be made is
// taken out again and reported, the package stays installed as far as it got.
TEST_F(InstallAircraftTest, FailedAirplaneFolderIsReportedAndLeftOutOfTheRecord) {
  std::filesystem::remove(fs + "aircraft");  // only one folder level is created
  add("Cessna/aircraft.cfg");

  install_aircraft(shared, ui, state, package("Cessna"));

  EXPECT_EQ(shared.abort_flag, 0);
  EXPECT_TRUE(has_record("Cessna"));
  EXPECT_EQ(record("Cessna"), "");
  EXPECT_EQ(failures(),
            (std::vector<std::pair<std::string, int>>{{fs + "aircraft/Cessna", ENOENT}}));
  EXPECT_FALSE(std::filesystem::exists(fs + "aircraft"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(InstallAircraftTest, RecordThatCannotBeWrittenStopsBeforeAnyCopy) {
  add("Cessna/aircraft.cfg");
  shared.unzip_path = tree.path("no_such_unzip/");

  try {
    install_aircraft(shared, ui, state, package("Cessna"));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find(shared.unzip_path + "Cessna.txt"), std::string::npos)
        << error.what();
  }
  EXPECT_TRUE(aircraft().empty());
}

TEST_F(InstallAircraftTest, NamesWithLineBreaksAreNeverInstalled) {
  add("Pack/Bad\nName/aircraft.cfg");
  add("Pack/Good/aircraft.cfg", "good");
  add("Pack/Good/ok.txt", "ok");
  add("Pack/Good/evil\nfile.txt");
  add("Pack/Good/evil\rfolder/x.txt");

  install_aircraft(shared, ui, state, package("Pack"));

  EXPECT_EQ(ui.message_texts(), Texts{several_question});
  EXPECT_EQ(failures(),
            (std::vector<std::pair<std::string, int>>{{fs + "aircraft/Bad\nName", EINVAL}}));
  EXPECT_EQ(record("Pack"), fs + "aircraft/Good\r\n");
  EXPECT_EQ(aircraft(),
            (Tree{{"Good/", ""}, {"Good/aircraft.cfg", "good"}, {"Good/ok.txt", "ok"}}));

  // A package named so is refused whole: its record could not name it.
  add("Two\nLines/aircraft.cfg");
  ui.messages.clear();
  state.report.clear();
  install_aircraft(shared, ui, state, package("Two\nLines"));
  EXPECT_EQ(shared.abort_flag, 1);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(failures(),
            (std::vector<std::pair<std::string, int>>{{fs + "aircraft/Two\nLines", EINVAL}}));
  EXPECT_FALSE(has_record("Two\nLines"));
  EXPECT_EQ(aircraft().count("Two\nLines/"), 0u);
}

// copy_folder_tree on its own: what an airplane folder leaves behind.
class CopyFolderTreeTest : public InstallFixture {
 protected:
  std::string source = tree.make_folder("src");
  std::string target = tree.path("dst/");
};

TEST_F(CopyFolderTreeTest, LeavesOutGaugesArchivesAndHiddenEntries) {
  for (const char* name : {"aircraft.cfg",      "top.gau",
                           "top.GAU",           "pack.zip",
                           "pack.ZIP",          "keep.Gau",
                           "keep.Zip",          "gauges/in_gauges.cfg",
                           "GAUGES/a.gau",      "GAUGES/b.GAU",
                           "GAUGES/c.Gau",      "GAUGES/d.Zip",
                           "GAUGES/e.cfg",      "panel/gauge1.gau",
                           "panel/panel.cfg",   ".hidden",
                           ".hidden_dir/x.cfg", "a",
                           "sub/deeper/.h",     "sub/deeper/f"})
    tree.make_file("src/" + std::string(name), name);

  copy_folder_tree(source, target, true);

  EXPECT_EQ(snapshot(target), (Tree{{"a", "a"},
                                    {"aircraft.cfg", "aircraft.cfg"},
                                    {"GAUGES/", ""},
                                    {"GAUGES/c.Gau", "GAUGES/c.Gau"},
                                    {"GAUGES/d.Zip", "GAUGES/d.Zip"},
                                    {"GAUGES/e.cfg", "GAUGES/e.cfg"},
                                    {"keep.Gau", "keep.Gau"},
                                    {"keep.Zip", "keep.Zip"},
                                    {"panel/", ""},
                                    {"panel/panel.cfg", "panel/panel.cfg"},
                                    {"sub/", ""},
                                    {"sub/deeper/", ""},
                                    {"sub/deeper/f", "sub/deeper/f"}}));
}

// Into a tree that is there, in any letter case, and into one the copy
// makes: a name taken in any case is never taken twice, and what cannot
// become a folder is reported.
TEST_F(CopyFolderTreeTest, CompletesWhatIsThereInAnyLetterCase) {
  for (const char* name : {"Panel/panel.cfg", "panel/extra.cfg", "texture/A.bmp", "texture/a.BMP",
                           "Texture/b.bmp", "Sound/s.wav", "link/l.cfg"})
    tree.make_file("src/" + std::string(name), name);
  tree.make_file("dst/PANEL/Panel.CFG", "kept");
  tree.make_file("dst/sound", "a file");
  ::symlink(tree.path("elsewhere").c_str(), tree.path("dst/LINK").c_str());
  InstallReport report;

  copy_folder_tree(source, target, true, {}, &report);

  EXPECT_EQ(snapshot(target), (Tree{{"LINK", "-> " + tree.path("elsewhere")},
                                    {"PANEL/", ""},
                                    {"PANEL/extra.cfg", "panel/extra.cfg"},
                                    {"PANEL/Panel.CFG", "kept"},
                                    {"sound", "a file"},
                                    {"Texture/", ""},
                                    {"Texture/A.bmp", "texture/A.bmp"},
                                    {"Texture/b.bmp", "Texture/b.bmp"}}));
  std::vector<std::pair<std::string, int>> failed;
  for (const auto& failure : report.failures) failed.emplace_back(failure.path, failure.error);
  EXPECT_EQ(failed, (std::vector<std::pair<std::string, int>>{{target + "link", ELOOP},
                                                              {target + "Sound", EEXIST}}));
}

// A folder of many files, which the copy shares between threads where the
// machine has the cores: every file comes whole, each with the sum of what
// was written, a name taken in another letter case is taken once, and what
// was there stays and has no sum.
TEST_F(CopyFolderTreeTest, ManyFilesComeWholeWithTheirSums) {
  std::map<std::string, std::string> made;
  for (int i = 0; i < 60; ++i) {
    // Empty, small, and over a copy's chunk of a megabyte.
    const std::size_t size = i % 20 == 0 ? 0 : i % 7 == 0 ? (1u << 20) + 4097u * i : 97u * i;
    std::string content(size, '\0');
    for (std::size_t k = 0; k < size; ++k) content[k] = static_cast<char>((k * 31 + i) & 0xff);
    const std::string name = "texture/t" + std::to_string(i) + ".bmp";
    tree.make_file("src/" + name, content);
    made[name] = content;
  }
  tree.make_file("src/texture/Twin.bmp", "first");
  tree.make_file("src/texture/twin.BMP", "second");
  tree.make_file("src/texture/kept.bmp", "the package's");
  tree.make_file("dst/texture/kept.bmp", "the user's");
  InstallReport report;
  CopiedSums sums;

  copy_folder_tree(source, target, true, {}, &report, &sums);

  EXPECT_TRUE(report.empty());
  for (const auto& [name, content] : made) {
    SCOPED_TRACE(name);
    const std::string path = target + name;
    ASSERT_EQ(test::read_file(path), content);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const auto crc = static_cast<std::uint32_t>(crc32(
        0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    EXPECT_EQ(sums.crc_of(path, content.size(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec), crc);
  }
  EXPECT_EQ(sums.size(), made.size() + 1);  // and one of the twins
  const Tree copied = snapshot(target);
  EXPECT_EQ(copied.count("texture/Twin.bmp") + copied.count("texture/twin.BMP"), 1u);
  EXPECT_EQ(copied.at("texture/kept.bmp"), "the user's");
}

TEST_F(CopyFolderTreeTest, WithoutRecursionOnlyTheFilesOfTheFolder) {
  tree.make_file("src/aircraft.cfg", "cfg");
  tree.make_file("src/model/a.mdl");

  copy_folder_tree(source, target, false);

  EXPECT_EQ(snapshot(target), (Tree{{"aircraft.cfg", "cfg"}}));
}

TEST_F(CopyFolderTreeTest, LinkedFoldersAreNotFollowed) {
  tree.make_file("src/aircraft.cfg", "cfg");
  tree.make_file("elsewhere/secret.txt");
  ASSERT_EQ(::symlink("..", tree.path("src/up").c_str()), 0);
  ASSERT_EQ(::symlink(tree.path("elsewhere").c_str(), tree.path("src/away").c_str()), 0);

  copy_folder_tree(source, target, true);

  EXPECT_EQ(snapshot(target), (Tree{{"aircraft.cfg", "cfg"}}));
}

}  // namespace
}  // namespace wingstow
