// The recently-used files list and its record in the settings file.
#include "core/settings/recent_files.h"

#include <algorithm>
#include <optional>

#include "core/settings/settings_keys.h"

namespace tolvan {
namespace {

std::string itemKey(int i) { return "Item_" + std::to_string(i); }
std::string userKey(int i) { return "User_" + std::to_string(i); }

}  // namespace

void RecentFiles::add(std::string_view path, int data) {
  if (path.empty()) return;
  remove(path);
  entries_.insert(entries_.begin(), Entry{std::string(path), data});
  if (entries_.size() > static_cast<std::size_t>(kCapacity)) entries_.resize(kCapacity);
}

bool RecentFiles::remove(std::string_view path) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.path == path; });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

void RecentFiles::load(const ProfileText& text) {
  entries_.clear();
  for (int i = kCapacity - 1; i >= 0; --i) {
    std::optional<std::string> path = text.get(kRecentFilesSection, itemKey(i));
    if (!path || path->empty()) continue;
    std::optional<std::string> user = text.get(kRecentFilesSection, userKey(i));
    add(*path, user ? parseProfileInt(*user).value_or(0) : 0);
  }
}

void RecentFiles::load(const ProfileFile& file) {
  std::optional<ProfileText> text = file.Load();
  if (!text) {
    entries_.clear();
    return;
  }
  load(*text);
}

void RecentFiles::save(ProfileText& text) const {
  text.eraseSection(kRecentFilesSection);
  int i = 0;
  for (const Entry& e : entries_) {
    if (!text.set(kRecentFilesSection, itemKey(i), e.path)) continue;
    if (e.data != 0)
      text.set(kRecentFilesSection, userKey(i), std::to_string(e.data));
    else
      text.remove(kRecentFilesSection, userKey(i));
    ++i;
  }
}

bool RecentFiles::save(ProfileFile& file) const {
  std::optional<ProfileText> text = file.Load();
  if (!text) return false;
  std::string before = text->bytes();
  save(*text);
  if (text->bytes() == before) return true;
  return file.Store(*text);
}

}  // namespace tolvan
