// Colour identifiers and numbers.
#include "core/settings/color_table.h"

#include <cctype>
#include <cstdio>

namespace tolvan {
namespace {

struct Ident {
  uint32_t value;
  std::string_view name;
};

// The identifiers a colour text may hold. Where two names share a value the
// first is the one written back.
constexpr std::array<Ident, 46> kIdents{{
    {0x000000, "clBlack"},       {0x000080, "clMaroon"},      {0x008000, "clGreen"},
    {0x008080, "clOlive"},       {0x800000, "clNavy"},        {0x800080, "clPurple"},
    {0x808000, "clTeal"},        {0x808080, "clGray"},        {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},         {0x00FF00, "clLime"},        {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},        {0xFF00FF, "clFuchsia"},     {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},       {0xC0C0C0, "clLtGray"},      {0x808080, "clDkGray"},
    {0xC0DCC0, "clMoneyGreen"},  {0xF0CAA6, "clSkyBlue"},     {0xF0FBFF, "clCream"},
    {0xA4A0A0, "clMedGray"},     {clNone, "clNone"},          {clDefault, "clDefault"},
    {kSystemColorFlag | 0, "clScrollBar"},           {kSystemColorFlag | 1, "clBackground"},
    {kSystemColorFlag | 2, "clActiveCaption"},       {kSystemColorFlag | 3, "clInactiveCaption"},
    {kSystemColorFlag | 4, "clMenu"},                {kSystemColorFlag | 5, "clWindow"},
    {kSystemColorFlag | 6, "clWindowFrame"},         {kSystemColorFlag | 7, "clMenuText"},
    {kSystemColorFlag | 8, "clWindowText"},          {kSystemColorFlag | 9, "clCaptionText"},
    {kSystemColorFlag | 10, "clActiveBorder"},       {kSystemColorFlag | 11, "clInactiveBorder"},
    {kSystemColorFlag | 12, "clAppWorkSpace"},       {kSystemColorFlag | 13, "clHighlight"},
    {kSystemColorFlag | 14, "clHighlightText"},      {kSystemColorFlag | 15, "clBtnFace"},
    {kSystemColorFlag | 16, "clBtnShadow"},          {kSystemColorFlag | 17, "clGrayText"},
    {kSystemColorFlag | 18, "clBtnText"},            {kSystemColorFlag | 19, "clInactiveCaptionText"},
    {kSystemColorFlag | 20, "clBtnHighlight"},       {kSystemColorFlag | 24, "clInfoBk"},
}};

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<uint32_t> StringToColorValue(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  for (const auto& id : kIdents)
    if (iequal(text, id.name)) return id.value;

  bool negative = false;
  if (text.front() == '-' || text.front() == '+') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : text) {
    const int d = base == 16 ? hexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return std::nullopt;
    v = v * base + d;
    if (v > 0xFFFFFFFFull + (negative ? 1 : 0)) return std::nullopt;  // beyond 32 bits
  }
  if (negative) v = (~v + 1) & 0xFFFFFFFFull;
  return static_cast<uint32_t>(v);
}

std::string ColorValueToString(uint32_t value) {
  for (const auto& id : kIdents)
    if (id.value == value) return std::string(id.name);
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", value);
  return buf;
}

std::string ColorCaption(uint32_t value) {
  if (value == clWindowText || value == clWindow || value == clDefault) return "Default";
  std::string s = ColorValueToString(value);
  if (s.size() > 2 && s[0] == 'c' && s[1] == 'l') s.erase(0, 2);
  return s;
}

}  // namespace tolvan
