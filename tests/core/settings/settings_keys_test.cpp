// The settings key table and the typed access layer.
#include "core/settings/settings_keys.h"

#include <gtest/gtest.h>

#include <climits>

#include "test_dir.h"

namespace tolvan {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(SettingsTest, DefaultsOnAFirstRun) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  Settings s(file, "/opt/tolvan/");
  struct StringCase {
    Key key;
    std::string want;
  };
  const StringCase strings[] = {
      {Key::ForeColor, "clBlack"}, {Key::BackColor, "clWhite"}, {Key::FontDef, ""},
      {Key::Viewer, "11110"},      {Key::WorkDir, "/opt/tolvan/"}, {Key::StartDate, ""},
      {Key::DirPanelSwitch, ""},   {Key::MinMaxPos, ""},         {Key::NormPos, ""},
      {Key::NewDocumentEncoding, "TSCII"},
  };
  for (const auto& c : strings) EXPECT_EQ(s.readString(c.key), c.want) << keySpec(c.key).readName;
  struct IntCase {
    Key key;
    int want;
  };
  const IntCase ints[] = {
      {Key::Times, 0},       {Key::KeyBoard, 1}, {Key::TamilMode, 1},     {Key::FontConversionMenus, 0},
      {Key::FormVersion, 0}, {Key::Flags, 0},    {Key::ShowCmd, 0},       {Key::PixelsPerInch, 0},
  };
  for (const auto& c : ints) EXPECT_EQ(s.readInteger(c.key), c.want) << keySpec(c.key).readName;
  EXPECT_EQ(s.readString(Key::FontConversionMenu, 1), "");
  EXPECT_FALSE(s.dirPanelSwitchOn());
  EXPECT_FALSE(std::filesystem::exists(file.path()));  // reading never creates the file
}

TEST(SettingsTest, TableRowsAreTheProgramsKeys) {
  for (std::size_t i = 0; i < kSettingsKeys.size(); ++i) {
    const KeySpec& k = kSettingsKeys[i];
    EXPECT_EQ(&keySpec(k.key), &k);
    EXPECT_EQ(k.section, "Tolvan");
    EXPECT_TRUE(ProfileText::canStore(k.section, std::string(k.writeName) + "1", "v")) << k.writeName;
  }
  EXPECT_EQ(keySpec(Key::KeyBoard).readName, "KeyBoard");
  EXPECT_EQ(keySpec(Key::KeyBoard).writeName, "Keyboard");
  EXPECT_EQ(keySpec(Key::DirPanelSwitch).readName, "\xC3\xB8\xBA\xA2\xC2\xF5");
}

TEST(SettingsTest, WritesUseTheWriteSpellingAndReadBack) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  Settings s(file, "/opt/tolvan/");
  ASSERT_TRUE(s.writeInteger(Key::KeyBoard, 3));
  ASSERT_TRUE(s.writeInteger(Key::TamilMode, 0));
  ASSERT_TRUE(s.writeString(Key::ForeColor, "clMaroon"));
  ASSERT_TRUE(s.writeString(Key::WorkDir, "/home/u/docs/"));
  ASSERT_TRUE(s.writeInteger(Key::FontSize, 12));
  EXPECT_EQ(readBytes(file.path()),
            "[Tolvan]\r\nKeyboard=3\r\nTamilMode=0\r\nForeColor=clMaroon\r\nWorkDir=/home/u/docs/\r\nFontSize=12\r\n");
  EXPECT_EQ(s.readInteger(Key::KeyBoard), 3);
  EXPECT_EQ(s.readInteger(Key::TamilMode), 0);
  EXPECT_EQ(s.readString(Key::ForeColor), "clMaroon");
  EXPECT_EQ(s.readString(Key::WorkDir), "/home/u/docs/");

  // A second Settings on the same file sees every write at once: nothing is cached.
  Settings other(file, "/elsewhere/");
  ASSERT_TRUE(other.writeInteger(Key::KeyBoard, 4));
  EXPECT_EQ(s.readInteger(Key::KeyBoard), 4);
}

TEST(SettingsTest, MalformedIntegersGiveTheTableDefault) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  writeBytes(file.path(), "[Tolvan]\r\nKeyBoard=two\r\nTamilMode=1.0\r\nTimes=-3\r\n");
  Settings s(file, "/");
  EXPECT_EQ(s.readInteger(Key::KeyBoard), 1);
  EXPECT_EQ(s.readInteger(Key::TamilMode), 1);
  EXPECT_EQ(s.readInteger(Key::Times), -3);
}

TEST(SettingsTest, DirectoryPanelSwitch) {
  struct Case {
    std::string value;
    bool on;
  };
  const Case cases[] = {
      {"\xAB\xC4\xA8\xF5", true},
      {"  \xAB\xC4\xA8\xF5 ", true},  // blanks round a value are never part of it
      {"\xAB\xC4\xA8", false},
      {"\xAB\xC4\xA8\xF5\xF5", false},
      {"\x8B\xC4\xA8\xF5", false},
      {"1", false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ProfileFile file(dir.file("Tolvan.ini"));
    writeBytes(file.path(), "[tolvan]\r\n\xC3\xB8\xBA\xA2\xC2\xF5=" + c.value + "\r\n");
    EXPECT_EQ(Settings(file, "/").dirPanelSwitchOn(), c.on);
  }
}

TEST(SettingsTest, PlacementPrefersTheKeyForThisScreen) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  Settings s(file, "/");
  ASSERT_TRUE(s.writePlacement(Key::NormPos, 1024, 768, "10,20,810,620"));
  EXPECT_EQ(readBytes(file.path()), "[Tolvan]\r\nNormPos=10,20,810,620\r\nNormPos(1024x768)=10,20,810,620\r\n");
  ASSERT_TRUE(s.writePlacement(Key::NormPos, 1920, 1080, "0,0,1600,900"));
  EXPECT_EQ(s.readPlacement(Key::NormPos, 1024, 768), "10,20,810,620");
  EXPECT_EQ(s.readPlacement(Key::NormPos, 1920, 1080), "0,0,1600,900");
  EXPECT_EQ(s.readPlacement(Key::NormPos, 800, 600), "0,0,1600,900");  // the plain key, last written
  EXPECT_EQ(s.readPlacement(Key::MinMaxPos, 800, 600), "");
}

TEST(SettingsTest, FontMapRegistration) {
  TempDir dir;
  ProfileFile file(dir.file("Tolvan.ini"));
  Settings s(file, "/");
  EXPECT_EQ(s.addFontConversionMenu("/maps/a.tol"), 1);
  EXPECT_EQ(s.addFontConversionMenu("/maps/a.tol"), 2);  // the same file twice makes two entries
  EXPECT_EQ(s.readInteger(Key::FontConversionMenus), 2);
  EXPECT_EQ(s.readString(Key::FontConversionMenu, 1), "/maps/a.tol");
  EXPECT_EQ(s.readString(Key::FontConversionMenu, 2), "/maps/a.tol");
  EXPECT_EQ(readBytes(file.path()),
            "[Tolvan]\r\nFontConversionMenus=2\r\nFontConversionMenu_1=/maps/a.tol\r\nFontConversionMenu_2=/maps/a.tol\r\n");

  // A count the file cannot hold any more is refused, not wrapped round.
  ASSERT_TRUE(s.writeInteger(Key::FontConversionMenus, INT_MAX));
  EXPECT_EQ(s.addFontConversionMenu("/maps/b.tol"), 0);
  EXPECT_EQ(s.readInteger(Key::FontConversionMenus), INT_MAX);
  // A path with a line break cannot be stored.
  ASSERT_TRUE(s.writeInteger(Key::FontConversionMenus, 2));
  EXPECT_EQ(s.addFontConversionMenu("/maps/b\n.tol"), 0);
  EXPECT_EQ(s.readInteger(Key::FontConversionMenus), 2);
}

}  // namespace
}  // namespace tolvan
