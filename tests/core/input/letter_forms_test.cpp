// The consonant-forms table: every byte has at most one role, each row's forms
// find each other, and the grantha consonants have no u or uu forms.
#include "core/input/letter_forms.h"

#include <gtest/gtest.h>

#include <set>

namespace {
using namespace tolvan::letters;

TEST(LetterForms, EveryFormByteBelongsToOneRowAndOneForm) {
  std::set<unsigned char> seen;
  int live = 0, dead = 0, u = 0, uu = 0;
  for (const auto& c : kConsonants) {
    for (unsigned char b : {c.live, c.dead, c.u, c.uu}) {
      if (b == 0) continue;
      EXPECT_TRUE(seen.insert(b).second) << "byte used twice: " << int(b);
    }
  }
  for (int b = 0; b < 256; ++b) {
    switch (formOf(static_cast<unsigned char>(b)).form) {
      case Form::Live: ++live; break;
      case Form::Dead: ++dead; break;
      case Form::U: ++u; break;
      case Form::Uu: ++uu; break;
      case Form::None: break;
    }
  }
  EXPECT_EQ(live, 23);
  EXPECT_EQ(dead, 23);
  EXPECT_EQ(u, 18);
  EXPECT_EQ(uu, 18);
}

TEST(LetterForms, FormsOfOneRowLeadToEachOther) {
  for (int r = 0; r < static_cast<int>(kConsonants.size()); ++r) {
    const auto& c = kConsonants[r];
    for (unsigned char b : {c.live, c.dead, c.u, c.uu}) {
      if (b == 0) continue;
      SCOPED_TRACE(int(b));
      EXPECT_EQ(formOf(b).row, r);
      EXPECT_EQ(liveOf(b), c.live);
      EXPECT_EQ(deadOf(b), c.dead);
      EXPECT_EQ(uOf(b), c.u);
      EXPECT_EQ(uuOf(b), c.uu);
    }
  }
}

TEST(LetterForms, Classification) {
  struct Case {
    unsigned char b;
    bool live, dead, tamilDead, deadNotKssa, uForm;
  };
  constexpr Case kCases[] = {
      {0xB8, true, false, false, false, false},   // ka
      {0xEC, false, true, true, true, false},     // k
      {0xFD, false, true, true, true, false},     // last Tamil dead consonant
      {0x88, false, true, false, true, false},    // j: grantha
      {0x8B, false, true, false, true, false},    // h: grantha
      {0x8C, false, true, false, false, false},   // kss: the one left out of the 22
      {0x87, true, false, false, false, false},   // kssa
      {0x99, false, false, false, false, true},   // ngu
      {0xCC, false, false, false, false, true},   // ku
      {0xDC, false, false, false, false, false},  // kuu
      {0xCA, false, false, false, false, false},  // tti ligature
      {0xAB, false, false, false, false, false},  // vowel a
      {0xA1, false, false, false, false, false},  // sign aa
      {0x00, false, false, false, false, false},
      {0x20, false, false, false, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(int(c.b));
    EXPECT_EQ(isLive(c.b), c.live);
    EXPECT_EQ(isDead(c.b), c.dead);
    EXPECT_EQ(isTamilDead(c.b), c.tamilDead);
    EXPECT_EQ(isDeadNotKssa(c.b), c.deadNotKssa);
    EXPECT_EQ(isUForm(c.b), c.uForm);
  }
}

TEST(LetterForms, GranthaHaveNoUForms) {
  for (unsigned char b : {0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C}) {
    EXPECT_EQ(uOf(b), 0) << int(b);
    EXPECT_EQ(uuOf(b), 0) << int(b);
  }
  EXPECT_EQ(liveOf(0x42), 0);  // not a consonant
}

}  // namespace
