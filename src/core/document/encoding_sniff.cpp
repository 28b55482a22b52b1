#include "core/document/encoding_sniff.h"

#include <cstdint>
#include <cstring>

namespace tolvan {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

uint64_t load8(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::string_view UnicodeMark(UnicodeForm form) {
  switch (form) {
    case UnicodeForm::Utf8: return {};
    case UnicodeForm::Utf8Mark: return std::string_view("\xEF\xBB\xBF", 3);
    case UnicodeForm::Utf16LeMark: return std::string_view("\xFF\xFE", 2);
    case UnicodeForm::Utf16BeMark: return std::string_view("\xFE\xFF", 2);
  }
  return {};
}

size_t Utf8InvalidAt(std::string_view bytes, bool mayEndInside, bool* tamil) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  bool sawTamil = false;
  size_t i = 0;
  while (i < n) {
    // Runs of ASCII go by eight bytes at a time.
    if (i + 16 <= n && ((load8(p + i) | load8(p + i + 8)) & kHighBits) == 0) {
      i += 16;
      continue;
    }
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The Tamil block (E0 AE xx, E0 AF xx) is most of a Tamil text: the
    // common case first.
    if (c == 0xE0 && i + 2 < n && (p[i + 1] == 0xAE || p[i + 1] == 0xAF) && isContinuation(p[i + 2])) {
      sawTamil = true;
      i += 3;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;  // no overlong forms
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      break;
    }
    size_t k = 1;
    for (; k < len && i + k < n; ++k) {
      const unsigned char b = p[i + k];
      if (k == 1 ? (b < lo || b > hi) : !isContinuation(b)) break;
    }
    if (k < len) {
      if (i + k == n && mayEndInside) {
        i = n;
        break;
      }
      break;
    }
    i += len;
  }
  if (tamil) *tamil = sawTamil;
  return i;
}

size_t Utf16InvalidAt(std::string_view data, bool bigEndian) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size() & ~size_t(1);
  const int hiByte = bigEndian ? 0 : 1;
  size_t i = 0;
  while (i < n) {
    const unsigned char h = p[i + hiByte];
    if (h < 0xD8 || h > 0xDF) {
      i += 2;
      continue;
    }
    // A high surrogate followed by a low one is one character; anything
    // else is a lone surrogate.
    if (h >= 0xDC || i + 2 >= n) return i;
    const unsigned char h2 = p[i + 2 + hiByte];
    if (h2 < 0xDC || h2 > 0xDF) return i;
    i += 4;
  }
  return i;  // data.size() - 1 for an odd length: the byte left over
}

std::string GroupedNumber(size_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  const size_t len = digits.size();
  for (size_t k = 0; k < len; ++k) {
    if (k > 0 && (len - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

EncodingGuess SniffEncoding(std::string_view bytes) {
  EncodingGuess g;
  auto unicode = [&g](UnicodeForm form) {
    g.encoding = TextEncoding::Unicode;
    g.form = form;
    return g;
  };
  auto notUtf8 = [&g](size_t at) {
    g.reason = "Opened as TSCII: not valid UTF-8 after byte " + GroupedNumber(at);
    return g;
  };
  const auto startsWith = [bytes](UnicodeForm form) { return bytes.substr(0, UnicodeMark(form).size()) == UnicodeMark(form); };

  if (startsWith(UnicodeForm::Utf8Mark)) {
    const size_t bad = Utf8InvalidAt(bytes.substr(3));
    if (bad == bytes.size() - 3) return unicode(UnicodeForm::Utf8Mark);
    return notUtf8(bad + 3);
  }
  for (const UnicodeForm form : {UnicodeForm::Utf16LeMark, UnicodeForm::Utf16BeMark}) {
    if (!startsWith(form)) continue;
    const std::string_view data = bytes.substr(2);
    const size_t bad = Utf16InvalidAt(data, form == UnicodeForm::Utf16BeMark);
    if (bad == data.size()) return unicode(form);
    g.reason = data.size() % 2 != 0 && bad == data.size() - 1
                   ? std::string("Opened as TSCII: not valid UTF-16 (an odd number of bytes)")
                   : "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte " +
                         GroupedNumber(bad + 2) + ")";
    return g;
  }

  // No mark: UTF-8 with Tamil letters in the first piece. Text without them
  // (ASCII, or TSCII that happens to be valid UTF-8) stays TSCII.
  const std::string_view head = bytes.substr(0, kEncodingSniffBytes);
  bool tamil = false;
  if (Utf8InvalidAt(head, head.size() < bytes.size(), &tamil) != head.size() || !tamil) return g;
  if (head.size() == bytes.size()) return unicode(UnicodeForm::Utf8);
  const size_t bad = Utf8InvalidAt(bytes);
  if (bad == bytes.size()) return unicode(UnicodeForm::Utf8);
  return notUtf8(bad);
}

}  // namespace tolvan
