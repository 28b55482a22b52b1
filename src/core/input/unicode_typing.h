// Typing into Unicode text with the TSCII keyboard engines.
//
// The engines work on TSCII bytes: a key inserts a byte or deletes the byte
// before the caret. In a Unicode document the same keys must leave the text
// that the TSCII bridge gives for the bytes a TSCII document would hold. One
// engine operation is applied here to a short stretch of the paragraph around
// the caret: the stretch is turned into TSCII, the byte is inserted or
// deleted there, and the result is turned back. The stretch ends where the
// bridge carries no context across (next to a character that is not Tamil,
// or between two whole letters), so the rest of the paragraph is untouched.
//
// A few TSCII spellings do not survive Unicode and back (a consonant typed
// with the u sign where a one-byte letter exists, a prefix sign typed before
// its consonant arrives, the caret between the halves of a split letter).
// So the bytes of the stretch last edited are kept, and the next operation
// starts from them while the text around the caret is still what they gave.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "core/input/keyboard.h"

namespace tolvan {

class UnicodeTyping {
 public:
  // Applies one engine operation to the text (UTF-8) at the caret (a byte
  // offset at a character boundary). Only characters within kReach of the
  // caret are looked at or changed, so `text` may be the whole document or
  // a stretch of a paragraph around the caret. `op` 0x08 deletes the TSCII byte
  // before the caret; 0 changes nothing but brings the stretch to the form
  // the bridge gives (after a paragraph break was taken out, say); any other
  // byte is inserted. With overwrite an inserted byte takes the place of the
  // letter after the caret (a consonant with its signs, or one character),
  // as a TSCII document's Overwrite replaces the character after the caret;
  // at the end of the text nothing is replaced.
  // Returns the caret's new offset.
  size_t apply(std::string& text, size_t caret, unsigned char op, bool overwrite = false);
  // Whether the TSCII text at the caret has a byte before the caret: there is
  // text before it, or the caret stands in front of a letter whose prefix
  // sign was typed first (the sign is before the caret in TSCII).
  bool byteBefore(const std::string& text, size_t caret) const;
  // The caret was moved or the text changed by other means: the kept bytes no
  // longer describe the text.
  void forget();

  // How far from the caret a stretch may reach, in characters.
  static constexpr size_t kReach = 48;
  // The most UTF-8 bytes the kept stretch may describe.
  static constexpr size_t kKeepLimit = 1024;

 private:
  bool keeps(const std::string& text, size_t caret) const;
  void keep(const std::string& u, size_t caret, const std::string& tb, const std::string& ta);
  bool have_ = false;
  std::string bytesBefore_, bytesAfter_;  // TSCII of the stretch last edited
  std::string textBefore_, textAfter_;    // the Unicode they give, split at the caret
};

// A text buffer standing in for a Unicode document, for tolvan-cli and the
// tests: the keys go through the same dispatch as TextBufferSink's, and each
// operation through UnicodeTyping. The text is UTF-8; Enter gives "\r" as in
// the TSCII buffer. The caret may be placed anywhere (at a character
// boundary).
class UnicodeBufferSink : public KeySink {
 public:
  UnicodeBufferSink(Layout layout, TamilState& state, bool tamilMode = true);
  // As TextBufferSink::typeKey. With Tamil mode off a backspace takes out
  // one whole character and bytes 0x80..0xFF are Latin-1 letters.
  void typeKey(unsigned char key);
  void SendKeyToEditor(unsigned char ch) override;
  const std::string& text() const { return text_; }
  size_t caret() const { return caret_; }
  // Replaces the text (caret at its end) or moves the caret.
  void setText(std::string text);
  void setCaret(size_t pos);
  // Tamil keys replace the letter after the caret instead of pushing it on.
  void setOverwrite(bool on) { overwrite_ = on; }
  // Takes the first n bytes out (text already written elsewhere); the caret
  // must be after them.
  void eraseFront(size_t n);

 private:
  void edit(unsigned char op);
  Layout layout_;
  TamilState& state_;
  bool tamilMode_;
  std::string text_;
  size_t caret_ = 0;
  bool overwrite_ = false;
  UnicodeTyping typing_;
};

}  // namespace tolvan
