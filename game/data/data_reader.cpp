#include "game/data/data_reader.h"

#include <cstring>

bool DataReader::ReadBytes(void* out, size_t count) {
  if (damaged_ || count > Remaining()) {
    if (count > 0 && out != nullptr) std::memset(out, 0, count);
    damaged_ = true;
    return false;
  }
  if (count > 0) {
    std::memcpy(out, data_ + position_, count);
    position_ += count;
  }
  return true;
}

bool DataReader::ReadU8(uint8_t& out) {
  out = 0;
  return ReadBytes(&out, 1);
}

bool DataReader::ReadU16(uint16_t& out) {
  uint8_t bytes[2];
  out = 0;
  if (!ReadBytes(bytes, 2)) return false;
  out = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

bool DataReader::ReadU32(uint32_t& out) {
  uint8_t bytes[4];
  out = 0;
  if (!ReadBytes(bytes, 4)) return false;
  out = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
        (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

bool DataReader::ReadI32(int32_t& out) {
  uint32_t value = 0;
  const bool ok = ReadU32(value);
  out = static_cast<int32_t>(value);
  return ok;
}

bool DataReader::ReadString(std::string& out) {
  out.clear();
  uint32_t length = 0;
  if (!ReadU32(length)) return false;
  if (length > Remaining()) {
    damaged_ = true;
    return false;
  }
  const char* text = reinterpret_cast<const char*>(data_ + position_);
  const void* zero = std::memchr(text, 0, length);
  const size_t kept = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length;
  out.assign(text, kept);
  position_ += length;
  return true;
}

bool DataReader::Skip(size_t count) {
  if (damaged_ || count > Remaining()) {
    damaged_ = true;
    return false;
  }
  position_ += count;
  return true;
}

bool DataReader::CanHold(uint64_t count, uint64_t min_bytes_each) const {
  if (min_bytes_each == 0) return true;
  return count <= Remaining() / min_bytes_each;
}
