// Tracked allocation: a header in front of every block, one list of live
// blocks, a dump of them into the log.
#include "engine/core/base/tracked_memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "engine/core/base/format_string.h"
#include "engine/core/base/log.h"

namespace {

constexpr size_t kGuardedBytes = offsetof(AllocHeader, guard);
static_assert(kGuardedBytes == sizeof(AllocHeader::guard), "the guard copies every field");
static_assert(sizeof(AllocHeader) % 16 == 0, "blocks stay 16-byte aligned");

// Switches that nothing in the player sets; they keep these values.
constexpr bool kLogEveryAllocation = false;
constexpr bool kLogTotals = false;
constexpr bool kCheckOnEveryChange = false;
constexpr int32_t kWatchedSize = 0;

struct AllocatorState {
  AllocHeader* head = nullptr;
  AllocHeader sentinel{};
  int32_t total_size = 0;
  int32_t block_count = 0;
  uint16_t next_id = 0;
};

std::recursive_mutex g_allocator_mutex;
AllocatorState g_allocator;

void RefreshGuard(AllocHeader* header) {
  std::memcpy(header->guard, header, kGuardedBytes);
}

bool GuardIntact(const AllocHeader* header) {
  return std::memcmp(header->guard, header, kGuardedBytes) == 0;
}

void LogTotals() {
  WriteLogF("\tTotal size:%d(%.3fkb)  Alloc num:%d", g_allocator.total_size,
            g_allocator.total_size / 1024.0, g_allocator.block_count);
}

bool Watched(int32_t size) {
  return kWatchedSize < 0 || kWatchedSize == size || kLogEveryAllocation;
}

}  // namespace

void* TrackedAlloc(size_t size, const char* file, int line) {
  std::lock_guard<std::recursive_mutex> lock(g_allocator_mutex);
  void* memory = nullptr;
  if (size <= static_cast<size_t>(INT32_MAX) - sizeof(AllocHeader)) {
    memory = std::malloc(sizeof(AllocHeader) + size);
  }
  if (memory == nullptr) {
    DumpTrackedAllocs();
    return nullptr;
  }
  AllocHeader* header = static_cast<AllocHeader*>(memory);
  std::memset(header, 0, sizeof(AllocHeader));
  if (file != nullptr) {
    size_t length = std::strlen(file);
    const char* tail = length >= 15 ? file + (length - 15) : file;
    std::memcpy(header->file_tail, tail, std::strlen(tail));
  }
  header->id = g_allocator.next_id++;
  header->line = static_cast<uint16_t>(line);
  header->size = static_cast<int32_t>(size);

  if (g_allocator.head == nullptr) g_allocator.head = &g_allocator.sentinel;
  AllocHeader* old_head = g_allocator.head;
  old_head->previous = header;
  header->next = old_head;
  header->previous = nullptr;
  g_allocator.head = header;
  RefreshGuard(header);
  RefreshGuard(old_head);

  g_allocator.total_size += header->size;
  g_allocator.block_count += 1;
  if (Watched(header->size)) {
    WriteLog("mem alloc  ");
    LogAllocBlock(header);
  }
  if (kLogTotals) LogTotals();
  if (kCheckOnEveryChange) CheckTrackedAllocs();
  return header + 1;
}

void* TrackedCalloc(size_t size, const char* file, int line) {
  void* block = TrackedAlloc(size, file, line);
  if (block != nullptr) std::memset(block, 0, size);
  return block;
}

int TrackedFree(void* pointer) {
  if (pointer == nullptr) return 0;
  std::lock_guard<std::recursive_mutex> lock(g_allocator_mutex);
  AllocHeader* header = TrackedAllocHeader(pointer);
  g_allocator.total_size -= header->size;
  g_allocator.block_count -= 1;
  if (kCheckOnEveryChange) CheckTrackedAllocs();
  if (header->previous != nullptr) {
    header->previous->next = header->next;
    RefreshGuard(header->previous);
  }
  if (header->next != nullptr) {
    header->next->previous = header->previous;
    RefreshGuard(header->next);
  }
  if (g_allocator.head == header) g_allocator.head = header->next;
  if (Watched(header->size)) {
    WriteLog("mem free  ");
    LogAllocBlock(header);
  }
  if (kLogTotals) LogTotals();
  std::free(header);
  return 1;
}

namespace {

// The block line, showing at most readable bytes of the block's data. The
// file name is bounded as well, so a damaged header cannot run the text on.
void LogBlockLine(const AllocHeader* header, int32_t readable) {
  char heading[160];
  FormatString(heading, sizeof(heading),
               "\tsize:%d(%.3fkb)  file:%.15s  line:%d  ID:%d  data:<", header->size,
               header->size / 1024.0, header->file_tail, static_cast<int>(header->line),
               static_cast<int>(header->id));
  std::string line = heading;
  const unsigned char* data = reinterpret_cast<const unsigned char*>(header + 1);
  int32_t shown = header->size < 16 ? header->size : 16;
  if (shown > readable) shown = readable;
  for (int32_t i = 0; i < shown; ++i) {
    line.push_back(data[i] >= 0x20 && data[i] <= 0x7F ? static_cast<char>(data[i]) : '.');
  }
  line += "> [";
  for (int32_t i = 0; i < shown; ++i) {
    char hex[4];
    FormatString(hex, sizeof(hex), "%02x ", data[i]);
    line += hex;
  }
  line.back() = ']';
  line.push_back('\n');
  WriteLog(line.c_str());
}

}  // namespace

void LogAllocBlock(const AllocHeader* header) { LogBlockLine(header, header->size); }

int DumpTrackedAllocs() {
  std::lock_guard<std::recursive_mutex> lock(g_allocator_mutex);
  WriteLog("\n");
  WriteLog("Alloc memory dump");
  for (AllocHeader* header = g_allocator.head;
       header != nullptr && header != &g_allocator.sentinel; header = header->next) {
    LogAllocBlock(header);
  }
  LogTotals();
  return WriteLog("\n");
}

int CheckTrackedAllocs() {
  std::lock_guard<std::recursive_mutex> lock(g_allocator_mutex);
  for (AllocHeader* header = g_allocator.head;
       header != nullptr && header != &g_allocator.sentinel; header = header->next) {
    if (!GuardIntact(header)) {
      // The damaged size may be anything: only the bytes that the guard copy
      // says belong to the block are shown.
      int32_t guarded_size = 0;
      std::memcpy(&guarded_size, header->guard + offsetof(AllocHeader, size), sizeof(guarded_size));
      WriteLog("以下のメモリ確保情報が破損しました");
      LogBlockLine(header, guarded_size);
      return -1;
    }
  }
  return 0;
}

AllocHeader* TrackedAllocHeader(void* pointer) { return static_cast<AllocHeader*>(pointer) - 1; }

int32_t TrackedAllocTotalSize() {
  std::lock_guard<std::recursive_mutex> lock(g_allocator_mutex);
  return g_allocator.total_size;
}

int32_t TrackedAllocCount() {
  std::lock_guard<std::recursive_mutex> lock(g_allocator_mutex);
  return g_allocator.block_count;
}
