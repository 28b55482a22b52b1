// The program's fixed texts that several windows show: the web site, the
// author's address and the banners of the empty frame.
#pragma once

namespace tolvan {

inline constexpr const char kProductName[] = "Tolvan";
// The web site's host, written once; the other spellings are built from it.
#define TOLVAN_WEB_HOST "www.tolvan.org"
inline constexpr const char kWebSite[] = TOLVAN_WEB_HOST;             // as shown
inline constexpr const char kWebUrl[] = "http://" TOLVAN_WEB_HOST "/";  // as opened
inline constexpr const char kAuthorEmail[] = "veyran@tolvan.org";

// The phrase "Tolvan, Tamil word processor" (தொல்வன் தமிழ் சொற்செயலி) in
// TSCII, for the banner when the default font is a TSCII font.
inline constexpr const char kTamilBannerTscii[] =
    "\xA6\xBE\xA1\xF8\xC5\xFD \xBE\xC1\xA2\xFA \xA6\xBA\xA1\xFC\xA6\xBA\xC2\xC4\xA2";

}  // namespace tolvan
