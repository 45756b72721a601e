// Folder listings by case fold, watched with inotify.
#include "platform/directory_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

// More folders than this are not kept: the cache starts again empty.
constexpr size_t kMaxCachedFolders = 4096;

constexpr uint32_t kWatchedChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace

// The names of one folder: case fold -> names with that fold, in byte order.
class DirectoryLookup::Listing {
 public:
  std::unordered_map<std::string, std::vector<std::string>, NameHash, std::equal_to<>> by_fold;
};

namespace {

using Listing = DirectoryLookup::Listing;

struct CacheState {
  std::mutex mutex;
  int notify_fd = -1;        // -1 until first needed
  bool notify_broken = false;  // inotify cannot be had: nothing is cached
  std::unordered_map<std::string, Listing> listings;       // folder -> listing
  std::unordered_map<int, std::vector<std::string>> watched;  // watch -> folders
  Listing uncached;  // the listing of a folder that could not be watched
  uint64_t folder_reads = 0;
  // Grows whenever a listing is dropped or a folder is read without being
  // kept: what was found under an older value may no longer hold.
  uint64_t generation = 0;
};

CacheState* g_state = nullptr;

// A forked child shares the parent's notification queue: reading it would
// take changes the parent has to see. The child gives up what it inherited
// and starts afresh; the cache is held across the fork so that the child
// never inherits it half changed.
void BeforeFork() { g_state->mutex.lock(); }
void AfterForkInParent() { g_state->mutex.unlock(); }
void AfterForkInChild() {
  CacheState& s = *g_state;
  if (s.notify_fd >= 0) close(s.notify_fd);  // the parent's stays open
  s.notify_fd = -1;
  s.listings.clear();
  s.watched.clear();
  ++s.generation;
  s.mutex.unlock();
}

// Never destroyed: file-access threads may still resolve paths while the
// process's static objects are being torn down.
CacheState& State() {
  static CacheState* state = [] {
    g_state = new CacheState;
    pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild);
    return g_state;
  }();
  return *state;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

char32_t FoldCodePoint(char32_t code) {
  if (code >= 'A' && code <= 'Z') return code + 0x20;
  if (code >= 0xFF21 && code <= 0xFF3A) return code + 0x20;             // full-width Latin
  if (code >= 0x0391 && code <= 0x03A9 && code != 0x03A2) return code + 0x20;  // Greek
  if (code >= 0x0410 && code <= 0x042F) return code + 0x20;             // Cyrillic
  if (code >= 0x0400 && code <= 0x040F) return code + 0x50;
  return code;
}

std::string JoinFolder(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// Drops every listing and removes every watch, keeping the notification
// queue: closing it makes the kernel wait for every watch to be released,
// which takes milliseconds.
void DropEveryListing(CacheState& s) {
  if (s.notify_fd >= 0) {
    for (const auto& [watch, folders] : s.watched) inotify_rm_watch(s.notify_fd, watch);
  }
  s.listings.clear();
  s.watched.clear();
  ++s.generation;
}

void CloseNotifications(CacheState& s) {
  if (s.notify_fd >= 0) close(s.notify_fd);  // removes every watch
  s.notify_fd = -1;
  s.listings.clear();
  ++s.generation;
  s.watched.clear();
}

// Drops the listing of folder and of every folder below it.
void DropFolderAndBelow(CacheState& s, const std::string& folder) {
  for (auto it = s.listings.begin(); it != s.listings.end();) {
    const std::string& path = it->first;
    const bool below = path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                       (folder == "/" || path[folder.size()] == '/');
    if (path == folder || below) {
      it = s.listings.erase(it);
      ++s.generation;
    } else {
      ++it;
    }
  }
}

void HandleChange(CacheState& s, const inotify_event& event) {
  if ((event.mask & IN_Q_OVERFLOW) != 0) {
    // Changes were lost: nothing cached can be trusted.
    CloseNotifications(s);
    return;
  }
  auto found = s.watched.find(event.wd);
  if (found == s.watched.end()) return;
  for (const std::string& folder : found->second) {
    if (s.listings.erase(folder) != 0) ++s.generation;
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
      DropFolderAndBelow(s, folder);
    } else if (event.len > 0) {
      // The entry may be a folder (or a link to one) whose listing is kept.
      DropFolderAndBelow(s, JoinFolder(folder, event.name));
    }
  }
  if ((event.mask & IN_IGNORED) != 0) s.watched.erase(found);
}

void ReadWaitingChanges(CacheState& s) {
  if (s.notify_fd < 0) return;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(s.notify_fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // EAGAIN: nothing more waiting
    // The kernel pads each event's name so that the next event is aligned.
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      HandleChange(s, *event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (s.notify_fd < 0) return;  // overflow: everything was dropped
    }
  }
}

// A watch on folder, or -1 when it cannot be watched.
int Watch(CacheState& s, const std::string& folder) {
  if (s.notify_broken) return -1;
  if (s.notify_fd < 0) {
    s.notify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (s.notify_fd < 0) {
      s.notify_broken = true;
      return -1;
    }
  }
  const int watch = inotify_add_watch(s.notify_fd, folder.c_str(), kWatchedChanges);
  if (watch < 0) return -1;
  std::vector<std::string>& folders = s.watched[watch];
  if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  return watch;
}

bool ReadListing(CacheState& s, const std::string& folder, Listing& listing) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  ++s.folder_reads;
  listing.by_fold.clear();
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    listing.by_fold[FoldFileName(name)].emplace_back(name);
  }
  closedir(dir);
  for (auto& [fold, names] : listing.by_fold) std::sort(names.begin(), names.end());
  return true;
}

// The listing of folder, or null when it cannot be read.
const Listing* ListingOf(CacheState& s, const std::string& folder) {
  auto found = s.listings.find(folder);
  if (found != s.listings.end()) return &found->second;
  if (s.listings.size() >= kMaxCachedFolders || s.watched.size() >= kMaxCachedFolders) {
    DropEveryListing(s);
  }
  // Watched before it is read, so a change in between is not missed.
  const int watch = Watch(s, folder);
  if (watch < 0) {
    ++s.generation;  // nothing found in this folder can be kept
    return ReadListing(s, folder, s.uncached) ? &s.uncached : nullptr;
  }
  Listing listing;
  if (!ReadListing(s, folder, listing)) return nullptr;
  return &(s.listings[folder] = std::move(listing));
}

}  // namespace

std::string FoldFileName(std::string_view name) {
  std::string folded;
  FoldFileNameInto(name, folded);
  return folded;
}

void FoldFileNameInto(std::string_view name, std::string& folded) {
  folded.clear();
  folded.reserve(name.size());
  size_t pos = 0;
  while (pos < name.size()) {
    const unsigned char lead = static_cast<unsigned char>(name[pos]);
    if (lead < 0x80) {
      folded.push_back(lead >= 'A' && lead <= 'Z' ? static_cast<char>(lead + 0x20) : static_cast<char>(lead));
      ++pos;
      continue;
    }
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    bool well_formed = length > 0 && pos + length <= name.size();
    for (size_t i = 1; well_formed && i < length; ++i) {
      well_formed = (static_cast<unsigned char>(name[pos + i]) & 0xC0) == 0x80;
    }
    if (!well_formed) {
      folded.push_back(name[pos]);
      ++pos;
      continue;
    }
    char32_t code = lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
      code = (code << 6) | (static_cast<unsigned char>(name[pos + i]) & 0x3F);
    }
    AppendUtf8(folded, FoldCodePoint(code));
    pos += length;
  }
}

namespace {

thread_local int t_batch_depth = 0;
thread_local bool t_batch_read_changes = false;

}  // namespace

DirectoryLookup::DirectoryLookup() : lock_(State().mutex) {
  if (t_batch_depth > 0 && t_batch_read_changes) return;
  ReadWaitingChanges(State());
  t_batch_read_changes = t_batch_depth > 0;
}

uint64_t DirectoryLookup::Generation() const { return State().generation; }

void BeginLookupBatch() {
  if (t_batch_depth++ == 0) t_batch_read_changes = false;
}

void EndLookupBatch() {
  if (t_batch_depth > 0) --t_batch_depth;
}

DirectoryLookup::~DirectoryLookup() = default;

const DirectoryLookup::Listing* DirectoryLookup::List(const std::string& folder) {
  return ListingOf(State(), folder);
}

const std::string* DirectoryLookup::FindIn(const Listing& listing, std::string_view name) {
  // Folded into storage the thread keeps: no allocation per look-up.
  thread_local std::string folded;
  FoldFileNameInto(name, folded);
  auto found = listing.by_fold.find(std::string_view(folded));
  if (found == listing.by_fold.end()) return nullptr;
  const std::vector<std::string>& names = found->second;
  if (names.size() == 1) return &names.front();
  auto exact = std::find(names.begin(), names.end(), name);
  return exact != names.end() ? &*exact : &names.front();
}

DirectoryLookup::Match DirectoryLookup::Find(const std::string& folder, std::string_view name) {
  Match match;
  const Listing* listing = List(folder);
  if (listing == nullptr) return match;
  match.folder_listed = true;
  if (const std::string* found = FindIn(*listing, name)) match.name = *found;
  return match;
}

void NoteFolderEntryChanged(const std::string& folder, std::string_view name) {
  CacheState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.listings.erase(folder);
  ++s.generation;
  DropFolderAndBelow(s, JoinFolder(folder, name));
}

void DropDirectoryListings() {
  CacheState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  DropEveryListing(s);
}

uint64_t DirectoryReadCount() {
  CacheState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.folder_reads;
}

}  // namespace platform
