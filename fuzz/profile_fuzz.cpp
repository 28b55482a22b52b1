// Fuzz target for the settings file: arbitrary bytes as a profile file, then
// a script of edits drawn from the same input. Checks that parsing keeps
// every byte, that a stored value reads back (also after re-parsing), and
// that an edit leaves every other section alone. Input layout: the file
// text, then optionally a NUL byte and the edit script.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/profile_file.h"
#include "core/settings/recent_files.h"

using tolvan::ProfileText;

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "profile fuzz: %s\n", what);
    std::abort();
  }
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

struct Script {
  std::string_view bytes;
  std::size_t pos = 0;
  bool done() const { return pos >= bytes.size(); }
  std::uint8_t byte() { return done() ? 0 : static_cast<std::uint8_t>(bytes[pos++]); }
  std::string slice(std::size_t n) {
    n = std::min(n, bytes.size() - std::min(pos, bytes.size()));
    std::string s(bytes.substr(std::min(pos, bytes.size()), n));
    pos += n;
    return s;
  }
};

using Entries = std::vector<std::pair<std::string, std::string>>;

// Every section other than `except`, with its entries, as they stand.
std::vector<std::pair<std::string, Entries>> otherSections(const ProfileText& t, std::string_view except) {
  std::vector<std::pair<std::string, Entries>> out;
  for (const std::string& name : t.sectionNames())
    if (!same(name, except)) out.emplace_back(name, t.section(name));
  return out;
}

Entries withoutKey(Entries e, std::string_view key) {
  std::erase_if(e, [&](const auto& kv) { return same(kv.first, key); });
  return e;
}

std::string pickName(Script& s, const std::vector<std::string>& existing) {
  std::uint8_t b = s.byte();
  if (b < 160 && !existing.empty()) {
    std::string name = existing[b % existing.size()];
    if (b & 1)
      for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return name;
  }
  return s.slice(b % 12);
}

void runFileOps(const ProfileText& t, Script& s) {
  static std::string dir;
  if (dir.empty()) {
    // Every write is fsync'd: on tmpfs that costs nothing.
    std::string tmpl = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/tolvan-profile-fuzz-XXXXXX"
                                                                 : "/tmp/tolvan-profile-fuzz-XXXXXX";
    check(::mkdtemp(tmpl.data()) != nullptr, "mkdtemp");
    dir = tmpl;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
  }
  tolvan::ProfileFile file(dir + "/Tolvan.ini");
  check(file.Store(t), "store");
  std::string sec = s.slice(s.byte() % 8), key = s.slice(s.byte() % 8), val = s.slice(s.byte() % 16);
  bool ok = file.WriteString(sec, key, val);
  check(ok == ProfileText::canStore(sec, key, val), "file write agrees with canStore");
  if (ok) check(file.ReadString(sec, key, "\x01") == trim(val), "file read back");
  tolvan::RecentFiles recent;
  recent.load(file);
  check(recent.size() <= tolvan::RecentFiles::kCapacity, "recent capacity");
  check(recent.save(file), "recent save");
  tolvan::RecentFiles again;
  again.load(file);
  check(again.entries() == recent.entries(), "recent round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::size_t nul = in.find('\0');
  std::string_view text = in.substr(0, nul);
  Script script{nul == std::string_view::npos ? std::string_view() : in.substr(nul + 1)};

  ProfileText t(text);
  check(t.bytes() == text, "parse keeps every byte");

  std::vector<std::string> sections = t.sectionNames();
  std::vector<std::string> keys;
  for (const std::string& sec : sections) {
    for (const auto& [k, v] : t.section(sec)) {
      keys.push_back(k);
      check(t.get(sec, k).has_value(), "listed key is found");
      if (auto n = tolvan::parseProfileInt(v)) check(tolvan::parseProfileInt(std::to_string(*n)) == n, "int round trip");
    }
  }

  bool fileOpsDone = false;
  for (int step = 0; step < 16 && !script.done(); ++step) {
    std::uint8_t op = script.byte();
    std::string sec = pickName(script, sections);
    std::string key = pickName(script, keys);
    auto others = otherSections(t, sec);
    Entries mine = withoutKey(t.section(sec), key);
    switch (op % 5) {
      case 0:
      case 1: {
        std::string value = script.slice(script.byte() % 24);
        std::string before = t.bytes();
        bool ok = t.set(sec, key, value);
        check(ok == ProfileText::canStore(sec, key, value), "set agrees with canStore");
        if (!ok) {
          check(t.bytes() == before, "refused set changes nothing");
          continue;
        }
        check(t.get(sec, key) == trim(value), "set reads back");
        check(ProfileText(t.bytes()).get(sec, key) == trim(value), "set reads back after re-parse");
        sections.push_back(sec);
        keys.push_back(key);
        break;
      }
      case 2:
        t.remove(sec, key);
        check(!t.get(sec, key).has_value(), "removed key is gone");
        break;
      case 3:
        t.eraseSection(sec);
        check(t.section(sec).empty(), "erased section is empty");
        mine.clear();
        break;
      case 4:
        if (!fileOpsDone && size < 4096) runFileOps(t, script);
        fileOpsDone = true;
        break;
    }
    check(otherSections(t, sec) == others, "other sections untouched");
    check(withoutKey(t.section(sec), key) == mine, "other keys of the section untouched");
    std::string bytes = t.bytes();
    check(ProfileText(bytes).bytes() == bytes, "edited text re-parses to the same bytes");
  }
  return 0;
}
