// The pictures of a package folder (ListBox1, AdvImage1, AdvImage3) and of
// an installed airplane (AdvImage2). Only paths matter here: the files are
// not decoded.

#include "commands/pictures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "packages/packages_fixture.h"

namespace wingstow {
namespace {

using test::PackagesFixture;
using Paths = std::vector<std::string>;

// A test that would block for good fails instead: SIGALRM ends the process.
struct Watchdog {
  Watchdog() { ::alarm(20); }
  ~Watchdog() { ::alarm(0); }
};

class PackagePicturesTest : public PackagesFixture {
 protected:
  void show(const std::string& package) {
    ui.selected_item = unzip + package;
    show_package_pictures(shared, ui);
  }
  void expect_shown(const std::string& path) {
    EXPECT_EQ(ui.pictures["AdvImage1"], path);
    EXPECT_EQ(ui.pictures["AdvImage3"], path);
  }
};

TEST_F(PackagePicturesTest, JpegsComeBeforeGifsAndTheFirstJpegIsShown) {
  add("Pack/a.jpg");
  add("Pack/shots/b.jpg");
  add("Pack/c.gif");
  add("Pack/0.gif");  // sorts before every JPEG, yet comes after them
  shared.FindFile1.InSubFolders = false;

  show("Pack");

  EXPECT_EQ(ui.picture_list, (Paths{unzip + "Pack/a.jpg", unzip + "Pack/shots/b.jpg",
                                    unzip + "Pack/0.gif", unzip + "Pack/c.gif"}));
  expect_shown(unzip + "Pack/a.jpg");
}

// Plain files only, whatever an earlier search asked of the finder.
TEST_F(PackagePicturesTest, HiddenPicturesAreNotListed) {
  add("Pack/.thumb.jpg");
  add("Pack/view.gif");
  shared.FindFile1.FileAttr = {TFileAttrKind::ffaAnyFile};

  show("Pack");

  EXPECT_EQ(ui.picture_list, Paths{unzip + "Pack/view.gif"});
  expect_shown(unzip + "Pack/view.gif");
}

// A named pipe called like a picture is neither listed nor shown, and the
// search does not block on it (the watchdog ends a blocked test).
TEST_F(PackagePicturesTest, NamedPipesAreNeverShown) {
  const Watchdog watchdog;
  add("Pack/a.gif");
  ASSERT_EQ(::mkfifo((unzip + "Pack/x.jpg").c_str(), 0600), 0);
  add("Piped/readme.txt");
  ASSERT_EQ(::mkfifo((unzip + "Piped/x.jpg").c_str(), 0600), 0);

  show("Pack");
  EXPECT_EQ(ui.picture_list, Paths{unzip + "Pack/a.gif"});
  expect_shown(unzip + "Pack/a.gif");

  show("Piped");
  EXPECT_TRUE(ui.picture_list.empty());
  expect_shown("");
  show_record_picture(shared, ui, unzip + "Piped");
  EXPECT_EQ(ui.pictures["AdvImage2"], "");
}

TEST_F(PackagePicturesTest, UpperCaseExtensionsAreFound) {
  add("Pack/PANEL.GIF");
  add("Pack/SHOT.JPG");

  show("Pack");

  EXPECT_EQ(ui.picture_list, (Paths{unzip + "Pack/SHOT.JPG", unzip + "Pack/PANEL.GIF"}));
  expect_shown(unzip + "Pack/SHOT.JPG");
}

TEST_F(PackagePicturesTest, OnlyGifsShowTheFirstGif) {
  add("Pack/two.gif");
  add("Pack/one.gif");

  show("Pack");

  EXPECT_EQ(ui.picture_list, (Paths{unzip + "Pack/one.gif", unzip + "Pack/two.gif"}));
  expect_shown(unzip + "Pack/one.gif");
}

// Nothing of the package shown before may stay.
TEST_F(PackagePicturesTest, PackageWithoutPicturesEmptiesBothViews) {
  add("Pictured/a.jpg");
  add("Bare/aircraft.cfg");
  add("Bare/readme.txt");
  show("Pictured");
  ASSERT_FALSE(ui.picture_list.empty());

  show("Bare");

  EXPECT_TRUE(ui.picture_list.empty());
  expect_shown("");
}

class RecordPictureTest : public PackagesFixture {
 protected:
  std::string shown() { return ui.pictures["AdvImage2"]; }
};

TEST_F(RecordPictureTest, FirstJpegEvenWhenAGifComesFirst) {
  add("Pack/a.gif");
  add("Pack/shots/z.jpg");
  add("Pack/shots/y.jpg");

  show_record_picture(shared, ui, unzip + "Pack");

  EXPECT_EQ(shown(), unzip + "Pack/shots/y.jpg");
}

TEST_F(RecordPictureTest, GifWhenThereIsNoJpeg) {
  add("Pack/aircraft.cfg");
  add("Pack/panel/b.gif");
  add("Pack/panel/a.gif");

  show_record_picture(shared, ui, unzip + "Pack");

  EXPECT_EQ(shown(), unzip + "Pack/panel/a.gif");
}

TEST_F(RecordPictureTest, NoPictureClearsTheView) {
  add("Pictured/a.jpg");
  add("Bare/aircraft.cfg");
  show_record_picture(shared, ui, unzip + "Pictured");

  show_record_picture(shared, ui, unzip + "Bare");

  EXPECT_EQ(shown(), "");
}

// The finder keeps its previous folder for a missing one; that folder's
// pictures must not be shown for the removed airplane.
TEST_F(RecordPictureTest, MissingFolderClearsTheView) {
  add("Pictured/a.jpg");
  show_record_picture(shared, ui, unzip + "Pictured");
  ASSERT_EQ(shown(), unzip + "Pictured/a.jpg");

  show_record_picture(shared, ui, unzip + "Gone");

  EXPECT_EQ(shown(), "");
}

TEST_F(RecordPictureTest, LeavesThePackageViewsAlone) {
  add("Pack/a.jpg");
  ui.pictures["AdvImage1"] = "package.jpg";
  ui.picture_list = {"package.jpg"};

  show_record_picture(shared, ui, unzip + "Pack");

  EXPECT_EQ(ui.pictures["AdvImage1"], "package.jpg");
  EXPECT_EQ(ui.picture_list, Paths{"package.jpg"});
}

}  // namespace
}  // namespace wingstow
