// Opening archives and reading their members.
#include "engine/core/files/ora_archive.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/core/files/archive_lz.h"

namespace {

// The most a compressed member can grow: a 4-byte match code yields at most
// 8,195 bytes.
constexpr uint64_t kArchiveLzMaxGrowth = 2049;

bool IsStored(const ArchiveRecord& archive, const ArchiveFileEntry& entry) {
  return archive.header.version < 2 || entry.packed_size == kArchiveStoredPackedSize;
}

bool ReadHeader(ArchiveRecord& archive, uint8_t* bytes) {
  return ReadAndDescramble(0, archive, bytes, kArchiveHeaderSize) ==
         static_cast<int64_t>(kArchiveHeaderSize);
}

void FailOpen(ArchiveRecord* archive) {
  if (archive->file != nullptr) CloseFileStream(archive->file);
  archive->file = nullptr;
  archive->directory.Clear();
}

// Decodes member->packed into member->decoded; marks the member damaged
// when the data does not decode.
void DecodePacked(ArchiveMemberStream* member) {
  const int64_t got = DecodeArchiveLz(member->packed.data(), member->packed.size(),
                                      member->decoded.data(), member->decoded.size());
  if (got < 0) member->damaged = true;
  member->packed.clear();
  member->packed.shrink_to_fit();
}

}  // namespace

int64_t ReadAndDescramble(int64_t file_position, ArchiveRecord& archive, uint8_t* buffer,
                          int64_t length) {
  if (file_position >= 0) {
    if (file_position > INT32_MAX || SeekFileStream(archive.file, static_cast<int32_t>(file_position), 0) != 0)
      return 0;
  } else {
    file_position = TellFileStream(archive.file);
  }
  const int64_t got = ReadFileStream(buffer, 1, static_cast<size_t>(length), archive.file);
  WaitForFileStreamIdle(archive.file);
  if (got <= 0) return 0;
  XorArchiveKey(static_cast<size_t>(got), buffer, static_cast<uint64_t>(file_position), archive.key);
  return got;
}

int OpenArchiveStreaming(ArchiveRecord* archive, const char* path, const char* key_text) {
  *archive = ArchiveRecord{};
  archive->file = OpenFileStream(path, 0, 1, 1);
  if (archive->file == nullptr) return -1;
  archive->file_size = archive->file->size;
  if (archive->file_size < static_cast<int64_t>(kArchiveHeaderSize)) {
    FailOpen(archive);
    return -1;
  }
  uint8_t bytes[kArchiveHeaderSize];
  archive->key = MakeArchiveKey(key_text);
  std::optional<ArchiveHeader> header;
  if (ReadHeader(*archive, bytes)) header = ParseArchiveHeader(bytes);
  if (!header) {
    archive->key = SecondArchiveKey();
    if (ReadHeader(*archive, bytes)) header = ParseArchiveHeader(bytes);
  }
  if (!header || header->version > kArchiveMaxVersion) {
    FailOpen(archive);
    return -1;
  }
  archive->header = *header;
  const uint64_t end = uint64_t{header->directory_offset} + header->directory_size;
  if (end > static_cast<uint64_t>(archive->file_size)) {
    FailOpen(archive);
    return -1;
  }
  std::vector<uint8_t> block;
  try {
    block.resize(header->directory_size);
  } catch (const std::bad_alloc&) {
    FailOpen(archive);
    return -1;
  }
  if (ReadAndDescramble(header->directory_offset, *archive, block.data(), header->directory_size) !=
          static_cast<int64_t>(header->directory_size) ||
      !archive->directory.Assign(std::move(block), *header)) {
    FailOpen(archive);
    return -1;
  }
  archive->current_directory = 0;
  return 0;
}

void CloseArchive(ArchiveRecord* archive) {
  if (archive->file != nullptr) {
    WaitForFileStreamIdle(archive->file);
    CloseFileStream(archive->file);
  }
  archive->file = nullptr;
  archive->directory.Clear();
  archive->current_directory = 0;
}

int OpenArchiveMember(ArchiveMemberStream* member, ArchiveRecord* archive, const char* path_inside,
                      int async) {
  const auto entry = archive->directory.FindFileEntry(archive->current_directory, path_inside);
  if (!entry) return -1;
  *member = ArchiveMemberStream{};
  member->archive = archive;
  member->entry = *entry;
  member->async = async != 0;
  if (entry->data_size > INT32_MAX) return -1;
  const bool stored = IsStored(*archive, *entry);
  const uint64_t start = uint64_t{archive->header.data_offset} + entry->data_position;
  const uint64_t stored_bytes = stored ? entry->data_size : entry->packed_size;
  if (start + stored_bytes > static_cast<uint64_t>(archive->file_size)) return -1;
  if (stored) return 0;

  if (entry->packed_size < kArchiveLzHeadSize ||
      entry->data_size > (uint64_t{entry->packed_size} - kArchiveLzHeadSize) * kArchiveLzMaxGrowth)
    return -1;
  member->compressed = true;
  try {
    member->decoded.resize(entry->data_size);
    member->packed.resize(entry->packed_size);
  } catch (const std::bad_alloc&) {
    *member = ArchiveMemberStream{};
    return -1;
  }
  if (member->async) {
    if (SeekFileStream(archive->file, static_cast<int32_t>(start), 0) != 0) return -1;
    ReadFileStream(member->packed.data(), 1, member->packed.size(), archive->file);
    member->pending = ArchivePending::kPackedRead;
    member->pending_file_position = static_cast<int64_t>(start);
    return 0;
  }
  if (ReadAndDescramble(static_cast<int64_t>(start), *archive, member->packed.data(),
                        static_cast<int64_t>(member->packed.size())) !=
      static_cast<int64_t>(member->packed.size())) {
    *member = ArchiveMemberStream{};
    return -1;
  }
  DecodePacked(member);
  if (member->damaged) {
    *member = ArchiveMemberStream{};
    return -1;
  }
  return 0;
}

int IdleCheckArchiveMember(ArchiveMemberStream* member) {
  if (!member->async) return 1;
  if (member->pending == ArchivePending::kNone) return 1;
  if (IdleCheckFileStream(member->archive->file) == 0) return 0;
  const ArchiveKey& key = member->archive->key;
  if (member->pending == ArchivePending::kPackedRead) {
    XorArchiveKey(member->packed.size(), member->packed.data(),
                  static_cast<uint64_t>(member->pending_file_position), key);
    DecodePacked(member);
  } else {
    XorArchiveKey(static_cast<size_t>(member->pending_length), member->pending_destination,
                  static_cast<uint64_t>(member->pending_file_position), key);
  }
  member->pending = ArchivePending::kNone;
  return 1;
}

namespace {

void FinishPending(ArchiveMemberStream* member) {
  while (IdleCheckArchiveMember(member) == 0) WaitForFileStreamIdle(member->archive->file);
}

}  // namespace

int64_t ReadArchiveMember(ArchiveMemberStream* member, void* buffer, int64_t bytes) {
  if (member->async) FinishPending(member);
  if (member->eof) return 0;
  const int64_t size = member->entry.data_size;
  if (member->position >= size || member->damaged) {
    member->eof = true;
    return 0;
  }
  if (bytes <= 0) return 0;
  const int64_t n = std::min<int64_t>(bytes, size - member->position);
  if (member->compressed) {
    std::memcpy(buffer, member->decoded.data() + member->position, static_cast<size_t>(n));
  } else {
    ArchiveRecord& archive = *member->archive;
    const int64_t offset =
        int64_t{archive.header.data_offset} + member->entry.data_position + member->position;
    if (TellFileStream(archive.file) != offset &&
        SeekFileStream(archive.file, static_cast<int32_t>(offset), 0) != 0)
      return 0;
    if (member->async) {
      ReadFileStream(buffer, 1, static_cast<size_t>(n), archive.file);
      member->pending = ArchivePending::kStoredRead;
      member->pending_destination = static_cast<uint8_t*>(buffer);
      member->pending_length = n;
      member->pending_file_position = offset;
    } else {
      ReadAndDescramble(-1, archive, static_cast<uint8_t*>(buffer), n);
    }
  }
  member->position = static_cast<int32_t>(member->position + n);
  member->eof = false;
  return n;
}

int SeekArchiveMember(ArchiveMemberStream* member, int32_t offset, int origin) {
  if (member->async) FinishPending(member);
  int64_t target = offset;
  if (origin == 1) target = int64_t{member->position} + offset;
  else if (origin == 2) target = int64_t{member->entry.data_size} + offset;
  member->position = static_cast<int32_t>(std::clamp<int64_t>(target, 0, member->entry.data_size));
  member->eof = false;
  return 0;
}

int32_t TellArchiveMember(ArchiveMemberStream* member) { return member->position; }

int EofArchiveMember(ArchiveMemberStream* member) { return member->eof ? -1 : 0; }

int CloseArchiveMember(ArchiveMemberStream* member) {
  if (member->async && member->archive != nullptr) FinishPending(member);
  *member = ArchiveMemberStream{};
  return 0;
}
