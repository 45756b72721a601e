// Fuzz target of the archive reader. The first byte chooses the road:
// odd: the rest is one LZ block for the decoder; even: the rest is an
// archive file (scrambled with the key of no key text), parsed in memory
// and then opened as Data.vesk through the archive-aware stream table, whose
// members are read in uneven pieces.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/files/archive_lz.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_directory.h"
#include "engine/core/files/ora_archive_key.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/file_system.h"

namespace {

void FuzzLz(const uint8_t* data, size_t size) {
  const int64_t unpacked = DecodeArchiveLz(data, size, nullptr, 0);
  if (unpacked < 0 || unpacked > (int64_t{1} << 22)) return;
  std::vector<uint8_t> out(static_cast<size_t>(unpacked));
  DecodeArchiveLz(data, size, out.data(), out.size());
}

// Collects member paths of the directory at offset (depth-limited).
void CollectPaths(const ArchiveDirectoryBlock& block, uint32_t directory, const std::string& prefix, int depth,
                  std::vector<std::string>* paths) {
  const auto record = block.Directory(directory);
  if (!record || depth > 4) return;
  for (uint32_t i = 0; i < record->entry_count && i < 64 && paths->size() < 8; ++i) {
    const auto entry = block.DirectoryEntry(*record, i);
    if (!entry) return;
    const std::string name = block.StoredName(entry->name_offset);
    if (name.empty()) continue;
    if (entry->IsDirectory()) CollectPaths(block, entry->data_position, prefix + name + "\\", depth + 1, paths);
    else paths->push_back(prefix + name);
  }
}

std::vector<std::string> ParseInMemory(std::vector<uint8_t> file) {
  std::vector<std::string> paths;
  if (file.size() < kArchiveHeaderSize) return paths;
  std::vector<uint8_t> head(file.begin(), file.begin() + kArchiveHeaderSize);
  XorArchiveKey(head.size(), head.data(), 0, MakeArchiveKey(nullptr));
  auto header = ParseArchiveHeader(head.data());
  ArchiveKey key = MakeArchiveKey(nullptr);
  if (!header) {
    head.assign(file.begin(), file.begin() + kArchiveHeaderSize);
    key = SecondArchiveKey();
    XorArchiveKey(head.size(), head.data(), 0, key);
    header = ParseArchiveHeader(head.data());
  }
  if (!header || header->version > kArchiveMaxVersion) return paths;
  const uint64_t end = uint64_t{header->directory_offset} + header->directory_size;
  if (end > file.size()) return paths;
  std::vector<uint8_t> block(file.begin() + header->directory_offset, file.begin() + static_cast<long>(end));
  XorArchiveKey(block.size(), block.data(), header->directory_offset, key);
  ArchiveDirectoryBlock directory;
  if (!directory.Assign(std::move(block), *header)) return paths;
  CollectPaths(directory, 0, "", 0, &paths);
  uint32_t current = 0;
  for (const auto& path : paths) {
    directory.FindFileEntry(current, path.c_str());
    directory.ChangeDirectory(&current, path.c_str(), true, nullptr);
  }
  return paths;
}

struct Folder {
  Folder() {
    char pattern[] = "/tmp/fuzz_archive_XXXXXX";
    const char* made = mkdtemp(pattern);
    native = made != nullptr ? made : "/tmp";
    platform::SetCurrentFolder(platform::NativeToEnginePath(native));
    UseArchiveExtension("vesk");
    UseArchiveKey(nullptr);
  }
  std::string native;
};

void FuzzArchiveFile(const uint8_t* data, size_t size) {
  static Folder folder;
  std::vector<uint8_t> file(data, data + size);
  std::vector<std::string> paths = ParseInMemory(file);
  paths.push_back("a.bin");
  paths.push_back("Sub\\b.bin");
  ClearArchiveTables();
  const std::string archive = folder.native + "/Data.vesk";
  if (FILE* out = std::fopen(archive.c_str(), "wb")) {
    std::fwrite(data, 1, size, out);
    std::fclose(out);
  }
  std::vector<uint8_t> buffer(4099);
  int async = 0;
  for (const auto& path : paths) {
    const std::string name = "Data\\" + path;
    const StreamHandle h = StreamOpen(name.c_str(), 0, 1, async);
    async ^= 1;
    if (h == 0) continue;
    size_t piece = 1;
    for (int i = 0; i < 64; ++i) {
      const int64_t got = StreamRead(buffer.data(), 1, piece, h);
      while (StreamIdleCheck(h) == 0) {
      }
      if (got <= 0) break;
      piece = (piece * 3 + 1) % buffer.size() + 1;
    }
    StreamSeek(h, -3, 2);
    StreamRead(buffer.data(), 1, 7, h);
    StreamClose(h);
  }
  ClearArchiveTables();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) FuzzLz(data + 1, size - 1);
  else FuzzArchiveFile(data + 1, size - 1);
  return 0;
}
