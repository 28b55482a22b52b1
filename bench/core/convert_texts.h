// The benchmarks' test text: Tamil words in the Roman scheme, and the means to
// rewrite its TSCII as the input of another converter (each TSCII letter
// replaced by the shortest input that gives it back). Shared by the in-process
// converter benchmark and the program that writes files for the
// whole-process ones.
#pragma once
#include <cstddef>
#include <map>
#include <random>
#include <string>

namespace tolvan::bench {

inline const char* const kRomanWords[] = {
    "vaNakkam", "tamiz",   "moziyin",  "inimai",     "kAlai",    "mAlai",    "nanRi",   "ulakam",
    "manitan2", "pADal",   "pAl",      "ammA",       "appA",     "paLLi",    "nAn2",    "nIngkaL",
    "avarkaL",  "ceyti",   "pataippu", "ezuttu",     "kaNini",   "cennai",   "maturai", "kOvil",
    "tiruvaLLuvar", "kuRaL", "aRam",   "poruL",      "inpam",    "vAzkai",   "kalvi",   "cenRAn2",
    "vantAn2",  "paTittAL", "uyir",    "mey",        "kavitai",  "iruntu",   "pOnRa",   "ennum",
    "maRRum",   "oru",     "inta",     "anta",       "ellAm",    "SRI",      "jnAnam",  "kSEttiram",
    "SaNmukam", "hari",    "jannal",   "kUTTam",     "peNkaL",   "veLiyE",   "kaiyil",  "mauna",
    "tolaipEci", "kaTitam", "neRi",    "ITupATu",    "UrkaL",    "ovvoru",   "Oyvu",    "aiyam",
};

inline std::string romanText(size_t size) {
  std::mt19937 rng(1);
  std::string s;
  s.reserve(size + 64);
  while (s.size() < size) {
    s += kRomanWords[rng() % std::size(kRomanWords)];
    const unsigned r = rng() % 16;
    s += r == 0 ? ".\r\n" : r == 1 ? ", " : " ";
  }
  s.resize(size);
  return s;
}

template <typename Conv>
std::map<std::string, std::string> inverse(Conv conv, const std::string& keys) {
  std::map<std::string, std::string> inv;
  auto offer = [&](const std::string& in) {
    const std::string out = conv(in);
    if (!out.empty() && !inv.count(out)) inv[out] = in;
  };
  for (char a : keys) offer(std::string(1, a));
  for (char a : keys)
    for (char b : keys) offer(std::string{a, b});
  return inv;
}

inline std::string reencode(const std::string& tscii, const std::map<std::string, std::string>& inv) {
  std::string out;
  out.reserve(tscii.size() * 2);
  for (size_t i = 0; i < tscii.size();) {
    bool done = false;
    for (size_t n = 2; n >= 1 && !done; --n) {
      if (i + n > tscii.size()) continue;
      auto it = inv.find(tscii.substr(i, n));
      if (it != inv.end()) {
        out += it->second;
        i += n;
        done = true;
      }
    }
    if (!done) out += tscii[i++];
  }
  return out;
}

}  // namespace tolvan::bench
