#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Paths the user opened lately (models, or the folders they came from), newest first, kept in a
// file of one absolute path a line so that the next start offers them again. Window thread.
class RecentList {
public:
  static constexpr size_t kDefaultLimit = 10;

  explicit RecentList(std::string file, size_t limit = kDefaultLimit) : file(std::move(file)), limit(limit) {}

  // Reads the file; none is an empty list. Lines that are empty or not absolute paths are not
  // ours and are left out, as are entries beyond the limit.
  void Load();
  // Puts path first (moving it there when listed already) and forgets the oldest beyond the limit.
  void Add(const std::string& path);
  // Writes the whole list: a reader of the file finds the old list or the new one, never a part.
  // False, with the file and the reason in why, when it cannot be written.
  bool Save(std::string* why) const;

  const std::vector<std::string>& Entries() const { return entries; }
  // The entries that name something existing now; a file moved or deleted since is left out.
  std::vector<std::string> Existing() const;
  const std::string& File() const { return file; }

private:
  std::string file;
  size_t limit;
  std::vector<std::string> entries;
};

// Where the program keeps what it remembers between starts: $XDG_STATE_HOME/Patinex, or
// ~/.local/state/Patinex when that is unset or not absolute; empty without either.
std::string PatinexStateFolder();
