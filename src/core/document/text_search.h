// Searching the editor's text: byte-exact matching of TSCII text held one
// character per byte (with the editor's stand-in for byte 0xAD), or exact
// matching of a Unicode document's text, forward or backward, with
// ASCII-only case folding and whole-word matching where Tamil letters count
// as word characters. Logic only: works on UTF-16 code units.
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

namespace tolvan {

struct SearchOptions {
  bool matchCase = false;
  bool wholeWord = false;
  bool backward = false;
  // The text is a Unicode document's (Tamil at U+0B80-U+0BFF), not TSCII
  // characters: only whole-word matching looks at it.
  bool unicode = false;
};

inline constexpr std::ptrdiff_t kNotFound = -1;

// Whether the editor character c is part of a word: ASCII letters, digits and
// '_', and every byte that is a Tamil letter, sign or ligature in TSCII. In
// Unicode text: ASCII letters, digits and '_', the Tamil block and the
// joiners that stand inside Tamil words, Latin-1 and Latin Extended letters
// and combining marks (a surrogate half, an emoji's, is no word character).
bool isWordChar(char16_t c, bool unicode = false);

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
