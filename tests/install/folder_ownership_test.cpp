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
// folder texture.red, the second a file of it, or a subfolder of it.
TEST_F(FolderOwnershipTest, TwoPackagesCompletingOneAirplaneOneFolderDownInEitherOrder) {
  tree.make_file("FS9/aircraft/Stock/aircraft.cfg", "stock cfg");
  tree.make_file("FS9/aircraft/Stock/texture/t.bmp", "stock texture");
  const Tree before = snapshot(fs);
  add("Red/Stock/aircraft.cfg", "red cfg");
  add("Red/Stock/texture.red/t1.bmp", "red 1");
  add("Red/RedTwo/aircraft.cfg", "red two");
  struct Case {
    const char* second;  // the package completing texture.red
    const char* inside;  // what it adds there
    bool first_goes_first;
  };
  const std::vector<Case> cases = {
      {"Blue", "t2.bmp", true},
      {"Blue", "t2.bmp", false},
      {"Green", "sub/t3.bmp", true},
      {"Green", "sub/t3.bmp", false},
  };
  add("Blue/Stock/aircraft.cfg", "blue cfg");
  add("Blue/Stock/texture.red/t1.bmp", "blue 1");
  add("Blue/Stock/texture.red/t2.bmp", "blue 2");
  add("Blue/BlueTwo/aircraft.cfg", "blue two");
  add("Green/Stock/aircraft.cfg", "green cfg");
  add("Green/Stock/texture.red/sub/t3.bmp", "green 3");
  add("Green/GreenTwo/aircraft.cfg", "green two");
  const std::string red = fs + "aircraft/Stock/texture.red";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.second) + (c.first_goes_first ? ", Red first" : ", Red last"));
    install({"Red"});
    if (std::string(c.second) == "Blue") {
      const auto text = plan_text(plan_install(shared, package("Blue")));
      EXPECT_NE(std::find(text.begin(), text.end(),
                          "exists " + red + "/t1.bmp: inside " + red +
                              " of Red: theirs, left alone and not recorded"),
                text.end());
    }
    install({c.second});
    const std::string own =
        red + "/" + (std::string(c.inside).starts_with("sub/") ? "sub" : "t2.bmp");
    EXPECT_EQ(record_of("Red"), (std::vector<std::string>{fs + "aircraft/RedTwo", red}));
    // Red's t1.bmp is Red's: the second package lists only what it added.
    EXPECT_EQ(record_of(c.second),
              (std::vector<std::string>{fs + "aircraft/" + c.second + "Two", own}));

    if (c.first_goes_first) {
      remove({"Red"});
      EXPECT_FALSE(fs::exists(red + "/t1.bmp"));
      EXPECT_EQ(read_file(red + "/" + c.inside),
                std::string(c.second) == "Blue" ? "blue 2" : "green 3");
      // The folder stays for the package that owns something in it.
      EXPECT_EQ(record_of(c.second).back(), red);
      remove({c.second});
    } else {
      remove({c.second});
      EXPECT_FALSE(fs::exists(red + "/" + c.inside));
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
