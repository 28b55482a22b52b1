// Font-map files: writing, loading into the editor's map, applying, and the
// settings keys that register maps.
#include "core/convert/fontmap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/convert/convert_simd.h"
#include "core/convert/string_room.h"
#include "core/settings/profile_file.h"
#include "core/settings/settings_keys.h"

namespace tolvan {
namespace {

// Replacements up to this long are applied with one 8-byte store per byte,
// the length riding in the top byte.
constexpr size_t kShortMax = 7;
static_assert(std::endian::native == std::endian::little);

constexpr std::string_view kCrLf = "\r\n";

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string hexByte(unsigned char c) {
  static const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[c >> 4] + digits[c & 15];
}

// A line "key=value" with exactly this key before its first '='.
bool fontLine(std::string_view line, std::string_view key, std::string_view& value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos || line.substr(0, eq) != key) return false;
  value = line.substr(eq + 1);
  return true;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (asciiLower(s[i]) != asciiLower(prefix[i])) return false;
  return true;
}

// n when `digits` is the plain decimal spelling of a number 1..limit.
int registrationIndex(std::string_view digits, int limit) {
  if (digits.empty() || digits.size() > 10 || digits[0] == '0') return 0;
  long long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n <= limit ? int(n) : 0;
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace

std::vector<std::string_view> SplitFontMapLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + ((bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string WriteFontMap(const FontMap& map) {
  if (hasLineBreak(map.sourceFont)) throw std::invalid_argument("the source font name holds a line break");
  if (hasLineBreak(map.targetFont)) throw std::invalid_argument("the target font name holds a line break");
  std::string out;
  auto line = [&out](std::string_view a, std::string_view b = {}) {
    out.append(a).append(b).append(kCrLf);
  };
  line(kFontMapTitleLine);
  line(kFontMapWarningLine);
  line(std::string(kFontMapSourceKey) + "=", map.sourceFont);
  line(std::string(kFontMapTargetKey) + "=", map.targetFont);
  for (unsigned c = kFontMapFirstCode; c < 256; ++c) {
    const std::string& cell = map.cell(static_cast<unsigned char>(c));
    if (cell.empty()) continue;
    if (hasLineBreak(cell))
      throw std::invalid_argument("the cell for " + hexByte(static_cast<unsigned char>(c)) +
                                  " holds a line break byte");
    out += static_cast<char>(c);
    out += '=';
    line(cell);
  }
  line(kFontMapAuthorLine);
  line(kFontMapSiteLine);
  return out;
}

std::string DefaultFontMapFileName(std::string_view sourceFont, std::string_view targetFont) {
  return std::string(sourceFont) + "2" + std::string(targetFont) + std::string(kFontMapExtension);
}

FontMapLoadResult LoadFontMap(std::string_view bytes, FontMap& map) {
  FontMapLoadResult r;
  const std::vector<std::string_view> lines = SplitFontMapLines(bytes);
  std::string_view value;
  for (auto l : lines)
    if (fontLine(l, kFontMapSourceKey, value)) {
      map.sourceFont = std::string(value);
      r.sourceFontFound = true;
      break;
    }
  if (!r.sourceFontFound) r.messages.emplace_back(kNoSourceFontMessage);
  for (auto l : lines)
    if (fontLine(l, kFontMapTargetKey, value)) {
      map.targetFont = std::string(value);
      r.targetFontFound = true;
      break;
    }
  if (!r.targetFontFound) r.messages.emplace_back(kNoTargetFontMessage);
  for (auto l : lines) {
    // The first '=' must be the second byte: the line for source '=' itself
    // ("==...") is therefore not read back here.
    if (l.size() < 2 || l.find('=') != 1) continue;
    const auto c = static_cast<unsigned char>(l[0]);
    if (c < kFontMapFirstCode) continue;
    map.cell(c) = std::string(l.substr(2));
    ++r.cellsSet;
  }
  return r;
}

bool LooksLikeFontMap(std::string_view bytes) {
  const std::vector<std::string_view> lines = SplitFontMapLines(bytes.substr(0, kFontMapTitleLine.size() + 2));
  return !lines.empty() && lines[0] == kFontMapTitleLine;
}

FontMapApplier::FontMapApplier(std::string_view fileBytes) {
  for (auto l : SplitFontMapLines(fileBytes)) {
    if (l.size() < 2 || l[1] != '=') continue;
    const auto b = static_cast<unsigned char>(l[0]);
    if (has_[b]) continue;  // the first line for a byte wins
    has_[b] = true;
    offset_[b] = pool_.size();
    length_[b] = l.size() - 2;
    pool_.append(l.substr(2));
  }
  for (unsigned b = 0; b < 256; ++b) {
    if (!has_[b]) {
      offset_[b] = pool_.size();
      length_[b] = 1;
      pool_ += static_cast<char>(b);
    }
    if (length_[b] > kShortMax) short_ = false;
  }
  if (short_)
    for (unsigned b = 0; b < 256; ++b) {
      std::memcpy(&padded_[b], pool_.data() + offset_[b], length_[b]);
      padded_[b] |= uint64_t(length_[b]) << 56;
    }
}

size_t FontMapApplier::entryCount() const { return size_t(std::count(has_.begin(), has_.end(), true)); }

void FontMapApplier::applyAppend(std::string_view text, std::string& out) const {
  const size_t base = out.size();
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  if (short_) {
    // Room for the longest replacement at every byte plus the 8-byte store
    // that runs past the last one.
    const size_t longest = *std::max_element(length_.begin(), length_.end());
    size_t i = 0, j = 0;
    const auto kernel = longest <= 2 && text.size() >= 64 ? convert_simd::PairKernel() : nullptr;
    // The vector path stores as if every byte gave two.
    resizeUninit(out, base + text.size() * (kernel ? 2 : longest) + sizeof(uint64_t));
    char* o = out.data() + base;
    if (kernel) {
      convert_simd::PairTables t;
      for (unsigned b = 0; b < 256; ++b) {
        t.first[b] = uint8_t(padded_[b]);
        t.second[b] = uint8_t(padded_[b] >> 8);
        t.len[b] = uint8_t(padded_[b] >> 56);
      }
      i = kernel(p, text.size(), t, reinterpret_cast<uint8_t*>(o), j);
    }
    for (; i < text.size(); ++i) {
      const uint64_t e = padded_[p[i]];
      std::memcpy(o + j, &e, sizeof e);
      j += e >> 56;
    }
    out.resize(base + j);
    return;
  }
  resizeUninit(out, base + outputSize(text));
  char* o = out.data() + base;
  for (size_t i = 0; i < text.size(); ++i) {
    std::memcpy(o, pool_.data() + offset_[p[i]], length_[p[i]]);
    o += length_[p[i]];
  }
}

size_t FontMapApplier::outputSize(std::string_view text) const {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  size_t total = 0;
  for (size_t i = 0; i < text.size(); ++i) total += length_[p[i]];
  return total;
}

std::string FontMapApplier::apply(std::string_view text) const {
  std::string out;
  applyAppend(text, out);
  return out;
}

std::string ReadFileBytes(const std::string& path, std::size_t maxBytes) {
  // Not blocking: opening a pipe must not wait for a writer; it is refused
  // below like any other file that is not a regular one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw std::runtime_error("cannot open " + path + ": " + errnoText());
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool dir = S_ISDIR(st.st_mode);
    ::close(fd);
    throw std::runtime_error("cannot read " + path +
                             (dir ? ": it is a folder" : ": it is not a regular file"));
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    throw std::runtime_error("cannot read " + path + ": it is larger than " +
                             std::to_string(maxBytes >> 20) + " MiB");
  }
  std::string out;
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string why = errnoText();
      ::close(fd);
      throw std::runtime_error("cannot read " + path + ": " + why);
    }
    out.append(buf, size_t(n));
    if (out.size() > maxBytes) {  // it grew while being read
      ::close(fd);
      throw std::runtime_error("cannot read " + path + ": it is larger than " +
                               std::to_string(maxBytes >> 20) + " MiB");
    }
  }
  ::close(fd);
  return out;
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::runtime_error("cannot write " + path + ": " + errnoText());
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string why = errnoText();
      ::close(fd);
      throw std::runtime_error("cannot write " + path + ": " + why);
    }
    done += size_t(n);
  }
  if (::close(fd) != 0) throw std::runtime_error("cannot write " + path + ": " + errnoText());
}

std::vector<std::string> RegisteredFontMaps(const ProfileFile& settings) {
  std::vector<std::string> paths;
  const std::optional<ProfileText> text = settings.Load();
  if (!text) return paths;
  const KeySpec& countKey = keySpec(Key::FontConversionMenus);
  const KeySpec& entryKey = keySpec(Key::FontConversionMenu);
  const std::string_view prefix = entryKey.readName;
  const auto countText = text->get(countKey.section, countKey.readName);
  const int count = countText ? parseProfileInt(*countText).value_or(0) : 0;
  if (count <= 0) return paths;
  // One pass over the section: each number with a key keeps the first value
  // given for it (as a lookup of that key would find), then the numbers are
  // put in order. A huge count in a damaged file costs nothing, and numbers
  // without a key read as empty anyway.
  std::vector<std::pair<int, std::string>> found;
  for (auto& [key, value] : text->section(entryKey.section))
    if (startsWithNoCase(key, prefix))
      if (int n = registrationIndex(std::string_view(key).substr(prefix.size()), count))
        found.emplace_back(n, std::move(value));
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < found.size(); ++i) {
    if (i > 0 && found[i].first == found[i - 1].first) continue;
    if (!found[i].second.empty()) paths.push_back(std::move(found[i].second));
  }
  return paths;
}

int RegisterFontMap(ProfileFile& settings, std::string_view path) {
  // The registration itself belongs to the settings store; the program folder
  // only matters for WorkDir's default, which is not involved here.
  return Settings(settings, std::string()).addFontConversionMenu(path);
}

std::string FontMapAddedMessage(std::string_view path) { return std::string(path) + std::string(kSchemeAddedSuffix); }

}  // namespace tolvan
