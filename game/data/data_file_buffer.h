// The in-memory copy of one whole data file: read in one call through the
// library's file entry points (so it may come from an archive), then parsed
// with a DataReader; or built with a DataWriter before it is written.
// Each reader and writer owns its own buffer for the length of one file.
// Sizes are bytes; numbers are written little-endian; texts as a u32 length
// that counts the terminating zero byte, then the bytes and the zero.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Data files larger than this are refused as unreadable (every format here
// is far smaller; it also keeps body positions inside 32 bits).
inline constexpr int64_t kMaxDataFileBytes = 256ll * 1024 * 1024;

enum class DataFileLoad {
  kLoaded,
  kMissing,     // OpenDataFile gave no handle
  kUnreadable,  // opened, but the size or the read failed, or it is too large
};

// Reads the file of that (Shift-JIS) name whole into bytes.
DataFileLoad LoadDataFileBuffer(std::string_view name, std::vector<uint8_t>& bytes);

// Appends values to a growing byte buffer.
class DataWriter {
 public:
  explicit DataWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  void WriteU8(uint8_t value) { bytes_.push_back(value); }
  void WriteU16(uint16_t value);
  void WriteU32(uint32_t value);
  void WriteI32(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
  void WriteBytes(const void* data, size_t count);
  // Length (text bytes + 1), the bytes, a zero byte.
  void WriteString(std::string_view text);
  size_t Position() const { return bytes_.size(); }

 private:
  std::vector<uint8_t>& bytes_;
};
