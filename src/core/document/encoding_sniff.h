// Recognising a plain-text file's encoding from its bytes. A file opens as a
// Unicode document when it starts with a UTF-8 mark, starts with a UTF-32 or
// UTF-16 mark and is valid in that form throughout, or is UTF-8 with a Tamil letter
// (U+0B80..U+0BFF) in its first 64 KiB; anything else is TSCII, read byte for
// byte. Only the first 64 KiB decide; the rest is only checked to be valid
// in the form the start chose, at memory speed. A file whose start looked
// like Unicode but whose whole is not valid opens as TSCII, with a reason
// for the user.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/document/text_encoding.h"

namespace tolvan {

// How a Unicode document's file is written: its form and mark.
enum class UnicodeForm { Utf8, Utf8Mark, Utf16LeMark, Utf16BeMark, Utf32LeMark, Utf32BeMark };

// The bytes of each form's mark ("" for plain UTF-8).
std::string_view UnicodeMark(UnicodeForm form);

struct EncodingGuess {
  TextEncoding encoding = TextEncoding::Tscii;
  UnicodeForm form = UnicodeForm::Utf8;  // meaningful for Unicode only
  // Why a file that looked like Unicode opened as TSCII ("" otherwise), a
  // line for the status bar.
  std::string reason;
};

// How many bytes of a file's start decide its encoding.
inline constexpr size_t kEncodingSniffBytes = 64 * 1024;

EncodingGuess SniffEncoding(std::string_view bytes);

// An RTF file holds Unicode Tamil when it spells a Tamil letter as a \u
// escape (\u2944 to \u3071): what a Unicode document, or another word
// processor, writes. A TSCII document's RTF carries its Tamil as bytes.
bool RtfHoldsUnicodeTamil(std::string_view rtf);

// The offset of the first byte of bytes that does not start or continue a
// valid UTF-8 sequence (overlong forms, surrogates and code points above
// U+10FFFF are invalid); bytes.size() when all of it is valid. With
// mayEndInside, a sequence cut short by the end counts as valid (a piece of
// a longer file). *tamil, when given, is set when a Tamil letter was seen.
size_t Utf8InvalidAt(std::string_view bytes, bool mayEndInside = false, bool* tamil = nullptr);

// The offset (in bytes) of the first unit of UTF-16 data that is a lone
// surrogate, or of a trailing odd byte; data.size() when it is valid UTF-16.
size_t Utf16InvalidAt(std::string_view data, bool bigEndian);

// The offset (in bytes) of the first four-byte unit of UTF-32 data that is
// no Unicode scalar value (a surrogate, or above U+10FFFF), or of the bytes
// left over after the last whole unit; data.size() when it is valid UTF-32.
size_t Utf32InvalidAt(std::string_view data, bool bigEndian);

// n with thousands grouped by commas ("70,001").
std::string GroupedNumber(size_t n);

}  // namespace tolvan
