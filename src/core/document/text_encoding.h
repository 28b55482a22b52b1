// The two kinds of document the program edits. A TSCII document holds one
// character per byte (byte b is the editor character U+00bb); a Unicode
// document holds real Unicode text (Tamil at U+0B80-U+0BFF) and is written
// back as UTF-8, UTF-16 or UTF-32, the way its file came.
#pragma once

namespace tolvan {

enum class TextEncoding { Tscii, Unicode };

}  // namespace tolvan
