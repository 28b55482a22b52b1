// What the document commands ask of the desktop, as text: the mailto URL of
// the e-mail command, the web addresses in a text (shown as links), and the
// commands that set the desktop wallpaper on the desktops that have one.
// Logic only; the window code hands the results to the desktop.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan {

// Percent-encodes UTF-8 bytes: every byte except the unreserved characters
// (A-Z a-z 0-9 - . _ ~) and those in `keep` becomes %XX (upper-case hex).
std::string percentEncode(std::string_view bytes, std::string_view keep = {});

// "mailto:?body=" followed by the UTF-8 body, percent-encoded (line breaks
// become %0D%0A as mail URLs want them).
std::string mailtoUrl(std::string_view utf8Body);

// The longest mailto URL the mail program can be handed: the desktop starts
// it with the URL as one argument, and Linux refuses an argument of 128 KiB
// or more (the terminating zero included) without starting anything.
constexpr std::size_t kMaxMailtoUrl = 128 * 1024 - 1;

// How many bytes from the start of utf8Body make a mailto URL of at most
// maxUrl characters: whole characters only, a CR LF pair never cut in two.
// utf8Body.size() when all of it fits.
std::size_t mailtoBodyThatFits(std::string_view utf8Body, std::size_t maxUrl = kMaxMailtoUrl);

// A web address found in text: [start, start + length) in the text's
// characters, and the address to open ("www." gets "http://" in front).
struct LinkSpan {
  std::size_t start = 0;
  std::size_t length = 0;
  std::string target;
};

// Addresses beginning with http://, https://, ftp://, file://, mailto: or www.
// in a text of UTF-16 code units (the editor's characters). An address ends
// at a space, a control character, a character beyond ASCII, or one of
// < > " ; trailing . , ; : ! ? ' ) ] are not part of it.
std::vector<LinkSpan> findLinks(std::u16string_view text);

// Whether a link is opened on a click without asking: web (http, https), ftp
// and mail addresses. Anything else, a file:// address above all, may name a
// program or a launcher that the desktop would run rather than show, so the
// user is asked first.
bool linkOpensWithoutAsking(std::string_view target);

// The commands (program, then arguments) that make imagePath the desktop
// background, for the desktop named in XDG_CURRENT_DESKTOP (a colon-separated
// list). Empty for a desktop without a known way.
std::vector<std::vector<std::string>> wallpaperCommands(std::string_view currentDesktop,
                                                        const std::string& imagePath);

}  // namespace tolvan
