// A profile (ini) file with the semantics Windows gives such files: section
// and key names matched without regard to ASCII case; names and values kept
// byte for byte; every other key and section left as it was by a write. Each
// operation reads the file afresh; each write replaces the file atomically
// (temporary file in the same folder, then rename).
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvan {

class ProfileFile {
 public:
  explicit ProfileFile(std::string path);
  const std::string& path() const { return path_; }

  // A missing or unreadable file gives the default.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // A malformed integer gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Writes return false when the file could not be written (the old file is kept).
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool EraseSection(std::string_view section);
  // Keys and values of a section in file order (empty if none).
  std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

 private:
  std::string path_;
};

// Where the settings file lives: $TOLVAN_INI when set; else "Tolvan.ini" in
// programDir when that folder is writable; else $XDG_CONFIG_HOME/Tolvan/Tolvan.ini
// (~/.config when XDG_CONFIG_HOME is unset).
std::string settingsFilePath(const std::string& programDir);

}  // namespace tolvan
