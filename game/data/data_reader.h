// The bounded reader every data-file parser takes its values through
// (Game.dat, databases, maps, tile sets, common events, saves). Each read
// checks the bytes remaining; a read past the end takes nothing, leaves the
// destination zeroed/empty, and marks the reader damaged, so a parser never
// reads outside its buffer and can report the file as damaged afterwards.
// Once damaged, every further read fails the same way, so a parser that goes
// on after an overrun only sees zeros and empty texts.
// Numbers are little-endian; texts are a u32 length that counts a terminating
// zero byte, then the bytes (the zero is not kept in the result).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class DataReader {
 public:
  DataReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ReadU8(uint8_t& out);
  bool ReadU16(uint16_t& out);
  bool ReadI32(int32_t& out);
  bool ReadU32(uint32_t& out);
  bool ReadBytes(void* out, size_t count);
  // A length-prefixed text. A length of 0 gives an empty text (nothing
  // further read); a length larger than what remains marks the reader
  // damaged.
  bool ReadString(std::string& out);
  bool Skip(size_t count);

  const uint8_t* Data() const { return data_; }
  size_t Position() const { return position_; }
  size_t Size() const { return size_; }
  size_t Remaining() const { return size_ - position_; }
  bool Damaged() const { return damaged_; }
  void MarkDamaged() { damaged_ = true; }
  // Callers that allocate from a count check it first: true when count
  // elements of at least min_bytes_each bytes could still follow.
  bool CanHold(uint64_t count, uint64_t min_bytes_each) const;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool damaged_ = false;
};
