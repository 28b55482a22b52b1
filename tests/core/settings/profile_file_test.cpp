// The profile-file store: name matching, byte-exact keys and values, edits
// that leave everything else alone, integers, failures and atomic replacement.
#include "core/settings/profile_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "test_dir.h"

namespace tolvan {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;
namespace fs = std::filesystem;

std::vector<std::string> folderListing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------------------
// Reading

TEST(ProfileTextTest, NamesMatchWithoutRegardToAsciiCaseOnly) {
  const std::string file =
      "[Tolvan]\r\n"
      "Keyboard=3\r\n"
      "\xC3\xB8\xBA\xA2\xC2\xF5=\xAB\xC4\xA8\xF5\r\n"
      "[Tolvan\\TMainForm.RecentFiles]\r\n"
      "Item_0=/tmp/a.txt\r\n";
  ProfileText t(file);
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> want;
  };
  const Case cases[] = {
      {"Tolvan", "KeyBoard", "3"},
      {"TOLVAN", "keyboard", "3"},
      {"tolvan", "\xC3\xB8\xBA\xA2\xC2\xF5", "\xAB\xC4\xA8\xF5"},
      // 0xE3 is 0xC3 + 0x20: a Latin-1 "case" pair, but TSCII bytes match exactly.
      {"Tolvan", "\xE3\xB8\xBA\xA2\xC2\xF5", std::nullopt},
      {"tolvan\\tmainform.recentfiles", "ITEM_0", "/tmp/a.txt"},
      {"Tolvan/TMainForm.RecentFiles", "Item_0", std::nullopt},
      {"Tolvan", "Item_0", std::nullopt},
      {"Tolva", "Keyboard", std::nullopt},
      {"Tolvan", "Keyboar", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(t.get(c.section, c.key), c.want) << c.section << " / " << c.key;
}

TEST(ProfileTextTest, LineShapes) {
  const std::string file =
      "orphan=before any section\r\n"
      "  [ Spaced Name ] trailing text\r\n"
      "  key one  =  \t value with  inner  blanks \t \r\n"
      "empty=\r\n"
      ";commented=1\r\n"
      "   ; also=2\r\n"
      "no equals sign\r\n"
      "=no name\r\n"
      "eq=a=b=c\r\n"
      "[Open\n"
      "k=lf\r"
      "cr=only\r"
      "[Dup]\r\nk=1\r\n[Other]\r\nk=other\r\n[dup]\r\nk=2\r\nj=3";
  ProfileText t(file);
  EXPECT_EQ(t.bytes(), file);
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> want;
  };
  const Case cases[] = {
      {"Spaced Name", "key one", "value with  inner  blanks"},
      {"Spaced Name", "empty", ""},
      {"Spaced Name", "orphan", std::nullopt},
      {"Spaced Name", ";commented", std::nullopt},
      {"Spaced Name", "commented", std::nullopt},
      {"Spaced Name", "; also", std::nullopt},
      {"Spaced Name", "no equals sign", std::nullopt},
      {"Spaced Name", "", std::nullopt},
      {"Spaced Name", "eq", "a=b=c"},
      {"Open", "k", "lf"},
      {"Open", "cr", "only"},
      // The first matching key wins; a later section of the same name still counts.
      {"DUP", "k", "1"},
      {"dup", "j", "3"},
  };
  for (const Case& c : cases) EXPECT_EQ(t.get(c.section, c.key), c.want) << c.section << " / " << c.key;

  using KV = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(t.section("dup"), (KV{{"k", "1"}, {"k", "2"}, {"j", "3"}}));
  EXPECT_EQ(t.sectionNames(), (std::vector<std::string>{"Spaced Name", "Open", "Dup", "Other", "dup"}));
}

TEST(ProfileTextTest, Utf8ByteOrderMarkBeforeFirstSection) {
  ProfileText t("\xEF\xBB\xBF[Tolvan]\nViewer=10101\n");
  EXPECT_EQ(t.get("Tolvan", "Viewer"), "10101");
  EXPECT_EQ(t.bytes(), "\xEF\xBB\xBF[Tolvan]\nViewer=10101\n");
}

// ---------------------------------------------------------------------------
// Editing keeps every other byte

constexpr const char* kFixture =
    "; Tolvan settings\r\n"
    "[Tolvan]\r\n"
    "ForeColor=clBlack\r\n"
    "  Viewer = 11110  \r\n"
    "; end of the main keys\r\n"
    "\r\n"
    "[Other]\r\n"
    "Key=Value\r\n"
    "Keyboard=2\r\n"
    "\r\n"
    "[Tolvan\\TMainForm.RecentFiles]\r\n"
    "Item_0=/home/a.txt\r\n"
    "User_0=1001\r\n";

struct EditCase {
  const char* name;
  void (*edit)(ProfileFile&);
  std::string want;
};

TEST(ProfileFileTest, EditsTouchOnlyTheirOwnLine) {
  const std::string fixture = kFixture;
  const EditCase cases[] = {
      {"new key goes after the last key of its section",
       [](ProfileFile& f) { ASSERT_TRUE(f.WriteString("tolvan", "FontDef", "MylaiTSC")); },
       "; Tolvan settings\r\n[Tolvan]\r\nForeColor=clBlack\r\n  Viewer = 11110  \r\nFontDef=MylaiTSC\r\n"
       "; end of the main keys\r\n\r\n[Other]\r\nKey=Value\r\nKeyboard=2\r\n\r\n"
       "[Tolvan\\TMainForm.RecentFiles]\r\nItem_0=/home/a.txt\r\nUser_0=1001\r\n"},
      {"existing key keeps its place, spelling and blanks before the value",
       [](ProfileFile& f) { ASSERT_TRUE(f.WriteString("TOLVAN", "VIEWER", "00000")); },
       "; Tolvan settings\r\n[Tolvan]\r\nForeColor=clBlack\r\n  Viewer = 00000\r\n"
       "; end of the main keys\r\n\r\n[Other]\r\nKey=Value\r\nKeyboard=2\r\n\r\n"
       "[Tolvan\\TMainForm.RecentFiles]\r\nItem_0=/home/a.txt\r\nUser_0=1001\r\n"},
      {"new section goes at the end",
       [](ProfileFile& f) { ASSERT_TRUE(f.WriteInteger("New", "Times", 7)); },
       std::string(kFixture) + "[New]\r\nTimes=7\r\n"},
      {"delete removes just the key line",
       [](ProfileFile& f) { ASSERT_TRUE(f.DeleteKey("other", "KEYBOARD")); },
       "; Tolvan settings\r\n[Tolvan]\r\nForeColor=clBlack\r\n  Viewer = 11110  \r\n"
       "; end of the main keys\r\n\r\n[Other]\r\nKey=Value\r\n\r\n"
       "[Tolvan\\TMainForm.RecentFiles]\r\nItem_0=/home/a.txt\r\nUser_0=1001\r\n"},
      {"erase removes a section up to the next header",
       [](ProfileFile& f) { ASSERT_TRUE(f.EraseSection("other")); },
       "; Tolvan settings\r\n[Tolvan]\r\nForeColor=clBlack\r\n  Viewer = 11110  \r\n"
       "; end of the main keys\r\n\r\n"
       "[Tolvan\\TMainForm.RecentFiles]\r\nItem_0=/home/a.txt\r\nUser_0=1001\r\n"},
      {"erase of the last section",
       [](ProfileFile& f) { ASSERT_TRUE(f.EraseSection("tolvan\\tmainform.recentfiles")); },
       "; Tolvan settings\r\n[Tolvan]\r\nForeColor=clBlack\r\n  Viewer = 11110  \r\n"
       "; end of the main keys\r\n\r\n[Other]\r\nKey=Value\r\nKeyboard=2\r\n\r\n"},
      {"same value, missing key, missing section: nothing changes",
       [](ProfileFile& f) {
         ASSERT_TRUE(f.WriteString("Tolvan", "ForeColor", "clBlack"));
         ASSERT_TRUE(f.DeleteKey("Tolvan", "Missing"));
         ASSERT_TRUE(f.DeleteKey("Missing", "Key"));
         ASSERT_TRUE(f.EraseSection("Missing"));
       },
       kFixture},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    ProfileFile f(dir.file("Tolvan.ini"));
    writeBytes(f.path(), fixture);
    c.edit(f);
    EXPECT_EQ(readBytes(f.path()), c.want);
  }
}

TEST(ProfileTextTest, LineEndingsOfAddedLines) {
  struct Case {
    const char* name;
    std::string before;
    std::string want;
  };
  const Case cases[] = {
      {"new file is CR LF", "", "[A]\r\ny=2\r\n"},
      {"LF file stays LF", "[A]\nx=1\n", "[A]\nx=1\ny=2\n"},
      {"CR file stays CR", "[A]\rx=1\r", "[A]\rx=1\ry=2\r"},
      {"unterminated last line gets an ending", "[A]\nx=1", "[A]\nx=1\ny=2\n"},
      {"no line ending anywhere gives CR LF", "[A]", "[A]\r\ny=2\r\n"},
      {"comment only", "; c", "; c\r\n[A]\r\ny=2\r\n"},
      {"mixed lines keep their own endings", "[A]\nx=1\r\n[B]\rz=3\r", "[A]\nx=1\r\ny=2\n[B]\rz=3\r"},
  };
  for (const Case& c : cases) {
    ProfileText t(c.before);
    ASSERT_TRUE(t.set("A", "y", "2")) << c.name;
    EXPECT_EQ(t.bytes(), c.want) << c.name;
  }
}

TEST(ProfileTextTest, DuplicateKeysAndSections) {
  ProfileText t("[A]\r\nk=1\r\n[B]\r\nk=b\r\n[a]\r\nK=2\r\nj=3\r\n");
  ASSERT_TRUE(t.set("a", "k", "9"));  // the first one, which reads win
  EXPECT_EQ(t.bytes(), "[A]\r\nk=9\r\n[B]\r\nk=b\r\n[a]\r\nK=2\r\nj=3\r\n");
  t.remove("A", "K");  // every copy, so the key really reads as missing
  EXPECT_EQ(t.bytes(), "[A]\r\n[B]\r\nk=b\r\n[a]\r\nj=3\r\n");
  EXPECT_EQ(t.get("A", "k"), std::nullopt);
  ASSERT_TRUE(t.set("A", "n", "new"));  // into the first [A]
  EXPECT_EQ(t.bytes(), "[A]\r\nn=new\r\n[B]\r\nk=b\r\n[a]\r\nj=3\r\n");
  t.eraseSection("a");  // both of them
  EXPECT_EQ(t.bytes(), "[B]\r\nk=b\r\n");
}

// ---------------------------------------------------------------------------
// Byte-exact names and values

TEST(ProfileFileTest, EveryByteValueSurvivesARoundTrip) {
  std::string middle;
  for (int b = 1; b < 256; ++b)
    if (b != '\r' && b != '\n') middle += static_cast<char>(b);
  auto without = [&](char c) {
    std::string s = middle;
    s.erase(std::remove(s.begin(), s.end(), c), s.end());
    return s;
  };
  const std::string section = "S" + without(']') + "S";
  const std::string key = "K" + without('=') + "K";
  const std::string value = "V" + middle + "V";  // '=' and ']' are fine in values

  TempDir dir;
  ProfileFile f(dir.file("Tolvan.ini"));
  ASSERT_TRUE(f.WriteString(section, key, value));
  ASSERT_TRUE(f.WriteString("Tolvan", "\xC3\xB8\xBA\xA2\xC2\xF5", "\xAB\xC4\xA8\xF5"));
  ASSERT_TRUE(f.WriteString("Tolvan\\TMainForm.RecentFiles", "Item_0", "/home/\xE0\xAE\x95/x y.txt"));

  EXPECT_EQ(f.ReadString(section, key, "-"), value);
  auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
  };
  EXPECT_EQ(f.ReadString(lower(section), lower(key), "-"), value);
  EXPECT_EQ(f.ReadString("TOLVAN", "\xC3\xB8\xBA\xA2\xC2\xF5", "-"), "\xAB\xC4\xA8\xF5");
  EXPECT_EQ(f.ReadString("Tolvan\\TMainForm.RecentFiles", "Item_0", "-"), "/home/\xE0\xAE\x95/x y.txt");
  // The file holds exactly the bytes given, nothing escaped.
  EXPECT_EQ(readBytes(f.path()),
            "[" + section + "]\r\n" + key + "=" + value + "\r\n"
            "[Tolvan]\r\n\xC3\xB8\xBA\xA2\xC2\xF5=\xAB\xC4\xA8\xF5\r\n"
            "[Tolvan\\TMainForm.RecentFiles]\r\nItem_0=/home/\xE0\xAE\x95/x y.txt\r\n");
}

TEST(ProfileFileTest, BlanksAroundAValueAreDroppedOnReading) {
  TempDir dir;
  ProfileFile f(dir.file("Tolvan.ini"));
  ASSERT_TRUE(f.WriteString("Tolvan", "FontDef", " \t Mylai TSC \t "));
  EXPECT_EQ(f.ReadString("Tolvan", "FontDef", "-"), "Mylai TSC");
  ASSERT_TRUE(f.WriteString("Tolvan", "FontDef", ""));
  EXPECT_EQ(f.ReadString("Tolvan", "FontDef", "default"), "");  // present but empty: not the default
}

TEST(ProfileFileTest, NamesAndValuesThatCannotReadBackAreRefused) {
  struct Case {
    std::string section, key, value;
  };
  const Case cases[] = {
      {"Tolvan", "Key", "line\r\nbreak"}, {"Tolvan", "Key", "lf\n"},       {"Tolvan", "Key", std::string("n\0l", 3)},
      {"", "Key", "v"},                   {"A]B", "Key", "v"},            {" Tolvan", "Key", "v"},
      {"Tol\nvan", "Key", "v"},           {"Tolvan", "", "v"},            {"Tolvan", "a=b", "v"},
      {"Tolvan", "[Key", "v"},            {"Tolvan", ";Key", "v"},        {"Tolvan", "Key\t", "v"},
      {"Tolvan", "Ke\ry", "v"},
  };
  TempDir dir;
  ProfileFile f(dir.file("Tolvan.ini"));
  writeBytes(f.path(), kFixture);
  for (const Case& c : cases) {
    EXPECT_FALSE(f.WriteString(c.section, c.key, c.value)) << c.section << " / " << c.key;
    EXPECT_FALSE(ProfileText::canStore(c.section, c.key, c.value));
  }
  EXPECT_EQ(readBytes(f.path()), kFixture);
}

// ---------------------------------------------------------------------------
// Integers

TEST(ProfileIntTest, WholeValueMustBeANumber) {
  struct Case {
    const char* text;
    std::optional<int> want;
  };
  const Case cases[] = {
      {"42", 42},
      {" \t42 ", 42},
      {"007", 7},
      {"-7", -7},
      {"+7", 7},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$ff", 255},
      {"-0x10", -16},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"0x7FFFFFFF", INT_MAX},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"0xFFFFFFFF", std::nullopt},
      {"99999999999999999999999999", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"1.5", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"-", std::nullopt},
      {"+-1", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"0xg", std::nullopt},
      {"\xB1", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parseProfileInt(c.text), c.want) << '"' << c.text << '"';
}

TEST(ProfileFileTest, ReadIntegerFallsBackToTheDefault) {
  TempDir dir;
  ProfileFile f(dir.file("Tolvan.ini"));
  writeBytes(f.path(), "[Tolvan]\r\nTimes= 100 \r\nKeyboard=2x\r\nTamilMode=\r\n");
  EXPECT_EQ(f.ReadInteger("Tolvan", "Times", -1), 100);
  EXPECT_EQ(f.ReadInteger("Tolvan", "KeyBoard", 1), 1);
  EXPECT_EQ(f.ReadInteger("Tolvan", "TamilMode", 1), 1);
  EXPECT_EQ(f.ReadInteger("Tolvan", "Missing", 5), 5);
  ASSERT_TRUE(f.WriteInteger("Tolvan", "Times", INT_MIN));
  EXPECT_EQ(f.ReadInteger("Tolvan", "Times", 0), INT_MIN);
  EXPECT_EQ(f.ReadString("Tolvan", "Times", ""), "-2147483648");
}

// ---------------------------------------------------------------------------
// Missing files, failures and atomic replacement

TEST(ProfileFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
  TempDir dir;
  // The XDG case: neither the file nor its folders exist yet.
  ProfileFile f(dir.path() + "/config/Tolvan/Tolvan.ini");
  EXPECT_EQ(f.ReadString("Tolvan", "ForeColor", "clBlack"), "clBlack");
  EXPECT_EQ(f.ReadInteger("Tolvan", "Times", 0), 0);
  EXPECT_TRUE(f.ReadSection("Tolvan").empty());
  // Deleting from a missing file is no change and creates nothing.
  EXPECT_TRUE(f.DeleteKey("Tolvan", "Times"));
  EXPECT_TRUE(f.EraseSection("Tolvan"));
  EXPECT_FALSE(fs::exists(dir.path() + "/config"));

  ASSERT_TRUE(f.WriteInteger("Tolvan", "Times", 1));
  EXPECT_EQ(readBytes(f.path()), "[Tolvan]\r\nTimes=1\r\n");
  EXPECT_EQ(folderListing(dir.path() + "/config/Tolvan"), std::vector<std::string>{"Tolvan.ini"});
}

TEST(ProfileFileTest, UnusablePathsGiveDefaultsAndFailedWrites) {
  TempDir dir;
  writeBytes(dir.file("plain"), "not a folder");
  fs::create_directory(dir.file("folder.ini"));
  const std::string paths[] = {
      dir.file("plain") + "/Tolvan.ini",  // parent is a regular file
      dir.file("folder.ini"),             // the path is a folder
      dir.file("plain") + "/sub/Tolvan.ini",
  };
  for (const std::string& p : paths) {
    ProfileFile f(p);
    EXPECT_EQ(f.ReadString("Tolvan", "Viewer", "11110"), "11110") << p;
    EXPECT_EQ(f.ReadInteger("Tolvan", "Times", 3), 3) << p;
    EXPECT_FALSE(f.WriteString("Tolvan", "Viewer", "00000")) << p;
    EXPECT_FALSE(f.WriteInteger("Tolvan", "Times", 4)) << p;
  }
  EXPECT_EQ(readBytes(dir.file("plain")), "not a folder");
  EXPECT_TRUE(fs::is_directory(dir.file("folder.ini")));
  EXPECT_TRUE(fs::is_empty(dir.file("folder.ini")));
  EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"folder.ini", "plain"}));
}

TEST(ProfileFileTest, WritesLeaveNoTemporaryFilesAndKeepTheFileMode) {
  TempDir dir;
  ProfileFile f(dir.file("Tolvan.ini"));
  writeBytes(f.path(), kFixture);
  fs::permissions(f.path(), fs::perms(0640));
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(f.WriteInteger("Tolvan", "Times", i));
  ASSERT_TRUE(f.DeleteKey("Tolvan", "Times"));
  ASSERT_TRUE(f.EraseSection("Other"));
  EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"Tolvan.ini"});
  EXPECT_EQ(fs::status(f.path()).permissions(), fs::perms(0640));
}

TEST(ProfileFileTest, WriteThroughASymbolicLinkReplacesTheTarget) {
  TempDir dir;
  fs::create_directory(dir.file("real"));
  writeBytes(dir.file("real/Tolvan.ini"), "[Tolvan]\r\nTimes=1\r\n");
  fs::create_symlink("real/Tolvan.ini", dir.file("Tolvan.ini"));
  ProfileFile f(dir.file("Tolvan.ini"));
  ASSERT_TRUE(f.WriteInteger("Tolvan", "Times", 2));
  EXPECT_TRUE(fs::is_symlink(dir.file("Tolvan.ini")));
  EXPECT_EQ(readBytes(dir.file("real/Tolvan.ini")), "[Tolvan]\r\nTimes=2\r\n");
  EXPECT_EQ(folderListing(dir.file("real")), std::vector<std::string>{"Tolvan.ini"});
}

// A write that fails half way (here: the file-size limit, which binds root
// too) returns false and leaves the old file whole, with no temporary file.
TEST(ProfileFileTest, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  ProfileFile f(dir.file("Tolvan.ini"));
  writeBytes(f.path(), kFixture);

  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = std::min<rlim_t>(4096, old.rlim_max);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool ok = f.WriteString("Tolvan", "WorkDir", std::string(10000, 'x'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(ok);
  EXPECT_EQ(readBytes(f.path()), kFixture);
  EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"Tolvan.ini"});
}

// ---------------------------------------------------------------------------
// Where the file lives

class SettingsPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TOLVAN_INI", "XDG_CONFIG_HOME", "HOME"}) {
      const char* v = std::getenv(name);
      saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, v] : saved_) {
      if (v) setenv(name.c_str(), v->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  static void put(const char* name, const char* value) {
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(SettingsPathTest, Choices) {
  TempDir dir;
  const std::string missing = dir.file("no-such-folder");
  // An installed layout: <prefix>/bin beside <prefix>/share/tolvan, both writable.
  const std::string bin = dir.file("usr/bin");
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(dir.file("usr/share/tolvan"));
  struct Case {
    const char* name;
    const char* tolvanIni;
    const char* xdg;
    const char* home;
    std::string programDir;
    std::string want;
  };
  const Case cases[] = {
      {"TOLVAN_INI wins", "/srv/t/my.ini", "/cfg", "/home/u", dir.path(), "/srv/t/my.ini"},
      {"empty TOLVAN_INI is unset", "", "/cfg", "/home/u", dir.path(), dir.file("Tolvan.ini")},
      {"writable program folder", nullptr, "/cfg", "/home/u", dir.path(), dir.file("Tolvan.ini")},
      {"trailing separator", nullptr, "/cfg", "/home/u", dir.path() + "/", dir.file("Tolvan.ini")},
      {"unusable program folder: XDG", nullptr, "/cfg", "/home/u", missing, "/cfg/Tolvan/Tolvan.ini"},
      {"program folder is a file: XDG", nullptr, "/cfg/", "/home/u", dir.file("f"), "/cfg/Tolvan/Tolvan.ini"},
      {"no XDG: ~/.config", nullptr, nullptr, "/home/u", missing, "/home/u/.config/Tolvan/Tolvan.ini"},
      {"relative XDG is ignored", nullptr, "rel/cfg", "/home/u", missing, "/home/u/.config/Tolvan/Tolvan.ini"},
      {"empty program folder", nullptr, "/cfg", "/home/u", "", "/cfg/Tolvan/Tolvan.ini"},
      {"installed program: per user", nullptr, "/cfg", "/home/u", bin, "/cfg/Tolvan/Tolvan.ini"},
  };
  writeBytes(dir.file("f"), "x");
  for (const Case& c : cases) {
    put("TOLVAN_INI", c.tolvanIni);
    put("XDG_CONFIG_HOME", c.xdg);
    put("HOME", c.home);
    EXPECT_EQ(settingsFilePath(c.programDir), c.want) << c.name;
  }
}

}  // namespace
}  // namespace tolvan
