// Ownership one folder down: what a record lists inside another record's
// folder is its own, the rest the other's; whatever the order of removal,
// each takes only its part, and after the last the simulator is as before.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <algorithm>

#include "install/plan.h"
#include "install/trust_fixture.h"
#include "settings/record.h"
#include "settings/record_index.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::snapshot;
using test::Tree;
using FolderOwnershipTest = test::TrustFixture;

// Two packages complete one stock airplane (each brings a second airplane,
// so that both go in under their folders' names): the first adds the
// folder texture.red, the second a file of it (and its own copy of the
// first's file, which it shares), or a subfolder of it.
TEST_F(FolderOwnershipTest, TwoPackagesCompletingOneAirplaneOneFolderDownInEitherOrder) {
  tree.make_file("FS9/aircraft/Stock/aircraft.cfg", "stock cfg");
  tree.make_file("FS9/aircraft/Stock/texture/t.bmp", "stock texture");
  const Tree before = snapshot(fs);
  add("Red/Stock/aircraft.cfg", "red cfg");
  add("Red/Stock/texture.red/t1.bmp", "red 1");
  add("Red/RedTwo/aircraft.cfg", "red two");
  add("Blue/Stock/aircraft.cfg", "blue cfg");
  add("Blue/Stock/texture.red/t1.bmp", "blue 1");
  add("Blue/Stock/texture.red/t2.bmp", "blue 2");
  add("Blue/BlueTwo/aircraft.cfg", "blue two");
  add("Green/Stock/aircraft.cfg", "green cfg");
  add("Green/Stock/texture.red/sub/t3.bmp", "green 3");
  add("Green/GreenTwo/aircraft.cfg", "green two");
  const std::string red = fs + "aircraft/Stock/texture.red";
  struct Case {
    std::string second;               // the package completing texture.red
    std::vector<std::string> listed;  // what it lists there
    std::string inside;               // what it adds there
    bool first_goes_first;
    bool stays_until_red_goes;  // its own part, when it goes first
  };
  const std::vector<Case> cases = {
      {"Blue", {red + "/t1.bmp", red + "/t2.bmp"}, "t2.bmp", true, false},
      // A file of a record inside another's folder may have been there
      // before it: it stays, and goes with that folder.
      {"Blue", {red + "/t1.bmp", red + "/t2.bmp"}, "t2.bmp", false, true},
      {"Green", {red + "/sub"}, "sub/t3.bmp", true, false},
      {"Green", {red + "/sub"}, "sub/t3.bmp", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second + (c.first_goes_first ? ", Red first" : ", Red last"));
    install({"Red"});
    if (c.second == "Blue") {
      const auto text = plan_text(plan_install(shared, package("Blue")));
      EXPECT_NE(std::find(text.begin(), text.end(),
                          "exists " + red + "/t1.bmp: shared with Red: recorded, not copied"),
                text.end());
    }
    install({c.second.c_str()});
    EXPECT_EQ(record_of("Red"), (std::vector<std::string>{fs + "aircraft/RedTwo", red}));
    auto listed = c.listed;
    listed.insert(listed.begin(), fs + "aircraft/" + c.second + "Two");
    EXPECT_EQ(record_of(c.second.c_str()), listed);

    if (c.first_goes_first) {
      remove({"Red"});
      // What the second lists stays for it, the rest of Red's folder goes.
      EXPECT_EQ(fs::exists(red + "/t1.bmp"), c.second == "Blue");
      EXPECT_EQ(read_file(red + "/" + c.inside), c.second == "Blue" ? "blue 2" : "green 3");
      // The folder stays for the package that owns something in it.
      EXPECT_EQ(record_of(c.second.c_str()).back(), red);
      remove({c.second.c_str()});
    } else {
      remove({c.second.c_str()});
      EXPECT_EQ(fs::exists(red + "/" + c.inside), c.stays_until_red_goes);
      EXPECT_EQ(read_file(red + "/t1.bmp"), "red 1");
      remove({"Red"});
    }
    EXPECT_EQ(snapshot(fs), before);
    EXPECT_FALSE(has_record("Red"));
    EXPECT_FALSE(has_record(c.second));
  }
}

// A livery's folder inside an airplane another package brought: each record
// takes its part, in either order, and the airplane folder goes with the
// last of them.
TEST_F(FolderOwnershipTest, FolderInsideAnotherRecordsFolderInEitherOrder) {
  const Tree before = snapshot(fs);
  for (const bool base_first : {true, false}) {
    SCOPED_TRACE(base_first ? "base first" : "livery first");
    const std::string plane = fs + "aircraft/Plane";
    tree.make_file("FS9/aircraft/Plane/aircraft.cfg", "cfg");
    tree.make_file("FS9/aircraft/Plane/texture/t.bmp", "base");
    tree.make_file("FS9/aircraft/Plane/texture.livery/l.bmp", "livery");
    write_record(unzip + "Base.txt", {plane});
    write_record(unzip + "Livery.txt", {plane + "/texture.livery"});
    EXPECT_EQ(RecordIndex::load(unzip).cover(plane + "/texture.livery/l.bmp", fs)->records,
              std::vector<std::string>{unzip + "Livery.txt"});
    EXPECT_EQ(RecordIndex::load(unzip).cover(plane + "/texture/t.bmp", fs)->records,
              std::vector<std::string>{unzip + "Base.txt"});

    remove({base_first ? "Base" : "Livery"});
    if (base_first) {
      EXPECT_EQ(snapshot(plane + "/"),
                (Tree{{"texture.livery/", ""}, {"texture.livery/l.bmp", "livery"}}));
      EXPECT_EQ(record_of("Livery"), (std::vector<std::string>{plane + "/texture.livery", plane}));
    } else {
      EXPECT_FALSE(fs::exists(plane + "/texture.livery"));
      EXPECT_EQ(read_file(plane + "/texture/t.bmp"), "base");
    }
    remove({base_first ? "Livery" : "Base"});
    EXPECT_EQ(snapshot(fs), before);
    EXPECT_FALSE(has_record("Base"));
    EXPECT_FALSE(has_record("Livery"));
  }
  // What another record lists inside may be gone already: nothing stays.
  tree.make_file("FS9/aircraft/Plane/aircraft.cfg", "cfg");
  write_record(unzip + "Base.txt", {fs + "aircraft/Plane"});
  write_record(unzip + "Gone.txt", {fs + "aircraft/Plane/texture.gone"});
  remove({"Base"});
  EXPECT_EQ(snapshot(fs), before);
  EXPECT_EQ(record_of("Gone"), std::vector<std::string>{fs + "aircraft/Plane/texture.gone"});
}

}  // namespace
}  // namespace wingstow
