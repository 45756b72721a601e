// The typed-character ring.
#include "engine/core/textinput/input_char_ring.h"

#include "engine/core/base/text_helpers.h"

bool InputCharRing::Push(uint8_t byte) {
  if (Full()) return false;
  bytes_[static_cast<size_t>(write_)] = byte;
  write_ = (write_ + 1) % kBytes;
  return true;
}

bool InputCharRing::PushCharacter(const uint8_t* bytes, int32_t count) {
  if (bytes == nullptr || count < 1 || count > 2 || Room() < count) return false;
  for (int32_t i = 0; i < count; ++i) Push(bytes[i]);
  return true;
}

bool InputCharRing::PopByte(uint8_t* byte) {
  if (Empty()) return false;
  *byte = bytes_[static_cast<size_t>(read_)];
  read_ = (read_ + 1) % kBytes;
  return true;
}

int32_t InputCharRing::PopCharacter(uint8_t out[2], bool consume, int32_t code_page_mode) {
  if (Empty()) return 0;
  const uint8_t first = bytes_[static_cast<size_t>(read_)];
  int32_t count = 1;
  const char lead = static_cast<char>(first);
  // Edit codes lie below every lead byte, so a lead byte is always text.
  if (IsLeadByte(&lead, code_page_mode) != 0) {
    if (Used() < 2) return 0;  // the second byte has not arrived yet
    count = 2;
  }
  out[0] = first;
  if (count == 2) out[1] = bytes_[static_cast<size_t>((read_ + 1) % kBytes)];
  if (consume) read_ = (read_ + count) % kBytes;
  return count;
}
