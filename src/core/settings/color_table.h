// Colour values as the settings file and the colour menus hold them: a 32-bit
// number in 0x00BBGGRR form, or a system colour (high byte 0xFF, low byte the
// system colour index), with identifier texts such as "clBlack".
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvan {

inline constexpr uint32_t kSystemColorFlag = 0xFF000000u;
inline constexpr uint32_t clMenu = kSystemColorFlag | 4;
inline constexpr uint32_t clWindow = kSystemColorFlag | 5;
inline constexpr uint32_t clMenuText = kSystemColorFlag | 7;
inline constexpr uint32_t clWindowText = kSystemColorFlag | 8;
inline constexpr uint32_t clBtnFace = kSystemColorFlag | 15;
inline constexpr uint32_t clNone = 0x1FFFFFFFu;
inline constexpr uint32_t clDefault = 0x20000000u;

struct ColorRow {
  uint32_t value;
  std::string_view caption;
};

// The pen and paper colour menus, in menu order. Rows 1 to 16 are shared;
// the last row is the system text colour (pen) or window colour (paper). The
// pen table's first 16 rows also colour the frame's banner.
inline constexpr std::array<ColorRow, 17> kPenColors{{
    {0x000000, "Black"}, {0x000080, "Maroon"}, {0x008000, "Green"}, {0x008080, "Olive"},
    {0x800000, "Navy"},  {0x800080, "Purple"}, {0x808000, "Teal"},  {0x808080, "Gray"},
    {0xC0C0C0, "Silver"}, {0x0000FF, "Red"},   {0x00FF00, "Lime"},  {0x00FFFF, "Yellow"},
    {0xFF0000, "Blue"},  {0xFF00FF, "Fuchsia"}, {0xFFFF00, "Aqua"}, {0xFFFFFF, "White"},
    {clWindowText, "Default"},
}};
inline constexpr std::array<ColorRow, 17> kPaperColors{{
    {0x000000, "Black"}, {0x000080, "Maroon"}, {0x008000, "Green"}, {0x008080, "Olive"},
    {0x800000, "Navy"},  {0x800080, "Purple"}, {0x808000, "Teal"},  {0x808080, "Gray"},
    {0xC0C0C0, "Silver"}, {0x0000FF, "Red"},   {0x00FF00, "Lime"},  {0x00FFFF, "Yellow"},
    {0xFF0000, "Blue"},  {0xFF00FF, "Fuchsia"}, {0xFFFF00, "Aqua"}, {0xFFFFFF, "White"},
    {clWindow, "Default"},
}};

// "clBlack" -> 0x000000 (identifiers matched without regard to case), or a
// number: decimal (may be negative, as 32-bit colours are often stored),
// "$hex" or "0xhex". Surrounding spaces are ignored. Nothing for other text.
std::optional<uint32_t> StringToColorValue(std::string_view text);
// The identifier when the value has one, else "$" and eight hex digits.
std::string ColorValueToString(uint32_t value);
// Menu caption: the identifier without its leading "cl"; the system text and
// window colours and the default colour give "Default".
std::string ColorCaption(uint32_t value);

}  // namespace tolvan
