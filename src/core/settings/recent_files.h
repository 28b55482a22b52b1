// The recently-used files list of the main window: at most ten paths, most
// recent first, each with an integer of user data, kept in the settings file
// under its own section as Item_<i> (path) and User_<i> (data when not 0).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/profile_file.h"

namespace tolvan {

class RecentFiles {
 public:
  static constexpr int kCapacity = 10;
  // The data the program gives every entry it adds.
  static constexpr int kProgramData = 1001;

  struct Entry {
    std::string path;
    int data = 0;
    bool operator==(const Entry&) const = default;
  };

  // Puts the path at the top. A path already in the list moves to the top and
  // takes the new data; the oldest entry falls off past ten. Paths compare
  // byte for byte, as file names do on Linux. An empty path is ignored.
  void add(std::string_view path, int data = kProgramData);
  // Takes one path out of the list; false when it was not there.
  bool remove(std::string_view path);
  void clear() { entries_.clear(); }

  const std::vector<Entry>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }
  int size() const { return static_cast<int>(entries_.size()); }

  // Replaces the list with the one stored in the file: Item_9 down to Item_0
  // are added in turn, skipping empty ones, so Item_0 ends on top.
  void load(const ProfileFile& file);
  // Rewrites the section in one file replacement: the old section goes, then
  // Item_<i> = path for i = 0 (most recent) up, and User_<i> = data when the
  // data is not 0. A path that cannot be stored (it holds a line break) is
  // left out of the file. False when the file could not be written.
  bool save(ProfileFile& file) const;

  // The same two steps on a text in memory.
  void load(const ProfileText& text);
  void save(ProfileText& text) const;

 private:
  std::vector<Entry> entries_;
};

}  // namespace tolvan
