// Windows path semantics over POSIX files: Shift-JIS engine paths are split
// into elements (a 0x5C trail byte stays inside its character), "." and ".."
// are applied lexically below the path's drive, and every element below the
// drive's folder is matched case-insensitively against the names in its
// folder (platform/directory_cache.h). The drive table and the engine's
// current folder (a drive and the exact native names below its folder) live
// here.
#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <unordered_map>

#include "platform/directory_cache.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

bool IsLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

struct PathKeyHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char UpperDrive(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr char kRootDrive = 'C';
// Drives handed out to folders the engine could not otherwise name.
constexpr std::string_view kAliasDrives = "ZYXWVUTSRQPONMLKJIHFED";

std::vector<std::string> SplitNative(std::string_view native) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos < native.size()) {
    size_t next = native.find('/', pos);
    if (next == std::string_view::npos) next = native.size();
    if (next > pos) parts.emplace_back(native.substr(pos, next - pos));
    pos = next + 1;
  }
  return parts;
}

std::string JoinNative(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string JoinElements(const std::vector<std::string>& elements, size_t count) {
  if (count == 0) return "/";
  std::string joined;
  for (size_t i = 0; i < count; ++i) {
    joined.push_back('/');
    joined += elements[i];
  }
  return joined;
}

// The drive table and the engine's current folder.
struct FolderState {
  std::mutex mutex;
  // Native folder of each drive (split into elements); unset drives stand
  // for nothing.
  std::array<std::optional<std::vector<std::string>>, 26> drives;
  std::array<std::string, 26> drive_paths;  // the same folders as native paths
  bool current_known = false;
  char current_drive = kRootDrive;
  std::vector<std::string> current_below;  // exact native names below the drive's folder
  std::string current_engine;              // the same in drive form
  // Grows (under the mutex) whenever a drive or the current folder changes:
  // what an engine path names may then be different.
  std::atomic<uint64_t> version{0};
};

FolderState& Folders() {
  static FolderState* state = [] {
    auto* s = new FolderState;  // never destroyed, as threads may resolve paths at exit
    s->drives[kRootDrive - 'A'] = std::vector<std::string>{};
    s->drive_paths[kRootDrive - 'A'].assign(1, '/');
    return s;
  }();
  return *state;
}

void MapDrive(FolderState& s, char drive, std::vector<std::string> folder) {
  const size_t index = static_cast<size_t>(drive - 'A');
  s.drive_paths[index] = JoinElements(folder, folder.size());
  s.drives[index] = std::move(folder);
  s.version.fetch_add(1, std::memory_order_release);
}

bool DriveMapped(FolderState& s, char drive) {
  return drive >= 'A' && drive <= 'Z' && s.drives[static_cast<size_t>(drive - 'A')].has_value();
}

// A native name the engine can spell: it converts to code page 932 and back
// unchanged, and holds no separator of the engine's paths.
bool Spellable(const std::string& name) {
  const std::string sjis = Utf8ToSjis(name);
  if (SjisToUtf8(sjis) != name) return false;
  for (size_t pos = 0; pos < sjis.size(); ++pos) {
    const unsigned char byte = static_cast<unsigned char>(sjis[pos]);
    if (IsLead(byte) && pos + 1 < sjis.size()) {
      ++pos;
      continue;
    }
    if (IsSeparator(sjis[pos])) return false;
  }
  return true;
}

// The drive standing for exactly this native folder, giving it a new one
// when it has none; 0 when every drive is taken.
char DriveFor(FolderState& s, const std::vector<std::string>& folder) {
  for (char drive : kAliasDrives) {
    const auto& mapped = s.drives[static_cast<size_t>(drive - 'A')];
    if (mapped && *mapped == folder) return drive;
  }
  for (char drive : kAliasDrives) {
    if (!s.drives[static_cast<size_t>(drive - 'A')]) {
      MapDrive(s, drive, folder);
      return drive;
    }
  }
  return 0;
}

std::string Compose(char drive, const std::vector<std::string>& below) {
  std::string engine{drive, ':', '\\'};
  for (size_t i = 0; i < below.size(); ++i) {
    if (i > 0) engine.push_back('\\');
    engine += Utf8ToSjis(below[i]);
  }
  return engine;
}

// How the engine sees a native absolute path.
struct Presented {
  char drive = 0;
  std::vector<std::string> below;  // native names below the drive's folder
  std::string engine;
};

std::optional<Presented> Present(FolderState& s, const std::vector<std::string>& native) {
  // The drive whose folder is the deepest one holding the path; the game's
  // drive before others of the same depth, the root drive last.
  Presented p;
  size_t depth = 0;
  for (char drive = 'A'; drive <= 'Z'; ++drive) {
    const auto& folder = s.drives[static_cast<size_t>(drive - 'A')];
    if (!folder || folder->size() > native.size()) continue;
    if (!std::equal(folder->begin(), folder->end(), native.begin())) continue;
    const bool deeper = p.drive == 0 || folder->size() > depth;
    const bool preferred = folder->size() == depth &&
                           (drive == kGameFolderDrive || (p.drive == kRootDrive && drive != kRootDrive));
    if (deeper || preferred) {
      p.drive = drive;
      depth = folder->size();
    }
  }
  if (p.drive == 0) return std::nullopt;
  // The folder through the last name the engine cannot spell gets a drive.
  size_t unspellable = native.size();
  for (size_t i = depth; i < native.size(); ++i) {
    if (!Spellable(native[i])) unspellable = i;
  }
  if (unspellable < native.size()) {
    p.drive = DriveFor(s, std::vector<std::string>(native.begin(), native.begin() + static_cast<ptrdiff_t>(unspellable) + 1));
    if (p.drive == 0) return std::nullopt;
    depth = unspellable + 1;
  }
  p.below.assign(native.begin() + static_cast<ptrdiff_t>(depth), native.end());
  p.engine = Compose(p.drive, p.below);
  // Too long: the parent folder gets a drive.
  if (p.engine.size() > kMaxPresentedPathLength && p.below.size() >= 2) {
    p.drive = DriveFor(s, std::vector<std::string>(native.begin(), native.end() - 1));
    if (p.drive == 0) return std::nullopt;
    p.below = {native.back()};
    p.engine = Compose(p.drive, p.below);
  }
  return p;
}

bool SetCurrentNative(FolderState& s, const std::vector<std::string>& native) {
  std::optional<Presented> p = Present(s, native);
  if (!p) return false;
  s.current_drive = p->drive;
  s.current_below = std::move(p->below);
  s.current_engine = std::move(p->engine);
  // A drive's own folder ends in a separator; deeper folders do not.
  if (!s.current_below.empty() && s.current_engine.back() == '\\') s.current_engine.pop_back();
  s.current_known = true;
  s.version.fetch_add(1, std::memory_order_release);
  return true;
}

void EnsureCurrentFolder(FolderState& s) {
  if (s.current_known) return;
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr && errno == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  buffer.back() = '\0';
  if (!SetCurrentNative(s, SplitNative(buffer.data()))) {
    s.current_drive = kRootDrive;
    s.current_below.clear();
    s.current_engine = "C:\\";
    s.current_known = true;
    s.version.fetch_add(1, std::memory_order_release);
  }
}

// A path before its elements are matched: the drive's folder (exact) and
// the elements below it, "." and ".." applied. Elements taken from the
// current folder are exact native names; the others are the engine's
// Shift-JIS text. The views point into the path and into current_names, so
// a LexicalPath lives no longer than the path it was made from; each thread
// keeps one, so that parsing allocates nothing once warm.
struct LexicalElement {
  std::string_view text;
  bool native;  // an exact native name (from the current folder)
};

struct LexicalPath {
  std::string root;
  std::vector<std::string> current_names;  // the current folder's names below its drive
  std::vector<LexicalElement> elements;
  bool trailing_separator = false;
};

// The current folder applies to a relative path, and to "X:name" when X is
// the current folder's drive (other drives' current folder is their own);
// "." is dropped and ".." removes one level, never the drive's folder.
bool Lexical(std::string_view path, LexicalPath& lexical) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  size_t pos = 0;
  char drive = 0;
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
    drive = UpperDrive(path[0]);
    pos = 2;
  }
  const bool absolute = pos < path.size() && IsSeparator(path[pos]);
  lexical.elements.clear();
  {
    FolderState& s = Folders();
    std::lock_guard<std::mutex> lock(s.mutex);
    EnsureCurrentFolder(s);
    if (drive == 0) drive = s.current_drive;
    if (!DriveMapped(s, drive)) return false;
    lexical.root = s.drive_paths[static_cast<size_t>(drive - 'A')];
    if (!absolute && drive == s.current_drive) {
      lexical.current_names = s.current_below;  // reuses the strings' storage
    } else {
      lexical.current_names.clear();
    }
  }
  for (const std::string& name : lexical.current_names) lexical.elements.push_back({name, true});
  bool last_was_separator = false;
  while (pos < path.size()) {
    // One element: up to the next separator outside a double-byte character.
    const size_t start = pos;
    while (pos < path.size() && !IsSeparator(path[pos])) {
      pos += IsLead(static_cast<unsigned char>(path[pos])) && pos + 1 < path.size() ? 2 : 1;
    }
    const std::string_view element = path.substr(start, pos - start);
    last_was_separator = pos < path.size();
    if (last_was_separator) ++pos;
    if (element.empty() || element == ".") continue;
    if (element == "..") {
      if (!lexical.elements.empty()) lexical.elements.pop_back();
      continue;
    }
    lexical.elements.push_back({element, false});
  }
  lexical.trailing_separator = last_was_separator;
  return true;
}

// The UTF-8 form of an element: the text itself when it is native or ASCII
// (code page 932 keeps those bytes), else converted into buffer.
std::string_view NativeText(const LexicalElement& element, std::string& buffer) {
  if (element.native) return element.text;
  for (char c : element.text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      buffer = SjisToUtf8(element.text);
      return buffer;
    }
  }
  return element.text;
}

void AppendNative(std::string& native, std::string_view name) {
  if (native.empty() || native.back() != '/') native.push_back('/');
  native.append(name);
}

std::string JoinLexical(const LexicalPath& lexical) {
  std::string native = lexical.root;
  std::string buffer;
  for (const LexicalElement& element : lexical.elements) AppendNative(native, NativeText(element, buffer));
  return native;
}

// What this thread found of the paths it resolved, keyed by the drive's
// folder and the elements as asked (so "DATA" and "data" are kept apart:
// either may match a different name exactly): the native path, or that the
// last element was missing from its listed folder. Folders keep their
// listing once read. The answers stand only while the listings they came
// from do (the cache's generation); a change anywhere drops them all.
struct ResolvedEntry {
  bool exists = false;
  std::string native;  // the path found, or (missing) the one to create
  const DirectoryLookup::Listing* listing = nullptr;  // a folder's listing, once read
};

// The answer for an engine path as the caller gave it, under the drives and
// current folder it was resolved with.
struct PathAnswer {
  bool resolved = false;
  bool existed = false;  // the whole path was found (not only its folder)
  bool trailing_separator = false;
  std::string native;
};

struct ResolveMemo {
  uint64_t generation = ~uint64_t{0};
  uint64_t folders_version = ~uint64_t{0};
  std::unordered_map<std::string, ResolvedEntry, PathKeyHash, std::equal_to<>> entries;
  std::unordered_map<std::string, PathAnswer, PathKeyHash, std::equal_to<>> answers;
  std::string asked;         // the engine path being resolved, and how
  PathAnswer scratch;        // an answer that cannot be kept
  std::string key;           // the path being resolved, in key form
  std::vector<size_t> ends;  // key length through the root (ends[0]) and each element
  std::string converted;     // an element's UTF-8 form
};
thread_local ResolveMemo t_memo;
thread_local LexicalPath t_lexical;

// More answers than this are not kept: the memo starts again empty.
constexpr size_t kMaxResolvedEntries = 8192;

// The key of the path: the root, then each element after a separator and a
// mark of its kind ('/' cannot occur inside an element of either kind).
void BuildKey(const LexicalPath& lexical, ResolveMemo& memo) {
  memo.key.assign(lexical.root);
  memo.key.push_back('\0');
  memo.ends.clear();
  memo.ends.push_back(memo.key.size());
  for (const LexicalElement& element : lexical.elements) {
    memo.key.push_back('/');
    memo.key.push_back(element.native ? 'n' : 'e');
    memo.key.append(element.text);
    memo.ends.push_back(memo.key.size());
  }
}

// Matches the elements against the disk; the last one may be missing when
// allow_missing_last is set (its folder must exist). The native path is
// written to out, and to existed whether the whole path was found.
bool ResolveLexical(DirectoryLookup& lookup, const LexicalPath& lexical, bool allow_missing_last,
                    std::string& out, bool& existed) {
  ResolveMemo& memo = t_memo;
  BuildKey(lexical, memo);
  const size_t count = lexical.elements.size();
  auto prefix = [&memo](size_t elements) { return std::string_view(memo.key).substr(0, memo.ends[elements]); };

  // The deepest part of the path already known.
  size_t known = count;
  ResolvedEntry* entry = nullptr;
  for (;;) {
    auto found = memo.entries.find(prefix(known));
    if (found != memo.entries.end()) {
      entry = &found->second;
      break;
    }
    if (known == 0) break;
    --known;
  }
  if (entry == nullptr) {
    entry = &memo.entries.emplace(std::string(prefix(0)), ResolvedEntry{true, lexical.root, nullptr}).first->second;
  }
  bool resolved = false;
  for (size_t i = known;; ++i) {
    if (!entry->exists) {
      // Only a missing last element is kept as such; its folder was listed.
      resolved = allow_missing_last && i == count;
      if (resolved) out = entry->native;
      break;
    }
    if (i == count) {
      out = entry->native;
      resolved = true;
      existed = true;
      break;
    }
    const LexicalElement& element = lexical.elements[i];
    ResolvedEntry next;
    next.native = entry->native;
    if (element.native) {
      next.exists = true;
      AppendNative(next.native, element.text);
    } else {
      if (entry->listing == nullptr) entry->listing = lookup.List(entry->native);
      if (entry->listing == nullptr) break;  // not a folder, or unreadable: nothing kept
      const std::string_view name = NativeText(element, memo.converted);
      const std::string* on_disk = lookup.FindIn(*entry->listing, name);
      next.exists = on_disk != nullptr;
      AppendNative(next.native, on_disk != nullptr ? std::string_view(*on_disk) : name);
    }
    entry = &memo.entries.emplace(std::string(prefix(i + 1)), std::move(next)).first->second;
  }
  return resolved;
}

// Resolves an engine path (see ResolveLexical), answering from the memo
// when this thread asked the same before and nothing has changed since.
// The answer stays valid until the thread's next resolution.
const PathAnswer* ResolvePath(std::string_view path, bool allow_missing_last) {
  DirectoryLookup lookup;
  const uint64_t generation = lookup.Generation();
  const uint64_t folders_version = Folders().version.load(std::memory_order_acquire);
  ResolveMemo& memo = t_memo;
  if (memo.generation != generation || memo.folders_version != folders_version ||
      memo.entries.size() >= kMaxResolvedEntries || memo.answers.size() >= kMaxResolvedEntries) {
    memo.entries.clear();
    memo.answers.clear();
    memo.generation = generation;
    memo.folders_version = folders_version;
  }
  memo.asked.assign(path);
  memo.asked.push_back(allow_missing_last ? 'c' : 'x');
  auto known = memo.answers.find(std::string_view(memo.asked));
  if (known != memo.answers.end()) return &known->second;
  LexicalPath& lexical = t_lexical;
  if (!Lexical(path, lexical)) return nullptr;  // no answer kept: unusable paths are rare
  PathAnswer answer;
  answer.trailing_separator = lexical.trailing_separator;
  answer.resolved = ResolveLexical(lookup, lexical, allow_missing_last, answer.native, answer.existed);
  // A folder that could not be kept was read on the way: nothing is kept.
  if (lookup.Generation() != generation) {
    memo.generation = ~uint64_t{0};
    memo.scratch = std::move(answer);
    return &memo.scratch;
  }
  return &memo.answers.emplace(memo.asked, std::move(answer)).first->second;
}

bool StatNative(const std::string& native, struct stat& info) {
  return stat(native.c_str(), &info) == 0;
}

// Tells the listings that the program changed the entry at native.
void NoteChanged(const std::string& native) {
  const size_t cut = native.rfind('/');
  if (cut == std::string::npos) return;
  NoteFolderEntryChanged(cut == 0 ? std::string("/") : native.substr(0, cut), std::string_view(native).substr(cut + 1));
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, int64_t size_at_open) : fd_(fd), size_at_open_(size_at_open) {}
  ~PosixFile() override { close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  int64_t Read(void* buffer, int64_t size) override {
    if (size < 0 || (buffer == nullptr && size > 0)) return -1;
    int64_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < size) {
      size_t chunk = static_cast<size_t>(std::min<int64_t>(size - done, 1 << 30));
      ssize_t got = read(fd_, out + done, chunk);
      if (got < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? done : -1;
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  int64_t ReadAt(void* buffer, int64_t size, int64_t offset) override {
    if (size < 0 || offset < 0 || (buffer == nullptr && size > 0)) return -1;
    int64_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < size) {
      size_t chunk = static_cast<size_t>(std::min<int64_t>(size - done, 1 << 30));
      ssize_t got = pread(fd_, out + done, chunk, static_cast<off_t>(offset + done));
      if (got < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? done : -1;
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  int64_t Write(const void* buffer, int64_t size) override {
    if (size < 0 || (buffer == nullptr && size > 0)) return -1;
    int64_t done = 0;
    const char* in = static_cast<const char*>(buffer);
    while (done < size) {
      size_t chunk = static_cast<size_t>(std::min<int64_t>(size - done, 1 << 30));
      ssize_t put = write(fd_, in + done, chunk);
      if (put < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? done : -1;
      }
      if (put == 0) break;
      done += put;
    }
    return done;
  }

  int64_t Seek(int64_t offset, int origin) override {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) return -1;
    off_t result = lseek(fd_, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<int64_t>(result);
  }

  int64_t Tell() override {
    off_t result = lseek(fd_, 0, SEEK_CUR);
    return result < 0 ? -1 : static_cast<int64_t>(result);
  }

  int64_t Size() override {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
  }

  int64_t SizeAtOpen() const override { return size_at_open_; }

 private:
  int fd_;
  int64_t size_at_open_;
};

// One comparable unit of a Shift-JIS name: a byte, or a lead and trail byte
// pair; letters folded to upper case (ASCII and full-width Latin).
std::vector<uint16_t> WildcardTokens(std::string_view text) {
  std::vector<uint16_t> tokens;
  tokens.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    unsigned char byte = static_cast<unsigned char>(text[pos]);
    if (IsLead(byte) && pos + 1 < text.size()) {
      uint16_t code = static_cast<uint16_t>((byte << 8) | static_cast<unsigned char>(text[pos + 1]));
      if (code >= 0x8281 && code <= 0x829A) code = static_cast<uint16_t>(code - 0x21);
      tokens.push_back(code);
      pos += 2;
    } else {
      if (byte >= 'a' && byte <= 'z') byte = static_cast<unsigned char>(byte - 0x20);
      tokens.push_back(byte);
      ++pos;
    }
  }
  return tokens;
}

bool MatchTokens(const std::vector<uint16_t>& pattern, size_t pattern_size,
                 const std::vector<uint16_t>& name) {
  size_t p = 0, n = 0;
  size_t star_p = SIZE_MAX, star_n = 0;
  while (n < name.size()) {
    if (p < pattern_size && pattern[p] == '*') {
      star_p = p++;
      star_n = n;
    } else if (p < pattern_size && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star_p != SIZE_MAX) {
      p = star_p + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern_size && pattern[p] == '*') ++p;
  return p == pattern_size;
}

}  // namespace

FileLookupBatch::FileLookupBatch() { BeginLookupBatch(); }

uint64_t FileLookupStamp() {
  DirectoryLookup lookup;
  // Both only grow, so their sum changes whenever either does.
  return lookup.Generation() + Folders().version.load(std::memory_order_acquire);
}
FileLookupBatch::~FileLookupBatch() { EndLookupBatch(); }

std::string GetCurrentFolder() {
  FolderState& s = Folders();
  std::lock_guard<std::mutex> lock(s.mutex);
  EnsureCurrentFolder(s);
  return s.current_engine;
}

bool SetCurrentFolder(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  if (!native) return false;
  struct stat info {};
  if (!StatNative(*native, info) || !S_ISDIR(info.st_mode)) return false;
  FolderState& s = Folders();
  std::lock_guard<std::mutex> lock(s.mutex);
  return SetCurrentNative(s, SplitNative(*native));
}

bool SetGameFolder(std::string_view native_folder) {
  if (native_folder.empty() || native_folder[0] != '/') return false;
  FolderState& s = Folders();
  std::lock_guard<std::mutex> lock(s.mutex);
  MapDrive(s, kGameFolderDrive, SplitNative(native_folder));
  return true;
}

std::string NativeToEnginePath(std::string_view native_utf8) {
  std::vector<std::string> parts = SplitNative(native_utf8);
  if (native_utf8.empty() || native_utf8[0] != '/') {
    std::string engine;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) engine.push_back('\\');
      engine += Utf8ToSjis(parts[i]);
    }
    return engine;
  }
  FolderState& s = Folders();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::optional<Presented> p = Present(s, parts);
  return p ? p->engine : std::string();
}

std::string EngineToNativeLexical(std::string_view engine_path) {
  LexicalPath& lexical = t_lexical;
  if (!Lexical(engine_path, lexical)) return std::string();
  return JoinLexical(lexical);
}

std::optional<std::string> ResolveExisting(std::string_view path) {
  const PathAnswer* answer = ResolvePath(path, false);
  if (answer == nullptr || !answer->resolved) return std::nullopt;
  std::string native = answer->native;
  if (answer->trailing_separator) {
    struct stat info {};
    if (!StatNative(native, info) || !S_ISDIR(info.st_mode)) return std::nullopt;
  }
  return native;
}

std::optional<std::string> ResolveForCreate(std::string_view path) {
  const PathAnswer* answer = ResolvePath(path, true);
  if (answer == nullptr || !answer->resolved) return std::nullopt;
  return answer->native;
}

std::unique_ptr<File> OpenFile(std::string_view path, OpenMode mode) {
  const bool creating = mode == OpenMode::kCreate || mode == OpenMode::kCreateNew ||
                        mode == OpenMode::kOpenAlways;
  const PathAnswer* answer = ResolvePath(path, creating);
  if (answer == nullptr || !answer->resolved || answer->trailing_separator) return nullptr;
  const std::string& native = answer->native;
  const bool existed = answer->existed;
  // Not blocking on a pipe or device met by mistake; regular files ignore
  // the flag, so it stays.
  int flags = O_CLOEXEC | O_NONBLOCK;
  switch (mode) {
    case OpenMode::kRead: flags |= O_RDONLY; break;
    case OpenMode::kReadWrite: flags |= O_RDWR; break;
    case OpenMode::kCreate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case OpenMode::kCreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    case OpenMode::kOpenAlways: flags |= O_WRONLY | O_CREAT; break;
  }
  int fd = open(native.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  // Opening a file that was listed changes no folder; a new one is told to
  // the listings at once.
  if (creating && !existed) NoteChanged(native);
  // Only regular files: a folder, pipe or device in a game folder is not a
  // data file.
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, static_cast<int64_t>(info.st_size));
}

bool FileExists(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  struct stat info {};
  return native && StatNative(*native, info) && S_ISREG(info.st_mode);
}

bool FolderExists(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  struct stat info {};
  return native && StatNative(*native, info) && S_ISDIR(info.st_mode);
}

std::optional<int64_t> FileSize(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  struct stat info {};
  if (!native || !StatNative(*native, info) || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<int64_t>(info.st_size);
}

bool DeleteFile(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  struct stat info {};
  if (!native || lstat(native->c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (unlink(native->c_str()) != 0) return false;
  NoteChanged(*native);
  return true;
}

bool RenameFile(std::string_view from, std::string_view to) {
  std::optional<std::string> source = ResolveExisting(from);
  if (!source) return false;
  std::optional<std::string> target = ResolveForCreate(to);
  if (!target) return false;
  if (rename(source->c_str(), target->c_str()) != 0) return false;
  NoteChanged(*source);
  NoteChanged(*target);
  return true;
}

bool CreateFolder(std::string_view path) {
  std::optional<std::string> native = ResolveForCreate(path);
  if (!native) return false;
  if (mkdir(native->c_str(), 0777) != 0) return false;
  NoteChanged(*native);
  return true;
}

std::optional<uint64_t> FreeDiskSpace(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  if (!native) return std::nullopt;
  struct statvfs info {};
  if (statvfs(native->c_str(), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

std::vector<FindEntry> FindFiles(std::string_view pattern) {
  std::vector<FindEntry> found;
  if (pattern.empty() || pattern.find('\0') != std::string_view::npos) return found;
  // Split off the last element, stepping over double-byte characters.
  size_t name_start = 0;
  for (size_t pos = 0; pos < pattern.size();) {
    unsigned char byte = static_cast<unsigned char>(pattern[pos]);
    if (IsLead(byte) && pos + 1 < pattern.size()) {
      pos += 2;
      continue;
    }
    if (IsSeparator(pattern[pos])) name_start = pos + 1;
    ++pos;
  }
  std::string_view folder_part = pattern.substr(0, name_start);
  std::string_view name_pattern = pattern.substr(name_start);
  if (name_start == 0 && pattern.size() >= 2 && IsAsciiLetter(pattern[0]) && pattern[1] == ':') {
    folder_part = pattern.substr(0, 2);
    name_pattern = pattern.substr(2);
  }
  if (name_pattern.empty()) return found;
  std::optional<std::string> folder =
      ResolveExisting(folder_part.empty() ? std::string_view(".") : folder_part);
  if (!folder) return found;
  DIR* dir = opendir(folder->c_str());
  if (dir == nullptr) return found;
  while (dirent* entry = readdir(dir)) {
    std::string_view native_name = entry->d_name;
    if (native_name == "." || native_name == "..") continue;
    std::string name = Utf8ToSjis(native_name);
    if (!WildcardMatch(name_pattern, name)) continue;
    struct stat info {};
    if (stat(JoinNative(*folder, std::string(native_name)).c_str(), &info) != 0) continue;
    FindEntry item;
    item.name = std::move(name);
    item.is_folder = S_ISDIR(info.st_mode);
    item.size = item.is_folder ? 0 : static_cast<uint64_t>(info.st_size);
    item.write_time = static_cast<int64_t>(info.st_mtime);
    found.push_back(std::move(item));
  }
  closedir(dir);
  // Listed in a fixed order (letters compared without case), as a sorted
  // directory index lists them.
  std::sort(found.begin(), found.end(), [](const FindEntry& a, const FindEntry& b) {
    std::vector<uint16_t> ka = WildcardTokens(a.name), kb = WildcardTokens(b.name);
    if (ka != kb) return ka < kb;
    return a.name < b.name;
  });
  return found;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  std::vector<uint16_t> p = WildcardTokens(pattern);
  std::vector<uint16_t> n = WildcardTokens(name);
  // A final ".*" also matches a name without an extension ("*.*" matches
  // every name, "readme.*" matches "readme").
  if (p.size() >= 2 && p[p.size() - 2] == '.' && p.back() == '*' &&
      MatchTokens(p, p.size() - 2, n)) {
    return true;
  }
  return MatchTokens(p, p.size(), n);
}

std::string CreateTempFile(std::string_view prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::string clean;
  for (char c : SjisToUtf8(prefix)) {
    if (c != '/' && c != '\\') clean.push_back(c);
  }
  std::string templ = JoinNative(folder, clean + "XXXXXX.tmp");
  std::vector<char> buffer(templ.begin(), templ.end());
  buffer.push_back('\0');
  int fd = mkstemps(buffer.data(), 4);
  if (fd < 0) return std::string();
  close(fd);
  NoteChanged(buffer.data());
  return NativeToEnginePath(buffer.data());
}

}  // namespace platform
