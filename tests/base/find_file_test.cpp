#include "base/find_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "settings/shared.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

using enum TFileAttrKind;
using test::TempTree;
using Paths = std::vector<std::string>;

class FindFileTest : public ::testing::Test {
 protected:
  // Searches folder F of the tree with the finder's current settings.
  Paths search(const std::string& folder) {
    finder.setPath(folder);
    return finder.Search();
  }

  TempTree tree;
  std::string F = tree.make_folder("F");
  TFindFile finder;
};

TEST(TFileAttrTest, BitsOfEachSet) {
  EXPECT_EQ(TFileAttr{}.mask(), 0u);
  EXPECT_TRUE(TFileAttr{}.empty());
  EXPECT_EQ(TFileAttr{ffaDirectory}.mask(), 0x10u);
  EXPECT_EQ(TFileAttr{ffaAnyFile}.mask(), 0x3Fu);
  EXPECT_EQ((TFileAttr{ffaReadOnly, ffaArchive}.mask()), 0x21u);
  EXPECT_EQ((TFileAttr{ffaHidden, ffaSysFile, ffaVolumeID}.mask()), 0x0Eu);
  EXPECT_TRUE(TFileAttr{ffaDirectory}.contains(ffaDirectory));
  EXPECT_FALSE(TFileAttr{ffaDirectory}.contains(ffaHidden));
}

TEST_F(FindFileTest, ConstructorDefaultsAndTheMainWindowsFinder) {
  std::string cwd = std::filesystem::current_path().string();
  if (cwd.back() != platform::sep) cwd += platform::sep;
  const TFindFile fresh;
  EXPECT_EQ(fresh.Path(), cwd);
  EXPECT_EQ(fresh.FileMask, "*.*");
  EXPECT_FALSE(fresh.InSubFolders);
  EXPECT_EQ(fresh.FileAttr, TFileAttr{ffaAnyFile});

  const Shared shared(tree.root());
  EXPECT_EQ(shared.FindFile1.FileAttr, TFileAttr{});
  EXPECT_TRUE(shared.FindFile1.InSubFolders);
  EXPECT_EQ(shared.FindFile1.FileMask, "*.*");
}

TEST_F(FindFileTest, PathSetterKeepsThePreviousFolderUnlessGivenAnotherExistingOne) {
  const std::string other = tree.make_folder("Other");
  tree.make_file("F/in_f.cfg");
  tree.make_file("Other/in_other.cfg");
  tree.make_file("plain.cfg");

  finder.setPath(tree.path("F"));  // stored with its separator
  EXPECT_EQ(finder.Path(), F);
  finder.setPath(F);
  EXPECT_EQ(finder.Path(), F);  // not doubled

  for (const std::string& refused : {tree.path("missing"), std::string(), tree.path("plain.cfg")}) {
    finder.setPath(refused);
    EXPECT_EQ(finder.Path(), F) << refused;
  }
  finder.FileMask = "*.cfg";
  finder.InSubFolders = false;
  // The search then runs in the folder that stayed.
  EXPECT_EQ(finder.Search(), Paths{F + "in_f.cfg"});

  finder.setPath(other);
  EXPECT_EQ(finder.Path(), other);
  EXPECT_EQ(finder.Search(), Paths{other + "in_other.cfg"});
}

TEST_F(FindFileTest, ResultsAreDepthFirstPreOrderSortedWithoutRegardToCase) {
  for (const char* file : {"F/b.txt", "F/A.txt", "F/c/x.txt", "F/c/Z/y.txt", "F/c/a/w.txt",
                           "F/c/a/deep/u.txt", "F/B/v.txt", "F/B/skip.cfg"})
    tree.make_file(file);
  tree.make_folder("F/empty");
  finder.FileMask = "*.txt";
  finder.FileAttr = {};
  finder.InSubFolders = true;

  const Paths expected{F + "A.txt",     F + "b.txt",          F + "B/v.txt",  F + "c/x.txt",
                       F + "c/a/w.txt", F + "c/a/deep/u.txt", F + "c/Z/y.txt"};
  EXPECT_EQ(search(F), expected);
  // Each search replaces the list rather than adding to it.
  EXPECT_EQ(finder.Search(), expected);

  finder.InSubFolders = false;
  EXPECT_EQ(finder.Search(), (Paths{F + "A.txt", F + "b.txt"}));
}

TEST_F(FindFileTest, MatchesNamesWithoutRegardToCase) {
  tree.make_file("F/one/AIRCRAFT.CFG");
  tree.make_file("F/two/Aircraft.Cfg");
  tree.make_file("F/three/aircraft.cfg.bak");
  tree.make_file("F/gauge1.gau");
  tree.make_file("F/gauge10.gau");
  finder.FileAttr = {};
  finder.InSubFolders = true;

  finder.FileMask = "aircraft.cfg";
  EXPECT_EQ(search(F), (Paths{F + "one/AIRCRAFT.CFG", F + "two/Aircraft.Cfg"}));
  finder.FileMask = "GAUGE?.GAU";
  EXPECT_EQ(search(F), Paths{F + "gauge1.gau"});
}

TEST_F(FindFileTest, EmptyAttributeSetListsOrdinaryFilesOnly) {
  tree.make_file("F/plain.wav");
  const std::string read_only = tree.make_file("F/read_only.wav");
  ASSERT_TRUE(platform::set_file_attributes(read_only, platform::attr_read_only));
  tree.make_file("F/.hidden.wav");
  tree.make_folder("F/old.wav");
  tree.make_file("F/.secret/inside.wav");
  tree.make_file("F/sub/found.wav");
  finder.FileMask = "*.wav";
  finder.InSubFolders = true;
  finder.FileAttr = {};

  EXPECT_EQ(search(F), (Paths{F + "plain.wav", F + "read_only.wav", F + "sub/found.wav"}));

  // With folders admitted, a folder whose name matches is listed like a
  // file; hidden entries still are not, and hidden folders are not entered.
  finder.FileAttr = {ffaDirectory};
  EXPECT_EQ(search(F),
            (Paths{F + "old.wav", F + "plain.wav", F + "read_only.wav", F + "sub/found.wav"}));
}

// Named pipes and sockets are system entries: the plain searches every
// install and picture look-up makes never hand them out to be opened.
TEST_F(FindFileTest, SpecialFilesAreListedOnlyWhenSystemEntriesAreAsked) {
  tree.make_file("F/plain.jpg");
  ASSERT_EQ(::mkfifo(tree.path("F/pipe.jpg").c_str(), 0600), 0);
  tree.make_folder("F/sub");
  ASSERT_EQ(::mkfifo(tree.path("F/sub/pipe.jpg").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = tree.path("F/socket.jpg");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(sock);
  finder.FileMask = "*.jpg";
  finder.InSubFolders = true;

  finder.FileAttr = {};
  EXPECT_EQ(search(F), Paths{F + "plain.jpg"});
  finder.FileAttr = {ffaSysFile};
  EXPECT_EQ(search(F),
            (Paths{F + "pipe.jpg", F + "plain.jpg", F + "socket.jpg", F + "sub/pipe.jpg"}));
}

TEST_F(FindFileTest, AnyFileListsDotEntriesAndHiddenOnesButNeverEntersHiddenFolders) {
  tree.make_file("F/a.txt");
  tree.make_file("F/.h");
  tree.make_file("F/.hd/x");
  tree.make_file("F/sub/y");
  finder.InSubFolders = true;  // constructor defaults otherwise: [ffaAnyFile], "*.*"

  EXPECT_EQ(search(F), (Paths{F + ".", F + "..", F + ".h", F + ".hd", F + "a.txt", F + "sub",
                              F + "sub/.", F + "sub/..", F + "sub/y"}));
}

TEST_F(FindFileTest, EmptyMaskAndEmptyFoldersListNothing) {
  tree.make_file("F/a.txt");
  tree.make_file("F/sub/b.txt");
  tree.make_folder("E");
  finder.InSubFolders = true;
  finder.FileAttr = {};

  finder.FileMask = "";
  EXPECT_TRUE(search(F).empty());
  finder.FileMask = "*.*";
  EXPECT_TRUE(search(tree.path("E")).empty());
  finder.FileMask = "*.gau";
  EXPECT_TRUE(search(F).empty());
}

TEST_F(FindFileTest, LinkedFoldersAreNotEntered) {
  tree.make_file("F/sub/a.cfg");
  tree.make_file("Outside/b.cfg");
  ASSERT_EQ(::symlink("..", tree.path("F/sub/loop").c_str()), 0);
  ASSERT_EQ(::symlink(tree.path("Outside").c_str(), tree.path("F/outside").c_str()), 0);
  finder.FileMask = "*.cfg";
  finder.FileAttr = {};
  finder.InSubFolders = true;

  EXPECT_EQ(search(F), Paths{F + "sub/a.cfg"});
}

}  // namespace
}  // namespace wingstow
