// Every key the program keeps in its settings file, in one table that both
// reading and writing use, and a small typed access layer over ProfileFile.
//
//   tolvan::ProfileFile file(tolvan::settingsFilePath(programDir));
//   tolvan::Settings settings(file, programDir);
//   std::string fore = settings.readString(tolvan::Key::ForeColor);   // "clBlack" when unset
//   settings.writeInteger(tolvan::Key::Times, settings.readInteger(tolvan::Key::Times) + 1);
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "core/settings/profile_file.h"

namespace tolvan {

// The program's own section, and the recently-used list's section (the main
// window's section, a backslash, then "<form class>.<component>").
inline constexpr std::string_view kMainSection = "Tolvan";
inline constexpr std::string_view kRecentFilesSection = "Tolvan\\TMainForm.RecentFiles";

// The directory-panel switch: a key named by a Tamil word in TSCII; the file
// encryption menu is offered only when it holds exactly the expected bytes.
// Nothing in the program writes it.
inline constexpr std::string_view kDirPanelSwitchName = "\xC3\xB8\xBA\xA2\xC2\xF5";
inline constexpr std::string_view kDirPanelSwitchValue = "\xAB\xC4\xA8\xF5";

enum class Key {
  ForeColor,            // string, colour text or number
  BackColor,            // string
  FontDef,              // string, default font face name
  FontSize,             // integer, written at exit only
  Viewer,               // string of five '0'/'1': selector bar, toolbar, format bar, status bar, directory panel
  WorkDir,              // string, folder of the last opened document; default the program folder
  StartDate,            // string, date of the first start
  Times,                // integer, number of starts
  DirPanelSwitch,       // string, see kDirPanelSwitchValue
  KeyBoard,             // integer 1..4 (Anjal, Mylai, Typewriter, Romanised); read "KeyBoard", written "Keyboard"
  TamilMode,            // integer 0/1
  FontConversionMenus,  // integer, number of registered font maps
  FontConversionMenu,   // string, indexed 1..count: path of a font-map file
  FormVersion,          // integer, main-window placement record version (written as 0)
  Flags,                // integer, main-window placement flags
  ShowCmd,              // integer, main-window show command
  PixelsPerInch,        // integer
  MinMaxPos,            // string "%d,%d,%d,%d"; also stored under "MinMaxPos(<w>x<h>)"
  NormPos,              // string "%d,%d,%d,%d"; also stored under "NormPos(<w>x<h>)"
  NewDocumentEncoding,  // string "TSCII" or "Unicode": what File > New makes
};

enum class ValueType { String, Integer };

struct KeySpec {
  Key key;
  std::string_view section;
  std::string_view readName;   // the spelling used when reading
  std::string_view writeName;  // the spelling used when writing
  ValueType type;
  std::string_view defaultString;  // String keys
  int defaultInteger;              // Integer keys
};

// Keys with an index or a screen size take it as a suffix of the name:
// FontConversionMenu + "1", NormPos + "(1024x768)".
inline constexpr std::array<KeySpec, 20> kSettingsKeys = {{
    {Key::ForeColor, kMainSection, "ForeColor", "ForeColor", ValueType::String, "clBlack", 0},
    {Key::BackColor, kMainSection, "BackColor", "BackColor", ValueType::String, "clWhite", 0},
    {Key::FontDef, kMainSection, "FontDef", "FontDef", ValueType::String, "", 0},
    // Nothing reads FontSize back; the size box starts at 10 on every start.
    {Key::FontSize, kMainSection, "FontSize", "FontSize", ValueType::Integer, "", 10},
    {Key::Viewer, kMainSection, "Viewer", "Viewer", ValueType::String, "11110", 0},
    // The default is the program folder, known only at run time (Settings supplies it).
    {Key::WorkDir, kMainSection, "WorkDir", "WorkDir", ValueType::String, "", 0},
    {Key::StartDate, kMainSection, "StartDate", "StartDate", ValueType::String, "", 0},
    {Key::Times, kMainSection, "Times", "Times", ValueType::Integer, "", 0},
    {Key::DirPanelSwitch, kMainSection, kDirPanelSwitchName, kDirPanelSwitchName, ValueType::String, "", 0},
    {Key::KeyBoard, kMainSection, "KeyBoard", "Keyboard", ValueType::Integer, "", 1},
    {Key::TamilMode, kMainSection, "TamilMode", "TamilMode", ValueType::Integer, "", 1},
    {Key::FontConversionMenus, kMainSection, "FontConversionMenus", "FontConversionMenus", ValueType::Integer, "", 0},
    {Key::FontConversionMenu, kMainSection, "FontConversionMenu_", "FontConversionMenu_", ValueType::String, "", 0},
    {Key::FormVersion, kMainSection, "FormVersion", "FormVersion", ValueType::Integer, "", 0},
    {Key::Flags, kMainSection, "Flags", "Flags", ValueType::Integer, "", 0},
    {Key::ShowCmd, kMainSection, "ShowCmd", "ShowCmd", ValueType::Integer, "", 0},
    {Key::PixelsPerInch, kMainSection, "PixelsPerInch", "PixelsPerInch", ValueType::Integer, "", 0},
    {Key::MinMaxPos, kMainSection, "MinMaxPos", "MinMaxPos", ValueType::String, "", 0},
    {Key::NormPos, kMainSection, "NormPos", "NormPos", ValueType::String, "", 0},
    {Key::NewDocumentEncoding, kMainSection, "NewDocumentEncoding", "NewDocumentEncoding", ValueType::String, "TSCII", 0},
}};

// The row of a key (every Key has exactly one row).
const KeySpec& keySpec(Key key);

// Typed access to the settings file. Every call opens and closes the file;
// nothing is cached, so two Settings on one file always agree.
class Settings {
 public:
  Settings(ProfileFile& file, std::string programDir);

  ProfileFile& file() { return file_; }

  // The table's default when the key is missing (WorkDir: the program folder).
  std::string readString(Key key) const;
  // The table's default when the key is missing or not a number.
  int readInteger(Key key) const;
  bool writeString(Key key, std::string_view value);
  bool writeInteger(Key key, int value);

  // Indexed keys: FontConversionMenu_<n>.
  std::string readString(Key key, int index) const;
  bool writeString(Key key, int index, std::string_view value);

  // Window placement strings: the key for this screen size when present,
  // else the plain key. Writing stores both.
  std::string readPlacement(Key key, int screenWidth, int screenHeight) const;
  bool writePlacement(Key key, int screenWidth, int screenHeight, std::string_view value);

  // True when the directory-panel switch holds the expected bytes.
  bool dirPanelSwitchOn() const;

  // Registers a font-map file: the count goes up by one and the path is
  // stored under the new number, which is returned (0 when the write failed).
  // The same path may be registered more than once.
  int addFontConversionMenu(std::string_view path);

 private:
  std::string defaultString(const KeySpec& spec) const;

  ProfileFile& file_;
  std::string programDir_;
};

}  // namespace tolvan
