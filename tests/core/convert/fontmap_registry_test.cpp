// Registered font maps in the settings file: adding, listing in order, gaps,
// duplicates, and damaged counts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/convert/fontmap.h"
#include "core/settings/profile_file.h"

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

namespace {

class FontMapRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tolvan-fontmap-reg-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "Tolvan.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void writeIni(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

  fs::path dir_;
  std::string path_;
};

TEST_F(FontMapRegistry, NoKeysNoMaps) {
  tolvan::ProfileFile ini(path_);
  EXPECT_TRUE(tolvan::RegisteredFontMaps(ini).empty());  // no file at all
  writeIni("[Tolvan]\r\nTimes=3\r\n");
  EXPECT_TRUE(tolvan::RegisteredFontMaps(ini).empty());
}

TEST_F(FontMapRegistry, AddTwiceAndList) {
  tolvan::ProfileFile ini(path_);
  writeIni("[Tolvan]\r\nTimes=3\r\n");
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "/maps/a.tol"), 1);
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "MylaiTSC2Xyz.tol"), 2);
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "/maps/a.tol"), 3);
  EXPECT_EQ(ini.ReadInteger("Tolvan", "FontConversionMenus", 0), 3);
  EXPECT_EQ(ini.ReadString("Tolvan", "FontConversionMenu_2", ""), "MylaiTSC2Xyz.tol");
  EXPECT_EQ(ini.ReadInteger("Tolvan", "Times", 0), 3);
  EXPECT_EQ(tolvan::RegisteredFontMaps(ini), (Paths{"/maps/a.tol", "MylaiTSC2Xyz.tol", "/maps/a.tol"}));
  EXPECT_EQ(tolvan::FontMapAddedMessage("/maps/a.tol"),
            "/maps/a.tol is added to Tolvan. It will be available when you start Tolvan next time");
}

TEST_F(FontMapRegistry, ListingRules) {
  tolvan::ProfileFile ini(path_);
  const struct {
    const char* name;
    std::string ini;
    Paths want;
  } cases[] = {
      {"gap closed up", "[Tolvan]\nFontConversionMenus=3\nFontConversionMenu_1=a\nFontConversionMenu_2=\n"
                        "FontConversionMenu_3=c\n", {"a", "c"}},
      {"missing key skipped", "[Tolvan]\nFontConversionMenus=3\nFontConversionMenu_3=c\nFontConversionMenu_1=a\n",
       {"a", "c"}},
      {"beyond the count ignored", "[Tolvan]\nFontConversionMenus=1\nFontConversionMenu_1=a\nFontConversionMenu_2=b\n",
       {"a"}},
      {"zero count", "[Tolvan]\nFontConversionMenus=0\nFontConversionMenu_1=a\n", {}},
      {"negative count", "[Tolvan]\nFontConversionMenus=-2\nFontConversionMenu_1=a\n", {}},
      {"names without regard to case", "[tolvan]\nfontconversionmenus=2\nFONTCONVERSIONMENU_2=b\n", {"b"}},
      {"other spellings of the number are other keys",
       "[Tolvan]\nFontConversionMenus=2\nFontConversionMenu_01=x\nFontConversionMenu_+2=y\nFontConversionMenu_2=b\n",
       {"b"}},
      {"first of two equal keys wins", "[Tolvan]\nFontConversionMenus=1\nFontConversionMenu_1=a\nFontConversionMenu_1=z\n",
       {"a"}},
      {"huge count costs nothing", "[Tolvan]\nFontConversionMenus=2147483647\nFontConversionMenu_7=g\n", {"g"}},
  };
  for (const auto& c : cases) {
    writeIni(c.ini);
    EXPECT_EQ(tolvan::RegisteredFontMaps(ini), c.want) << c.name;
  }
}

// A settings file with a hundred thousand registrations, written out of
// order, with repeated numbers and a second [Tolvan] section: every number
// lists once, in order, with the first value given for it.
TEST_F(FontMapRegistry, HundredThousandEntries) {
  constexpr int kCount = 100000;
  std::string text = "[Tolvan]\r\nFontConversionMenus=" + std::to_string(kCount) + "\r\n";
  Paths want;
  for (int i = 0; i < kCount; ++i) {
    // 7919 is prime to kCount: i -> n visits every number once.
    const int n = int((long long)i * 7919 % kCount) + 1;
    text += "FontConversionMenu_" + std::to_string(n) + "=/maps/" + std::to_string(n) + ".tol\r\n";
    if (n % 1000 == 0) text += "fontconversionmenu_" + std::to_string(n) + "=/later/" + std::to_string(n) + "\r\n";
  }
  text += "[Other]\r\nFontConversionMenu_1=/other\r\n[Tolvan]\r\nFontConversionMenu_5=/again\r\n";
  for (int n = 1; n <= kCount; ++n) want.push_back("/maps/" + std::to_string(n) + ".tol");
  writeIni(text);
  tolvan::ProfileFile ini(path_);
  EXPECT_EQ(tolvan::RegisteredFontMaps(ini), want);
}

TEST_F(FontMapRegistry, DamagedCounts) {
  tolvan::ProfileFile ini(path_);
  writeIni("[Tolvan]\nFontConversionMenus=-5\n");
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "m.tol"), 1);  // not hidden by the negative count
  EXPECT_EQ(tolvan::RegisteredFontMaps(ini), Paths{"m.tol"});
  writeIni("[Tolvan]\nFontConversionMenus=junk\n");
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "m.tol"), 1);
  writeIni("[Tolvan]\nFontConversionMenus=2147483647\n");
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "m.tol"), 0);  // no number left
  EXPECT_EQ(ini.ReadInteger("Tolvan", "FontConversionMenus", 0), 2147483647);
}

TEST_F(FontMapRegistry, UnwritableSettingsFile) {
  tolvan::ProfileFile ini((dir_ / "no-such-folder" / "x" / "Tolvan.ini").string());
  // A path whose folder is a file cannot be created.
  std::ofstream((dir_ / "no-such-folder").string()) << "file";
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "m.tol"), 0);
  tolvan::ProfileFile bad("");
  EXPECT_EQ(tolvan::RegisterFontMap(bad, "m.tol"), 0);
  EXPECT_TRUE(tolvan::RegisteredFontMaps(bad).empty());
}

TEST_F(FontMapRegistry, PathWithLineBreakIsRefused) {
  tolvan::ProfileFile ini(path_);
  writeIni("[Tolvan]\n");
  EXPECT_EQ(tolvan::RegisterFontMap(ini, "a\nFontConversionMenus=99"), 0);
  EXPECT_EQ(ini.ReadInteger("Tolvan", "FontConversionMenus", 0), 0);
}

}  // namespace
