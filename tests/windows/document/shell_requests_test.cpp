// Mail URLs, links found in text and the wallpaper commands per desktop.
#include "core/document/shell_requests.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using tolvan::findLinks;

TEST(ShellRequests, MailtoEncodesEverythingButUnreserved) {
  EXPECT_EQ(tolvan::mailtoUrl(""), "mailto:?body=");
  EXPECT_EQ(tolvan::mailtoUrl("a b&c=d?#%+"), "mailto:?body=a%20b%26c%3Dd%3F%23%25%2B");
  // Line breaks of any kind travel as CR LF.
  EXPECT_EQ(tolvan::mailtoUrl("1\n2\r3\r\n4"), "mailto:?body=1%0D%0A2%0D%0A3%0D%0A4");
  // UTF-8 bytes of Tamil (U+0B95 ka).
  EXPECT_EQ(tolvan::mailtoUrl("\xE0\xAE\x95"), "mailto:?body=%E0%AE%95");
}

TEST(ShellRequests, Links) {
  struct Case {
    const char* text;
    std::vector<std::tuple<size_t, size_t, std::string>> links;  // start, length, target
  };
  const Case cases[] = {
      {"see http://example.com/a?b=1.", {{4, 24, "http://example.com/a?b=1"}}},
      {"www.tamil.net, and HTTPS://X.org)", {{0, 13, "http://www.tamil.net"}, {19, 13, "HTTPS://X.org"}}},
      {"mailto:someone@example.com", {{0, 26, "mailto:someone@example.com"}}},
      {"no link: http:// alone, awww.x", {}},
      {"(ftp://host/file)", {{1, 15, "ftp://host/file"}}},
  };
  for (const Case& c : cases) {
    std::u16string text;
    for (const char* p = c.text; *p; ++p) text.push_back(char16_t(static_cast<unsigned char>(*p)));
    const auto links = findLinks(text);
    ASSERT_EQ(links.size(), c.links.size()) << c.text;
    for (size_t i = 0; i < links.size(); ++i) {
      EXPECT_EQ(links[i].start, std::get<0>(c.links[i])) << c.text;
      EXPECT_EQ(links[i].length, std::get<1>(c.links[i])) << c.text;
      EXPECT_EQ(links[i].target, std::get<2>(c.links[i])) << c.text;
    }
  }
  // A Tamil letter (a byte above ASCII) ends an address.
  std::u16string tamil = u"http://a.b";
  tamil.push_back(char16_t(0xB8));
  ASSERT_EQ(findLinks(tamil).size(), 1u);
  EXPECT_EQ(findLinks(tamil)[0].length, 10u);
}

TEST(ShellRequests, MailtoBodyThatFitsTakesWholeCharactersOnly) {
  const std::size_t head = std::string_view("mailto:?body=").size();
  struct Case {
    std::string body;
    std::size_t maxUrl;
    std::size_t fits;
  };
  const std::string ka = "\xE0\xAE\x95";  // one Tamil letter: %E0%AE%95
  const Case cases[] = {
      {"abc", head + 3, 3},
      {"abc", head + 2, 2},
      {"a b", head + 3, 1},                  // the space needs %20
      {"a b", head + 4, 2},
      {"a b", head + 5, 3},
      {ka + "x", head + 8, 0},               // never part of a letter
      {ka + "x", head + 9, 3},
      {ka + "x", head + 10, 4},
      {"a\r\nb", head + 6, 1},               // never half a line break
      {"a\r\nb", head + 7, 3},
      {"a\nb\rc", head + 14, 4},             // lone LF and CR grow to CR LF too
      {"", head, 0},
      {"a", head - 1, 0},
  };
  for (const Case& c : cases) {
    const std::size_t n = tolvan::mailtoBodyThatFits(c.body, c.maxUrl);
    EXPECT_EQ(n, c.fits) << c.body << " in " << c.maxUrl;
    if (c.maxUrl >= head) {
      EXPECT_LE(tolvan::mailtoUrl(c.body.substr(0, n)).size(), c.maxUrl);
    }
  }
  // A long text: the part that fits is as long as can be.
  std::string tamil;
  for (int i = 0; i < 20000; ++i) tamil += ka + " ";
  const std::size_t n = tolvan::mailtoBodyThatFits(tamil);
  ASSERT_LT(n, tamil.size());
  EXPECT_LE(tolvan::mailtoUrl(tamil.substr(0, n)).size(), tolvan::kMaxMailtoUrl);
  EXPECT_GT(tolvan::mailtoUrl(tamil.substr(0, n)).size(), tolvan::kMaxMailtoUrl - 9);
  EXPECT_EQ(tolvan::mailtoBodyThatFits("short"), 5u);
}

TEST(ShellRequests, OnlyWebFtpAndMailLinksOpenWithoutAsking) {
  const std::pair<const char*, bool> cases[] = {
      {"http://example.com/", true},     {"HTTPS://example.com/a", true},
      {"ftp://ftp.debian.org/", true},   {"mailto:someone@example.com", true},
      {"file:///bin/sh", false},         {"FILE:///usr/share/applications/x.desktop", false},
      {"file://host/etc/passwd", false}, {"javascript:alert(1)", false},
      {"smb://server/share", false},     {"", false},
      {"http:/", false},                 {"httpx://example.com", false},
  };
  for (const auto& [target, opens] : cases)
    EXPECT_EQ(tolvan::linkOpensWithoutAsking(target), opens) << target;
}

TEST(ShellRequests, WallpaperCommandsPerDesktop) {
  const std::string path = "/home/u/.local/share/Tolvan/tolvan.bmp";
  const std::string uri = "file:///home/u/.local/share/Tolvan/tolvan.bmp";
  using Cmds = std::vector<std::vector<std::string>>;
  EXPECT_EQ(tolvan::wallpaperCommands("ubuntu:GNOME", path),
            (Cmds{{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri},
                  {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri}}));
  EXPECT_EQ(tolvan::wallpaperCommands("X-Cinnamon", path),
            (Cmds{{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri}}));
  EXPECT_EQ(tolvan::wallpaperCommands("MATE", path),
            (Cmds{{"gsettings", "set", "org.mate.background", "picture-filename", path}}));
  EXPECT_EQ(tolvan::wallpaperCommands("KDE", path), (Cmds{{"plasma-apply-wallpaperimage", path}}));
  EXPECT_TRUE(tolvan::wallpaperCommands("", path).empty());
  EXPECT_TRUE(tolvan::wallpaperCommands("XFCE", path).empty());
  // A space in the path is escaped in the URI only.
  EXPECT_EQ(tolvan::wallpaperCommands("GNOME", "/a b/t.bmp")[0][4], "file:///a%20b/t.bmp");
}
