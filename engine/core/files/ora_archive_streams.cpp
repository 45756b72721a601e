// The archive-aware stream set: archive look-up by folder, the archive and
// open-file tables, and file search inside archives.
#include "engine/core/files/ora_archive_streams.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_stream.h"
#include "engine/core/files/ora_archive.h"
#include "platform/file_system.h"

namespace {

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsAscii(std::string_view text) {
  unsigned char any = 0;
  for (char c : text) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

size_t CharLength(const char* p) { return IsLead(static_cast<uint8_t>(p[0])) && p[1] != '\0' ? 2 : 1; }

// Where the last element of a path begins: after its last separator (or
// its drive); the path's length when it ends in a separator.
size_t LastElementStart(std::string_view path) {
  size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  if (IsAscii(path)) {
    const size_t separator = path.find_last_of("\\/");
    if (separator != std::string_view::npos && separator + 1 > start) start = separator + 1;
    return start;
  }
  for (size_t i = 0; i < path.size();) {
    if (IsSeparator(path[i])) {
      start = i + 1;
      ++i;
    } else {
      i += IsLead(static_cast<uint8_t>(path[i])) && i + 1 < path.size() ? 2 : 1;
    }
  }
  return start;
}

// Upper-cases ASCII letters from byte from (a character's start) on.
void UpperCaseFrom(std::string& text, size_t from) {
  for (size_t i = from; i < text.size();) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    if (IsLead(c) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
    ++i;
  }
}

// ---- settings ----

std::string g_extension;  // empty: the default
bool g_key_set = false;
std::string g_key_text;

// ---- archive table ----

struct ArchiveSlot {
  int reference_count = 0;
  ArchiveRecord record;
  std::string path;  // normalised
};

std::array<TrackedPtr<ArchiveSlot>, kMaxOpenArchives> g_archives;
int g_archive_count = 0;

// The last hit of the look-up.
struct LastArchiveHit {
  bool valid = false;
  std::string folder;        // normalised folder path, no trailing separator
  std::string archive_path;  // normalised archive file path
  int slot = -1;
};
LastArchiveHit g_last_hit;

struct FolderHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Folders, as the caller wrote them (the part of a path before its last
// element), on none of whose levels an archive file exists, as the file
// look-ups stood at stamp: the search of every other file opened in them is
// answered at once, and dropped with any change to the folders, the drives
// or the current folder. Such a folder holds no archive the last hit could
// stand for either: that archive's file was there when it was found.
struct FoldersWithoutArchive {
  uint64_t stamp = 0;
  std::unordered_set<std::string, FolderHash, std::equal_to<>> folders;
};
FoldersWithoutArchive g_no_archive;
constexpr size_t kMaxFoldersWithoutArchive = 1024;

// ---- open-file table ----

struct ArchiveFileSlot {
  bool member = false;
  FileStream* plain = nullptr;
  int archive_slot = -1;
  ArchiveMemberStream stream;
};

std::array<TrackedPtr<ArchiveFileSlot>, kMaxArchiveStreams> g_files;
int g_file_count = 0;

void ReleaseArchiveReference(int slot) {
  if (slot < 0 || slot >= kMaxOpenArchives || !g_archives[slot]) return;
  if (g_archives[slot]->reference_count > 0) --g_archives[slot]->reference_count;
}

void CloseArchiveSlot(int slot) {
  CloseArchive(&g_archives[slot]->record);
  g_archives[slot].reset();
  --g_archive_count;
}

int OpenArchiveCached(int last_slot, const std::string& archive_path) {
  if (last_slot >= 0 && last_slot < kMaxOpenArchives && g_archives[last_slot] &&
      g_archives[last_slot]->path == archive_path) {
    ++g_archives[last_slot]->reference_count;
    return last_slot;
  }
  for (int i = 0, seen = 0; i < kMaxOpenArchives && seen < g_archive_count; ++i) {
    if (!g_archives[i]) continue;
    ++seen;
    if (g_archives[i]->path == archive_path) {
      ++g_archives[i]->reference_count;
      return i;
    }
  }
  if (g_archive_count >= kMaxOpenArchives) {
    CloseUnusedArchives();
    if (g_archive_count >= kMaxOpenArchives) return -1;
  }
  // The last gap among the used slots, else the lowest free slot.
  int free_slot = -1;
  for (int i = 0, seen = 0; i < kMaxOpenArchives && seen < g_archive_count; ++i) {
    if (g_archives[i]) ++seen;
    else free_slot = i;
  }
  if (free_slot < 0) {
    for (int i = 0; i < kMaxOpenArchives; ++i) {
      if (!g_archives[i]) {
        free_slot = i;
        break;
      }
    }
  }
  if (free_slot < 0) return -1;
  // Opened before the slot's memory is taken: most folders have no archive.
  ArchiveRecord record;
  if (OpenArchiveStreaming(&record, archive_path.c_str(), g_key_set ? g_key_text.c_str() : nullptr) != 0) {
    return -1;
  }
  TrackedPtr<ArchiveSlot> slot = MakeTracked<ArchiveSlot>();
  if (!slot) {
    CloseArchive(&record);
    return -1;
  }
  slot->record = std::move(record);
  slot->reference_count = 1;
  slot->path = archive_path;
  g_archives[free_slot] = std::move(slot);
  ++g_archive_count;
  return free_slot;
}

// The extension as it appears in normalised (upper-cased) archive paths.
std::string ArchiveExtension() {
  std::string extension = g_extension.empty() ? kDefaultArchiveExtension : g_extension;
  UpperCaseFrom(extension, 0);
  return extension;
}

// The archive that stands for a folder on path, and the path inside it.
int FindArchiveForPath(const char* path, std::string* inside) {
  // Paths of one folder, written alike, find the same archives while the
  // folders (and the current folder) stay as they are.
  const std::string_view asked(path);
  const size_t last_element = LastElementStart(asked);
  const bool keep_answer = last_element < asked.size();  // not a bare folder
  const std::string_view asked_folder = asked.substr(0, last_element);
  const uint64_t stamp = platform::FileLookupStamp();
  if (g_no_archive.stamp != stamp) {
    g_no_archive.folders.clear();
    g_no_archive.stamp = stamp;
  }
  if (keep_answer && g_no_archive.folders.find(asked_folder) != g_no_archive.folders.end()) return -1;

  const std::string full = NormalizeFullPath(path);
  if (full.empty()) return -1;
  if (g_last_hit.valid && full.size() > g_last_hit.folder.size() + 1 &&
      full.compare(0, g_last_hit.folder.size(), g_last_hit.folder) == 0 &&
      full[g_last_hit.folder.size()] == '\\') {
    const int slot = OpenArchiveCached(g_last_hit.slot, g_last_hit.archive_path);
    if (slot < 0) return -1;
    g_last_hit.slot = slot;
    *inside = full.substr(g_last_hit.folder.size() + 1);
    return slot;
  }
  size_t i = 0;
  if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') i = 2;  // network path
  const std::string extension = ArchiveExtension();
  std::string archive_path;  // one buffer for every level's archive name
  archive_path.reserve(full.size() + 1 + extension.size());
  const bool ascii = IsAscii(full);
  bool every_level_missing = true;
  size_t element_start = i;
  while (i < full.size()) {
    if (full[i] != '\\') {
      if (ascii) {
        i = std::min(full.find('\\', i), full.size());
      } else {
        i += CharLength(full.c_str() + i);
      }
      continue;
    }
    // full[0, i) is a folder with at least one element after it.
    if (i == element_start) return -1;  // empty element
    const bool bare_drive = i == 2 && full[1] == ':';
    if (!bare_drive) {
      archive_path.assign(full, 0, i);
      archive_path.push_back('.');
      archive_path.append(extension);
      const int slot = OpenArchiveCached(-1, archive_path);
      if (slot >= 0) {
        g_last_hit.valid = true;
        g_last_hit.folder.assign(full, 0, i);
        g_last_hit.archive_path = archive_path;
        g_last_hit.slot = slot;
        *inside = full.substr(i + 1);
        return slot;
      }
      // An archive that is there but would not open is tried again next time.
      if (every_level_missing && platform::FileExists(archive_path)) every_level_missing = false;
    }
    ++i;
    element_start = i;
  }
  if (keep_answer && every_level_missing && platform::FileLookupStamp() == stamp) {
    if (g_no_archive.folders.size() >= kMaxFoldersWithoutArchive) g_no_archive.folders.clear();
    g_no_archive.folders.emplace(asked_folder);
  }
  return -1;
}

ArchiveFileSlot* SlotOf(StreamHandle handle) {
  if (handle < 0 || (handle & ~static_cast<StreamHandle>(0x0FFFFFFF)) != kArchiveStreamHandleFlag)
    return nullptr;
  const StreamHandle index = handle & 0x0FFFFFFF;
  if (index >= kMaxArchiveStreams) return nullptr;
  return g_files[static_cast<size_t>(index)].get();
}

}  // namespace

std::string NormalizeFullPath(const char* path) {
  std::string out = platform::GetCurrentFolder();
  UpperCaseFrom(out, 0);
  if (path == nullptr) return out;
  size_t i = 0;
  const size_t length = std::strlen(path);
  if (length >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    out.assign(1, '\\');
    i = 2;
  } else if (length >= 1 && IsSeparator(path[0])) {
    out.resize(std::min<size_t>(2, out.size()));
    i = 1;
  } else if (length >= 2 && path[1] == ':' &&
             ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'))) {
    out = {static_cast<char>(path[0] >= 'a' ? path[0] - 'a' + 'A' : path[0]), ':'};
    i = 2;
    if (length >= 3 && IsSeparator(path[2])) i = 3;
  } else {
    while (!out.empty() && IsSeparator(out.back())) out.pop_back();
  }
  const size_t keep = (out.size() >= 2 && out[1] == ':') ? 2 : (out == "\\" ? 1 : 0);
  out.reserve(out.size() + length + 1);
  // Without double-byte characters every byte stands alone.
  const bool ascii = IsAscii(std::string_view(path, length));
  while (i < length) {
    if (IsSeparator(path[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    if (ascii) {
      while (i < length && !IsSeparator(path[i])) ++i;
    } else {
      while (i < length && !IsSeparator(path[i])) i += CharLength(path + i);
    }
    const std::string_view element(path + start, i - start);
    // "." and ".." apply only before a separator; a last one stays a name.
    const bool last = i >= length;
    if (!last && element == ".") continue;
    if (!last && element == "..") {
      const size_t cut = out.rfind('\\');
      if (cut != std::string::npos && cut >= keep && out.size() > keep) out.erase(cut);
      continue;
    }
    const size_t at = out.size() + 1;
    out.push_back('\\');
    out.append(element);
    if (ascii) {
      for (size_t k = at; k < out.size(); ++k) {
        if (out[k] >= 'a' && out[k] <= 'z') out[k] = static_cast<char>(out[k] - 'a' + 'A');
      }
    } else {
      UpperCaseFrom(out, at);
    }
  }
  return out;
}

// ---- the archive-aware set ----

namespace {

StreamHandle ArchiveStreamOpen(const char* name, int cache, int /*ignored*/, int async) {
  if (name == nullptr) return 0;
  if (g_file_count >= kMaxArchiveStreams) {
    WriteLog("同時に開けるファイルの数が限界を超えました\n");
    return 0;
  }
  int index = 0;
  while (index < kMaxArchiveStreams && g_files[index]) ++index;
  if (index >= kMaxArchiveStreams) return 0;
  TrackedPtr<ArchiveFileSlot> slot = MakeTracked<ArchiveFileSlot>();
  if (!slot) {
    WriteLog("ファイルの情報を格納するメモリの確保に失敗しました\n");
    return 0;
  }
  // The archive search and the open see the folders as they were when the
  // search began.
  platform::FileLookupBatch batch;
  std::string inside;
  const int archive = FindArchiveForPath(name, &inside);
  if (archive >= 0) {
    slot->member = true;
    slot->archive_slot = archive;
    if (OpenArchiveMember(&slot->stream, &g_archives[archive]->record, inside.c_str(), async) != 0) {
      ReleaseArchiveReference(archive);
      return 0;
    }
  } else {
    slot->plain = OpenFileStream(name, cache, 1, async);
    if (slot->plain == nullptr) return 0;
  }
  g_files[index] = std::move(slot);
  ++g_file_count;
  return static_cast<StreamHandle>(index) | kArchiveStreamHandleFlag;
}

int ArchiveStreamClose(StreamHandle handle) {
  ArchiveFileSlot* slot = SlotOf(handle);
  if (slot == nullptr) return -1;
  if (slot->member) {
    CloseArchiveMember(&slot->stream);
    ReleaseArchiveReference(slot->archive_slot);
  } else {
    CloseFileStream(slot->plain);
  }
  g_files[static_cast<size_t>(handle & 0x0FFFFFFF)].reset();
  --g_file_count;
  return 0;
}

int32_t ArchiveStreamTell(StreamHandle handle) {
  ArchiveFileSlot* slot = SlotOf(handle);
  if (slot == nullptr) return -1;
  return slot->member ? TellArchiveMember(&slot->stream) : TellFileStream(slot->plain);
}

int ArchiveStreamSeek(StreamHandle handle, int32_t offset, int origin) {
  ArchiveFileSlot* slot = SlotOf(handle);
  if (slot == nullptr) return -1;
  return slot->member ? SeekArchiveMember(&slot->stream, offset, origin)
                      : SeekFileStream(slot->plain, offset, origin);
}

int64_t ArchiveStreamRead(void* buffer, size_t element_size, size_t count, StreamHandle handle) {
  ArchiveFileSlot* slot = SlotOf(handle);
  if (slot == nullptr) return -1;
  if (!slot->member) return ReadFileStream(buffer, element_size, count, slot->plain);
  if (element_size == 0 || count == 0) return 0;
  const uint64_t limit = static_cast<uint64_t>(INT32_MAX);
  const uint64_t bytes = count > limit / element_size ? limit : uint64_t{element_size} * count;
  return ReadArchiveMember(&slot->stream, buffer, static_cast<int64_t>(bytes));
}

int ArchiveStreamEof(StreamHandle handle) {
  ArchiveFileSlot* slot = SlotOf(handle);
  if (slot == nullptr) return -1;
  return slot->member ? EofArchiveMember(&slot->stream) : EofFileStream(slot->plain);
}

int ArchiveStreamIdleCheck(StreamHandle handle) {
  ArchiveFileSlot* slot = SlotOf(handle);
  if (slot == nullptr) return -1;
  return slot->member ? IdleCheckArchiveMember(&slot->stream) : IdleCheckFileStream(slot->plain);
}

int ArchiveStreamChDir(const char* path) {
  if (path != nullptr) platform::SetCurrentFolder(path);
  return 0;
}

int ArchiveStreamGetDir(char* buffer) {
  constexpr size_t kGetDirBufferSize = 256;
  const std::string folder = platform::GetCurrentFolder();
  if (folder.empty() || folder.size() >= kGetDirBufferSize) {
    buffer[0] = '\0';
    return -1;
  }
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return 0;
}

}  // namespace

// ---- file search ----

bool MatchWildcard(const char* pattern, const char* name) {
  if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
  // A final ".*" also matches a name without an extension.
  const size_t pattern_length = std::strlen(pattern);
  if (pattern_length >= 2 && std::strcmp(pattern + pattern_length - 2, ".*") == 0 &&
      std::strchr(name, '.') == nullptr) {
    const std::string stem(pattern, pattern_length - 2);
    if (MatchWildcard(stem.c_str(), name)) return true;
  }
  auto same_char = [](const char* a, const char* b) {
    const size_t la = CharLength(a), lb = CharLength(b);
    if (la != lb) return false;
    if (la == 2) return a[0] == b[0] && a[1] == b[1];
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return fold(a[0]) == fold(b[0]);
  };
  const char* p = pattern;
  const char* n = name;
  const char* star_pattern = nullptr;
  const char* star_name = nullptr;
  while (*n != '\0') {
    if (*p == '*') {
      star_pattern = ++p;
      star_name = n;
      continue;
    }
    if (*p != '\0' && (*p == '?' || same_char(p, n))) {
      p += *p == '?' ? 1 : CharLength(p);
      n += CharLength(n);
      continue;
    }
    if (star_pattern != nullptr) {
      star_name += CharLength(star_name);
      n = star_name;
      p = star_pattern;
      continue;
    }
    return false;
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

namespace {

// A search: either of the plain file system or of one archive directory.
struct ArchiveSearch {
  FindHandle plain = -1;
  int archive_slot = -1;
  uint32_t directory = 0;
  std::string name_pattern;
  // Position in the listing: 0 ".", 1 "..", then 2 + entry index.
  uint32_t next = 0;
};

DateTimeRecord FileTimeToDateTime(uint64_t file_time) {
  if (file_time == 0) return DateTimeRecord{};
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  return CalendarSecondsToDateTime(static_cast<int64_t>(file_time / 10000000u) - kSecondsFrom1601To1970);
}

// Fills entry with the next matching item of an archive search; false at
// the end.
bool NextArchiveItem(ArchiveSearch& search, FindEntry* entry) {
  const ArchiveDirectoryBlock& block = g_archives[search.archive_slot]->record.directory;
  const auto directory = block.Directory(search.directory);
  if (!directory) return false;
  const bool root = search.directory == 0;
  for (;;) {
    const uint32_t at = search.next++;
    if (at < 2) {
      if (root) continue;
      const char* dots = at == 0 ? "." : "..";
      if (!MatchWildcard(search.name_pattern.c_str(), dots)) continue;
      if (entry != nullptr) {
        *entry = FindEntry{};
        std::strcpy(entry->name, dots);
        entry->directory = 1;
      }
      return true;
    }
    const auto item = block.DirectoryEntry(*directory, at - 2);
    if (!item) return false;
    const std::string name = block.StoredName(item->name_offset);
    if (name.empty() || !MatchWildcard(search.name_pattern.c_str(), name.c_str())) continue;
    if (entry != nullptr) {
      *entry = FindEntry{};
      const size_t n = std::min(name.size(), sizeof(entry->name) - 1);
      std::memcpy(entry->name, name.data(), n);
      entry->directory = item->IsDirectory() ? 1 : 0;
      entry->size_low = static_cast<int32_t>(item->IsDirectory() ? 0 : item->data_size);
      entry->creation_time = FileTimeToDateTime(item->creation_time);
      entry->last_write_time = FileTimeToDateTime(item->last_write_time);
    }
    return true;
  }
}


FindHandle ArchiveStreamFindFirst(const char* pattern, FindEntry* entry) {
  if (pattern == nullptr) return -1;
  TrackedPtr<ArchiveSearch> search = MakeTracked<ArchiveSearch>();
  if (!search) return -1;
  std::string inside;
  const int archive = FindArchiveForPath(pattern, &inside);
  if (archive < 0) {
    search->plain = PlainStreamFunctions().findfirst(pattern, entry);
    if (search->plain == -1) return -1;
    return reinterpret_cast<FindHandle>(search.release());
  }
  // Split into folder and name at the last separator.
  size_t cut = std::string::npos;
  for (size_t i = 0; i < inside.size(); i += CharLength(inside.c_str() + i)) {
    if (inside[i] == '\\') cut = i;
  }
  std::string folder = cut == std::string::npos ? std::string() : inside.substr(0, cut);
  search->name_pattern = cut == std::string::npos ? inside : inside.substr(cut + 1);
  search->archive_slot = archive;
  uint32_t directory = 0;
  if (!folder.empty() && !g_archives[archive]->record.directory.ChangeDirectory(
                             &directory, folder.c_str(), true, nullptr)) {
    ReleaseArchiveReference(archive);
    return -1;
  }
  search->directory = directory;
  if (!NextArchiveItem(*search, entry)) {
    ReleaseArchiveReference(archive);
    return -1;
  }
  return reinterpret_cast<FindHandle>(search.release());
}

int ArchiveStreamFindNext(FindHandle handle, FindEntry* entry) {
  if (handle == -1 || handle == 0) return -1;
  auto* search = reinterpret_cast<ArchiveSearch*>(handle);
  if (search->archive_slot < 0) return PlainStreamFunctions().findnext(search->plain, entry);
  if (!g_archives[search->archive_slot]) return -1;
  return NextArchiveItem(*search, entry) ? 0 : -1;
}

int ArchiveStreamFindClose(FindHandle handle) {
  if (handle == -1 || handle == 0) return -1;
  auto* search = reinterpret_cast<ArchiveSearch*>(handle);
  if (search->archive_slot < 0) PlainStreamFunctions().findclose(search->plain);
  else ReleaseArchiveReference(search->archive_slot);
  TrackedDelete(search);
  return 0;
}

}  // namespace

const StreamFunctionTable& ArchiveStreamFunctions() {
  static const StreamFunctionTable kSet = {
      ArchiveStreamOpen,   ArchiveStreamClose,     ArchiveStreamTell,     ArchiveStreamSeek,
      ArchiveStreamRead,   ArchiveStreamEof,       ArchiveStreamIdleCheck, ArchiveStreamChDir,
      ArchiveStreamGetDir, ArchiveStreamFindFirst, ArchiveStreamFindNext, ArchiveStreamFindClose};
  return kSet;
}

// ---- settings and lifetime ----

int UseArchiveExtension(const char* extension) {
  const size_t length = extension == nullptr ? 0 : std::strlen(extension);
  if (length >= 1 && length <= kArchiveExtensionMax) g_extension.assign(extension, length);
  else g_extension.clear();
  g_last_hit = LastArchiveHit{};
  g_no_archive.folders.clear();
  return 0;
}

int UseArchiveKey(const char* key_text) {
  if (key_text == nullptr) {
    g_key_set = false;
    g_key_text.clear();
    return 0;
  }
  g_key_set = true;
  g_key_text.assign(key_text, std::min(std::strlen(key_text), kArchiveKeyTextMax));
  return 0;
}

void CloseUnusedArchives() {
  for (int i = 0; i < kMaxOpenArchives; ++i) {
    if (g_archives[i] && g_archives[i]->reference_count <= 0) CloseArchiveSlot(i);
  }
}

void TerminateArchives() { CloseUnusedArchives(); }

void ClearArchiveTables() {
  for (int i = 0; i < kMaxArchiveStreams; ++i) {
    if (g_files[i]) ArchiveStreamClose(static_cast<StreamHandle>(i) | kArchiveStreamHandleFlag);
  }
  for (int i = 0; i < kMaxOpenArchives; ++i) {
    if (g_archives[i]) CloseArchiveSlot(i);
  }
  g_file_count = 0;
  g_archive_count = 0;
  g_last_hit = LastArchiveHit{};
  g_no_archive.folders.clear();
}

int OpenArchiveCount() { return g_archive_count; }
int OpenArchiveStreamCount() { return g_file_count; }

int ArchiveReferenceCount(const std::string& archive_path) {
  for (const auto& slot : g_archives) {
    if (slot && slot->path == archive_path) return slot->reference_count;
  }
  return -1;
}
