// Mail URLs, links in text and wallpaper commands.
#include "core/document/shell_requests.h"

#include <algorithm>
#include <array>

namespace tolvan {
namespace {

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

bool startsWithNoCase(std::u16string_view text, std::size_t pos, std::string_view prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[pos + i];
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    if (c != char16_t(prefix[i])) return false;
  }
  return true;
}

bool urlChar(char16_t c) {
  return c > 0x20 && c < 0x7F && c != u'<' && c != u'>' && c != u'"';
}

bool wordBefore(std::u16string_view text, std::size_t pos) {
  if (pos == 0) return false;
  const char16_t c = text[pos - 1];
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'.' || c == u'/' || c == u'@';
}

// Lower-cased tokens of XDG_CURRENT_DESKTOP.
std::vector<std::string> desktopNames(std::string_view list) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : list) {
    if (c == ':') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(char(c >= 'A' && c <= 'Z' ? c + 32 : c));
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

}  // namespace

std::string percentEncode(std::string_view bytes, std::string_view keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (unreserved(c) || keep.find(ch) != std::string_view::npos) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string mailtoUrl(std::string_view utf8Body) {
  // Lone CR or LF become CR LF: mail URLs carry line breaks as %0D%0A.
  std::string body;
  body.reserve(utf8Body.size() + utf8Body.size() / 32);
  for (std::size_t i = 0; i < utf8Body.size(); ++i) {
    const char c = utf8Body[i];
    if (c == '\r') {
      body += "\r\n";
      if (i + 1 < utf8Body.size() && utf8Body[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      body += "\r\n";
    } else {
      body.push_back(c);
    }
  }
  return "mailto:?body=" + percentEncode(body);
}

std::size_t mailtoBodyThatFits(std::string_view utf8Body, std::size_t maxUrl) {
  static constexpr std::string_view kUnreserved =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
  std::size_t length = std::string_view("mailto:?body=").size();
  if (length > maxUrl) return 0;
  std::size_t i = 0;
  while (i < utf8Body.size()) {
    const auto c = static_cast<unsigned char>(utf8Body[i]);
    std::size_t bytes = 1;  // taken from the body
    std::size_t cost = 3;   // characters added to the URL
    if (c == '\r' || c == '\n') {
      cost = 6;  // %0D%0A
      if (c == '\r' && i + 1 < utf8Body.size() && utf8Body[i + 1] == '\n') bytes = 2;
    } else if (kUnreserved.find(char(c)) != std::string_view::npos) {
      cost = 1;
    } else if (c >= 0xC0) {
      // A character's lead byte: the continuation bytes after it go with it.
      while (i + bytes < utf8Body.size() &&
             (static_cast<unsigned char>(utf8Body[i + bytes]) & 0xC0) == 0x80 && bytes < 4)
        ++bytes;
      cost = 3 * bytes;
    }
    if (length + cost > maxUrl) return i;
    length += cost;
    i += bytes;
  }
  return i;
}

bool linkOpensWithoutAsking(std::string_view target) {
  auto startsNoCase = [target](std::string_view prefix) {
    if (target.size() < prefix.size()) return false;
    for (std::size_t k = 0; k < prefix.size(); ++k) {
      char t = target[k];
      if (t >= 'A' && t <= 'Z') t = char(t + 32);
      if (t != prefix[k]) return false;
    }
    return true;
  };
  for (std::string_view scheme : {"http://", "https://", "ftp://", "mailto:"})
    if (startsNoCase(scheme)) return true;
  return false;
}

std::vector<LinkSpan> findLinks(std::u16string_view text) {
  static constexpr std::array<std::string_view, 6> kSchemes = {"http://", "https://", "ftp://",
                                                               "file://", "mailto:", "www."};
  std::vector<LinkSpan> out;
  std::size_t i = 0;
  while (i < text.size()) {
    // Quick skip: every prefix starts with one of these letters.
    const char16_t c = text[i];
    const char16_t lc = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    if ((lc != u'h' && lc != u'f' && lc != u'm' && lc != u'w') || wordBefore(text, i)) {
      ++i;
      continue;
    }
    std::string_view scheme;
    for (std::string_view s : kSchemes)
      if (startsWithNoCase(text, i, s)) {
        scheme = s;
        break;
      }
    if (scheme.empty()) {
      ++i;
      continue;
    }
    std::size_t end = i + scheme.size();
    while (end < text.size() && urlChar(text[end])) ++end;
    while (end > i + scheme.size()) {
      const char16_t t = text[end - 1];
      if (t == u'.' || t == u',' || t == u';' || t == u':' || t == u'!' || t == u'?' ||
          t == u'\'' || t == u')' || t == u']')
        --end;
      else
        break;
    }
    if (end == i + scheme.size()) {
      i = end;
      continue;
    }
    LinkSpan link;
    link.start = i;
    link.length = end - i;
    if (scheme == "www.") link.target = "http://";
    for (std::size_t k = i; k < end; ++k) link.target.push_back(static_cast<char>(text[k]));
    out.push_back(std::move(link));
    i = end;
  }
  return out;
}

std::vector<std::vector<std::string>> wallpaperCommands(std::string_view currentDesktop,
                                                        const std::string& imagePath) {
  const std::string uri = "file://" + percentEncode(imagePath, "/");
  std::vector<std::vector<std::string>> out;
  for (const std::string& name : desktopNames(currentDesktop)) {
    if (name == "gnome" || name == "unity" || name == "ubuntu" || name == "budgie" ||
        name == "pantheon" || name == "gnome-classic" || name == "gnome-flashback") {
      // Both the light and the dark style's picture.
      out.push_back({"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri});
      out.push_back({"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri});
    } else if (name == "x-cinnamon" || name == "cinnamon") {
      out.push_back({"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri});
    } else if (name == "mate") {
      out.push_back({"gsettings", "set", "org.mate.background", "picture-filename", imagePath});
    } else if (name == "kde") {
      out.push_back({"plasma-apply-wallpaperimage", imagePath});
    } else if (name == "lxqt") {
      out.push_back({"pcmanfm-qt", "--set-wallpaper", imagePath});
    } else if (name == "lxde") {
      out.push_back({"pcmanfm", "--set-wallpaper", imagePath});
    }
    if (!out.empty()) break;
  }
  return out;
}

}  // namespace tolvan
