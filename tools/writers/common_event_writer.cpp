#include "tools/writers/common_event_writer.h"

#include "tools/writers/data_file_writer.h"

namespace writers {

namespace {

void PutRoute(ByteWriter& out, const MoveRoute& route) {
  out.U8(route.animation_speed).U8(route.move_speed).U8(route.frequency);
  out.U8(route.move_type).U8(route.option_bits).U8(route.route_flags);
  out.U32(static_cast<uint32_t>(route.commands.size()));
  for (const MoveRouteCommand& command : route.commands) {
    out.U8(command.code).U8(static_cast<uint8_t>(command.arguments.size()));
    for (int32_t argument : command.arguments) out.I32(argument);
    out.U8(static_cast<uint8_t>(command.text.size() + 1));
    out.Bytes(command.text.data(), command.text.size()).U8(0);
  }
}

void PutCommand(ByteWriter& out, const EventCommand& command) {
  out.U8(static_cast<uint8_t>(command.numbers.size()));
  for (int32_t number : command.numbers) out.I32(number);
  out.U8(static_cast<uint8_t>(command.indent));
  out.U8(static_cast<uint8_t>(command.texts.size()));
  for (const std::string& text : command.texts) out.Text(text);
  out.U8(static_cast<uint8_t>(command.routes.size()));
  if (!command.routes.empty()) PutRoute(out, command.routes[0]);
}

void PutEvent(ByteWriter& out, const CommonEventEntry& event) {
  out.U8(event.lead_tag).I32(event.number).U8(event.start_byte);
  out.I32(event.condition_variable_id).I32(event.compare_value);
  out.U8(event.option_bytes[0]).U8(event.option_bytes[1]);
  out.Text(event.name);
  out.U32(static_cast<uint32_t>(event.commands.size()));
  for (const EventCommand& command : event.commands) PutCommand(out, command);
  out.U32(static_cast<uint32_t>(event.extra_bytes.size()));
  out.Bytes(event.extra_bytes.data(), event.extra_bytes.size());
  if (!event.extra_bytes.empty()) out.Text(event.note);
  out.U8(event.argument_tag);
  if (event.argument_tag != 0x8F) return;

  out.U32(static_cast<uint32_t>(event.argument_names.size()));
  for (const std::string& name : event.argument_names) out.Text(name);
  out.U32(static_cast<uint32_t>(event.argument_settings.size()));
  out.Bytes(event.argument_settings.data(), event.argument_settings.size());
  out.U32(static_cast<uint32_t>(event.argument_text_lists.size()));
  for (const std::vector<std::string>& texts : event.argument_text_lists) {
    out.U32(static_cast<uint32_t>(texts.size()));
    for (const std::string& text : texts) out.Text(text);
  }
  out.U32(static_cast<uint32_t>(event.argument_number_lists.size()));
  for (const std::vector<int32_t>& numbers : event.argument_number_lists) {
    out.U32(static_cast<uint32_t>(numbers.size()));
    for (int32_t number : numbers) out.I32(number);
  }
  out.U32(static_cast<uint32_t>(event.default_values.size()));
  for (int32_t value : event.default_values) out.I32(value);
  out.U8(event.closing_tag);
}

}  // namespace

void AppendEventCommandBytes(std::vector<uint8_t>& out, const EventCommand& command) {
  ByteWriter writer;
  PutCommand(writer, command);
  out.insert(out.end(), writer.Data().begin(), writer.Data().end());
}

std::vector<uint8_t> BuildCommonEventBody(const CommonEventFileContents& contents) {
  ByteWriter out;
  out.U8(contents.file_tag);
  out.U32(contents.count_override.value_or(static_cast<uint32_t>(contents.events.size())));
  for (const CommonEventEntry& event : contents.events) PutEvent(out, event);
  out.U8(contents.end_tag);
  return out.Data();
}

std::vector<uint8_t> BuildCommonEventFile(const CommonEventFileContents& contents) {
  return ScrambleFile(BuildCommonEventBody(contents), kBasicDataLayout, contents.keys);
}

}  // namespace writers
