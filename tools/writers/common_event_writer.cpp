#include "tools/writers/common_event_writer.h"

#include <utility>

#include "game/data/common_event.h"
#include "game/data/data_writer.h"
#include "tools/writers/data_file_writer.h"

namespace writers {

namespace {

// False when one of the event's commands does not fit the stored form.
bool PutEvent(DataWriter& out, const CommonEventEntry& entry) {
  CommonEvent event;
  event.number = entry.number;
  event.start_byte = entry.start_byte;
  event.condition_variable_id = entry.condition_variable_id;
  event.compare_value = entry.compare_value;
  event.option_bytes = entry.option_bytes;
  event.name = entry.name;
  event.commands = entry.commands;
  event.extra_bytes = entry.extra_bytes;
  event.note = entry.note;
  event.argument_names = entry.argument_names;
  event.argument_settings = entry.argument_settings;
  event.argument_text_lists = entry.argument_text_lists;
  event.argument_number_lists = entry.argument_number_lists;
  event.default_values = entry.default_values;
  return WriteCommonEvent(out, event, CommonEventTags{entry.lead_tag, entry.argument_tag, entry.closing_tag});
}

}  // namespace

std::vector<uint8_t> BuildCommonEventBody(const CommonEventFileContents& contents) {
  DataWriter out;
  out.WriteU8(contents.file_tag);
  out.WriteU32(contents.count_override.value_or(static_cast<uint32_t>(contents.events.size())));
  for (const CommonEventEntry& event : contents.events) {
    if (!PutEvent(out, event)) return {};
  }
  out.WriteU8(contents.end_tag);
  return std::move(out.Bytes());
}

std::vector<uint8_t> BuildCommonEventFile(const CommonEventFileContents& contents) {
  const std::vector<uint8_t> body = BuildCommonEventBody(contents);
  if (body.empty()) return {};
  return ScrambleFile(body, kBasicDataFileHeader, contents.keys);
}

}  // namespace writers
