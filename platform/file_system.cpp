// Windows path semantics over POSIX files: Shift-JIS engine paths are split
// into elements (a 0x5C trail byte stays inside its character), "." and ".."
// are applied lexically, and every element is matched case-insensitively
// against the names in its folder. The engine's current folder lives here as
// a list of native (UTF-8) elements.
#include "platform/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/text_encoding.h"

namespace platform {
namespace {

bool IsLead(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A path split into its parts. drive_relative covers "C:name" (relative to
// the current folder, since there is only one drive).
struct SplitPath {
  bool absolute = false;
  bool trailing_separator = false;
  std::vector<std::string> elements;  // Shift-JIS, empty elements dropped
};

std::optional<SplitPath> SplitEnginePath(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
  SplitPath split;
  size_t pos = 0;
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') pos = 2;
  if (pos < path.size() && IsSeparator(path[pos])) split.absolute = true;
  std::string current;
  bool last_was_separator = false;
  while (pos < path.size()) {
    unsigned char byte = static_cast<unsigned char>(path[pos]);
    if (IsLead(byte) && pos + 1 < path.size()) {
      current.push_back(path[pos]);
      current.push_back(path[pos + 1]);
      pos += 2;
      last_was_separator = false;
      continue;
    }
    if (IsSeparator(path[pos])) {
      if (!current.empty()) split.elements.push_back(std::move(current));
      current.clear();
      last_was_separator = true;
    } else {
      current.push_back(path[pos]);
      last_was_separator = false;
    }
    ++pos;
  }
  if (!current.empty()) split.elements.push_back(std::move(current));
  split.trailing_separator = last_was_separator;
  return split;
}

// One element of a native path under construction; resolved elements are
// already the exact names on disk.
struct NativeElement {
  std::string name;
  bool resolved;
};

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

std::string JoinNative(const std::vector<NativeElement>& elements) {
  if (elements.empty()) return "/";
  std::string joined;
  for (const NativeElement& element : elements) {
    joined.push_back('/');
    joined += element.name;
  }
  return joined;
}

std::string JoinNative(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The engine's current folder.
std::mutex g_folder_mutex;
bool g_folder_known = false;
std::vector<std::string> g_folder_elements;

std::vector<std::string> CurrentFolderElements() {
  std::lock_guard<std::mutex> lock(g_folder_mutex);
  if (!g_folder_known) {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr && errno == ERANGE) {
      buffer.resize(buffer.size() * 2);
    }
    buffer.back() = '\0';
    g_folder_elements = SplitNative(buffer.data());
    g_folder_known = true;
  }
  return g_folder_elements;
}

// The lexical native form of a path: current folder (for relative paths)
// followed by the path's elements, "." dropped and ".." removing one level.
std::optional<std::vector<NativeElement>> LexicalElements(std::string_view path,
                                                          bool* trailing_separator = nullptr) {
  std::optional<SplitPath> split = SplitEnginePath(path);
  if (!split) return std::nullopt;
  std::vector<NativeElement> elements;
  if (!split->absolute) {
    for (std::string& name : CurrentFolderElements()) elements.push_back({std::move(name), true});
  }
  for (const std::string& element : split->elements) {
    if (element == ".") continue;
    if (element == "..") {
      if (!elements.empty()) elements.pop_back();
      continue;
    }
    elements.push_back({SjisToUtf8(element), false});
  }
  if (trailing_separator != nullptr) *trailing_separator = split->trailing_separator;
  return elements;
}

// Appends the UTF-8 encoding of a code point.
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

// Lower-case fold of the letters that code page 932 can name: ASCII,
// full-width Latin, Greek and Cyrillic.
char32_t FoldCodePoint(char32_t code) {
  if (code >= 'A' && code <= 'Z') return code + 0x20;
  if (code >= 0xFF21 && code <= 0xFF3A) return code + 0x20;
  if (code >= 0x0391 && code <= 0x03A9 && code != 0x03A2) return code + 0x20;
  if (code >= 0x0410 && code <= 0x042F) return code + 0x20;
  if (code >= 0x0400 && code <= 0x040F) return code + 0x50;
  return code;
}

// Case-folded copy of a UTF-8 name; bytes outside well-formed sequences are
// kept as they are.
std::string FoldName(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  size_t pos = 0;
  while (pos < name.size()) {
    unsigned char lead = static_cast<unsigned char>(name[pos]);
    size_t length = 0;
    if (lead < 0x80) length = 1;
    else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
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
    char32_t code = length == 1 ? lead : (lead & (0xFF >> (length + 1)));
    for (size_t i = 1; i < length; ++i) {
      code = (code << 6) | (static_cast<unsigned char>(name[pos + i]) & 0x3F);
    }
    AppendUtf8(folded, FoldCodePoint(code));
    pos += length;
  }
  return folded;
}

// True when candidate folds to wanted (the fold of name). Names of ASCII
// alone are compared in place, without building the folded copy.
bool SameFolded(std::string_view candidate, std::string_view name, const std::string& wanted) {
  bool ascii = true;
  for (size_t i = 0; i < candidate.size() && ascii; ++i) {
    unsigned char a = static_cast<unsigned char>(candidate[i]);
    unsigned char b = static_cast<unsigned char>(name[i]);
    if (a >= 0x80 || b >= 0x80) {
      ascii = false;
    } else if (a != b) {
      if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + 0x20);
      if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 0x20);
      if (a != b) return false;
    }
  }
  return ascii || FoldName(candidate) == wanted;
}

// The name on disk in folder that matches name: the exact name when it
// exists, else the first (in byte order) whose case fold is equal.
std::optional<std::string> MatchInFolder(const std::string& folder, const std::string& name) {
  struct stat info {};
  if (lstat(JoinNative(folder, name).c_str(), &info) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::string wanted = FoldName(name);
  std::optional<std::string> best;
  while (dirent* entry = readdir(dir)) {
    std::string_view candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    // Folding keeps the byte length of every letter it changes, so names of
    // another length never match.
    if (candidate.size() != name.size()) continue;
    if (SameFolded(candidate, name, wanted) && (!best || candidate < *best)) {
      best = std::string(candidate);
    }
  }
  closedir(dir);
  return best;
}

// Resolves elements against the disk; the last one may be missing when
// allow_missing_last is set.
std::optional<std::string> ResolveElements(const std::vector<NativeElement>& elements,
                                           bool allow_missing_last) {
  // Most paths are written with the names' own case: when the literal path
  // exists, every element matches exactly, which is what the walk below
  // would pick as well.
  std::string literal = JoinNative(elements);
  struct stat literal_info {};
  if (lstat(literal.c_str(), &literal_info) == 0) return literal;
  std::string native = "/";
  for (size_t i = 0; i < elements.size(); ++i) {
    const NativeElement& element = elements[i];
    std::string name = element.name;
    if (!element.resolved) {
      std::optional<std::string> match = MatchInFolder(native, name);
      if (!match) {
        if (!(allow_missing_last && i + 1 == elements.size())) return std::nullopt;
        // The parent must be a folder for the new entry to be made there.
        struct stat info {};
        if (stat(native.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
      } else {
        name = *match;
      }
    }
    native = JoinNative(native, name);
  }
  return native;
}

bool StatNative(const std::string& native, struct stat& info) {
  return stat(native.c_str(), &info) == 0;
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
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

 private:
  int fd_;
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

std::string GetCurrentFolder() {
  std::vector<std::string> elements = CurrentFolderElements();
  std::string native;
  for (const std::string& element : elements) native += "/" + element;
  return NativeToEnginePath(native.empty() ? "/" : native);
}

bool SetCurrentFolder(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  if (!native) return false;
  struct stat info {};
  if (!StatNative(*native, info) || !S_ISDIR(info.st_mode)) return false;
  std::vector<std::string> elements = SplitNative(*native);
  std::lock_guard<std::mutex> lock(g_folder_mutex);
  g_folder_elements = std::move(elements);
  g_folder_known = true;
  return true;
}

std::string NativeToEnginePath(std::string_view native_utf8) {
  bool absolute = !native_utf8.empty() && native_utf8[0] == '/';
  std::string engine = absolute ? "C:" : "";
  std::vector<std::string> parts = SplitNative(native_utf8);
  if (parts.empty()) return absolute ? "C:\\" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (absolute || i > 0) engine.push_back('\\');
    engine += Utf8ToSjis(parts[i]);
  }
  return engine;
}

std::string EngineToNativeLexical(std::string_view engine_path) {
  std::optional<std::vector<NativeElement>> elements = LexicalElements(engine_path);
  if (!elements) return std::string();
  return JoinNative(*elements);
}

std::optional<std::string> ResolveExisting(std::string_view path) {
  bool trailing = false;
  std::optional<std::vector<NativeElement>> elements = LexicalElements(path, &trailing);
  if (!elements) return std::nullopt;
  std::optional<std::string> native = ResolveElements(*elements, false);
  if (native && trailing) {
    struct stat info {};
    if (!StatNative(*native, info) || !S_ISDIR(info.st_mode)) return std::nullopt;
  }
  return native;
}

std::optional<std::string> ResolveForCreate(std::string_view path) {
  std::optional<std::vector<NativeElement>> elements = LexicalElements(path);
  if (!elements) return std::nullopt;
  return ResolveElements(*elements, true);
}

std::unique_ptr<File> OpenFile(std::string_view path, OpenMode mode) {
  bool creating = mode == OpenMode::kCreate || mode == OpenMode::kCreateNew ||
                  mode == OpenMode::kOpenAlways;
  bool trailing = false;
  if (!LexicalElements(path, &trailing) || trailing) return nullptr;
  std::optional<std::string> native = creating ? ResolveForCreate(path) : ResolveExisting(path);
  if (!native) return nullptr;
  int flags = O_CLOEXEC | O_NONBLOCK;
  switch (mode) {
    case OpenMode::kRead: flags |= O_RDONLY; break;
    case OpenMode::kReadWrite: flags |= O_RDWR; break;
    case OpenMode::kCreate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case OpenMode::kCreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    case OpenMode::kOpenAlways: flags |= O_WRONLY | O_CREAT; break;
  }
  int fd = open(native->c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  // Only regular files: a folder, pipe or device in a game folder is not a
  // data file (and a pipe would block every later read).
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  int status = fcntl(fd, F_GETFL);
  if (status >= 0) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return std::make_unique<PosixFile>(fd);
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
  return unlink(native->c_str()) == 0;
}

bool RenameFile(std::string_view from, std::string_view to) {
  std::optional<std::string> source = ResolveExisting(from);
  if (!source) return false;
  std::optional<std::string> target = ResolveForCreate(to);
  if (!target) return false;
  return rename(source->c_str(), target->c_str()) == 0;
}

bool CreateFolder(std::string_view path) {
  std::optional<std::string> native = ResolveForCreate(path);
  if (!native) return false;
  return mkdir(native->c_str(), 0777) == 0;
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
  return NativeToEnginePath(buffer.data());
}

}  // namespace platform
