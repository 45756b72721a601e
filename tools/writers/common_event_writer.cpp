#include "tools/writers/common_event_writer.h"

#include <utility>

#include "game/data/data_writer.h"
#include "tools/writers/data_file_writer.h"

namespace writers {

namespace {

// False when one of the event's commands does not fit the stored form.
bool PutEvent(DataWriter& out, const CommonEventEntry& event) {
  out.WriteU8(event.lead_tag).WriteI32(event.number).WriteU8(event.start_byte);
  out.WriteI32(event.condition_variable_id).WriteI32(event.compare_value);
  out.WriteU8(event.option_bytes[0]).WriteU8(event.option_bytes[1]);
  out.WriteString(event.name);
  out.WriteU32(static_cast<uint32_t>(event.commands.size()));
  for (const EventCommand& command : event.commands) {
    if (!WriteEventCommand(out, command)) return false;
  }
  out.WriteU32(static_cast<uint32_t>(event.extra_bytes.size()));
  out.WriteBytes(event.extra_bytes.data(), event.extra_bytes.size());
  if (!event.extra_bytes.empty()) out.WriteString(event.note);
  out.WriteU8(event.argument_tag);
  if (event.argument_tag != 0x8F) return true;

  out.WriteU32(static_cast<uint32_t>(event.argument_names.size()));
  for (const std::string& name : event.argument_names) out.WriteString(name);
  out.WriteU32(static_cast<uint32_t>(event.argument_settings.size()));
  out.WriteBytes(event.argument_settings.data(), event.argument_settings.size());
  out.WriteU32(static_cast<uint32_t>(event.argument_text_lists.size()));
  for (const std::vector<std::string>& texts : event.argument_text_lists) {
    out.WriteU32(static_cast<uint32_t>(texts.size()));
    for (const std::string& text : texts) out.WriteString(text);
  }
  out.WriteU32(static_cast<uint32_t>(event.argument_number_lists.size()));
  for (const std::vector<int32_t>& numbers : event.argument_number_lists) {
    out.WriteU32(static_cast<uint32_t>(numbers.size()));
    for (int32_t number : numbers) out.WriteI32(number);
  }
  out.WriteU32(static_cast<uint32_t>(event.default_values.size()));
  for (int32_t value : event.default_values) out.WriteI32(value);
  out.WriteU8(event.closing_tag);
  return true;
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
