// Writer of archive files: packs a tree of folders and files (in memory, or
// read from a folder on disk) into one scrambled archive image, any version
// 0 to 3, members stored or LZ-compressed (versions 2 and 3 only). Used by
// the tests, the fuzz seeds and the vesk-make-archive tool.
// Names are Shift-JIS bytes; sizes are bytes; times are FILETIME values
// (100 ns since 1601).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writers {

struct ArchiveTreeNode {
  std::string name;  // Shift-JIS, one path element; empty for the root
  bool is_folder = false;
  std::vector<uint8_t> data;  // files only
  std::vector<ArchiveTreeNode> children;  // folders only, in stored order
  uint64_t creation_time = 0;
  uint64_t write_time = 0;

  // Adds a file (or folders on the way) at a path with '\' separators;
  // returns the new node.
  ArchiveTreeNode& AddFile(const std::string& path, std::vector<uint8_t> bytes);
  ArchiveTreeNode& AddFolder(const std::string& path);
};

struct ArchiveWriteOptions {
  int version = 3;                      // 0 to 3
  std::optional<std::string> key_text;  // none: the key of no key text
  bool use_second_key = false;          // scramble with the second fixed key
  bool compress = false;                // versions 2 and 3: compress members
  bool compress_even_if_larger = false; // keep the compressed form always
};

// The whole archive file.
std::vector<uint8_t> BuildArchive(const ArchiveTreeNode& root, const ArchiveWriteOptions& options);

// The 12-byte key for a key text, built from the format's description.
std::vector<uint8_t> ArchiveKeyFor(const std::optional<std::string>& key_text, bool second_key);

// An LZ block of data (head included) in the archive's format.
std::vector<uint8_t> CompressArchiveLz(const std::vector<uint8_t>& data);

// Reads a folder on disk (native UTF-8 path) into a tree; names converted to
// Shift-JIS. nullopt when the folder cannot be read.
std::optional<ArchiveTreeNode> ReadFolderTree(const std::string& native_folder);

// Packs a folder into an archive file; false with a message in *error.
bool WriteArchiveFromFolder(const std::string& native_folder, const std::string& native_output,
                            const ArchiveWriteOptions& options, std::string* error);

}  // namespace writers
