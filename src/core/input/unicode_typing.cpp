// Typing into Unicode text: one engine operation applied through the TSCII
// bridge to the stretch around the caret (see the header).
#include "core/input/unicode_typing.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/convert/unicode_bridge.h"

namespace tolvan {
namespace {

// What a character means for the bridge's context.
enum Kind : unsigned char {
  kNone,    // the end of the text
  kOther,   // ASCII or a symbol: a TSCII byte of its own that nothing joins
  kWall,    // not a TSCII character at all: never goes through the bridge
  kBase,    // a letter, a symbol or a byte kept as a private-use character
  kSign,    // a vowel sign written after its consonant, or the au length mark
  kPrefix,  // a vowel sign TSCII writes before the consonant
  kPulli,   // the dead-consonant mark (k.ssa and sri span it)
  kDotted,  // a dotted circle carrying a sign
};

char32_t decodeAt(const std::string& s, size_t i, size_t& len) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x80) {
    len = 1;
    return b;
  }
  const size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  if (i + n > s.size()) {
    len = 1;
    return 0xFFFD;
  }
  char32_t cp = n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  len = n;
  return cp;
}

size_t prevStart(const std::string& s, size_t i) {
  do --i;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80);
  return i;
}

std::string utf8Of(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

bool isTamilSign(char32_t cp) { return (cp >= 0x0BBE && cp <= 0x0BCD) || cp == 0x0BD7; }

// Which characters of the Tamil block and of the private-use bytes the
// bridge turns into TSCII (the others are kept as they are, so they are walls).
struct Mappable {
  std::array<bool, 128> tamil{};
  std::array<bool, 256> pua{};
  std::vector<char32_t> singles;  // other characters TSCII has a byte for
  Mappable() {
    for (int b = 0x80; b < 0x100; ++b) {
      const std::string u = TsciiToUnicode(std::string(1, static_cast<char>(b)));
      size_t len = 0;
      const char32_t cp = decodeAt(u, 0, len);
      if (len == u.size() && !(cp >= 0x0B80 && cp <= 0x0BFF) && !(cp >= 0xF000 && cp <= 0xF0FF) && cp != 0x25CC)
        singles.push_back(cp);
    }
    for (char32_t k = 0; k < 128; ++k)
      tamil[k] = !UnicodeToTscii(utf8Of(0x0B80 + k), {}, Unmappable::Drop).empty();
    for (char32_t k = 0; k < 256; ++k)
      pua[k] = !UnicodeToTscii(utf8Of(0xF000 + k), {}, Unmappable::Drop).empty();
  }
};
const Mappable& mappable() {
  static const Mappable m;
  return m;
}

// `next` is the character after cp (0 for none).
Kind kindOf(char32_t cp, char32_t next) {
  if (cp < 0x80) return kOther;
  if (cp >= 0x0B80 && cp <= 0x0BFF) {
    // Signs join what comes before them (a pulli alone has no byte).
    if (cp == 0x0BCD) return kPulli;
    if (!isTamilSign(cp) && !mappable().tamil[cp - 0x0B80]) return kWall;
    if (cp >= 0x0BC6 && cp <= 0x0BC8) return kPrefix;
    if (isTamilSign(cp)) return kSign;
    return kBase;
  }
  if (cp >= 0xF000 && cp <= 0xF0FF) return mappable().pua[cp - 0xF000] ? kBase : kWall;
  if (cp == 0x25CC && isTamilSign(next)) return kDotted;
  for (char32_t c : mappable().singles)
    if (c == cp) return kOther;
  return kWall;
}

// Whether the bridge carries nothing across the boundary between a character
// of kind a and one of kind b, in either direction: the TSCII of the two
// sides converts on its own to the Unicode of each side, and back.
bool safeJoin(Kind a, Kind b) {
  if (a == kNone || b == kNone || a == kOther || b == kOther || a == kWall || b == kWall) return true;
  if (b == kSign || b == kPrefix || b == kPulli || b == kDotted) return false;
  if (a == kPrefix || a == kPulli) return false;
  return true;
}

// The characters near the caret: start offsets and kinds. Index k of a cut
// is the boundary before character k.
struct Span {
  std::vector<size_t> at;  // byte offset of each character, then the end
  std::vector<Kind> kind;
  size_t caret = 0;       // index of the caret's boundary
  bool openStart = false;  // text goes on before the first character
  bool openEnd = false;    // and after the last
  size_t count() const { return kind.size(); }
  Kind before(size_t k) const { return k == 0 ? (openStart ? kBase : kNone) : kind[k - 1]; }
  Kind from(size_t k) const { return k == count() ? (openEnd ? kBase : kNone) : kind[k]; }
  bool safe(size_t k) const {
    // A boundary at the edge of what was looked at counts as safe: the
    // stretch never grows further than that.
    if (k == 0 || k == count()) return true;
    return safeJoin(kind[k - 1], kind[k]);
  }
};

Span spanAround(const std::string& text, size_t caret, size_t back, size_t ahead) {
  Span s;
  size_t start = caret;
  for (size_t n = 0; n < back && start > 0; ++n) start = prevStart(text, start);
  s.openStart = start > 0;
  std::vector<char32_t> cps;
  size_t i = start;
  size_t past = 0;  // characters recorded from the caret on
  while (i < text.size()) {
    if (i == caret) s.caret = s.at.size();
    if (i >= caret && past++ >= ahead) break;
    size_t len = 0;
    cps.push_back(decodeAt(text, i, len));
    s.at.push_back(i);
    i += len;
  }
  if (i == caret) s.caret = s.at.size();
  s.openEnd = i < text.size();
  size_t nextLen = 0;
  const char32_t after = s.openEnd ? decodeAt(text, i, nextLen) : 0;
  s.at.push_back(i);
  s.kind.resize(cps.size());
  for (size_t k = 0; k < cps.size(); ++k) s.kind[k] = kindOf(cps[k], k + 1 < cps.size() ? cps[k + 1] : after);
  return s;
}

// Kinds of the first and last characters of a converted stretch; `follow` is
// the character after it.
Kind firstKind(const std::string& u, char32_t follow) {
  if (u.empty()) return kNone;
  size_t len = 0;
  const char32_t cp = decodeAt(u, 0, len);
  size_t len2 = 0;
  const char32_t next = len < u.size() ? decodeAt(u, len, len2) : follow;
  return kindOf(cp, next);
}
Kind lastKind(const std::string& u, char32_t follow) {
  if (u.empty()) return kNone;
  size_t len = 0;
  return kindOf(decodeAt(u, prevStart(u, u.size()), len), follow);
}

size_t countChars(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string encode(const std::string& text, size_t from, size_t to) {
  return UnicodeToTscii(std::string_view(text).substr(from, to - from), {}, Unmappable::KeepUtf8);
}

// How many bytes of TSCII make its first letter: the fewest that convert on
// their own to the start of what the whole converts to, the rest converting
// on its own to the rest, which does not begin with a sign (a consonant and
// its vowel sign are one letter, though TSCII may write them in two bytes).
size_t firstLetterBytes(const std::string& t) {
  if (t.empty()) return 0;
  const std::string whole = TsciiToUnicode(t);
  for (size_t k = 1; k < t.size(); ++k) {
    const std::string head = TsciiToUnicode(std::string_view(t).substr(0, k));
    if (head.empty() || whole.compare(0, head.size(), head) != 0) continue;
    size_t len = 0;
    if (head.size() < whole.size() && isTamilSign(decodeAt(whole, head.size(), len))) continue;
    if (TsciiToUnicode(std::string_view(t).substr(k)) == std::string_view(whole).substr(head.size())) return k;
  }
  return t.size();
}

}  // namespace

void UnicodeTyping::forget() {
  have_ = false;
  bytesBefore_.clear();
  bytesAfter_.clear();
  textBefore_.clear();
  textAfter_.clear();
}

void UnicodeTyping::keep(const std::string& u, size_t p, const std::string& tb, const std::string& ta) {
  // Only the letters next to the caret are kept: the stretch is cut at the
  // boundaries nearest the caret beyond which the bytes are what the text
  // converts to anyway (otherwise what is kept would grow with every key).
  std::vector<size_t> at;
  std::vector<char32_t> cps;
  for (size_t i = 0; i < u.size();) {
    size_t len = 0;
    at.push_back(i);
    cps.push_back(decodeAt(u, i, len));
    i += len;
  }
  at.push_back(u.size());
  const size_t n = cps.size();
  auto kindAt = [&](size_t k) { return kindOf(cps[k], k + 1 < n ? cps[k + 1] : 0); };
  auto safeAt = [&](size_t k) { return k == 0 || k == n || safeJoin(kindAt(k - 1), kindAt(k)); };
  size_t caretIdx = 0;
  while (caretIdx < n && at[caretIdx] < p) ++caretIdx;
  size_t start = 0, bytesFrom = 0;
  for (size_t k = caretIdx; k > 0; --k) {
    if (!safeAt(k)) continue;
    const std::string e = encode(u, 0, at[k]);
    // The bytes left must still give exactly the text left.
    if (tb.compare(0, e.size(), e) == 0 && TsciiToUnicode(tb.substr(e.size()) + ta) == u.substr(at[k])) {
      start = at[k];
      bytesFrom = e.size();
      break;
    }
  }
  size_t end = u.size(), bytesTo = ta.size();
  for (size_t k = caretIdx; k < n; ++k) {
    if (!safeAt(k)) continue;
    const std::string e = encode(u, at[k], u.size());
    if (e.size() <= ta.size() && ta.compare(ta.size() - e.size(), e.size(), e) == 0 &&
        TsciiToUnicode(tb.substr(bytesFrom) + ta.substr(0, ta.size() - e.size())) == u.substr(start, at[k] - start)) {
      end = at[k];
      bytesTo = ta.size() - e.size();
      break;
    }
  }
  have_ = true;
  bytesBefore_.assign(tb, bytesFrom, std::string::npos);
  bytesAfter_.assign(ta, 0, bytesTo);
  textBefore_.assign(u, start, p - start);
  textAfter_.assign(u, p, end - p);
  // Typed text finds a boundary within a letter or two; a long run without
  // one (random bytes, a pasted string of lone signs) would otherwise make
  // every key re-read a stretch that grows with every key. Past this size the
  // text itself is taken as the truth again.
  if (textBefore_.size() + textAfter_.size() > kKeepLimit) forget();
}

bool UnicodeTyping::keeps(const std::string& text, size_t caret) const {
  // The bytes kept from the last operation still describe the text around
  // the caret when that text is what they gave.
  return have_ && caret >= textBefore_.size() && text.size() - caret >= textAfter_.size() &&
         text.compare(caret - textBefore_.size(), textBefore_.size(), textBefore_) == 0 &&
         text.compare(caret, textAfter_.size(), textAfter_) == 0;
}

bool UnicodeTyping::byteBefore(const std::string& text, size_t caret) const {
  return caret > 0 || (keeps(text, caret) && !bytesBefore_.empty());
}

size_t UnicodeTyping::apply(std::string& text, size_t caret, unsigned char op, bool overwrite) {
  if (op == 0 || op == 0x08) overwrite = false;
  // A character after the caret that the bridge does not hold is replaced
  // here, whole; a letter is replaced in TSCII below.
  if (overwrite && caret < text.size()) {
    size_t len = 0, nl = 0;
    const char32_t cp = decodeAt(text, caret, len);
    const char32_t next = caret + len < text.size() ? decodeAt(text, caret + len, nl) : 0;
    if (kindOf(cp, next) == kWall) {
      text.erase(caret, len);
      overwrite = false;
    }
  }

  // A character the bridge does not hold (pasted from elsewhere) is taken out
  // whole; what it separated then meets as the bridge would join it.
  if (op == 0x08 && caret > 0) {
    const size_t p = prevStart(text, caret);
    size_t len = 0;
    const char32_t cp = decodeAt(text, p, len);
    size_t nl = 0;
    const char32_t next = caret < text.size() ? decodeAt(text, caret, nl) : 0;
    if (kindOf(cp, next) == kWall) {
      text.erase(p, caret - p);
      caret = p;
      op = 0;
    }
  }

  const bool kept = keeps(text, caret);
  const size_t keptFrom = kept ? caret - textBefore_.size() : caret;
  const size_t keptTo = kept ? caret + textAfter_.size() : caret;

  const Span s = spanAround(text, caret, kReach + (kept ? countChars(textBefore_) : 0),
                            kReach + (kept ? countChars(textAfter_) : 0));
  auto indexOf = [&](size_t offset) {
    size_t k = 0;
    while (k < s.count() && s.at[k] < offset) ++k;
    return k;
  };

  // The first stretch: at least the character before the caret (unless it
  // is a wall), out to the nearest boundaries the bridge carries nothing
  // across, and never less than the kept bytes cover.
  // Where the stretch may begin at the furthest: in a long run of letters
  // with no boundary to stop at, the edge of what was looked at, moved on
  // past signs so that no letter is cut in two.
  size_t floor = 0;
  if (s.openStart)
    while (floor + 1 < s.caret && (s.kind[floor] == kSign || s.kind[floor] == kPrefix || s.kind[floor] == kPulli))
      ++floor;
  size_t lo = s.caret;
  if (lo > floor && s.kind[lo - 1] != kWall) --lo;
  while (lo > floor && !s.safe(lo)) --lo;
  lo = std::min(lo, indexOf(keptFrom));
  size_t hi = s.caret;
  // Overwrite takes in at least the letter after the caret.
  if (overwrite && hi < s.count()) ++hi;
  while (!s.safe(hi)) ++hi;
  hi = std::max(hi, indexOf(keptTo));

  auto charAt = [&](size_t k) -> char32_t {
    if (k >= s.count()) return 0;
    size_t len = 0;
    return decodeAt(text, s.at[k], len);
  };

  std::string tb, ta, u;
  for (;;) {
    const size_t from = s.at[lo], to = s.at[hi];
    if (kept) {
      tb = encode(text, from, keptFrom) + bytesBefore_;
      ta = bytesAfter_ + encode(text, keptTo, to);
    } else {
      tb = encode(text, from, caret);
      ta = encode(text, caret, to);
    }
    if (overwrite) ta.erase(0, firstLetterBytes(ta));
    if (op == 0x08) {
      if (!tb.empty()) tb.pop_back();
    } else if (op != 0) {
      tb.push_back(static_cast<char>(op));
    }
    u = TsciiToUnicode(tb + ta);
    // The result must meet the text on each side at a boundary the bridge
    // carries nothing across; otherwise the stretch grows that way.
    const Kind left = s.before(lo);
    const Kind right = s.from(hi);
    const Kind first = firstKind(u, charAt(hi));
    const Kind last = lastKind(u, charAt(hi));
    bool grew = false;
    if (u.empty()) {
      if (!safeJoin(left, right)) {
        if (lo > floor) {
          --lo;
          while (lo > floor && !s.safe(lo)) --lo;
          grew = true;
        } else if (hi < s.count()) {
          ++hi;
          while (!s.safe(hi)) ++hi;
          grew = true;
        }
      }
    } else {
      if (!safeJoin(left, first) && lo > floor) {
        --lo;
        while (lo > floor && !s.safe(lo)) --lo;
        grew = true;
      }
      if (!safeJoin(last, right) && hi < s.count()) {
        ++hi;
        while (!s.safe(hi)) ++hi;
        grew = true;
      }
    }
    if (!grew) break;
  }

  // The caret goes where the text before it stops agreeing with what the
  // bytes before the caret give on their own.
  const std::string ub = TsciiToUnicode(tb);
  size_t p = 0;
  while (p < u.size() && p < ub.size() && u[p] == ub[p]) ++p;
  while (p > 0 && p < u.size() && (static_cast<unsigned char>(u[p]) & 0xC0) == 0x80) --p;

  const size_t from = s.at[lo], to = s.at[hi];
  text.replace(from, to - from, u);
  keep(u, p, tb, ta);
  return from + p;
}

UnicodeBufferSink::UnicodeBufferSink(Layout layout, TamilState& state, bool tamilMode)
    : layout_(layout), state_(state), tamilMode_(tamilMode) {}

void UnicodeBufferSink::typeKey(unsigned char key) {
  if (key == 0x08 && typing_.byteBefore(text_, caret_)) {
    if (tamilMode_) {
      edit(0x08);
    } else if (caret_ > 0) {
      const size_t p = prevStart(text_, caret_);
      text_.erase(p, caret_ - p);
      caret_ = p;
      typing_.forget();
    }
  }
  const unsigned char out = EditorKeyPress(tamilMode_, layout_, key, state_, *this);
  if (out == 0 || out == 0x08) return;
  if (tamilMode_) {
    edit(out);
  } else {
    const std::string c = utf8Of(out);
    text_.insert(caret_, c);
    caret_ += c.size();
    typing_.forget();
  }
}

void UnicodeBufferSink::SendKeyToEditor(unsigned char ch) { typeKey(ch); }

void UnicodeBufferSink::edit(unsigned char op) { caret_ = typing_.apply(text_, caret_, op, overwrite_); }

void UnicodeBufferSink::setText(std::string text) {
  text_ = std::move(text);
  caret_ = text_.size();
  typing_.forget();
}

void UnicodeBufferSink::setCaret(size_t pos) {
  caret_ = std::min(pos, text_.size());
  typing_.forget();
}

void UnicodeBufferSink::eraseFront(size_t n) {
  text_.erase(0, n);
  caret_ -= n;
}

}  // namespace tolvan
