// Common events: event scripts shared by the whole game, as stored in
// Data\BasicData\CommonEvent.dat (10-byte header, keys at bytes 0, 3, 9,
// checksum at byte 2), each with a start condition, its commands, a note and
// an optional block that describes call arguments.
//
// Body: byte 0x8F; u32 event count; the events; byte 0x8F. Event: byte tag;
// i32 number; byte start; i32 condition variable ID; i32 compare value; two
// option bytes; text name; u32 command count and commands (the stored
// command form of event_records.h); u32 extra-byte count n, n bytes; a text
// note only when n >= 1; byte 0x8E (ends the event) or 0x8F (the argument
// block follows: names, settings, text lists, number lists, default values,
// then byte 0x8F). Lists of the argument block only grow to a stored count,
// except the settings, which are set to exactly that count.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/empty_record.h"
#include "game/data/event_records.h"

inline constexpr uint8_t kCommonEventFileTag = 0x8F;
inline constexpr uint8_t kCommonEventShortEnd = 0x8E;
inline constexpr uint8_t kCommonEventArgumentsTag = 0x8F;
inline constexpr size_t kCommonEventArgumentSlots = 10;
inline constexpr size_t kCommonEventDefaultValues = 5;
inline constexpr size_t kFreshCommonEventCount = 10;

struct CommonEvent {
  CommonEvent() { ResetCommonEventCommands(0); }

  int32_t number = 0;  // its index in the list
  std::string name;
  // Low four bits the start type, high four bits the comparison operator.
  uint8_t start_byte = 32;
  int32_t condition_variable_id = 2000000;
  int32_t compare_value = 0;
  std::array<uint8_t, 2> option_bytes{0, 0};
  CommandList commands;
  std::vector<uint8_t> extra_bytes{0};
  std::string note;
  std::vector<std::string> argument_names = std::vector<std::string>(kCommonEventArgumentSlots);
  std::vector<uint8_t> argument_settings = std::vector<uint8_t>(kCommonEventArgumentSlots, 0);
  std::vector<std::vector<std::string>> argument_text_lists =
      std::vector<std::vector<std::string>>(kCommonEventArgumentSlots);
  std::vector<std::vector<int32_t>> argument_number_lists =
      std::vector<std::vector<int32_t>>(kCommonEventArgumentSlots);
  std::vector<int32_t> default_values = std::vector<int32_t>(kCommonEventDefaultValues, 0);

  // Inserts one fresh command after the first n (n capped at the list size).
  void ResetCommonEventCommands(int32_t n);

  bool operator==(const CommonEvent&) const = default;
};

enum class CommonEventReadResult {
  kOk,
  kBadTag,   // the tag after the note or the one closing the arguments
  kDamaged,  // a count or length beyond the file's end, or a refused route
};
CommonEventReadResult ReadCommonEvent(DataReader& in, CommonEvent& event);

struct CommonEventList {
  // Ten fresh events numbered 0 to 9.
  CommonEventList();
  // No events: the constant state of the global list before start-up.
  explicit constexpr CommonEventList(EmptyRecordTag) {}

  std::vector<CommonEvent> events;

  // Reads "Data\" followed by `name` ("BasicData\CommonEvent.dat"). False
  // after a message box for a missing or damaged file or an event with a tag
  // that is not accepted (events read before it are kept); silently false
  // for a wrong outer tag. A failed checksum ends the program.
  bool LoadCommonEvents(const std::string& name);
};

// The game's one common-event list (the global CommonEventList), indexed by
// common-event number. LoadBasicData assigns a fresh list to it and then
// loads it, at start and at every return to the title.
extern CommonEventList CommonEvents;

// The framing bytes of one stored event: the tag that leads it (never
// compared), the tag after the note (0x8F: the argument block follows;
// 0x8E: the event ends there; any other value is written and nothing
// follows it) and the tag that closes the argument block. The defaults are
// the stored form; file builders change them to damage a file on purpose.
struct CommonEventTags {
  uint8_t lead = kCommonEventFileTag;
  uint8_t after_note = kCommonEventArgumentsTag;
  uint8_t closing = kCommonEventArgumentsTag;
};

// Puts one event in the stored form ReadCommonEvent reads: the number,
// start byte, condition, option bytes and name, the commands, the extra
// bytes, the note (only when there is at least one extra byte) and, after
// the tag that says so, the argument block with every list as held. False
// when a command does not fit the stored form (the event is then partial).
bool WriteCommonEvent(DataWriter& out, const CommonEvent& event, const CommonEventTags& tags = {});

enum class CommonEventParseResult {
  kOk,
  kBadOuterTag,  // silent failure
  kBadEventTag,  // an event with a tag that is not accepted
  kDamaged,
};
// Parses a body (after the header, unscrambled) into the list: the list is
// set to the stored count and the events are numbered by their index.
CommonEventParseResult ParseCommonEventBody(DataReader& body, CommonEventList& list);
