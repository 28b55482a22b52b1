// Typing into Unicode text: after every key the Unicode buffer holds the
// bridge's conversion of what the same keys leave in a TSCII buffer.
#include "core/input/unicode_typing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/convert/unicode_bridge.h"
#include "core/input/keyboard.h"
#include "typing_helpers.h"

namespace {
using tolvan::Layout;
using tolvan::TsciiToUnicode;
using tolvan::testing::hex;

// A TSCII buffer with its caret anywhere (TextBufferSink keeps it at the end).
// In overwrite every byte inserted replaces the byte after the caret, as the
// editor's Overwrite does in a TSCII document.
class CaretBuffer : public tolvan::KeySink {
 public:
  CaretBuffer(Layout layout, tolvan::TamilState& state, std::string text, size_t caret, bool overwrite = false)
      : layout_(layout), state_(state), text_(std::move(text)), caret_(caret), overwrite_(overwrite) {}
  void typeKey(unsigned char key) {
    if (key == 0x08 && caret_ > 0) text_.erase(--caret_, 1);
    const unsigned char out = tolvan::EditorKeyPress(true, layout_, key, state_, *this);
    if (out == 0 || out == 0x08) return;
    if (overwrite_ && caret_ < text_.size()) text_.erase(caret_, 1);
    text_.insert(caret_++, 1, static_cast<char>(out));
  }
  void SendKeyToEditor(unsigned char ch) override { typeKey(ch); }
  const std::string& text() const { return text_; }

 private:
  Layout layout_;
  tolvan::TamilState& state_;
  std::string text_;
  size_t caret_;
  bool overwrite_;
};

struct Keys {
  Layout layout;
  const char* keys;
};

// Words with every kind of rewrite the engines make: vowel signs that go
// before their consonant, split o/oo/au, u and uu letters, the ti and tii
// ligatures, k.ssa and sri, backspaces through all of them, Enter.
constexpr Keys kSequences[] = {
    {Layout::Anjal, "vaNakkam thamiz"},
    {Layout::Anjal, "ko koo kO kau kai kE kee"},
    {Layout::Anjal, "koo\b\b\b kau\b\b kai\b ke\b"},
    {Layout::Anjal, "ti tii tu tuu ku kuu\b\b\b\b"},
    {Layout::Anjal, "xa xi xo C Ci\b\b\b\b\b\b"},
    {Layout::Anjal, "nga nja nth\rnaan\r\r\b\bpoo"},
    {Layout::Anjal, "\b\bke\b\b\beeoo\bai"},
    {Layout::Roman, "vaNakkam tamiz koo kau kai"},
    {Layout::Roman, "kO\b\b\bsri kssa\b\b"},
    {Layout::Mylai, "tmizf kAk'k\"k"},
    {Layout::Mylai, "'k\b\bkoko\b\b!x\b"},
    {Layout::Typewriter, "jkpH; Bf\b\bif"},
    {Layout::Typewriter, "f%f^\b\b%^h@\b"},
    {Layout::Typewriter, "Bf h\bh nfh\b\b\b\b"},
};

TEST(UnicodeTyping, EveryKeyLeavesTheBridgeOfTheTsciiText) {
  for (const Keys& k : kSequences) {
    tolvan::TamilState ts, us;
    tolvan::TextBufferSink tscii(k.layout, ts);
    tolvan::UnicodeBufferSink unicode(k.layout, us);
    const std::string keys = k.keys;
    for (size_t i = 0; i < keys.size(); ++i) {
      tscii.typeKey(static_cast<unsigned char>(keys[i]));
      unicode.typeKey(static_cast<unsigned char>(keys[i]));
      ASSERT_EQ(hex(unicode.text()), hex(TsciiToUnicode(tscii.text())))
          << "layout " << static_cast<int>(k.layout) << " keys \"" << keys.substr(0, i + 1) << "\"";
      EXPECT_EQ(unicode.caret(), unicode.text().size());
    }
  }
}

// Long runs of keys with no boundary between letters (lone vowel signs,
// random bytes): what is kept of the last stretch stays bounded, so each key
// costs the same however many came before (it used to grow with every key:
// 4,000 random keys took a minute), and the text still agrees with the bridge.
TEST(UnicodeTyping, LongRunsWithoutBoundaries) {
  const Layout layouts[] = {Layout::Anjal, Layout::Mylai, Layout::Typewriter, Layout::Roman};
  for (Layout layout : layouts) {
    tolvan::TamilState ts, us;
    tolvan::TextBufferSink tscii(layout, ts);
    tolvan::UnicodeBufferSink unicode(layout, us);
    uint32_t seed = 12345u + static_cast<uint32_t>(layout);
    for (int i = 0; i < 8000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const unsigned char key = static_cast<unsigned char>(seed >> 16);
      if (key == 0x0D || key == 0x0A) continue;  // one long paragraph
      tscii.typeKey(key);
      unicode.typeKey(key);
    }
    EXPECT_EQ(hex(unicode.text()), hex(TsciiToUnicode(tscii.text()))) << static_cast<int>(layout);
  }
}

TEST(UnicodeTyping, GivesTheUnicodeLetters) {
  struct Case {
    Layout layout;
    const char* keys;
    const char* text;
  };
  const Case kCases[] = {
      {Layout::Anjal, "kO", "\u0B95\u0BCB"},
      {Layout::Anjal, "kau", "\u0B95\u0BCC"},
      // ai is written before its consonant: the backspace takes the
      // consonant and leaves the sign alone, as in TSCII.
      {Layout::Anjal, "kai\b", "\u25CC\u0BC8"},
      {Layout::Anjal, "kai\b\b", ""},
      {Layout::Anjal, "xi", "\u0B95\u0BCD\u0BB7\u0BBF"},
      {Layout::Typewriter, "f%", "\u0B95\u0BC1"},
      // A u sign typed on its own after ka is one letter in Unicode, but a
      // backspace still takes only the sign, as in TSCII.
      {Layout::Typewriter, "f%\b", "\u0B95"},
      // The e sign typed first stands alone until its consonant comes.
      {Layout::Typewriter, "B", "\u25CC\u0BC6"},
      {Layout::Typewriter, "Bf", "\u0B95\u0BC6"},
      {Layout::Typewriter, "Bf\b", "\u25CC\u0BC6"},
  };
  for (const Case& c : kCases) {
    tolvan::TamilState s;
    tolvan::UnicodeBufferSink unicode(c.layout, s);
    for (const char* p = c.keys; *p; ++p) unicode.typeKey(static_cast<unsigned char>(*p));
    EXPECT_EQ(hex(unicode.text()), hex(c.text)) << c.keys;
  }
}

// Types keys into a TSCII buffer and a Unicode one, each with its caret
// between before and after, and compares the Unicode text with the bridge's
// of the TSCII text after every key.
void typeBesideTscii(Layout layout, const std::string& before, const std::string& after,
                     const std::string& keys, bool overwrite) {
  tolvan::TamilState ts, us;
  CaretBuffer tscii(layout, ts, before + after, before.size(), overwrite);
  tolvan::UnicodeBufferSink unicode(layout, us);
  unicode.setText(TsciiToUnicode(before) + TsciiToUnicode(after));
  unicode.setCaret(TsciiToUnicode(before).size());
  unicode.setOverwrite(overwrite);
  for (size_t i = 0; i < keys.size(); ++i) {
    tscii.typeKey(static_cast<unsigned char>(keys[i]));
    unicode.typeKey(static_cast<unsigned char>(keys[i]));
    ASSERT_EQ(hex(unicode.text()), hex(TsciiToUnicode(tscii.text())))
        << hex(before) << " | " << hex(after) << " keys \"" << keys.substr(0, i + 1) << "\"";
  }
}

// Keys typed with the caret inside existing text (which the bridge takes
// back exactly), against a TSCII buffer with its caret at the same place.
TEST(UnicodeTyping, CaretInsideTheText) {
  struct Case {
    Layout layout;
    const char* before;  // TSCII before the caret
    const char* after;   // and after it
    const char* keys;
  };
  const Case kCases[] = {
      {Layout::Typewriter, "", "\xB8\xC1", "B\b"},                 // e sign before a consonant, then taken back
      {Layout::Typewriter, "\xB8", "\xC1 \xB8", "%^\b\bh;"},       // signs joining the letter before the caret
      {Layout::Typewriter, "\xA6\xB8\xA1 ", "x", "\b\b\b\b"},       // backspaces through a split o
      {Layout::Anjal, "\xB8\xC1", "\xF4\xF5", "kai koo\b\b\b"},     // a word typed into a word
      {Layout::Mylai, "ab ", " cd", "'k\r!"},                      // Enter and sri between Latin letters
      {Layout::Anjal, "\xA8\xB8", " \xB8", "\b\b"},                 // the letter of a prefix sign
  };
  for (const Case& c : kCases) {
    const std::string before = c.before, after = c.after;
    ASSERT_EQ(TsciiToUnicode(before) + TsciiToUnicode(after), TsciiToUnicode(before + after)) << hex(before);
    typeBesideTscii(c.layout, before, after, c.keys, /*overwrite=*/false);
  }
}

// Overwrite: where the text after the caret is letters of one TSCII byte
// each, the Unicode text is the bridge's of a TSCII buffer in which every
// byte inserted replaces the byte after the caret (so a key whose engine
// takes back and sends again several bytes replaces as many).
TEST(UnicodeTyping, OverwriteAsInTsciiOverOneByteLetters) {
  struct Case {
    Layout layout;
    const char* before;  // TSCII before the caret
    const char* after;   // and after it, one byte a letter
    const char* keys;
  };
  const Case kCases[] = {
      {Layout::Anjal, "", "abcdefgh", "k"},
      {Layout::Anjal, "", "abcdefgh", "ka"},
      {Layout::Anjal, "x ", "abcdefghijkl", "koo"},
      {Layout::Anjal, "", "ab", "kai"},
      {Layout::Anjal, "\xB8", "\xEC\xEC\xEC\xEC", "kuu ti"},
      {Layout::Roman, "", "abcdef", "kO"},
      {Layout::Mylai, "", "\xCC\xCC\xCC\xCC\xCC", "'k!"},
      {Layout::Typewriter, "", "abcdef", "Bf%"},
      {Layout::Typewriter, "", "abc", "f%^hhhh"},  // past the end, typing goes on as usual
  };
  for (const Case& c : kCases) typeBesideTscii(c.layout, c.before, c.after, c.keys, /*overwrite=*/true);
}

// Overwrite over letters TSCII writes in more than one byte (a consonant with
// its vowel sign, a split o): each byte inserted replaces the whole letter,
// where TSCII would replace only its first byte; a character TSCII has no
// byte for is replaced whole too.
TEST(UnicodeTyping, OverwriteReplacesWholeLetters) {
  struct Case {
    Layout layout;
    const char* after;  // Unicode after the caret (the caret at the start)
    const char* keys;
    const char* text;   // the Unicode text then
  };
  const Case kCases[] = {
      {Layout::Anjal, "\u0B95\u0BBE x", "m", "\u0BAE\u0BCD x"},                 // kaa
      {Layout::Anjal, "\u0B95\u0BCAz", "m", "\u0BAE\u0BCDz"},                   // ko (split in TSCII)
      // k replaces kai with k; a takes k back and sends ka, which replaces thai.
      {Layout::Anjal, "\u0B95\u0BC8\u0BA4\u0BC8x", "ka", "\u0B95x"},
      {Layout::Anjal, "\u0B95\u0BCD\u0BB7\u0BBEy", "a", "\u0B85y"},              // k.ssaa
      {Layout::Anjal, "\xE9z", "k", "\u0B95\u0BCDz"},                         // outside TSCII
      // The e sign replaces ti (one TSCII byte) and joins the ka after it.
      {Layout::Typewriter, "\u0B9F\u0BBF\u0B95", "B", "\u0B95\u0BC6"},
  };
  for (const Case& c : kCases) {
    tolvan::TamilState s;
    tolvan::UnicodeBufferSink unicode(c.layout, s);
    unicode.setText(c.after);
    unicode.setCaret(0);
    unicode.setOverwrite(true);
    for (const char* p = c.keys; *p; ++p) unicode.typeKey(static_cast<unsigned char>(*p));
    EXPECT_EQ(hex(unicode.text()), hex(c.text)) << c.keys << " over " << hex(c.after);
  }
}

// Text that never came from TSCII (pasted from elsewhere): a character the
// bridge has no byte for is taken out whole by a backspace, and Tamil signs
// never join across it.
TEST(UnicodeTyping, CharactersOutsideTscii) {
  tolvan::TamilState s;
  tolvan::UnicodeBufferSink unicode(Layout::Typewriter, s);
  unicode.setText("\u0B95\u00E9");
  unicode.typeKey('%');
  EXPECT_EQ(hex(unicode.text()), hex("\u0B95\u00E9\u25CC\u0BC1"));
  unicode.typeKey('\b');
  unicode.typeKey('\b');
  EXPECT_EQ(hex(unicode.text()), hex("\u0B95"));
  unicode.setText("\u0B95\u4E2D");
  unicode.typeKey('\b');
  EXPECT_EQ(hex(unicode.text()), hex("\u0B95"));
}

// English mode: plain characters, Latin-1 bytes as their letters, and a
// backspace takes one whole character.
TEST(UnicodeTyping, EnglishModeTypesPlainCharacters) {
  tolvan::TamilState s;
  tolvan::UnicodeBufferSink unicode(Layout::Anjal, s, /*tamilMode=*/false);
  unicode.setText("\u0B95\u0BCB");
  for (unsigned char k : {0x6B, 0x61, 0xE9}) unicode.typeKey(k);
  EXPECT_EQ(hex(unicode.text()), hex("\u0B95\u0BCBka\u00E9"));
  for (int i = 0; i < 4; ++i) unicode.typeKey('\b');
  EXPECT_EQ(hex(unicode.text()), hex("\u0B95"));
  EXPECT_EQ(s.LastTamilChar, 0);
}

}  // namespace
