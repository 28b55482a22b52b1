// Searching the editor's text: byte-exact matching of TSCII text held one
// character per byte (with the editor's stand-in for byte 0xAD), forward or
// backward, with ASCII-only case folding and whole-word matching where Tamil
// letters count as word characters. Logic only: works on UTF-16 code units.
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

namespace tolvan {

struct SearchOptions {
  bool matchCase = false;
  bool wholeWord = false;
  bool backward = false;
};

inline constexpr std::ptrdiff_t kNotFound = -1;

// Whether the editor character c is part of a word: ASCII letters, digits and
// '_', and every byte that is a Tamil letter, sign or ligature in TSCII.
bool isWordChar(char16_t c);

// Forward: the first match starting at or after `from`. Backward: the last
// match that ends at or before `from`. Returns its start or kNotFound. An
// empty needle never matches.
std::ptrdiff_t findText(std::u16string_view text, std::u16string_view needle, std::size_t from,
                        const SearchOptions& options);

// Whether text[pos, pos + needle.size()) is a match under options (the
// replace command checks the current selection with it).
bool matchesAt(std::u16string_view text, std::u16string_view needle, std::size_t pos,
               const SearchOptions& options);

// Every non-overlapping match from the start, left to right (direction is
// ignored).
std::vector<std::size_t> findAll(std::u16string_view text, std::u16string_view needle,
                                 const SearchOptions& options);

}  // namespace tolvan
