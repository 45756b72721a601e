// Builds CommonEvent.dat files for tests, fuzz seeds and the demo game,
// written from the stored format: a 10-byte header (keys at 0, 3, 9,
// checksum at 2), byte 0x8F, u32 count, the events, byte 0x8F. An event:
// byte tag, i32 number, byte start, i32 condition variable, i32 compare
// value, 2 option bytes, text name, u32 command count and the commands,
// u32 n extra bytes, the note (only when n >= 1), then byte 0x8E (end) or
// 0x8F followed by the argument block (u32 + names, u32 + setting bytes,
// u32 + text lists, u32 + number lists, u32 + default values) and byte 0x8F.
// Each event is put by the game's own encoder, WriteCommonEvent.
// The tags and the count can be overridden to damage a file on purpose.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/data/event_records.h"

namespace writers {

struct CommonEventEntry {
  uint8_t lead_tag = 0x8F;
  int32_t number = 0;
  uint8_t start_byte = 32;
  int32_t condition_variable_id = 2000000;
  int32_t compare_value = 0;
  std::array<uint8_t, 2> option_bytes{0, 0};
  std::string name;
  std::vector<EventCommand> commands;
  std::vector<uint8_t> extra_bytes{0};
  std::string note;
  // 0x8E ends the event after the note; 0x8F writes the argument block.
  // Any other value is written and nothing follows it.
  uint8_t argument_tag = 0x8F;
  std::vector<std::string> argument_names;
  std::vector<uint8_t> argument_settings;
  std::vector<std::vector<std::string>> argument_text_lists;
  std::vector<std::vector<int32_t>> argument_number_lists;
  std::vector<int32_t> default_values;
  uint8_t closing_tag = 0x8F;
};

struct CommonEventFileContents {
  uint8_t file_tag = 0x8F;
  std::vector<CommonEventEntry> events;
  uint8_t end_tag = 0x8F;
  std::array<uint8_t, 3> keys{0x4D, 0x12, 0xB7};
  std::optional<uint32_t> count_override;
};

// The body (after the header) and the whole file; no bytes at all when a
// command does not fit the stored form.
std::vector<uint8_t> BuildCommonEventBody(const CommonEventFileContents& contents);
std::vector<uint8_t> BuildCommonEventFile(const CommonEventFileContents& contents);

}  // namespace writers
