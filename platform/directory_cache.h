// Case-insensitive look-up of names in folders, with the folders' listings
// kept between look-ups so that resolving a path reads no folder it has read
// before. Names are native (UTF-8); two names match when their case folds
// are equal (ASCII, full-width Latin, Greek and Cyrillic letters: the
// letters code page 932 can name), and the exact name wins over other
// spellings, else the first in byte order.
//
// A listing never answers for a folder that has changed: each cached folder
// is watched through the kernel's change notifications (entries created,
// deleted or renamed, by this program or any other), and the notifications
// waiting are read when a look-up begins, before any listing is used; the
// kernel queues them within the call that made the change. Where a folder
// cannot be watched, its listing is read afresh for every look-up.
// Thread-safe: a look-up holds the cache for its lifetime.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The case fold of a UTF-8 name; bytes outside well-formed sequences stay
// as they are. Folding keeps the byte length of every letter it changes.
std::string FoldFileName(std::string_view name);
// The same into out (replacing what it held), reusing its storage.
void FoldFileNameInto(std::string_view name, std::string& out);

// One look-up of one or more names, in the cache's state at its start.
class DirectoryLookup {
 public:
  DirectoryLookup();
  ~DirectoryLookup();
  DirectoryLookup(const DirectoryLookup&) = delete;
  DirectoryLookup& operator=(const DirectoryLookup&) = delete;

  struct Match {
    bool folder_listed = false;       // the folder exists and could be read
    std::optional<std::string> name;  // the name on disk, when one matches
  };
  // The entry of folder (a native absolute path) whose name matches name.
  Match Find(const std::string& folder, std::string_view name);

  // The same in two steps, for callers that keep a folder's listing: the
  // listing of folder (null when it cannot be read), and the name on disk
  // matching name in it (null when none does). A listing stays usable while
  // Generation() keeps its value, and only while this look-up lives.
  class Listing;
  const Listing* List(const std::string& folder);
  const std::string* FindIn(const Listing& listing, std::string_view name);

  // Changes whenever something found before may no longer hold (a listing
  // was dropped, or a folder could not be kept); equal values mean every
  // match found in between still stands.
  uint64_t Generation() const;

 private:
  std::unique_lock<std::mutex> lock_;
};

// The program changed the entry name of folder (made, deleted or renamed
// it): the folder's listing, and those below that entry, are dropped at once,
// without waiting for the change notification.
void NoteFolderEntryChanged(const std::string& folder, std::string_view name);

// Within the lifetime of a FileLookupBatch (file_system.h) on this thread,
// only the first look-up reads the waiting change notifications.
void BeginLookupBatch();
void EndLookupBatch();

// Forgets every listing (tests and benchmarks measuring the first look-up).
void DropDirectoryListings();

// How often a folder was read since the process started.
uint64_t DirectoryReadCount();

}  // namespace platform
