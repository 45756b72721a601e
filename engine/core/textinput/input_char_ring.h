// The typed-character ring: the bytes the window procedure takes from key
// presses, typed characters and input-method results, waiting for the
// text-input editing step. 1025 bytes, so 1024 usable; empty when the read
// and write indexes are equal, full when one more byte would make them so.
// Bytes are Shift-JIS text or edit codes (input_edit_codes below); a lead
// byte and the byte after it form one character, and a character is taken
// whole or not at all.
#pragma once

#include <array>
#include <cstdint>

// Edit codes in the ring.
inline constexpr uint8_t kEditBackspace = 8;
inline constexpr uint8_t kEditTab = 9;
inline constexpr uint8_t kEditEnter = 13;
inline constexpr uint8_t kEditDelete = 16;
inline constexpr uint8_t kEditEscape = 27;
inline constexpr uint8_t kEditRight = 28;
inline constexpr uint8_t kEditLeft = 29;
inline constexpr uint8_t kEditUp = 30;
inline constexpr uint8_t kEditDown = 31;

class InputCharRing {
 public:
  static constexpr int32_t kBytes = 1025;

  bool Empty() const { return write_ == read_; }
  bool Full() const { return (write_ + 1) % kBytes == read_; }
  // Bytes that can still be pushed.
  int32_t Room() const { return kBytes - 1 - Used(); }
  int32_t Used() const { return (write_ - read_ + kBytes) % kBytes; }

  // false (nothing stored) when full.
  bool Push(uint8_t byte);
  // One character of 1 or 2 bytes, whole or not at all.
  bool PushCharacter(const uint8_t* bytes, int32_t count);
  // The next byte; false when empty.
  bool PopByte(uint8_t* byte);
  // The next character: 0 when empty, or when a lead byte's second byte has
  // not arrived (the lead byte stays); else 1 or 2 bytes into out. With
  // consume false the ring is left as it was.
  int32_t PopCharacter(uint8_t out[2], bool consume, int32_t code_page_mode);
  void Clear() { write_ = read_ = 0; }

  int32_t write_index() const { return write_; }
  int32_t read_index() const { return read_; }

 private:
  std::array<uint8_t, kBytes> bytes_{};
  int32_t write_ = 0;
  int32_t read_ = 0;
};
