// The key dispatch and the text buffer standing in for an editor: Tamil mode
// off, re-entry of the bytes an engine sends, keys from outside (the character
// map), two windows sharing one typing state, backspace and results of 0.
#include <gtest/gtest.h>

#include <vector>

#include "typing_helpers.h"

namespace {
using tolvan::EditorKeyPress;
using tolvan::KeySink;
using tolvan::Layout;
using tolvan::TamilState;
using tolvan::TextBufferSink;
using tolvan::testing::hex;
using tolvan::testing::typeKeys;

constexpr Layout kLayouts[] = {Layout::Anjal, Layout::Mylai, Layout::Typewriter, Layout::Roman};

TEST(Dispatch, TamilModeOffInsertsAsTypedAndLeavesStateAlone) {
  std::string keys;
  for (int k = 1; k < 256; ++k)
    if (k != 0x08) keys.push_back(static_cast<char>(k));
  for (Layout layout : kLayouts) {
    TamilState s{0xEC, 0xB8};
    EXPECT_EQ(typeKeys(layout, keys, s, /*tamilMode=*/false), keys);
    EXPECT_EQ(typeKeys(layout, "ab\bc", s, false), "ac");  // backspace still deletes
    EXPECT_EQ(s.LastTamilChar, 0xEC);
    EXPECT_EQ(s.HeldConsonant, 0xB8);
    // The next Tamil key still combines with the old last character.
    EXPECT_EQ(hex(typeKeys(Layout::Anjal, "a", s)), "b8");
  }
}

TEST(Dispatch, UnknownLayoutPassesKeyUnchanged) {
  TamilState s{0xEC, 0};
  TextBufferSink sink(Layout::Anjal, s);
  EXPECT_EQ(EditorKeyPress(true, static_cast<Layout>(9), 'a', s, sink), 'a');
  EXPECT_EQ(s.LastTamilChar, 0xEC);
  EXPECT_EQ(sink.text(), "");
}

// Records every byte an engine sends, with LastTamilChar as it stands once the
// byte has gone through the dispatch again, and passes it to a text buffer.
class RecordingSink : public KeySink {
 public:
  RecordingSink(Layout layout, TamilState& s) : state_(s), editor_(layout, s) {}
  void SendKeyToEditor(unsigned char ch) override {
    sent.push_back(ch);
    editor_.SendKeyToEditor(ch);
    lastAfter.push_back(state_.LastTamilChar);
  }
  TextBufferSink& editor() { return editor_; }
  std::vector<unsigned char> sent, lastAfter;

 private:
  TamilState& state_;
  TextBufferSink editor_;
};

// Each sent byte re-enters the dispatch and passes unchanged (so it becomes
// LastTamilChar for a moment); the engine decides from L as it was on entry
// and overwrites LastTamilChar with its own result at the end.
TEST(Dispatch, SentBytesReEnterAndTheOuterResultWins) {
  struct Case {
    Layout layout;
    const char* before;  // typed first
    unsigned char key;
    std::vector<unsigned char> sent;
    unsigned char result;
    const char* text;
  };
  const Case kCases[] = {
      {Layout::Anjal, " k", 'o', {0x08, 0xA6, 0xB8}, 0xA1, "20 a6 b8 a1"},
      {Layout::Anjal, " ka", 'u', {0x08, 0xA6, 0xB8, 0xAA}, 0x00, "20 a6 b8 aa"},
      {Layout::Anjal, " ke", 'e', {0x08, 0x08, 0xA7}, 0xB8, "20 a7 b8"},
      {Layout::Anjal, " k", 'a', {0x08}, 0xB8, "20 b8"},
      {Layout::Anjal, " k", 'f', {}, 0x00, "20 ec"},
      {Layout::Roman, " ka", 'i', {0x08, 0xA8}, 0xB8, "20 a8 b8"},
      {Layout::Roman, " p", 'O', {0x08, 0xA7, 0xC0}, 0xA1, "20 a7 c0 a1"},
      {Layout::Mylai, " k", 'f', {0x08}, 0xEC, "20 ec"},
      {Layout::Typewriter, " g", '[', {0x08}, 0xD2, "20 d2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.before) + char(c.key));
    TamilState s;
    RecordingSink rec(c.layout, s);
    for (const char* p = c.before; *p; ++p) rec.editor().typeKey(static_cast<unsigned char>(*p));
    const unsigned char r = EditorKeyPress(true, c.layout, c.key, s, rec);
    EXPECT_EQ(rec.sent, c.sent);
    EXPECT_EQ(rec.lastAfter, c.sent);  // every sent byte came back unchanged
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(s.LastTamilChar, c.result);
    if (r != 0) rec.editor().text().push_back(static_cast<char>(r));
    EXPECT_EQ(hex(rec.editor().text()), c.text);
  }
}

// A byte delivered from outside (the character map) is a full keystroke: in
// Tamil mode it goes through the engine and can fire a rule.
TEST(Dispatch, BytesFromOutsideAreFullKeystrokes) {
  struct Case {
    Layout layout;
    const char* typed;
    unsigned char clicked;
    const char* text;
  };
  constexpr Case kCases[] = {
      {Layout::Anjal, " k", 0xAB, "20 b8"},        // a after k: ka
      {Layout::Anjal, " k", 0xAF, "20 cc"},        // u after k: ku
      {Layout::Anjal, " ka", 0xAD, "20 a8 b8"},    // i after ka: kai
      {Layout::Roman, " k", 0xB1, "20 a6 b8"},     // e after k: ke
      {Layout::Mylai, " k", 'f', "20 ec"},
      {Layout::Typewriter, " ", 0xB8, "20 b8"},    // no rule: inserted as it is
  };
  for (const auto& c : kCases) {
    TamilState s;
    TextBufferSink editor(c.layout, s);
    for (const char* p = c.typed; *p; ++p) editor.typeKey(static_cast<unsigned char>(*p));
    editor.SendKeyToEditor(c.clicked);
    EXPECT_EQ(hex(editor.text()), c.text) << c.typed;
  }
}

// Two windows share the typing state: the first key in the second window is
// combined with the last character produced in the first, and the rewrite
// acts on the second window's text.
TEST(Dispatch, TwoWindowsShareTheTypingState) {
  TamilState s;
  TextBufferSink first(Layout::Anjal, s), second(Layout::Anjal, s);
  second.text() = "xy";
  for (char k : std::string(" k")) first.typeKey(static_cast<unsigned char>(k));
  second.typeKey('a');
  EXPECT_EQ(hex(first.text()), "20 ec");
  EXPECT_EQ(hex(second.text()), "78 b8");

  // The held consonant travels too: the m held by an o in one window comes
  // back when a second o follows kaa in another.
  TamilState t;
  TextBufferSink one(Layout::Anjal, t), two(Layout::Anjal, t), three(Layout::Roman, t);
  for (char k : std::string(" mo")) one.typeKey(static_cast<unsigned char>(k));
  for (char k : std::string(" kaao")) two.typeKey(static_cast<unsigned char>(k));
  EXPECT_EQ(hex(two.text()), "a7 c1 a1");
  // Windows with different layouts combine through the same state as well.
  for (char k : std::string(" p")) one.typeKey(static_cast<unsigned char>(k));
  three.typeKey('i');
  EXPECT_EQ(hex(three.text()), "c0 a2");
}

TEST(Dispatch, BackspaceAndResultOfZero) {
  for (Layout layout : kLayouts) {
    SCOPED_TRACE(static_cast<int>(layout));
    TamilState s;
    TextBufferSink editor(layout, s);
    editor.typeKey(0x08);  // at the start: nothing to delete
    EXPECT_EQ(editor.text(), "");
    EXPECT_EQ(s.LastTamilChar, 0x08);  // the character message went through the engine
    editor.text() = "12";
    editor.typeKey(0x08);
    EXPECT_EQ(editor.text(), "1");
  }
  // Anjal swallows f: nothing inserted, LastTamilChar 0.
  TamilState s{0xEC, 0};
  TextBufferSink editor(Layout::Anjal, s);
  EXPECT_EQ(EditorKeyPress(true, Layout::Anjal, 'f', s, editor), 0);
  EXPECT_EQ(s.LastTamilChar, 0);
  editor.typeKey('f');
  EXPECT_EQ(editor.text(), "");
  // A sent 0 (the held consonant before any o) inserts nothing either.
  editor.SendKeyToEditor(0);
  EXPECT_EQ(editor.text(), "");
}

TEST(Dispatch, ProgramStateStartsEmptyAndIsOneInstance) {
  EXPECT_EQ(&tolvan::programTamilState(), &tolvan::programTamilState());
  EXPECT_EQ(tolvan::programTamilState().LastTamilChar, 0);
  EXPECT_EQ(tolvan::programTamilState().HeldConsonant, 0);
}

TEST(Dispatch, LayoutNamesAndSettings) {
  struct Name {
    const char* name;
    bool ok;
    Layout layout;
  };
  constexpr Name kNames[] = {
      {"anjal", true, Layout::Anjal},      {"MYLAI", true, Layout::Mylai},
      {"Typewriter", true, Layout::Typewriter}, {"roman", true, Layout::Roman},
      {"romanised", false, Layout::Anjal}, {"", false, Layout::Anjal},
  };
  for (const auto& n : kNames) {
    Layout out = Layout::Anjal;
    EXPECT_EQ(tolvan::parseLayout(n.name, out), n.ok) << n.name;
    if (n.ok) {
      EXPECT_EQ(out, n.layout) << n.name;
    }
  }
  for (Layout l : kLayouts) EXPECT_EQ(tolvan::layoutFromSetting(tolvan::settingOfLayout(l)), l);
  EXPECT_EQ(tolvan::settingOfLayout(Layout::Anjal), 1);
  EXPECT_EQ(tolvan::settingOfLayout(Layout::Roman), 4);
  for (int bad : {0, 5, -1, 100}) EXPECT_EQ(tolvan::layoutFromSetting(bad), Layout::Anjal) << bad;
  EXPECT_EQ(tolvan::layoutFromSetting(7, Layout::Mylai), Layout::Mylai);
}

}  // namespace
