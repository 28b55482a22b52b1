// Typed access to the program's settings keys.
#include "core/settings/settings_keys.h"

#include <climits>
#include <string>

namespace tolvan {
namespace {

constexpr bool tableInKeyOrder() {
  for (std::size_t i = 0; i < kSettingsKeys.size(); ++i)
    if (static_cast<std::size_t>(kSettingsKeys[i].key) != i) return false;
  return true;
}
static_assert(tableInKeyOrder(), "kSettingsKeys rows must follow the order of enum Key");

std::string sizedName(std::string_view name, int w, int h) {
  return std::string(name) + "(" + std::to_string(w) + "x" + std::to_string(h) + ")";
}

}  // namespace

const KeySpec& keySpec(Key key) { return kSettingsKeys[static_cast<std::size_t>(key)]; }

Settings::Settings(ProfileFile& file, std::string programDir) : file_(file), programDir_(std::move(programDir)) {}

std::string Settings::defaultString(const KeySpec& spec) const {
  if (spec.key == Key::WorkDir) return programDir_;
  if (spec.type == ValueType::Integer) return std::to_string(spec.defaultInteger);
  return std::string(spec.defaultString);
}

std::string Settings::readString(Key key) const {
  const KeySpec& s = keySpec(key);
  return file_.ReadString(s.section, s.readName, defaultString(s));
}

int Settings::readInteger(Key key) const {
  const KeySpec& s = keySpec(key);
  return file_.ReadInteger(s.section, s.readName, s.defaultInteger);
}

bool Settings::writeString(Key key, std::string_view value) {
  const KeySpec& s = keySpec(key);
  return file_.WriteString(s.section, s.writeName, value);
}

bool Settings::writeInteger(Key key, int value) {
  const KeySpec& s = keySpec(key);
  return file_.WriteInteger(s.section, s.writeName, value);
}

std::string Settings::readString(Key key, int index) const {
  const KeySpec& s = keySpec(key);
  return file_.ReadString(s.section, std::string(s.readName) + std::to_string(index), defaultString(s));
}

bool Settings::writeString(Key key, int index, std::string_view value) {
  const KeySpec& s = keySpec(key);
  return file_.WriteString(s.section, std::string(s.writeName) + std::to_string(index), value);
}

std::string Settings::readPlacement(Key key, int screenWidth, int screenHeight) const {
  const KeySpec& s = keySpec(key);
  std::optional<ProfileText> text = file_.Load();
  if (!text) return std::string(s.defaultString);
  if (auto v = text->get(s.section, sizedName(s.readName, screenWidth, screenHeight))) return *v;
  if (auto v = text->get(s.section, s.readName)) return *v;
  return std::string(s.defaultString);
}

bool Settings::writePlacement(Key key, int screenWidth, int screenHeight, std::string_view value) {
  const KeySpec& s = keySpec(key);
  bool plain = file_.WriteString(s.section, s.writeName, value);
  bool sized = file_.WriteString(s.section, sizedName(s.writeName, screenWidth, screenHeight), value);
  return plain && sized;
}

bool Settings::dirPanelSwitchOn() const { return readString(Key::DirPanelSwitch) == kDirPanelSwitchValue; }

int Settings::addFontConversionMenu(std::string_view path) {
  // One file replacement for both keys, so a failure never leaves a count
  // that points at a missing entry.
  std::optional<ProfileText> text = file_.Load();
  if (!text) return 0;
  const KeySpec& countKey = keySpec(Key::FontConversionMenus);
  const KeySpec& entryKey = keySpec(Key::FontConversionMenu);
  int count = countKey.defaultInteger;
  if (auto v = text->get(countKey.section, countKey.readName)) count = parseProfileInt(*v).value_or(count);
  if (count == INT_MAX) return 0;
  // A broken negative count must not hide the new entry.
  int n = count < 0 ? 1 : count + 1;
  if (!text->set(countKey.section, countKey.writeName, std::to_string(n)) ||
      !text->set(entryKey.section, std::string(entryKey.writeName) + std::to_string(n), path))
    return 0;
  return file_.Store(*text) ? n : 0;
}

}  // namespace tolvan
