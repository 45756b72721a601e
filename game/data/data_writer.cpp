#include "game/data/data_writer.h"

DataWriter& DataWriter::WriteU8(uint8_t value) {
  bytes_->push_back(value);
  return *this;
}

DataWriter& DataWriter::WriteU16(uint16_t value) {
  bytes_->push_back(static_cast<uint8_t>(value));
  bytes_->push_back(static_cast<uint8_t>(value >> 8));
  return *this;
}

DataWriter& DataWriter::WriteU32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes_->push_back(static_cast<uint8_t>(value >> shift));
  return *this;
}

DataWriter& DataWriter::WriteBytes(const void* data, size_t count) {
  if (count == 0) return *this;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  bytes_->insert(bytes_->end(), bytes, bytes + count);
  return *this;
}

DataWriter& DataWriter::WriteString(std::string_view text) {
  WriteU32(static_cast<uint32_t>(text.size() + 1));
  WriteBytes(text.data(), text.size());
  return WriteU8(0);
}

void DataWriter::PatchU32(size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_->at(offset + static_cast<size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
}
