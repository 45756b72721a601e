// Files and folders with Windows path semantics on a POSIX file system.
//
// Engine paths are Shift-JIS byte strings. '\' and '/' both separate path
// elements (a 0x5C trail byte of a double-byte character is part of that
// character, never a separator). A path is relative to the engine's current
// folder, or absolute in drive form ("X:\a\b"). Drives stand for native
// folders and are matched exactly as the system names them; below a
// drive's folder each element is matched case-insensitively against the
// names on disk (ASCII and full-width letters alike, through case folding of
// the converted name), and ".." never climbs above the drive's folder.
//   C:  the native root "/", so native "/work/x" is "C:\work\x".
//   G:  the game's folder, once SetGameFolder has named it.
//   others: folders the engine could not otherwise name. A native path is
//       presented below the drive of the deepest folder that contains it;
//       when an element's name cannot be spelt in code page 932 (so it
//       would not map back), the folder through that element gets a drive
//       of its own, and so does the parent of a path longer than
//       kMaxPresentedPathLength bytes. Such drives stay for the whole run,
//       so every path the engine holds maps back to the same native path.
// The engine's current folder is kept here; it starts as the process's
// current folder and changing it never changes the process's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Presented paths longer than this many bytes are shortened by giving
// their parent folder a drive.
inline constexpr size_t kMaxPresentedPathLength = 160;
// The drive of the game's folder.
inline constexpr char kGameFolderDrive = 'G';

// Current folder in drive form, without a trailing separator
// ("C:\work\game"); a drive's own folder ends in one ("G:\").
std::string GetCurrentFolder();
// Changes the engine's current folder; false when the folder does not exist.
bool SetCurrentFolder(std::string_view path);

// Names the game's folder (a native absolute path): drive G stands for it
// from now on. False for a path that is not absolute.
bool SetGameFolder(std::string_view native_folder);

// Drive form of a native path (absolute paths as above; a relative path is
// only converted), and back. NativeToEnginePath gives "" when no drive is
// left for a folder that needs one; EngineToNativeLexical gives "" for an
// unusable path or a drive that stands for nothing.
std::string NativeToEnginePath(std::string_view native_utf8);
std::string EngineToNativeLexical(std::string_view engine_path);

// The native path of an existing file or folder, every element below the
// drive's folder matched case-insensitively; nullopt when some element does
// not exist. The folders met are listed once and the listings kept
// (directory_cache.h), so a look-up reads no folder it has read before.
std::optional<std::string> ResolveExisting(std::string_view path);
// The native path to create a file or folder at: existing elements matched
// as above, a missing last one converted as written. nullopt when its
// folder is missing.
std::optional<std::string> ResolveForCreate(std::string_view path);

// Look-ups made on this thread while a batch lives share one view of the
// folders: changes made by others after the batch's first look-up may go
// unseen until it ends (the program's own changes are seen at once). For a
// run of look-ups that changes nothing, such as an archive search and the
// open that follows it. Batches nest.
class FileLookupBatch {
 public:
  FileLookupBatch();
  ~FileLookupBatch();
  FileLookupBatch(const FileLookupBatch&) = delete;
  FileLookupBatch& operator=(const FileLookupBatch&) = delete;
};

// A value that changes whenever an answer of the look-ups above may have
// changed since it was taken: a folder changed (by this program or another),
// or a drive or the current folder did. Taking it reads the waiting change
// notifications (once per FileLookupBatch), so an answer kept under an equal
// value is the answer a look-up would give now.
uint64_t FileLookupStamp();

enum class OpenMode {
  kRead,          // existing file, read only
  kReadWrite,     // existing file
  kCreate,        // create or truncate, write only
  kCreateNew,     // fail when it exists
  kOpenAlways,    // open or create, write only, position 0
};

class File {
 public:
  virtual ~File() = default;
  // Bytes actually read / written; -1 on error.
  virtual int64_t Read(void* buffer, int64_t size) = 0;
  virtual int64_t Write(const void* buffer, int64_t size) = 0;
  // Bytes read from offset without moving the position; -1 on error.
  virtual int64_t ReadAt(void* buffer, int64_t size, int64_t offset) = 0;
  // origin: 0 begin, 1 current, 2 end. New position, or -1.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Tell() = 0;
  virtual int64_t Size() = 0;
  // The size the file had when it was opened.
  virtual int64_t SizeAtOpen() const = 0;
};

std::unique_ptr<File> OpenFile(std::string_view path, OpenMode mode);

bool FileExists(std::string_view path);      // a file (not a folder)
bool FolderExists(std::string_view path);
std::optional<int64_t> FileSize(std::string_view path);
bool DeleteFile(std::string_view path);
// Replaces the destination when it exists (atomic on one file system).
bool RenameFile(std::string_view from, std::string_view to);
bool CreateFolder(std::string_view path);
std::optional<uint64_t> FreeDiskSpace(std::string_view path);

// One entry found by FindFiles. name is Shift-JIS, the element only.
struct FindEntry {
  std::string name;
  bool is_folder = false;
  uint64_t size = 0;
  int64_t write_time = 0;  // seconds since 1970
};

// Entries of a folder whose names match the pattern's last element with
// Windows wildcards ('*' any run, '?' one character; case-insensitive);
// "." and ".." are not listed. The folder part is resolved as above.
// Entries come sorted by name (letters compared without case), so the order
// does not depend on the file system.
std::vector<FindEntry> FindFiles(std::string_view pattern);

// Windows-style wildcard match of a Shift-JIS name, case-insensitive for
// ASCII letters (and full-width Latin letters). '?' stands for one
// character, single- or double-byte; a final ".*" also matches a name
// without an extension ("*.*" matches every name).
bool WildcardMatch(std::string_view pattern, std::string_view name);

// A new, empty temporary file in the system's temporary folder; returns its
// engine path (drive form) or an empty string.
std::string CreateTempFile(std::string_view prefix);

}  // namespace platform
