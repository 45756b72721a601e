// The installed StreamFunctionTable, the plain set and the stream-level
// helpers built on the table.
#include "engine/core/files/file_stream_table.h"

#include <array>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_stream.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/clock.h"

namespace {

// The archive-aware set is installed from the start.
StreamFunctionTable g_installed = ArchiveStreamFunctions();
bool g_plain_files = false;

const StreamFunctionTable& BuiltinSet(bool plain_files) {
  return plain_files ? PlainStreamFunctions() : ArchiveStreamFunctions();
}

bool SameSlotsButIdleCheck(const StreamFunctionTable& a, const StreamFunctionTable& b) {
  return a.open == b.open && a.close == b.close && a.tell == b.tell && a.seek == b.seek &&
         a.read == b.read && a.eof == b.eof && a.chdir == b.chdir && a.getdir == b.getdir &&
         a.findfirst == b.findfirst && a.findnext == b.findnext && a.findclose == b.findclose;
}

bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void YieldOnce() { platform::GetClock().Sleep(0); }

// Copies text into a kStreamPathBufferSize buffer; false when it does not fit.
bool CopyPath(const std::string& text, char* out) {
  if (text.size() >= static_cast<size_t>(kStreamPathBufferSize)) return false;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

StreamHandle StreamOpen(const char* name, int cache, int ignored, int async) {
  return g_installed.open(name, cache, ignored, async);
}
int StreamClose(StreamHandle handle) { return g_installed.close(handle); }
int32_t StreamTell(StreamHandle handle) { return g_installed.tell(handle); }
int StreamSeek(StreamHandle handle, int32_t offset, int origin) {
  return g_installed.seek(handle, offset, origin);
}
int64_t StreamRead(void* buffer, size_t element_size, size_t count, StreamHandle handle) {
  return g_installed.read(buffer, element_size, count, handle);
}
int StreamEof(StreamHandle handle) { return g_installed.eof(handle); }
int StreamIdleCheck(StreamHandle handle) { return g_installed.idle_check(handle); }
int StreamChDir(const char* path) { return g_installed.chdir(path); }
int StreamGetDir(char* buffer) { return g_installed.getdir(buffer); }
FindHandle StreamFindFirst(const char* pattern, FindEntry* entry) {
  return g_installed.findfirst(pattern, entry);
}
int StreamFindNext(FindHandle search, FindEntry* entry) {
  return g_installed.findnext(search, entry);
}
int StreamFindClose(FindHandle search) { return g_installed.findclose(search); }

int SetStreamFunctions(const StreamFunctionTable* table) {
  g_installed = table != nullptr ? *table : BuiltinSet(g_plain_files);
  return 0;
}

int IsBuiltinStreamFunctions() {
  return SameSlotsButIdleCheck(g_installed, BuiltinSet(g_plain_files)) ? 1 : 0;
}

int SetUseArchive(int flag) {
  const bool plain_files = flag == 0;
  if (plain_files != g_plain_files) {
    const bool was_builtin = IsBuiltinStreamFunctions() == 1;
    g_plain_files = plain_files;
    if (was_builtin) SetStreamFunctions(nullptr);
  }
  return 0;
}

// ---- the plain set ----

namespace {

// The plain set's open files: a slot holds its stream and the check value
// it was opened with.
struct PlainStreamTable {
  std::array<FileStream*, kMaxPlainStreams> streams{};
  std::array<uint32_t, kMaxPlainStreams> checks{};
  HandleCheckCounter counter;
  int open_count = 0;
};
PlainStreamTable g_plain;

constexpr StreamHandle kPlainSlotMask = 0xFFFF;
constexpr int kPlainCheckShift = 16;

// The slot a handle names, or -1 for a handle of no open file.
int PlainSlotOf(StreamHandle handle) {
  if (handle <= 0 || handle > static_cast<StreamHandle>(kHandleSlotMask | kHandleCheckMask)) return -1;
  const int slot = static_cast<int>(handle & kPlainSlotMask) - 1;
  if (slot < 0 || slot >= kMaxPlainStreams || g_plain.streams[static_cast<size_t>(slot)] == nullptr) return -1;
  const uint32_t check = static_cast<uint32_t>(handle >> kPlainCheckShift);
  return check == g_plain.checks[static_cast<size_t>(slot)] ? slot : -1;
}

FileStream* PlainStreamOf(StreamHandle handle) {
  const int slot = PlainSlotOf(handle);
  return slot < 0 ? nullptr : g_plain.streams[static_cast<size_t>(slot)];
}

StreamHandle PlainStreamOpen(const char* name, int cache, int ignored, int async) {
  int slot = 0;
  while (slot < kMaxPlainStreams && g_plain.streams[static_cast<size_t>(slot)] != nullptr) ++slot;
  if (slot >= kMaxPlainStreams) return 0;
  FileStream* stream = OpenFileStream(name, cache, ignored, async);
  if (stream == nullptr) return 0;
  const uint32_t check = g_plain.counter.Take();
  g_plain.streams[static_cast<size_t>(slot)] = stream;
  g_plain.checks[static_cast<size_t>(slot)] = check;
  ++g_plain.open_count;
  return static_cast<StreamHandle>(slot + 1) | (static_cast<StreamHandle>(check) << kPlainCheckShift);
}

int PlainStreamClose(StreamHandle handle) {
  const int slot = PlainSlotOf(handle);
  if (slot < 0) return -1;
  FileStream* stream = g_plain.streams[static_cast<size_t>(slot)];
  g_plain.streams[static_cast<size_t>(slot)] = nullptr;
  --g_plain.open_count;
  return CloseFileStream(stream);
}

int32_t PlainStreamTell(StreamHandle handle) {
  FileStream* stream = PlainStreamOf(handle);
  return stream == nullptr ? -1 : TellFileStream(stream);
}
int PlainStreamSeek(StreamHandle handle, int32_t offset, int origin) {
  FileStream* stream = PlainStreamOf(handle);
  return stream == nullptr ? -1 : SeekFileStream(stream, offset, origin);
}
int64_t PlainStreamRead(void* buffer, size_t element_size, size_t count, StreamHandle handle) {
  FileStream* stream = PlainStreamOf(handle);
  return stream == nullptr ? -1 : ReadFileStream(buffer, element_size, count, stream);
}
int PlainStreamEof(StreamHandle handle) {
  FileStream* stream = PlainStreamOf(handle);
  return stream == nullptr ? -1 : EofFileStream(stream);
}
int PlainStreamIdleCheck(StreamHandle handle) {
  FileStream* stream = PlainStreamOf(handle);
  return stream == nullptr ? -1 : IdleCheckFileStream(stream);
}

int PlainChDir(const char* path) {
  return path != nullptr && platform::SetCurrentFolder(path) ? 1 : 0;
}

int PlainGetDir(char* buffer) {
  const std::string folder = platform::GetCurrentFolder();
  if (!CopyPath(folder, buffer)) return static_cast<int>(folder.size() + 1);
  return static_cast<int>(folder.size());
}

// A search of the plain file system: the entries found, the next one to
// hand out.
struct PlainSearch {
  std::vector<platform::FindEntry> entries;
  size_t next = 0;
};

FindHandle PlainFindFirst(const char* pattern, FindEntry* entry) {
  if (pattern == nullptr) return -1;
  TrackedPtr<PlainSearch> search = MakeTracked<PlainSearch>();
  if (!search) return -1;
  search->entries = platform::FindFiles(pattern);
  if (search->entries.empty()) return -1;
  if (entry != nullptr) FillFindEntry(search->entries[0], entry);
  search->next = 1;
  return reinterpret_cast<FindHandle>(search.release());
}

int PlainFindNext(FindHandle handle, FindEntry* entry) {
  if (handle == -1 || handle == 0) return -1;
  auto* search = reinterpret_cast<PlainSearch*>(handle);
  if (search->next >= search->entries.size()) return -1;
  if (entry != nullptr) FillFindEntry(search->entries[search->next], entry);
  ++search->next;
  return 0;
}

int PlainFindClose(FindHandle handle) {
  if (handle == -1 || handle == 0) return -1;
  TrackedDelete(reinterpret_cast<PlainSearch*>(handle));
  return 0;
}

}  // namespace

const StreamFunctionTable& PlainStreamFunctions() {
  static const StreamFunctionTable kSet = {
      PlainStreamOpen, PlainStreamClose, PlainStreamTell,      PlainStreamSeek,
      PlainStreamRead, PlainStreamEof,   PlainStreamIdleCheck, PlainChDir,
      PlainGetDir,     PlainFindFirst,   PlainFindNext,        PlainFindClose};
  return kSet;
}

int OpenPlainStreamCount() { return g_plain.open_count; }

DateTimeRecord CalendarSecondsToDateTime(int64_t seconds) {
  DateTimeRecord out;
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  if (localtime_r(&t, &parts) == nullptr) return out;
  out.year = parts.tm_year + 1900;
  out.month = parts.tm_mon + 1;
  out.day = parts.tm_mday;
  out.hour = parts.tm_hour;
  out.minute = parts.tm_min;
  out.second = parts.tm_sec;
  return out;
}

void FillFindEntry(const platform::FindEntry& found, FindEntry* entry) {
  *entry = FindEntry{};
  const size_t n = std::min(found.name.size(), sizeof(entry->name) - 1);
  std::memcpy(entry->name, found.name.data(), n);
  entry->directory = found.is_folder ? 1 : 0;
  entry->size_low = static_cast<int32_t>(static_cast<uint32_t>(found.size));
  entry->size_high = static_cast<int32_t>(static_cast<uint32_t>(found.size >> 32));
  // The file system keeps no creation time; the last write stands in for it.
  entry->creation_time = CalendarSecondsToDateTime(found.write_time);
  entry->last_write_time = entry->creation_time;
}

// ---- helpers on the installed table ----

int IsStreamAtEnd(StreamHandle handle) {
  const int32_t p = StreamTell(handle);
  StreamSeek(handle, 0, 2);
  const int32_t e = StreamTell(handle);
  StreamSeek(handle, p, 0);
  return p == e ? 1 : 0;
}

namespace {

// Reads up to size bytes and waits until the stream has delivered them.
int64_t ReadAndSettle(char* buffer, int64_t size, StreamHandle handle) {
  const int64_t got = StreamRead(buffer, 1, static_cast<size_t>(size), handle);
  while (StreamIdleCheck(handle) == 0) YieldOnce();
  return got < 0 ? 0 : got;
}

}  // namespace

int ReadStreamLine(char* buffer, int buffer_size, StreamHandle handle) {
  if (buffer == nullptr || buffer_size < 2) return -1;
  if (StreamEof(handle) != 0) return -1;
  const int32_t start = StreamTell(handle);
  const int64_t got = ReadAndSettle(buffer, buffer_size - 1, handle);
  if (got <= 0) return -1;
  const bool hit_end = got < buffer_size - 1;
  int64_t i = 0;
  while (i < got) {
    const unsigned char c = static_cast<unsigned char>(buffer[i]);
    if (c == 0) break;  // the position stays after everything read
    if (IsSjisLeadByte(c)) {
      if (i + 1 >= got) {
        // The second byte was not read. Unless this lone lead byte is the
        // whole line or the file's last byte (where waiting for more would
        // never end), the character starts the next line.
        if (i > 0 && !hit_end) StreamSeek(handle, start + static_cast<int32_t>(i), 0);
        else ++i;
        break;
      }
      i += 2;
      continue;
    }
    if (c == '\r') {
      if (i + 1 < got) {
        if (buffer[i + 1] == '\n') {
          StreamSeek(handle, start + static_cast<int32_t>(i + 2), 0);
          break;
        }
      } else if (!hit_end) {
        // A CR as the last byte read: look at the byte after it.
        char next = 0;
        const int64_t more = ReadAndSettle(&next, 1, handle);
        if (more == 1 && next == '\n') break;  // the position is after the LF now
        if (more == 1) StreamSeek(handle, start + static_cast<int32_t>(got), 0);
      }
    }
    ++i;
  }
  buffer[i] = '\0';
  return static_cast<int>(i);
}

std::unique_ptr<platform::File> CreateTempFile(char* path_out) {
  const std::string path = platform::CreateTempFile("tmp");
  if (path.empty()) return nullptr;
  char full[kStreamPathBufferSize];
  if (MakeFullPath(path.c_str(), full, nullptr) != 0) {
    platform::DeleteFile(path);
    return nullptr;
  }
  platform::DeleteFile(full);
  auto file = platform::OpenFile(full, platform::OpenMode::kCreateNew);
  if (!file) return nullptr;
  if (path_out != nullptr) std::memcpy(path_out, full, std::strlen(full) + 1);
  return file;
}

int MakeFullPath(const char* path, char* out, const char* base) {
  std::string base_text;
  if (base != nullptr) {
    base_text = base;
  } else {
    char current[kStreamPathBufferSize];
    const int n = StreamGetDir(current);
    current[kStreamPathBufferSize - 1] = '\0';
    base_text = (n > 0 && n < kStreamPathBufferSize) ? current : platform::GetCurrentFolder();
  }
  if (path == nullptr) return CopyPath(base_text, out) ? 0 : -1;

  auto is_separator = [](char c) { return c == '\\' || c == '/'; };
  std::string result;
  size_t i = 0;
  const size_t length = std::strlen(path);
  if (length >= 1 && is_separator(path[0])) {
    result = base_text.substr(0, std::min<size_t>(2, base_text.size()));
    i = 1;
  } else if (length >= 2 && path[1] == ':') {
    result.push_back(path[0]);
    result.push_back(path[1]);
    i = 2;
    if (length >= 3 && path[2] == '\\') i = 3;
  } else {
    result = base_text;
    if (!result.empty() && is_separator(result.back())) result.pop_back();
  }
  // The drive ("C:") is never removed by "..".
  const size_t drive_length = std::min<size_t>(2, result.size());

  std::string element;
  while (i <= length) {
    const unsigned char c = i < length ? static_cast<unsigned char>(path[i]) : 0;
    if (c != 0 && IsSjisLeadByte(c) && i + 1 < length) {
      element.push_back(path[i]);
      element.push_back(path[i + 1]);
      i += 2;
      continue;
    }
    if (c == 0) {
      // The last element is taken as it stands.
      if (!element.empty()) result += "\\" + element;
      break;
    }
    if (is_separator(static_cast<char>(c))) {
      if (element.empty()) return -1;
      if (element == "..") {
        const size_t cut = result.find_last_of("\\/");
        if (cut != std::string::npos && cut >= drive_length) result.erase(cut);
      } else if (element != ".") {
        result += "\\" + element;
      }
      element.clear();
      ++i;
      continue;
    }
    element.push_back(static_cast<char>(c));
    ++i;
  }
  return CopyPath(result, out) ? 0 : -1;
}
