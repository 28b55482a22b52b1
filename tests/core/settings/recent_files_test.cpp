// The recently-used list: ordering, capacity and its record in the settings file.
#include "core/settings/recent_files.h"

#include <gtest/gtest.h>

#include "core/settings/settings_keys.h"
#include "test_dir.h"

namespace tolvan {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;
using Entries = std::vector<RecentFiles::Entry>;

std::vector<std::string> paths(const RecentFiles& r) {
  std::vector<std::string> out;
  for (const auto& e : r.entries()) out.push_back(e.path);
  return out;
}

TEST(RecentFilesTest, AddKeepsTheMostRecentFirst) {
  struct Case {
    const char* name;
    std::vector<std::string> added;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"newest first", {"/a", "/b", "/c"}, {"/c", "/b", "/a"}},
      {"re-adding moves to the top", {"/a", "/b", "/c", "/a"}, {"/a", "/c", "/b"}},
      {"paths compare byte for byte", {"/A", "/a", "/a/"}, {"/a/", "/a", "/A"}},
      {"empty path ignored", {"/a", "", "/b"}, {"/b", "/a"}},
      {"at most ten, the oldest falls off",
       {"/0", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/10", "/11"},
       {"/11", "/10", "/9", "/8", "/7", "/6", "/5", "/4", "/3", "/2"}},
      {"an old entry re-added before it falls off",
       {"/0", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9", "/0", "/10"},
       {"/10", "/0", "/9", "/8", "/7", "/6", "/5", "/4", "/3", "/2"}},
  };
  for (const Case& c : cases) {
    RecentFiles r;
    for (const auto& p : c.added) r.add(p);
    EXPECT_EQ(paths(r), c.want) << c.name;
  }
}

TEST(RecentFilesTest, DataFollowsTheLatestAdd) {
  RecentFiles r;
  r.add("/a");
  r.add("/b", 0);
  r.add("/a", 7);
  EXPECT_EQ(r.entries(), (Entries{{"/a", 7}, {"/b", 0}}));
  EXPECT_TRUE(r.remove("/b"));
  EXPECT_FALSE(r.remove("/b"));
  EXPECT_EQ(r.entries(), (Entries{{"/a", 7}}));
}

TEST(RecentFilesTest, SaveWritesItemsAndNonZeroUserData) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  // An old list with more entries and stale user data, between other sections.
  writeBytes(file.path(),
             "[Tolvan]\r\nTimes=5\r\n"
             "[Tolvan\\TMainForm.RecentFiles]\r\n"
             "Item_0=/old0\r\nUser_0=1001\r\nItem_1=/old1\r\nUser_1=1001\r\nItem_2=/old2\r\n"
             "[Later]\r\nk=v\r\n");
  RecentFiles r;
  r.add("/home/u/\xB8\xA1.txt", 0);
  r.add("/home/u/two.rtf");
  ASSERT_TRUE(r.save(file));
  EXPECT_EQ(readBytes(file.path()),
            "[Tolvan]\r\nTimes=5\r\n"
            "[Later]\r\nk=v\r\n"
            "[Tolvan\\TMainForm.RecentFiles]\r\n"
            "Item_0=/home/u/two.rtf\r\nUser_0=1001\r\nItem_1=/home/u/\xB8\xA1.txt\r\n");

  RecentFiles back;
  back.add("/stale");  // load replaces what was there
  back.load(file);
  EXPECT_EQ(back.entries(), r.entries());

  // Saving an empty list leaves no section behind.
  ASSERT_TRUE(RecentFiles().save(file));
  EXPECT_EQ(readBytes(file.path()), "[Tolvan]\r\nTimes=5\r\n[Later]\r\nk=v\r\n");
}

TEST(RecentFilesTest, LoadKeepsTheStoredOrder) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  // Keys in any order and case, gaps and an empty item, a duplicate path, a
  // bad user number, and an eleventh item that the list never reads.
  writeBytes(file.path(),
             "[tolvan\\tmainform.recentfiles]\n"
             "ITEM_9=/nine\n"
             "Item_3=/three\nuser_3=1001\n"
             "Item_0=/zero\nUser_0=42\n"
             "Item_5=\nUser_5=1001\n"
             "Item_7=/zero\n"
             "Item_1=/one\nUser_1=junk\n"
             "Item_10=/ten\n");
  RecentFiles r;
  r.load(file);
  EXPECT_EQ(r.entries(), (Entries{{"/zero", 42}, {"/one", 0}, {"/three", 1001}, {"/nine", 0}}));
}

TEST(RecentFilesTest, RoundTripOfAFullList) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  RecentFiles r;
  for (int i = 0; i < 14; ++i) r.add("/docs/file " + std::to_string(i) + ".txt", i % 3 == 0 ? 0 : 1001);
  ASSERT_EQ(r.size(), RecentFiles::kCapacity);
  ASSERT_TRUE(r.save(file));
  RecentFiles back;
  back.load(file);
  EXPECT_EQ(back.entries(), r.entries());
  // Saving what was loaded changes nothing.
  const std::string before = readBytes(file.path());
  ASSERT_TRUE(back.save(file));
  EXPECT_EQ(readBytes(file.path()), before);
}

TEST(RecentFilesTest, UnstorablePathsAreLeftOutAndFailuresReported) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  RecentFiles r;
  r.add("/a");
  r.add("/with\nbreak");
  r.add("/b");
  ASSERT_TRUE(r.save(file));
  RecentFiles back;
  back.load(file);
  EXPECT_EQ(paths(back), (std::vector<std::string>{"/b", "/a"}));

  writeBytes(dir.file("plain"), "x");
  ProfileFile bad(dir.file("plain") + "/Tolvan.ini");
  EXPECT_FALSE(r.save(bad));
  back.load(bad);
  EXPECT_TRUE(back.empty());
}

}  // namespace
}  // namespace tolvan
