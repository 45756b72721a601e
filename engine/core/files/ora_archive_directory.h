// The parsed form of an archive's header and directory block, with the
// name matching and directory walking of member look-ups. The directory
// block holds the name table (at its start), the file-entry table and the
// directory table; every offset read from it is checked before use, so a
// damaged block gives "not found", never an access outside the block.
// Offsets: name records from the block's start, file entries from the
// file-entry table, directory records from the directory table (the root's
// record at 0). Names match case-insensitively for ASCII letters only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr size_t kArchiveHeaderSize = 24;
inline constexpr uint16_t kArchiveMaxVersion = 3;
inline constexpr uint32_t kArchiveStoredPackedSize = 0xFFFFFFFFu;
inline constexpr uint32_t kArchiveDirectoryAttribute = 0x10;
inline constexpr uint32_t kArchiveNoParent = 0xFFFFFFFFu;
inline constexpr size_t kArchiveDirectoryRecordSize = 16;

struct ArchiveHeader {
  uint16_t version = 0;
  uint32_t directory_size = 0;
  uint32_t data_offset = 0;
  uint32_t directory_offset = 0;
  uint32_t entry_table_offset = 0;      // inside the directory block
  uint32_t directory_table_offset = 0;  // inside the directory block
};

// Reads an unscrambled 24-byte header; nullopt when the magic is not "OR".
std::optional<ArchiveHeader> ParseArchiveHeader(const uint8_t* bytes);

// 40 bytes for versions 0 and 1, 44 for versions 2 and 3.
size_t ArchiveFileEntrySize(uint16_t version);

struct ArchiveFileEntry {
  uint32_t name_offset = 0;
  uint32_t attributes = 0;
  uint64_t creation_time = 0;     // FILETIME: 100 ns since 1601
  uint64_t last_access_time = 0;
  uint64_t last_write_time = 0;
  uint32_t data_position = 0;     // a directory: its record's offset
  uint32_t data_size = 0;
  uint32_t packed_size = kArchiveStoredPackedSize;  // versions 2 and 3 only
  bool IsDirectory() const { return (attributes & kArchiveDirectoryAttribute) != 0; }
};

struct ArchiveDirectoryRecord {
  uint32_t parent = kArchiveNoParent;
  uint32_t entry_count = 0;
  uint32_t first_entry = 0;
};

// The search form of one path element: upper-cased ASCII letters, double-
// byte characters kept, then 1 to 4 zero bytes up to a whole 4-byte word.
struct ArchiveNameKey {
  std::vector<uint8_t> words;
  uint16_t checksum = 0;  // 16-bit sum of the name bytes before the zeros
  size_t length = 0;      // bytes of the element in the path
  uint16_t WordCount() const { return static_cast<uint16_t>(words.size() / 4); }
};

// Reads one element (up to NUL or '\').
ArchiveNameKey MakeArchiveNameKey(const char* text);

class ArchiveDirectoryBlock {
 public:
  // Takes the block; false when the header's table offsets lie outside it or
  // there is no root directory record.
  bool Assign(std::vector<uint8_t> block, const ArchiveHeader& header);
  void Clear();

  std::optional<ArchiveFileEntry> Entry(uint32_t entry_offset) const;
  std::optional<ArchiveDirectoryRecord> Directory(uint32_t record_offset) const;
  // The entry_index-th entry of a directory.
  std::optional<ArchiveFileEntry> DirectoryEntry(const ArchiveDirectoryRecord& directory,
                                                 uint32_t entry_index) const;
  bool NameMatches(uint32_t name_offset, const ArchiveNameKey& key) const;
  // The name as it was stored; empty when the record is damaged.
  std::string StoredName(uint32_t name_offset) const;

  // Among a directory's entries, the first of the wanted kind whose name
  // matches the key.
  std::optional<ArchiveFileEntry> FindInDirectory(uint32_t directory_offset,
                                                  const ArchiveNameKey& key,
                                                  bool want_directory) const;

  // Walks path from the current directory (ChangeArchiveDir): "." stays,
  // "\" is the root, ".." the parent; otherwise each element must be a
  // sub-directory. On a non-directory element returns false with the
  // directory reached in *current (or restored when restore is set) and the
  // failing element's key in *failed.
  bool ChangeDirectory(uint32_t* current, const char* path, bool restore,
                       ArchiveNameKey* failed) const;
  // The file named by path (inside the archive), looked up from current.
  std::optional<ArchiveFileEntry> FindFileEntry(uint32_t current, const char* path) const;

  const std::vector<uint8_t>& bytes() const { return block_; }

 private:
  bool Has(uint64_t offset, uint64_t size) const { return offset <= block_.size() && size <= block_.size() - offset; }
  std::vector<uint8_t> block_;
  uint32_t entry_table_ = 0;
  uint32_t directory_table_ = 0;
  size_t entry_size_ = 40;
  uint16_t version_ = 0;
};
