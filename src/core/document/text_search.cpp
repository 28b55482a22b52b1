// Byte-exact search over the editor's characters.
#include "core/document/text_search.h"

#include <algorithm>
#include <array>

#include "core/convert/unicode_bridge.h"

namespace tolvan {
namespace {

// The editor holds byte 0xAD as U+0B87 (text layout hides U+00AD).
constexpr char16_t kEditorSoftHyphen = 0x0B87;

constexpr char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// Which bytes are Tamil: the bridge maps them into the Tamil block.
const std::array<bool, 256>& tamilBytes() {
  static const std::array<bool, 256> table = [] {
    std::array<bool, 256> t{};
    for (int b = 0x80; b < 0x100; ++b) {
      const char c = static_cast<char>(b);
      const std::string u = TsciiToUnicode(std::string_view(&c, 1));
      // UTF-8 of U+0B80..U+0BFF starts E0 AE or E0 AF (a sign alone comes
      // after a dotted circle).
      t[b] = u.find("\xE0\xAE") != std::string::npos || u.find("\xE0\xAF") != std::string::npos;
    }
    return t;
  }();
  return table;
}

bool boundaryOk(std::u16string_view text, std::size_t pos, std::size_t len, bool unicode) {
  if (pos > 0 && isWordChar(text[pos - 1], unicode)) return false;
  if (pos + len < text.size() && isWordChar(text[pos + len], unicode)) return false;
  return true;
}

// Horspool's search with a 256-entry shift table keyed on the low byte of
// the (folded) character: a shared key only makes a shift shorter, never
// wrong, and the editor's characters are bytes almost always.
class Searcher {
 public:
  Searcher(std::u16string_view needle, bool matchCase, bool backward)
      : needle_(needle), matchCase_(matchCase) {
    const std::size_t n = needle.size();
    shift_.fill(n);
    if (!backward) {
      for (std::size_t i = 0; i + 1 < n; ++i) shift_[key(needle[i])] = n - 1 - i;
    } else {
      for (std::size_t i = n - 1; i >= 1; --i) shift_[key(needle[i])] = i;
    }
  }

  // First window start >= from (forward) whose text equals the needle and
  // that accept() takes.
  template <typename Accept>
  std::ptrdiff_t forward(std::u16string_view text, std::size_t from, Accept accept) const {
    const std::size_t n = needle_.size();
    const char16_t last = needle_[n - 1];
    std::size_t pos = from;
    while (pos + n <= text.size()) {
      const char16_t c = text[pos + n - 1];
      if (eq(c, last) && equalAt(text, pos) && accept(pos)) return std::ptrdiff_t(pos);
      pos += shift_[key(c)];
    }
    return kNotFound;
  }

  // Last window that ends at or before limit.
  template <typename Accept>
  std::ptrdiff_t backward(std::u16string_view text, std::size_t limit, Accept accept) const {
    const std::size_t n = needle_.size();
    limit = std::min(limit, text.size());
    if (limit < n) return kNotFound;
    const char16_t first = needle_[0];
    std::ptrdiff_t pos = std::ptrdiff_t(limit - n);
    while (pos >= 0) {
      const char16_t c = text[std::size_t(pos)];
      if (eq(c, first) && equalAt(text, std::size_t(pos)) && accept(std::size_t(pos))) return pos;
      pos -= std::ptrdiff_t(shift_[key(c)]);
    }
    return kNotFound;
  }

 private:
  unsigned key(char16_t c) const { return (matchCase_ ? c : foldAscii(c)) & 0xFFu; }
  bool eq(char16_t a, char16_t b) const { return matchCase_ ? a == b : foldAscii(a) == foldAscii(b); }
  bool equalAt(std::u16string_view text, std::size_t pos) const {
    for (std::size_t i = 0; i < needle_.size(); ++i)
      if (!eq(text[pos + i], needle_[i])) return false;
    return true;
  }

  std::u16string_view needle_;
  bool matchCase_;
  std::array<std::size_t, 256> shift_{};
};

}  // namespace

bool isWordChar(char16_t c, bool unicode) {
  if (c < 0x80) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_';
  }
  if (unicode) {
    return (c >= 0x0B80 && c <= 0x0BFF) || c == 0x200C || c == 0x200D ||
           c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
           (c >= 0x0300 && c <= 0x036F);
  }
  if (c <= 0xFF) return tamilBytes()[c];
  if (c == kEditorSoftHyphen) return true;
  return false;
}

bool matchesAt(std::u16string_view text, std::u16string_view needle, std::size_t pos,
               const SearchOptions& options) {
  if (needle.empty() || pos > text.size() || text.size() - pos < needle.size()) return false;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    const char16_t a = text[pos + i], b = needle[i];
    if (options.matchCase ? a != b : foldAscii(a) != foldAscii(b)) return false;
  }
  return !options.wholeWord || boundaryOk(text, pos, needle.size(), options.unicode);
}

std::ptrdiff_t findText(std::u16string_view text, std::u16string_view needle, std::size_t from,
                        const SearchOptions& options) {
  if (needle.empty() || needle.size() > text.size()) return kNotFound;
  auto accept = [&](std::size_t pos) {
    return !options.wholeWord || boundaryOk(text, pos, needle.size(), options.unicode);
  };
  const Searcher searcher(needle, options.matchCase, options.backward);
  return options.backward ? searcher.backward(text, from, accept)
                          : searcher.forward(text, from, accept);
}

std::vector<std::size_t> findAll(std::u16string_view text, std::u16string_view needle,
                                 const SearchOptions& options) {
  std::vector<std::size_t> out;
  if (needle.empty() || needle.size() > text.size()) return out;
  const Searcher searcher(needle, options.matchCase, false);
  auto accept = [&](std::size_t pos) {
    return !options.wholeWord || boundaryOk(text, pos, needle.size(), options.unicode);
  };
  std::size_t from = 0;
  while (true) {
    const std::ptrdiff_t pos = searcher.forward(text, from, accept);
    if (pos == kNotFound) break;
    out.push_back(std::size_t(pos));
    from = std::size_t(pos) + needle.size();
  }
  return out;
}

}  // namespace tolvan
