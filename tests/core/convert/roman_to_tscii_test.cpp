// Roman to TSCII: the whole key grid, the worked examples, and agreement with
// a plain reference matcher (lists of "key=value" texts searched linearly,
// lengths 4, 3, 2, 1) on random text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/convert/converters.h"
#include "test_util.h"

using convert_test::hex;
using convert_test::show;
using tolvan::RomanToTscii;

namespace {

const char* const kVowelSuffixes[] = {"", "a", "A", "i", "I", "u", "U", "e", "E", "o", "O", "ai", "au"};

struct Row {
  const char* key;
  const char* out[13];  // consonant alone, then with each vowel suffix above
};

const Row kGrid[] = {
    {"k", {"EC", "B8", "B8 A1", "B8 A2", "B8 A3", "CC", "DC", "A6 B8", "A7 B8", "A6 B8 A1", "A7 B8 A1", "A8 B8", "A6 B8 AA"}},
    {"g", {"ED", "B9", "B9 A1", "B9 A2", "B9 A3", "99", "9B", "A6 B9", "A7 B9", "A6 B9 A1", "A7 B9 A1", "A8 B9", "A6 B9 AA"}},
    {"c", {"EE", "BA", "BA A1", "BA A2", "BA A3", "CD", "DD", "A6 BA", "A7 BA", "A6 BA A1", "A7 BA A1", "A8 BA", "A6 BA AA"}},
    {"jn", {"EF", "BB", "BB A1", "BB A2", "BB A3", "9A", "9C", "A6 BB", "A7 BB", "A6 BB A1", "A7 BB A1", "A8 BB", "A6 BB AA"}},
    {"T", {"F0", "BC", "BC A1", "CA", "CB", "CE", "DE", "A6 BC", "A7 BC", "A6 BC A1", "A7 BC A1", "A8 BC", "A6 BC AA"}},
    {"N", {"F1", "BD", "BD A1", "BD A2", "BD A3", "CF", "DF", "A6 BD", "A7 BD", "A6 BD A1", "A7 BD A1", "A8 BD", "A6 BD AA"}},
    {"t", {"F2", "BE", "BE A1", "BE A2", "BE A3", "D0", "E0", "A6 BE", "A7 BE", "A6 BE A1", "A7 BE A1", "A8 BE", "A6 BE AA"}},
    {"n", {"F3", "BF", "BF A1", "BF A2", "BF A3", "D1", "E1", "A6 BF", "A7 BF", "A6 BF A1", "A7 BF A1", "A8 BF", "A6 BF AA"}},
    {"p", {"F4", "C0", "C0 A1", "C0 A2", "C0 A3", "D2", "E2", "A6 C0", "A7 C0", "A6 C0 A1", "A7 C0 A1", "A8 C0", "A6 C0 AA"}},
    {"m", {"F5", "C1", "C1 A1", "C1 A2", "C1 A3", "D3", "E3", "A6 C1", "A7 C1", "A6 C1 A1", "A7 C1 A1", "A8 C1", "A6 C1 AA"}},
    {"y", {"F6", "C2", "C2 A1", "C2 A2", "C2 A3", "D4", "E4", "A6 C2", "A7 C2", "A6 C2 A1", "A7 C2 A1", "A8 C2", "A6 C2 AA"}},
    {"r", {"F7", "C3", "C3 A1", "C3 A2", "C3 A3", "D5", "E5", "A6 C3", "A7 C3", "A6 C3 A1", "A7 C3 A1", "A8 C3", "A6 C3 AA"}},
    {"l", {"F8", "C4", "C4 A1", "C4 A2", "C4 A3", "D6", "E6", "A6 C4", "A7 C4", "A6 C4 A1", "A7 C4 A1", "A8 C4", "A6 C4 AA"}},
    {"v", {"F9", "C5", "C5 A1", "C5 A2", "C5 A3", "D7", "E7", "A6 C5", "A7 C5", "A6 C5 A1", "A7 C5 A1", "A8 C5", "A6 C5 AA"}},
    {"z", {"FA", "C6", "C6 A1", "C6 A2", "C6 A3", "D8", "E8", "A6 C6", "A7 C6", "A6 C6 A1", "A7 C6 A1", "A8 C6", "A6 C6 AA"}},
    {"L", {"FB", "C7", "C7 A1", "C7 A2", "C7 A3", "D9", "E9", "A6 C7", "A7 C7", "A6 C7 A1", "A7 C7 A1", "A8 C7", "A6 C7 AA"}},
    {"R", {"FC", "C8", "C8 A1", "C8 A2", "C8 A3", "DA", "EA", "A6 C8", "A7 C8", "A6 C8 A1", "A7 C8 A1", "A8 C8", "A6 C8 AA"}},
    {"n2", {"FD", "C9", "C9 A1", "C9 A2", "C9 A3", "DB", "EB", "A6 C9", "A7 C9", "A6 C9 A1", "A7 C9 A1", "A8 C9", "A6 C9 AA"}},
    {"j", {"88", "83", "83 A1", "83 A2", "83 A3", "83 A4", "83 A5", "A6 83", "A7 83", "A6 83 A1", "A7 83 A1", "A8 83", "A6 83 AA"}},
    {"S", {"8A", "85", "85 A1", "85 A2", "85 A3", "85 A4", "85 A5", "A6 85", "A7 85", "A6 85 A1", "A7 85 A1", "A8 85", "A6 85 AA"}},
    {"s", {"89", "84", "84 A1", "84 A2", "84 A3", "84 A4", "84 A5", "A6 84", "A7 84", "A6 84 A1", "A7 84 A1", "A8 84", "A6 84 AA"}},
    {"h", {"8B", "86", "86 A1", "86 A2", "86 A3", "86 A4", "86 A5", "A6 86", "A7 86", "A6 86 A1", "A7 86 A1", "A8 86", "A6 86 AA"}},
    {"kS", {"8C", "87", "87 A1", "87 A2", "87 A3", "87 A4", "87 A5", "A6 87", "A7 87", "A6 87 A1", "A7 87 A1", "A8 87", "A6 87 AA"}},
};

const std::pair<const char*, const char*> kStandalone[] = {
    {"a", "AB"},  {"A", "AC"}, {"i", "AD"}, {"I", "AE"}, {"u", "AF"},   {"U", "B0"}, {"e", "B1"},
    {"E", "B2"},  {"ai", "B3"}, {"o", "B4"}, {"O", "B5"}, {"au", "B6"}, {"SRI", "82"}, {"H", "B7"},
};

TEST(RomanToTscii, EveryKey) {
  for (const auto& row : kGrid)
    for (int v = 0; v < 13; ++v) {
      const std::string key = std::string(row.key) + kVowelSuffixes[v];
      EXPECT_EQ(show(RomanToTscii(key)), row.out[v]) << "key " << key;
    }
  for (auto [key, out] : kStandalone) EXPECT_EQ(show(RomanToTscii(key)), out) << "key " << key;
}

TEST(RomanToTscii, Texts) {
  const struct {
    const char* name;
    std::string in, want;
  } cases[] = {
      {"empty", "", ""},
      {"kai is one key", "kai", hex("A8 B8")},
      {"capital K is no key", "K", "K"},
      {"kSai in one step", "kSai", hex("A8 87")},
      {"n2", "n2", hex("FD")},
      {"n then digit 3", "n3", hex("F3") + "3"},
      {"a then H", "aH", hex("AB B7")},
      {"trailing j", "raj", hex("C3 88")},
      {"letters that start no key", "bdfqwx", "bdfqwx"},
      {"punctuation, digits, line breaks", "1, 2.\r\n", "1, 2.\r\n"},
      {"bytes from 0x80 up pass through", hex("80 B8 FF"), hex("80 B8 FF")},
      {"SR without I", "SRa", hex("8A C8")},
      {"jna is nya, not j + na", "jna", hex("BB")},
      {"word tamizh", "thamiz", hex("F2 86 C1 A2 FA")},
      {"word vaNakkam", "vaNakkam", hex("C5 BD EC B8 F5")},
      {"kaau: kaa then u", "kAu", hex("B8 A1 AF")},
      {"Tii is ttii ligature", "TI", hex("CB")},
  };
  for (const auto& c : cases) EXPECT_EQ(show(RomanToTscii(c.in)), show(c.want)) << c.name;
}

// The matcher as a plain list search: four comma-separated lists of
// "key=value" entries, one per key length, tried longest first.
class ReferenceRoman {
 public:
  ReferenceRoman() {
    auto add = [this](const std::string& key, const std::string& value) {
      std::string& list = lists_[key.size() - 1];
      if (!list.empty()) list += ',';
      list += key + "=" + value;
    };
    for (auto [key, out] : kStandalone) add(key, hex(out));
    for (const auto& row : kGrid)
      for (int v = 0; v < 13; ++v) add(std::string(row.key) + kVowelSuffixes[v], hex(row.out[v]));
  }

  std::string convert(const std::string& in) const {
    std::vector<std::string> entries[4];
    for (int n = 0; n < 4; ++n) {
      size_t start = 0;
      for (;;) {
        size_t comma = lists_[n].find(',', start);
        entries[n].push_back(lists_[n].substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
    std::string out;
    size_t i = 0;
    while (i < in.size()) {
      bool hit = false;
      for (int n = 4; n >= 1 && !hit; --n) {
        const std::string cand = in.substr(i, n);
        for (const auto& e : entries[n - 1]) {
          size_t eq = e.find('=');
          if (eq != std::string::npos && e.substr(0, eq) == cand) {
            out += e.substr(eq + 1);
            i += n;
            hit = true;
            break;
          }
        }
      }
      if (!hit) out += in[i++];
    }
    return out;
  }

  size_t keyCount(int len) const {
    size_t n = 1;
    for (char c : lists_[len - 1]) n += c == ',';
    return n;
  }

 private:
  std::string lists_[4];
};

TEST(RomanToTscii, AgreesWithPlainListSearch) {
  const ReferenceRoman ref;
  EXPECT_EQ(ref.keyCount(1), 31u);
  EXPECT_EQ(ref.keyCount(2), 205u);
  EXPECT_EQ(ref.keyCount(3), 71u);
  EXPECT_EQ(ref.keyCount(4), 6u);
  // Characters of the keys, weighted toward the ones that make long keys,
  // plus a few that start none.
  const std::string alphabet = "aAiIuUeEoOHkgcjnTNtpmyrlvzLRSsh2SRIkSjnaiau .\r\n1b\xB8";
  std::mt19937 rng(20261210);
  for (int round = 0; round < 3000; ++round) {
    std::string s(rng() % 40, ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    ASSERT_EQ(show(RomanToTscii(s)), show(ref.convert(s))) << "input: " << s;
  }
}

// A long text runs as several lanes side by side, each started after a byte
// that is in no key; short pieces run as one. Converting in short pieces
// must give the same bytes as the whole text at once, wherever the bytes
// that start lanes fall.
std::string inPieces(const std::string& text, size_t piece) {
  tolvan::ConvertStream stream(tolvan::Converter::RomanToTscii);
  std::string out;
  for (size_t at = 0; at < text.size(); at += piece) stream.feed(std::string_view(text).substr(at, piece), out);
  stream.finish(out);
  return out;
}

TEST(RomanToTscii, LongTextsAgreeWithShortPieces) {
  const char* const words[] = {"vaNakkam", "tamiz", "kSEttiram", "SRI", "jnAnam", "n2an2Ri", "kai", "kau",
                               "TI", "paLLi", "ko", "x", "1"};
  std::mt19937 rng(7);
  struct Case {
    const char* name;
    std::string text;
  };
  std::vector<Case> cases;
  // Words with spaces and line ends: every lane finds its start at once.
  std::string prose;
  while (prose.size() < 100000) prose += std::string(words[rng() % std::size(words)]) + (rng() % 9 ? " " : ".\r\n");
  cases.push_back({"prose", prose});
  // Random key characters with a settling byte now and then, so that lanes
  // start anywhere in their search window, or not at all.
  const std::string alphabet = "aAiIuUeEoOHkgcjnTNtpmyrlvzLRSsh2SRIkSjnaiau";
  for (size_t gap : {3u, 60u, 200u, 300u, 5000u}) {
    std::string t(20000 + rng() % 50, 'a');
    for (char& c : t) c = rng() % gap ? alphabet[rng() % alphabet.size()] : " .\n\xB8"[rng() % 4];
    cases.push_back({"random", t});
  }
  // A text that ends in the middle of a key, and one that ends right after
  // a settling byte.
  cases.push_back({"ends inside a key", prose.substr(0, 50000) + "SR"});
  cases.push_back({"ends on a space", prose.substr(0, 50000) + " "});
  for (const auto& c : cases) {
    const std::string whole = RomanToTscii(c.text);
    EXPECT_EQ(whole, inPieces(c.text, 1000)) << c.name << ", " << c.text.size() << " bytes";
    EXPECT_EQ(whole, inPieces(c.text, 65536)) << c.name << ", " << c.text.size() << " bytes";
  }
  const ReferenceRoman ref;
  EXPECT_EQ(show(RomanToTscii(cases[2].text.substr(0, 6000))), show(ref.convert(cases[2].text.substr(0, 6000))));
}

}  // namespace
