// The writer every encoder of the data formats appends through (map files,
// event records, move routes, database type blocks, save blocks, and the
// test and tool builders of the other files). Numbers are little-endian;
// texts are a u32 length that counts a terminating zero byte, then the bytes
// and the zero. Writes always succeed: an encoder checks the limits of its
// stored form before it writes.
//
// A writer either appends to a buffer of its own or to the caller's buffer
// (which may already hold a file header). Every write returns the writer, so
// short byte sequences read as one expression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class DataWriter {
 public:
  DataWriter() : bytes_(&own_) {}
  explicit DataWriter(std::vector<uint8_t>& bytes) : bytes_(&bytes) {}
  DataWriter(const DataWriter&) = delete;
  DataWriter& operator=(const DataWriter&) = delete;

  DataWriter& WriteU8(uint8_t value);
  DataWriter& WriteU16(uint16_t value);
  DataWriter& WriteU32(uint32_t value);
  DataWriter& WriteI32(int32_t value) { return WriteU32(static_cast<uint32_t>(value)); }
  DataWriter& WriteBytes(const void* data, size_t count);
  // Length (text bytes + 1), the bytes, a zero byte.
  DataWriter& WriteString(std::string_view text);
  // Overwrites the u32 at an earlier offset (a position known only later).
  // The caller keeps offset + 4 <= Position().
  void PatchU32(size_t offset, uint32_t value);

  // Bytes in the buffer, including any the caller's buffer held before.
  size_t Position() const { return bytes_->size(); }
  std::vector<uint8_t>& Bytes() { return *bytes_; }
  const std::vector<uint8_t>& Bytes() const { return *bytes_; }

 private:
  std::vector<uint8_t> own_;
  std::vector<uint8_t>* bytes_;
};
