// Archive writer: tree layout, directory block, LZ compression and
// scrambling, written from the archive format's description.
#include "tools/writers/archive_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/core/files/ora_archive_key.h"
#include "platform/text_encoding.h"

namespace writers {
namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutU64(std::vector<uint8_t>& out, uint64_t v) {
  PutU32(out, static_cast<uint32_t>(v));
  PutU32(out, static_cast<uint32_t>(v >> 32));
}
void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// One name record: word count, checksum, upper-cased name padded with 1 to
// 4 zero bytes, then the name as given with its NUL.
std::vector<uint8_t> NameRecord(const std::string& name) {
  std::vector<uint8_t> upper;
  uint16_t sum = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(name[i]);
    if (IsLead(c) && i + 1 < name.size()) {
      upper.push_back(c);
      upper.push_back(static_cast<uint8_t>(name[i + 1]));
      sum = static_cast<uint16_t>(sum + c + static_cast<uint8_t>(name[i + 1]));
      ++i;
      continue;
    }
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 32);
    upper.push_back(c);
    sum = static_cast<uint16_t>(sum + c);
  }
  const size_t words = (upper.size() + 4) / 4;
  upper.resize(words * 4, 0);
  std::vector<uint8_t> record;
  PutU16(record, static_cast<uint32_t>(words));
  PutU16(record, sum);
  record.insert(record.end(), upper.begin(), upper.end());
  record.insert(record.end(), name.begin(), name.end());
  record.push_back(0);
  return record;
}

ArchiveTreeNode& ChildFolder(ArchiveTreeNode& parent, const std::string& name) {
  for (auto& child : parent.children) {
    if (child.is_folder && child.name == name) return child;
  }
  ArchiveTreeNode folder;
  folder.name = name;
  folder.is_folder = true;
  parent.children.push_back(std::move(folder));
  return parent.children.back();
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string element;
  for (size_t i = 0; i < path.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(path[i]);
    if (IsLead(c) && i + 1 < path.size()) {
      element += path.substr(i, 2);
      ++i;
    } else if (c == '\\' || c == '/') {
      if (!element.empty()) parts.push_back(element);
      element.clear();
    } else {
      element.push_back(static_cast<char>(c));
    }
  }
  if (!element.empty()) parts.push_back(element);
  return parts;
}

uint64_t UnixToFileTime(int64_t seconds) {
  return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

}  // namespace

ArchiveTreeNode& ArchiveTreeNode::AddFolder(const std::string& path) {
  ArchiveTreeNode* node = this;
  for (const auto& part : SplitPath(path)) node = &ChildFolder(*node, part);
  return *node;
}

ArchiveTreeNode& ArchiveTreeNode::AddFile(const std::string& path, std::vector<uint8_t> bytes) {
  auto parts = SplitPath(path);
  ArchiveTreeNode* node = this;
  for (size_t i = 0; i + 1 < parts.size(); ++i) node = &ChildFolder(*node, parts[i]);
  ArchiveTreeNode file;
  file.name = parts.empty() ? std::string() : parts.back();
  file.data = std::move(bytes);
  node->children.push_back(std::move(file));
  return node->children.back();
}

std::vector<uint8_t> ArchiveKeyFor(const std::optional<std::string>& key_text, bool second_key) {
  std::vector<uint8_t> key(12);
  if (second_key) {
    std::fill(key.begin(), key.end(), kArchiveSecondKeyByte);
    return key;
  }
  const std::string text = key_text ? key_text->substr(0, 12) : std::string();
  for (size_t i = 0; i < 12; ++i)
    key[i] = text.empty() ? kArchiveKeyFillByte : static_cast<uint8_t>(text[i % text.size()]);
  auto swap = [](uint8_t b) { return static_cast<uint8_t>(((b & 0x0F) << 4) | ((b & 0xF0) >> 4)); };
  auto rotr = [](uint8_t b, unsigned n) {
    n %= 8;
    return static_cast<uint8_t>(n ? (b >> n) | (b << (8 - n)) : b);
  };
  auto rotl = [](uint8_t b, unsigned n) {
    n %= 8;
    return static_cast<uint8_t>(n ? (b << n) | (b >> (8 - n)) : b);
  };
  key[0] = static_cast<uint8_t>(0xFF - key[0]);
  key[1] = swap(key[1]);
  key[2] ^= kArchiveKeyXor2;
  key[3] = static_cast<uint8_t>(0xFF - swap(key[3]));
  key[4] = static_cast<uint8_t>(0xFF - key[4]);
  key[5] ^= kArchiveKeyXor5;
  key[6] = static_cast<uint8_t>(0xFF - key[6]);
  key[7] = static_cast<uint8_t>(0xFF - rotr(key[7], kArchiveKeyRotateRight7));
  key[8] = rotl(key[8], kArchiveKeyRotateLeft8);
  key[9] ^= kArchiveKeyXor9;
  key[10] = static_cast<uint8_t>(swap(key[10]) ^ kArchiveKeyXor10);
  key[11] ^= kArchiveKeyXor11;
  return key;
}

std::vector<uint8_t> CompressArchiveLz(const std::vector<uint8_t>& data) {
  // The escape byte is the least frequent byte value.
  std::array<size_t, 256> counts{};
  for (uint8_t b : data) ++counts[b];
  const uint8_t escape =
      static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());

  std::vector<uint8_t> out;
  PutU32(out, static_cast<uint32_t>(data.size()));
  PutU32(out, 0);  // packed size, set at the end
  out.push_back(escape);

  constexpr size_t kMinMatch = 4;
  constexpr size_t kMaxMatch = 8195;
  constexpr size_t kMaxDistance = size_t{1} << 24;
  constexpr size_t kHashSize = 1u << 16;
  constexpr int kMaxChain = 64;
  std::vector<int64_t> head(kHashSize, -1);
  std::vector<int64_t> previous(data.size(), -1);
  auto hash_at = [&](size_t i) {
    const uint32_t v = uint32_t{data[i]} | (uint32_t{data[i + 1]} << 8) | (uint32_t{data[i + 2]} << 16) |
                       (uint32_t{data[i + 3]} << 24);
    return (v * 2654435761u) >> 16;
  };
  auto insert = [&](size_t i) {
    if (i + kMinMatch > data.size()) return;
    const uint32_t h = hash_at(i);
    previous[i] = head[h];
    head[h] = static_cast<int64_t>(i);
  };
  auto match_cost = [](size_t length, size_t distance) {
    const size_t d = distance - 1;
    const size_t distance_bytes = d < 0x100 ? 1 : d < 0x10000 ? 2 : 3;
    return 2 + (length - 4 >= 32 ? 1 : 0) + distance_bytes;
  };

  size_t i = 0;
  while (i < data.size()) {
    size_t best_length = 0, best_distance = 0;
    if (i + kMinMatch <= data.size()) {
      int64_t candidate = head[hash_at(i)];
      for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
        const size_t c = static_cast<size_t>(candidate);
        const size_t distance = i - c;
        if (distance > kMaxDistance) break;
        size_t length = 0;
        const size_t limit = std::min(kMaxMatch, data.size() - i);
        while (length < limit && data[c + length] == data[i + length]) ++length;
        if (length > best_length) {
          best_length = length;
          best_distance = distance;
        }
        candidate = previous[c];
      }
    }
    if (best_length >= kMinMatch && match_cost(best_length, best_distance) < best_length) {
      const size_t v = best_length - 4;
      const size_t d = best_distance - 1;
      const uint32_t distance_code = d < 0x100 ? 0 : d < 0x10000 ? 1 : 2;
      uint32_t code;
      out.push_back(escape);
      if (v < 32) {
        code = static_cast<uint32_t>(v << 3) | distance_code;
        out.push_back(static_cast<uint8_t>(code >= escape ? code + 1 : code));
      } else {
        code = static_cast<uint32_t>((v & 31) << 3) | 4u | distance_code;
        out.push_back(static_cast<uint8_t>(code >= escape ? code + 1 : code));
        out.push_back(static_cast<uint8_t>(v >> 5));
      }
      for (uint32_t k = 0; k <= distance_code; ++k) out.push_back(static_cast<uint8_t>(d >> (8 * k)));
      for (size_t k = 0; k < best_length; ++k) insert(i + k);
      i += best_length;
      continue;
    }
    out.push_back(data[i]);
    if (data[i] == escape) out.push_back(escape);
    insert(i);
    ++i;
  }
  SetU32(out, 4, static_cast<uint32_t>(out.size()));
  return out;
}

std::vector<uint8_t> BuildArchive(const ArchiveTreeNode& root, const ArchiveWriteOptions& options) {
  const int version = std::clamp(options.version, 0, 3);
  const bool with_packed_size = version >= 2;
  const size_t entry_size = with_packed_size ? 44 : 40;

  std::vector<uint8_t> file(24, 0);  // header, filled at the end
  const uint32_t data_offset = 24;
  std::vector<uint8_t> names, entries, directories;

  // Directories in breadth-first order; the root's record comes first.
  struct Pending {
    const ArchiveTreeNode* folder;
    uint32_t parent_record;
    uint32_t own_entry;
  };
  std::deque<Pending> queue{{&root, 0xFFFFFFFFu, 0xFFFFFFFFu}};
  uint32_t next_record = 1;
  while (!queue.empty()) {
    const Pending current = queue.front();
    queue.pop_front();
    const uint32_t record_offset = static_cast<uint32_t>(directories.size());
    PutU32(directories, current.own_entry);
    PutU32(directories, current.parent_record);
    PutU32(directories, static_cast<uint32_t>(current.folder->children.size()));
    PutU32(directories, static_cast<uint32_t>(entries.size()));
    for (const auto& child : current.folder->children) {
      const uint32_t entry_offset = static_cast<uint32_t>(entries.size());
      const uint32_t name_offset = static_cast<uint32_t>(names.size());
      const auto record = NameRecord(child.name);
      names.insert(names.end(), record.begin(), record.end());
      uint32_t position = 0, size = 0, packed = 0xFFFFFFFFu;
      if (child.is_folder) {
        position = next_record++ * 16;
        queue.push_back({&child, record_offset, entry_offset});
      } else {
        position = static_cast<uint32_t>(file.size() - data_offset);
        size = static_cast<uint32_t>(child.data.size());
        std::vector<uint8_t> lz;
        if (options.compress && with_packed_size) lz = CompressArchiveLz(child.data);
        if (!lz.empty() && (options.compress_even_if_larger || lz.size() < child.data.size())) {
          packed = static_cast<uint32_t>(lz.size());
          file.insert(file.end(), lz.begin(), lz.end());
        } else {
          file.insert(file.end(), child.data.begin(), child.data.end());
        }
      }
      PutU32(entries, name_offset);
      PutU32(entries, child.is_folder ? 0x10u : 0x20u);
      PutU64(entries, child.creation_time);
      PutU64(entries, child.write_time);
      PutU64(entries, child.write_time);
      PutU32(entries, position);
      PutU32(entries, size);
      if (with_packed_size) PutU32(entries, packed);
      (void)entry_size;
    }
  }
  while (names.size() % 4 != 0) names.push_back(0);
  const uint32_t directory_offset = static_cast<uint32_t>(file.size());
  const uint32_t entry_table = static_cast<uint32_t>(names.size());
  const uint32_t directory_table = static_cast<uint32_t>(names.size() + entries.size());
  file.insert(file.end(), names.begin(), names.end());
  file.insert(file.end(), entries.begin(), entries.end());
  file.insert(file.end(), directories.begin(), directories.end());

  file[0] = 'O';
  file[1] = 'R';
  file[2] = static_cast<uint8_t>(version);
  file[3] = 0;
  SetU32(file, 4, static_cast<uint32_t>(file.size() - directory_offset));
  SetU32(file, 8, data_offset);
  SetU32(file, 12, directory_offset);
  SetU32(file, 16, entry_table);
  SetU32(file, 20, directory_table);

  const auto key = ArchiveKeyFor(options.key_text, options.use_second_key);
  for (size_t i = 0; i < file.size(); ++i) file[i] ^= key[i % 12];
  return file;
}

std::optional<ArchiveTreeNode> ReadFolderTree(const std::string& native_folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(native_folder, ec)) return std::nullopt;
  ArchiveTreeNode node;
  node.is_folder = true;
  std::vector<fs::path> items;
  for (const auto& item : fs::directory_iterator(native_folder, ec)) items.push_back(item.path());
  if (ec) return std::nullopt;
  std::sort(items.begin(), items.end());
  for (const auto& path : items) {
    struct stat info {};
    const bool have_info = ::stat(path.c_str(), &info) == 0;
    ArchiveTreeNode child;
    if (fs::is_directory(path, ec)) {
      auto sub = ReadFolderTree(path.string());
      if (!sub) return std::nullopt;
      child = std::move(*sub);
    } else {
      std::ifstream in(path, std::ios::binary);
      if (!in) return std::nullopt;
      child.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    child.name = platform::Utf8ToSjis(path.filename().string());
    if (have_info) {
      child.write_time = UnixToFileTime(info.st_mtime);
      child.creation_time = child.write_time;
    }
    node.children.push_back(std::move(child));
  }
  return node;
}

bool WriteArchiveFromFolder(const std::string& native_folder, const std::string& native_output,
                            const ArchiveWriteOptions& options, std::string* error) {
  if (options.version < 0 || options.version > 3) {
    if (error) *error = "version must be 0 to 3";
    return false;
  }
  const auto tree = ReadFolderTree(native_folder);
  if (!tree) {
    if (error) *error = "cannot read folder " + native_folder;
    return false;
  }
  const auto bytes = BuildArchive(*tree, options);
  std::ofstream out(native_output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    if (error) *error = "cannot write " + native_output;
    return false;
  }
  return true;
}

}  // namespace writers
