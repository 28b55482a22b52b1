// Font maps: files (".tol") that re-code text written for one 8-bit font into
// the character codes of another. Writing and reading the file, applying a
// map to text, and the settings keys that register maps for the
// "Convert Fonts Using" menu.
//
// File layout, every line ended by CR LF, bytes written as they are:
//   Fontmap Created by Tolvan
//   Do NOT change the contents of this file
//   SourceFont=<face name>
//   TargetFont=<face name>
//   <c>=<replacement bytes>        one line per non-empty cell, c ascending
//   Tolvan written by Veyran Olmast
//   <web site address>
// A mapping line is any line whose second byte is '='.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/product_info.h"

namespace tolvan {

class ProfileFile;

inline constexpr unsigned kFontMapFirstCode = 0x20;
inline constexpr size_t kFontMapCells = 256 - kFontMapFirstCode;

inline constexpr std::string_view kFontMapTitleLine = "Fontmap Created by Tolvan";
inline constexpr std::string_view kFontMapWarningLine = "Do NOT change the contents of this file";
inline constexpr std::string_view kFontMapSourceKey = "SourceFont";
inline constexpr std::string_view kFontMapTargetKey = "TargetFont";
inline constexpr std::string_view kFontMapAuthorLine = "Tolvan written by Veyran Olmast";
inline constexpr std::string_view kFontMapSiteLine = "http://" TOLVAN_WEB_HOST;
inline constexpr std::string_view kFontMapExtension = ".tol";

// Texts of the font-map editor window.
inline constexpr std::string_view kFontMapCaptionPrefix = "Font Conversion by Tolvan - ";
inline constexpr std::string_view kFontMapCaptionNoFile = "Font Conversion by Tolvan - No file loaded";
inline constexpr std::string_view kNoSourceFontMessage = "No Source Font mentioned. Please check the file";
inline constexpr std::string_view kNoTargetFontMessage = "No Target Font mentioned. Please check the file";
inline constexpr std::string_view kNoSchemeMessage =
    "Please select conversion scheme. Use the 'Load' Button to load the conversion schemes";
inline constexpr std::string_view kSchemeAddedSuffix =
    " is added to Tolvan. It will be available when you start Tolvan next time";

// A map being edited: for each source code 0x20..0xFF the bytes that replace it
// (empty: no mapping).
struct FontMap {
  std::string sourceFont;
  std::string targetFont;
  std::array<std::string, kFontMapCells> cells;

  // c must be 0x20 or above.
  std::string& cell(unsigned char c) { return cells[c - kFontMapFirstCode]; }
  const std::string& cell(unsigned char c) const { return cells[c - kFontMapFirstCode]; }
};

// The lines of a file: split at CR LF, a lone CR or a lone LF; a last line
// without an ending counts, an empty file has no lines.
std::vector<std::string_view> SplitFontMapLines(std::string_view bytes);

// The bytes of the file for `map`. Throws std::invalid_argument (the message
// names the face name or cell) when a face name or a cell holds a CR or LF
// byte, which a line-based file cannot hold.
std::string WriteFontMap(const FontMap& map);

// The file name a first save uses: source face, "2", target face, ".tol".
std::string DefaultFontMapFileName(std::string_view sourceFont, std::string_view targetFont);

// What loading a file into the editor found. `messages` holds, in order, the
// texts the editor shows (kNoSourceFontMessage, kNoTargetFontMessage).
struct FontMapLoadResult {
  bool sourceFontFound = false;
  bool targetFontFound = false;
  size_t cellsSet = 0;
  std::vector<std::string> messages;
};

// Loads file bytes into `map` the way the editor does: the first line whose
// text before its first '=' is exactly "SourceFont" (or "TargetFont") sets the
// face name; every line whose first '=' is its second byte and whose first
// byte is 0x20 or above sets that cell to the bytes after the '='. Cells no
// line names keep what they held. Never fails: a file that is not a font map
// simply sets nothing and reports the missing font lines.
FontMapLoadResult LoadFontMap(std::string_view bytes, FontMap& map);

// True when the file starts with the title line a font-map file begins with.
bool LooksLikeFontMap(std::string_view bytes);

// A map ready to apply, made from the bytes of a font-map file. The entry for
// byte b is the first line whose first byte is b and whose second byte is
// '='; its replacement is the rest of that line (possibly empty: b is then
// deleted). Other lines (the header and closing lines) are never entries.
class FontMapApplier {
 public:
  explicit FontMapApplier(std::string_view fileBytes);

  bool hasEntry(unsigned char b) const { return has_[b]; }
  std::string_view replacement(unsigned char b) const {
    return std::string_view(pool_).substr(offset_[b], length_[b]);
  }
  size_t entryCount() const;

  // Each byte of the text is replaced once by its entry (bytes without one
  // are kept); the result is not scanned again, so maps do not chain.
  std::string apply(std::string_view text) const;
  void applyAppend(std::string_view text, std::string& out) const;
  // The length apply would give, found without making the result (a map may
  // turn one byte into megabytes: callers check the size before asking).
  size_t outputSize(std::string_view text) const;

 private:
  std::array<bool, 256> has_{};
  std::array<size_t, 256> offset_{};
  std::array<size_t, 256> length_{};
  std::string pool_;  // the replacements, each byte without an entry as itself
  // When no replacement is longer than 7 bytes: each byte's replacement in
  // the low bytes and its length in the top byte, so that applying is one
  // load and one 8-byte store per byte.
  bool short_ = true;
  std::array<uint64_t, 256> padded_{};
};

// Reads a whole regular file as bytes, at most maxBytes of it (a font map is
// a few kilobytes). Throws std::runtime_error with a one-line message naming
// the file when it cannot be opened or read, is not a regular file (a folder,
// a device that never ends, a pipe that would block) or is larger.
inline constexpr std::size_t kMaxFontMapFileBytes = std::size_t(16) << 20;
std::string ReadFileBytes(const std::string& path, std::size_t maxBytes = kMaxFontMapFileBytes);
// Writes bytes to a file, replacing it. Throws std::runtime_error likewise.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// ---- Registered maps (settings file, main section) ----

// The paths of the registered maps in registration order: entries 1 to
// "FontConversionMenus", empty ones left out, duplicates kept.
std::vector<std::string> RegisteredFontMaps(const ProfileFile& settings);

// Registers a map: the count goes up by one and the path is stored under the
// new number (both in one replacement of the file). Returns that number, or 0
// when the settings file could not be written. A negative count in the file is
// taken as 0, so the new entry is not hidden by it.
int RegisterFontMap(ProfileFile& settings, std::string_view path);

// The message shown after a successful registration.
std::string FontMapAddedMessage(std::string_view path);

}  // namespace tolvan
