// One open archive file (ArchiveRecord) and the streams of its members
// (ArchiveMemberStream). The archive file is a FileStream opened for
// asynchronous reading; every byte read from it is unscrambled with the key
// index of its own file offset. Stored members are read on demand;
// compressed members are read and decoded whole when opened (asynchronous
// members: when the idle check finds the packed bytes have arrived).
// Positions and sizes are bytes; members are at most INT32_MAX bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "engine/core/files/ora_archive_directory.h"
#include "engine/core/files/ora_archive_key.h"

struct ArchiveRecord {
  ArchiveHeader header;
  FileStream* file = nullptr;
  int64_t file_size = 0;
  ArchiveDirectoryBlock directory;
  uint32_t current_directory = 0;  // offset of a directory record
  ArchiveKey key{};
};

// Opens the archive at path (key text null: the fill key). 0, or -1 when the
// file cannot be opened, the magic matches with neither key, the version is
// above 3, or the directory block is damaged; the record is then left
// closed.
int OpenArchiveStreaming(ArchiveRecord* archive, const char* path, const char* key_text);
// Waits for any pending read, closes the file and frees the directory.
void CloseArchive(ArchiveRecord* archive);

// Reads length bytes at file_position (-1: where the file stands), waits
// until they have arrived and unscrambles them. Bytes read.
int64_t ReadAndDescramble(int64_t file_position, ArchiveRecord& archive, uint8_t* buffer,
                          int64_t length);

enum class ArchivePending : int { kNone = 0, kPackedRead = 1, kStoredRead = 2 };

struct ArchiveMemberStream {
  ArchiveRecord* archive = nullptr;
  ArchiveFileEntry entry;
  bool compressed = false;
  bool damaged = false;  // compressed data that did not decode
  std::vector<uint8_t> decoded;
  std::vector<uint8_t> packed;
  bool eof = false;
  int32_t position = 0;
  bool async = false;
  ArchivePending pending = ArchivePending::kNone;
  int64_t pending_file_position = 0;
  uint8_t* pending_destination = nullptr;
  int64_t pending_length = 0;
};

// 0, or -1 when the member is missing or its data lies outside the archive
// file or does not decode.
int OpenArchiveMember(ArchiveMemberStream* member, ArchiveRecord* archive, const char* path_inside,
                      int async);
int CloseArchiveMember(ArchiveMemberStream* member);
// Bytes read (fewer at the member's end), 0 with eof at the end.
int64_t ReadArchiveMember(ArchiveMemberStream* member, void* buffer, int64_t bytes);
int SeekArchiveMember(ArchiveMemberStream* member, int32_t offset, int origin);
int32_t TellArchiveMember(ArchiveMemberStream* member);
int EofArchiveMember(ArchiveMemberStream* member);
// 1 when nothing is pending; finishes a pending read once its bytes are in.
int IdleCheckArchiveMember(ArchiveMemberStream* member);
