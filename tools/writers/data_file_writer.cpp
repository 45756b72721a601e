#include "tools/writers/data_file_writer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace writers {

ByteWriter& ByteWriter::U8(uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

ByteWriter& ByteWriter::U16(uint16_t value) {
  bytes_.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes_.push_back(static_cast<uint8_t>(value >> 8));
  return *this;
}

ByteWriter& ByteWriter::U32(uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
  return *this;
}

ByteWriter& ByteWriter::Bytes(const void* data, size_t count) {
  const auto* begin = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), begin, begin + count);
  return *this;
}

ByteWriter& ByteWriter::Text(std::string_view text) {
  U32(static_cast<uint32_t>(text.size() + 1));
  Bytes(text.data(), text.size());
  return U8(0);
}

ByteWriter& ByteWriter::RawText(uint32_t stored_length, std::string_view stored_bytes) {
  U32(stored_length);
  return Bytes(stored_bytes.data(), stored_bytes.size());
}

void ByteWriter::PatchU32(size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
}

void ScrambleBody(uint8_t* body, size_t size, const std::array<uint8_t, 3>& keys) {
  if (keys[0] == 0 && keys[1] == 0 && keys[2] == 0) return;
  static constexpr size_t kSteps[3] = {1, 2, 5};
  for (int pass = 0; pass < 3; ++pass) {
    FormatRandom random(keys[pass]);
    for (size_t i = 0; i < size; i += kSteps[pass]) body[i] ^= static_cast<uint8_t>(random.Next() >> 12);
  }
}

std::vector<uint8_t> ScrambleFile(const std::vector<uint8_t>& body, const ScrambledLayout& layout,
                                  const std::array<uint8_t, 3>& keys, size_t checked_length,
                                  uint32_t filler_seed) {
  std::vector<uint8_t> file(static_cast<size_t>(layout.header_length));
  FormatRandom filler(filler_seed);
  for (uint8_t& byte : file) byte = static_cast<uint8_t>(filler.Next() >> 8);
  uint8_t sum = 0;
  const size_t covered = std::min(checked_length, body.size());
  for (size_t i = 0; i < covered; ++i) sum = static_cast<uint8_t>(sum + body[i]);
  const bool plain = keys[0] == 0 && keys[1] == 0 && keys[2] == 0;
  for (int k = 0; k < 3; ++k) {
    file[layout.check_offsets[k]] = 0;
    file[layout.key_offsets[k]] = keys[k];
  }
  if (!plain) file[layout.check_offsets[0]] = sum;
  const size_t body_start = file.size();
  file.insert(file.end(), body.begin(), body.end());
  ScrambleBody(file.data() + body_start, body.size(), keys);
  return file;
}

bool WriteFileBytes(const std::string& native_path, const std::vector<uint8_t>& bytes) {
  std::error_code error;
  const std::filesystem::path path(native_path);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace writers
