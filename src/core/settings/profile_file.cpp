// Profile (ini) file store: parsing, in-memory edits that keep every byte
// they do not touch, and atomic replacement of the file on disk.
#include "core/settings/profile_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace tolvan {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Names are matched without regard to ASCII case only: TSCII bytes from 0x80
// up are letters of their own and must match exactly.
bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

bool hasAny(std::string_view s, std::string_view bytes) {
  return s.find_first_of(bytes) != std::string_view::npos;
}

bool validName(std::string_view name, char forbidden) {
  if (name.empty() || isBlank(name.front()) || isBlank(name.back())) return false;
  if (name.find('\0') != std::string_view::npos) return false;
  const char bad[] = {'\r', '\n', forbidden};
  return !hasAny(name, std::string_view(bad, sizeof bad));
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

// ---------------------------------------------------------------------------
// ProfileText

ProfileText::ProfileText(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines_.push_back(parseLine(std::string(bytes.substr(pos)), "", lines_.empty()));
      break;
    }
    std::size_t eolLen = (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
    lines_.push_back(parseLine(std::string(bytes.substr(pos, end - pos)),
                               std::string(bytes.substr(end, eolLen)), lines_.empty()));
    pos = end + eolLen;
  }
}

ProfileText::Line ProfileText::parseLine(std::string text, std::string eol, bool first) {
  Line line;
  line.text = std::move(text);
  line.eol = std::move(eol);
  std::string_view t = line.text;
  std::size_t p = 0;
  if (first && t.substr(0, kUtf8Bom.size()) == kUtf8Bom) p = kUtf8Bom.size();
  while (p < t.size() && isBlank(t[p])) ++p;
  if (p == t.size() || t[p] == ';') return line;
  if (t[p] == '[') {
    std::size_t close = t.find(']', p + 1);
    std::string_view name = t.substr(p + 1, close == std::string_view::npos ? std::string_view::npos : close - p - 1);
    line.kind = Kind::Section;
    line.name = std::string(trimBlanks(name));
    return line;
  }
  std::size_t eq = t.find('=', p);
  if (eq == std::string_view::npos) return line;
  std::string_view name = trimBlanks(t.substr(p, eq - p));
  if (name.empty()) return line;
  line.kind = Kind::Key;
  line.name = std::string(name);
  std::size_t v = eq + 1;
  while (v < t.size() && isBlank(t[v])) ++v;
  line.valuePos = v;
  return line;
}

std::string ProfileText::bytes() const {
  std::size_t n = 0;
  for (const Line& l : lines_) n += l.text.size() + l.eol.size();
  std::string out;
  out.reserve(n);
  for (const Line& l : lines_) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

std::size_t ProfileText::findKey(std::string_view section, std::string_view key) const {
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.kind == Kind::Section)
      inSection = sameName(l.name, section);
    else if (inSection && l.kind == Kind::Key && sameName(l.name, key))
      return i;
  }
  return std::string::npos;
}

std::optional<std::string> ProfileText::get(std::string_view section, std::string_view key) const {
  std::size_t i = findKey(section, key);
  if (i == std::string::npos) return std::nullopt;
  const Line& l = lines_[i];
  return std::string(trimBlanks(std::string_view(l.text).substr(l.valuePos)));
}

std::vector<std::pair<std::string, std::string>> ProfileText::section(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  bool inSection = false;
  for (const Line& l : lines_) {
    if (l.kind == Kind::Section)
      inSection = sameName(l.name, section);
    else if (inSection && l.kind == Kind::Key)
      out.emplace_back(l.name, std::string(trimBlanks(std::string_view(l.text).substr(l.valuePos))));
  }
  return out;
}

std::vector<std::string> ProfileText::sectionNames() const {
  std::vector<std::string> out;
  for (const Line& l : lines_)
    if (l.kind == Kind::Section) out.push_back(l.name);
  return out;
}

bool ProfileText::canStore(std::string_view section, std::string_view key, std::string_view value) {
  if (!validName(section, ']')) return false;
  if (!validName(key, '=') || key.front() == '[' || key.front() == ';') return false;
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string ProfileText::newlineStyle() const {
  for (const Line& l : lines_)
    if (!l.eol.empty()) return l.eol;
  return "\r\n";
}

void ProfileText::insertLine(std::size_t at, Line line) {
  std::string nl = newlineStyle();
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = nl;
  line.eol = nl;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

bool ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
  if (!canStore(section, key, value)) return false;

  // An existing key keeps its line, its spelling and the blanks around '='.
  if (std::size_t i = findKey(section, key); i != std::string::npos) {
    Line& l = lines_[i];
    l.text.resize(l.valuePos);
    l.text += value;
    return true;
  }

  Line keyLine;
  keyLine.text = std::string(key) + "=" + std::string(value);
  keyLine.kind = Kind::Key;
  keyLine.name = std::string(key);
  keyLine.valuePos = key.size() + 1;

  // A new key goes after the last key of the first matching section (or
  // straight after its header), so blank lines and comments that lead into
  // the next section stay where they are.
  for (std::size_t h = 0; h < lines_.size(); ++h) {
    if (lines_[h].kind != Kind::Section || !sameName(lines_[h].name, section)) continue;
    std::size_t after = h;
    for (std::size_t j = h + 1; j < lines_.size() && lines_[j].kind != Kind::Section; ++j)
      if (lines_[j].kind == Kind::Key) after = j;
    insertLine(after + 1, std::move(keyLine));
    return true;
  }

  Line header;
  header.text = "[" + std::string(section) + "]";
  header.kind = Kind::Section;
  header.name = std::string(section);
  insertLine(lines_.size(), std::move(header));
  insertLine(lines_.size(), std::move(keyLine));
  return true;
}

void ProfileText::remove(std::string_view section, std::string_view key) {
  bool inSection = false;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (Line& l : lines_) {
    if (l.kind == Kind::Section) inSection = sameName(l.name, section);
    else if (inSection && l.kind == Kind::Key && sameName(l.name, key)) continue;
    kept.push_back(std::move(l));
  }
  lines_ = std::move(kept);
}

void ProfileText::eraseSection(std::string_view section) {
  bool inSection = false;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (Line& l : lines_) {
    if (l.kind == Kind::Section) inSection = sameName(l.name, section);
    if (!inSection) kept.push_back(std::move(l));
  }
  lines_ = std::move(kept);
}

// ---------------------------------------------------------------------------
// Integers

std::optional<int> parseProfileInt(std::string_view text) {
  std::string_view s = trimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  } else if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  // Accumulate with a cap well past the int range so long inputs cannot overflow.
  constexpr std::int64_t kCap = std::int64_t{1} << 40;
  std::int64_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    v = v * base + d;
    if (v > kCap) return std::nullopt;
  }
  if (negative) v = -v;
  if (v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

// ---------------------------------------------------------------------------
// ProfileFile

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

std::optional<ProfileText> ProfileFile::Load() const {
  // O_NONBLOCK: a FIFO at the path must not hang the program; it is refused below.
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ProfileText();
    return std::nullopt;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  char buf[16384];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ProfileText(bytes);
}

namespace {

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string uniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 rng{std::random_device{}()};
  return std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(rng() & 0xFFFFFF);
}

}  // namespace

bool ProfileFile::Store(const ProfileText& text) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(path_);
  // Replace the file a symbolic link points to, not the link.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return false;
    target = resolved;
  }
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  if (!fs::exists(dir, ec)) {
    fs::create_directories(dir, ec);
    if (ec) return false;
  }

  // The temporary file sits in the same folder, so the rename is atomic.
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = (dir / ("." + target.filename().string() + ".tmp-" + uniqueSuffix())).string();
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);

  bool ok = writeAll(fd, text.bytes()) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here leaves a complete file either way.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  std::optional<ProfileText> text = Load();
  if (!text) return std::string(def);
  std::optional<std::string> v = text->get(section, key);
  return v ? *v : std::string(def);
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  std::optional<ProfileText> text = Load();
  if (!text) return def;
  std::optional<std::string> v = text->get(section, key);
  if (!v) return def;
  return parseProfileInt(*v).value_or(def);
}

namespace {

// Loads, edits and stores; the file is left untouched when the edit changes nothing.
template <typename Edit>
bool editFile(ProfileFile& file, Edit edit) {
  std::optional<ProfileText> text = file.Load();
  if (!text) return false;
  std::string before = text->bytes();
  if (!edit(*text)) return false;
  if (text->bytes() == before) return true;
  return file.Store(*text);
}

}  // namespace

bool ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  return editFile(*this, [&](ProfileText& t) { return t.set(section, key, value); });
}

bool ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  return editFile(*this, [&](ProfileText& t) {
    t.remove(section, key);
    return true;
  });
}

bool ProfileFile::EraseSection(std::string_view section) {
  return editFile(*this, [&](ProfileText& t) {
    t.eraseSection(section);
    return true;
  });
}

std::vector<std::pair<std::string, std::string>> ProfileFile::ReadSection(std::string_view section) const {
  std::optional<ProfileText> text = Load();
  if (!text) return {};
  return text->section(section);
}

// ---------------------------------------------------------------------------

std::string settingsFilePath(const std::string& programDir) {
  if (const char* env = std::getenv("TOLVAN_INI"); env && *env) return env;

  auto join = [](std::string dir, const char* name) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + name;
  };
  struct stat st;
  // An installed program (its data in <prefix>/share/tolvan beside <prefix>/bin)
  // keeps settings per user even where the user could write to the bin folder.
  const bool installed = !programDir.empty() &&
                         ::stat(join(programDir, "../share/tolvan").c_str(), &st) == 0 &&
                         S_ISDIR(st.st_mode);
  if (!installed && !programDir.empty() && ::stat(programDir.c_str(), &st) == 0 &&
      S_ISDIR(st.st_mode) && ::access(programDir.c_str(), W_OK) == 0)
    return join(programDir, "Tolvan.ini");

  std::string base;
  // Relative XDG paths are invalid and ignored, as the base-directory rules say.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = join(home, ".config");
  }
  return join(join(base, "Tolvan"), "Tolvan.ini");
}

}  // namespace tolvan
