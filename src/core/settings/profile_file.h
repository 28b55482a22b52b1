// A profile (ini) file with the semantics Windows gives such files: section
// and key names matched without regard to ASCII case; names and values kept
// byte for byte; every other key and section left as it was by a write. Each
// operation reads the file afresh; each write replaces the file atomically
// (temporary file in the same folder, fsync, then rename).
//
// The format rules (see doc/readme-settings.md for the full list):
//   - lines end in CR LF, LF or a lone CR; a line we add takes the ending of
//     the file's first line (CR LF for a new file), every other line keeps its
//     own bytes;
//   - "[name]" (blanks before '[' and around the name allowed) starts a section;
//     a line whose first non-blank byte is ';' is a comment; "key=value" is a
//     key, split at the first '='; blanks (space, tab) around the key and the
//     value are not part of them; any other line is kept but means nothing;
//   - the first matching key of the first section that has it wins a read; a
//     write changes that line in place (its key spelling and the blanks around
//     '=' stay) or appends the key after the last key of the first matching
//     section, or appends a new section at the end of the file;
//   - integers: the whole trimmed value must be an optionally signed decimal
//     (or 0x/$ hexadecimal) number that fits in 32 bits, else the default.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvan {

// The parsed bytes of one profile file, edited in memory. Serialising an
// unedited text gives back exactly the bytes it was made from.
class ProfileText {
 public:
  ProfileText() = default;
  explicit ProfileText(std::string_view bytes);

  std::string bytes() const;

  // Value of the first matching key of a matching section, or nothing.
  std::optional<std::string> get(std::string_view section, std::string_view key) const;
  // Keys and values of every matching section, in file order.
  std::vector<std::pair<std::string, std::string>> section(std::string_view section) const;
  // Names of the sections as written in the file, in file order (duplicates kept).
  std::vector<std::string> sectionNames() const;

  // False (and nothing changed) when the name or value cannot be stored so
  // that it reads back: see canStore().
  bool set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every matching key line of every matching section.
  void remove(std::string_view section, std::string_view key);
  // Removes every matching section: its header and all lines up to the next header.
  void eraseSection(std::string_view section);

  // A section name must be non-empty and hold no CR, LF, NUL or ']' and no
  // blank at either end; a key name the same with '=' in place of ']', and
  // not start with '[' or ';'; a value must hold no CR, LF or NUL (blanks at
  // its ends are dropped when it is read back, as Windows does).
  static bool canStore(std::string_view section, std::string_view key, std::string_view value);

 private:
  enum class Kind { Other, Section, Key };
  struct Line {
    std::string text;  // without its line ending
    std::string eol;   // "\r\n", "\n", "\r" or "" (last line only)
    Kind kind = Kind::Other;
    std::string name;        // section or key name, trimmed
    std::size_t valuePos = 0;  // Key: where the value starts in text (after '=' and blanks)
  };
  static Line parseLine(std::string text, std::string eol, bool first);
  std::string newlineStyle() const;
  void insertLine(std::size_t at, Line line);
  // Index of the line of the first matching key, or npos.
  std::size_t findKey(std::string_view section, std::string_view key) const;

  std::vector<Line> lines_;
};

// Windows profile-integer reading as the program uses it: nothing when the
// trimmed text is not wholly a number that fits in an int.
std::optional<int> parseProfileInt(std::string_view text);

class ProfileFile {
 public:
  explicit ProfileFile(std::string path);
  const std::string& path() const { return path_; }

  // A missing or unreadable file gives the default.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // A malformed integer gives the default.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // Writes return false when the file could not be written (the old file is
  // kept) or when the name or value cannot be stored (ProfileText::canStore).
  // The first write creates the file and any missing folders above it.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool EraseSection(std::string_view section);
  // Keys and values of a section in file order (empty if none).
  std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

  // The whole file, for several edits in one replacement. An empty text when
  // the file does not exist; nothing when it exists but cannot be read (a
  // write must then fail rather than replace a file it could not see).
  std::optional<ProfileText> Load() const;
  // Replaces the file atomically with the text; false leaves the old file.
  bool Store(const ProfileText& text);

 private:
  std::string path_;
};

// Where the settings file lives: $TOLVAN_INI when set; else "Tolvan.ini" in
// programDir when that folder is writable and not an installed program's bin
// folder (one with ../share/tolvan beside it); else $XDG_CONFIG_HOME/Tolvan/Tolvan.ini
// (~/.config when XDG_CONFIG_HOME is unset).
std::string settingsFilePath(const std::string& programDir);

}  // namespace tolvan
