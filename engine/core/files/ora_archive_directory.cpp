// Header parsing, name keys and directory walking of archives.
#include "engine/core/files/ora_archive_directory.h"

#include <cstring>

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint64_t U64(const uint8_t* p) { return uint64_t{U32(p)} | (uint64_t{U32(p + 4)} << 32); }

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

std::optional<ArchiveHeader> ParseArchiveHeader(const uint8_t* bytes) {
  if (bytes[0] != 'O' || bytes[1] != 'R') return std::nullopt;
  ArchiveHeader h;
  h.version = U16(bytes + 2);
  h.directory_size = U32(bytes + 4);
  h.data_offset = U32(bytes + 8);
  h.directory_offset = U32(bytes + 12);
  h.entry_table_offset = U32(bytes + 16);
  h.directory_table_offset = U32(bytes + 20);
  return h;
}

size_t ArchiveFileEntrySize(uint16_t version) { return version >= 2 ? 44 : 40; }

ArchiveNameKey MakeArchiveNameKey(const char* text) {
  ArchiveNameKey key;
  size_t i = 0;
  for (;;) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    if (c == 0 || c == '\\') break;
    if (IsLead(c) && text[i + 1] != '\0') {
      const uint8_t trail = static_cast<uint8_t>(text[i + 1]);
      key.words.push_back(c);
      key.words.push_back(trail);
      key.checksum = static_cast<uint16_t>(key.checksum + c + trail);
      i += 2;
      continue;
    }
    const uint8_t up = (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 'a' + 'A') : c;
    key.words.push_back(up);
    key.checksum = static_cast<uint16_t>(key.checksum + up);
    ++i;
  }
  key.length = i;
  const size_t padded = (key.words.size() + 4) / 4 * 4;
  key.words.resize(padded, 0);
  return key;
}

bool ArchiveDirectoryBlock::Assign(std::vector<uint8_t> block, const ArchiveHeader& header) {
  block_ = std::move(block);
  version_ = header.version;
  entry_size_ = ArchiveFileEntrySize(header.version);
  entry_table_ = header.entry_table_offset;
  directory_table_ = header.directory_table_offset;
  if (!Has(entry_table_, 0) || !Directory(0)) {
    Clear();
    return false;
  }
  return true;
}

void ArchiveDirectoryBlock::Clear() {
  block_.clear();
  block_.shrink_to_fit();
  entry_table_ = directory_table_ = 0;
}

std::optional<ArchiveFileEntry> ArchiveDirectoryBlock::Entry(uint32_t entry_offset) const {
  const uint64_t at = uint64_t{entry_table_} + entry_offset;
  if (!Has(at, entry_size_)) return std::nullopt;
  const uint8_t* p = block_.data() + at;
  ArchiveFileEntry e;
  e.name_offset = U32(p);
  e.attributes = U32(p + 4);
  e.creation_time = U64(p + 8);
  e.last_access_time = U64(p + 16);
  e.last_write_time = U64(p + 24);
  e.data_position = U32(p + 32);
  e.data_size = U32(p + 36);
  e.packed_size = entry_size_ >= 44 ? U32(p + 40) : kArchiveStoredPackedSize;
  return e;
}

std::optional<ArchiveDirectoryRecord> ArchiveDirectoryBlock::Directory(uint32_t record_offset) const {
  const uint64_t at = uint64_t{directory_table_} + record_offset;
  if (!Has(at, kArchiveDirectoryRecordSize)) return std::nullopt;
  const uint8_t* p = block_.data() + at;
  ArchiveDirectoryRecord d;
  d.parent = U32(p + 4);
  d.entry_count = U32(p + 8);
  d.first_entry = U32(p + 12);
  return d;
}

std::optional<ArchiveFileEntry> ArchiveDirectoryBlock::DirectoryEntry(
    const ArchiveDirectoryRecord& directory, uint32_t entry_index) const {
  if (entry_index >= directory.entry_count) return std::nullopt;
  const uint64_t offset = uint64_t{directory.first_entry} + uint64_t{entry_index} * entry_size_;
  if (offset > UINT32_MAX) return std::nullopt;
  return Entry(static_cast<uint32_t>(offset));
}

bool ArchiveDirectoryBlock::NameMatches(uint32_t name_offset, const ArchiveNameKey& key) const {
  if (!Has(name_offset, 4)) return false;
  const uint8_t* p = block_.data() + name_offset;
  if (U16(p) != key.WordCount() || U16(p + 2) != key.checksum) return false;
  if (!Has(uint64_t{name_offset} + 4, key.words.size())) return false;
  return std::memcmp(p + 4, key.words.data(), key.words.size()) == 0;
}

std::string ArchiveDirectoryBlock::StoredName(uint32_t name_offset) const {
  if (!Has(name_offset, 4)) return {};
  const uint64_t start = uint64_t{name_offset} + 4 + uint64_t{U16(block_.data() + name_offset)} * 4;
  if (!Has(start, 0)) return {};
  const uint8_t* p = block_.data() + start;
  const size_t room = block_.size() - static_cast<size_t>(start);
  const void* end = std::memchr(p, 0, room);
  if (end == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(end) - p);
}

std::optional<ArchiveFileEntry> ArchiveDirectoryBlock::FindInDirectory(
    uint32_t directory_offset, const ArchiveNameKey& key, bool want_directory) const {
  const auto directory = Directory(directory_offset);
  if (!directory) return std::nullopt;
  for (uint32_t i = 0; i < directory->entry_count; ++i) {
    const auto entry = DirectoryEntry(*directory, i);
    if (!entry) return std::nullopt;  // the rest of the table is cut off
    if (entry->IsDirectory() != want_directory) continue;
    if (NameMatches(entry->name_offset, key)) return entry;
  }
  return std::nullopt;
}

bool ArchiveDirectoryBlock::ChangeDirectory(uint32_t* current, const char* path, bool restore,
                                            ArchiveNameKey* failed) const {
  if (std::strcmp(path, ".") == 0) return true;
  if (std::strcmp(path, "\\") == 0) {
    *current = 0;
    return true;
  }
  if (std::strcmp(path, "..") == 0) {
    const auto directory = Directory(*current);
    if (!directory || directory->parent == kArchiveNoParent || !Directory(directory->parent)) return false;
    *current = directory->parent;
    return true;
  }
  const uint32_t start = *current;
  const char* p = path;
  if (*p == '\\') {
    *current = 0;
    ++p;
  }
  while (*p != '\0') {
    ArchiveNameKey key = MakeArchiveNameKey(p);
    const auto sub = key.length == 0 ? std::nullopt : FindInDirectory(*current, key, true);
    if (!sub || !Directory(sub->data_position)) {
      if (restore) *current = start;
      if (failed != nullptr) *failed = std::move(key);
      return false;
    }
    *current = sub->data_position;
    p += key.length;
    if (*p == '\\') ++p;
  }
  return true;
}

std::optional<ArchiveFileEntry> ArchiveDirectoryBlock::FindFileEntry(uint32_t current,
                                                                     const char* path) const {
  if (path == nullptr) return std::nullopt;
  uint32_t directory = current;
  ArchiveNameKey key;
  if (std::strchr(path, '\\') == nullptr) {
    key = MakeArchiveNameKey(path);
  } else if (ChangeDirectory(&directory, path, false, &key)) {
    return std::nullopt;  // every element is a directory: no file named
  }
  if (key.length == 0) return std::nullopt;
  return FindInDirectory(directory, key, false);
}
