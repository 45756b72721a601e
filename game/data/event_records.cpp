#include "game/data/event_records.h"

#include <algorithm>

namespace {

// The smallest stored forms, for checking counts before allocating.
constexpr uint64_t kMinCommandBytes = 4;  // number, text and route counts, indent
constexpr uint64_t kMinPageBytes = 69;    // tags, graphic, conditions, route, counts

constexpr uint8_t kPageStartTag = 121;
constexpr uint8_t kPageEndTag = 122;
constexpr uint8_t kEventStartTag = 111;
constexpr uint8_t kEventEndTag = 112;
constexpr int32_t kEventMagic = 12345;

// The list grows to n when it is shorter; then n bytes are read into it.
bool ReadOptionBytes(DataReader& in, std::vector<uint8_t>& bytes) {
  uint32_t count = 0;
  if (!in.ReadU32(count)) return false;
  if (!in.CanHold(count, 1)) {
    in.MarkDamaged();
    return false;
  }
  if (bytes.size() < count) bytes.resize(count);
  return in.ReadBytes(bytes.data(), count);
}

void WriteOptionBytes(DataWriter& out, const std::vector<uint8_t>& bytes) {
  out.WriteU32(static_cast<uint32_t>(bytes.size()));
  out.WriteBytes(bytes.data(), bytes.size());
}

}  // namespace

void EventPage::InsertEmptyCommand(int32_t n) {
  const size_t at = n <= 0 ? 0 : std::min(static_cast<size_t>(n), commands.size());
  commands.insert(commands.begin() + static_cast<std::ptrdiff_t>(at), EventCommand());
}

bool ReadEventCommand(DataReader& in, EventCommand& command) {
  uint8_t number_count = 0;
  if (!in.ReadU8(number_count)) return false;
  command.numbers.assign(number_count, 0);
  for (int32_t& number : command.numbers) {
    if (!in.ReadI32(number)) return false;
  }

  uint8_t indent = 0;
  if (!in.ReadU8(indent)) return false;
  command.indent = static_cast<int8_t>(indent);

  uint8_t text_count = 0;
  if (!in.ReadU8(text_count)) return false;
  command.texts.assign(text_count, std::string());
  for (std::string& text : command.texts) {
    if (!in.ReadString(text)) return false;
  }

  uint8_t route_flag = 0;
  if (!in.ReadU8(route_flag)) return false;
  if (route_flag >= 1) {
    command.routes.resize(1);
    if (!ReadMoveRoute(in, command.routes[0])) return false;
  }
  return true;
}

bool ReadCommandList(DataReader& in, uint32_t count, CommandList& commands) {
  commands.clear();
  if (!in.CanHold(count, kMinCommandBytes)) {
    in.MarkDamaged();
    return false;
  }
  commands.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    commands.emplace_back();
    if (!ReadEventCommand(in, commands.back())) return false;
  }
  return true;
}

bool ReadEventPage(DataReader& in, EventPage& page) {
  uint8_t tag = 0;
  if (!in.ReadU8(tag)) return false;  // not compared

  PageGraphic& graphic = page.graphic;
  if (!in.ReadI32(graphic.graphic_number) || !in.ReadString(graphic.file_name) ||
      !in.ReadU8(graphic.direction) || !in.ReadU8(graphic.pattern) || !in.ReadU8(graphic.opacity) ||
      !in.ReadU8(graphic.blend_mode)) {
    return false;
  }

  PageConditions& conditions = page.conditions;
  if (!in.ReadU8(conditions.start_type)) return false;
  for (uint8_t& condition : conditions.condition_bytes) {
    if (!in.ReadU8(condition)) return false;
  }
  for (int32_t& id : conditions.left_ids) {
    if (!in.ReadI32(id)) return false;
  }
  for (int32_t& value : conditions.right_values) {
    if (!in.ReadI32(value)) return false;
  }

  if (!ReadMoveRoute(in, page.route)) return false;

  uint32_t command_count = 0;
  if (!in.ReadU32(command_count)) return false;
  page.command_count = static_cast<int32_t>(command_count);
  if (!ReadCommandList(in, command_count, page.commands)) return false;

  if (!ReadOptionBytes(in, page.option_bytes)) return false;
  return in.ReadU8(tag);  // not compared
}

bool ReadMapEvent(DataReader& in, MapEventData& event) {
  uint8_t tag = 0;
  int32_t magic = 0;
  if (!in.ReadU8(tag) || !in.ReadI32(magic)) return false;  // neither compared

  if (!in.ReadI32(event.event_id) || !in.ReadString(event.name) || !in.ReadI32(event.x) ||
      !in.ReadI32(event.y) || !in.ReadI32(event.page_count)) {
    return false;
  }
  if (!ReadOptionBytes(in, event.option_bytes)) return false;

  event.pages.clear();
  if (event.page_count < 0 || !in.CanHold(static_cast<uint64_t>(event.page_count), kMinPageBytes)) {
    in.MarkDamaged();
    return false;
  }
  for (int32_t i = 0; i < event.page_count; ++i) {
    event.pages.emplace_back();
    if (!ReadEventPage(in, event.pages.back())) return false;
  }
  return in.ReadU8(tag);  // not compared
}

bool WriteEventCommand(DataWriter& out, const EventCommand& command) {
  if (command.numbers.size() > kMaxStoredByteCount || command.texts.size() > kMaxStoredByteCount ||
      command.routes.size() > kMaxStoredByteCount) {
    return false;
  }
  out.WriteU8(static_cast<uint8_t>(command.numbers.size()));
  for (int32_t number : command.numbers) out.WriteI32(number);
  out.WriteU8(static_cast<uint8_t>(command.indent));
  out.WriteU8(static_cast<uint8_t>(command.texts.size()));
  for (const std::string& text : command.texts) out.WriteString(text);
  out.WriteU8(static_cast<uint8_t>(command.routes.size()));
  // Only the first route of a command is stored.
  if (!command.routes.empty()) return WriteMoveRoute(out, command.routes[0]);
  return true;
}

bool WriteEventPage(DataWriter& out, EventPage& page) {
  if (page.commands.size() > static_cast<size_t>(INT32_MAX)) return false;
  out.WriteU8(kPageStartTag);
  const PageGraphic& graphic = page.graphic;
  out.WriteI32(graphic.graphic_number);
  out.WriteString(graphic.file_name);
  out.WriteU8(graphic.direction);
  out.WriteU8(graphic.pattern);
  out.WriteU8(graphic.opacity);
  out.WriteU8(graphic.blend_mode);

  const PageConditions& conditions = page.conditions;
  out.WriteU8(conditions.start_type);
  out.WriteBytes(conditions.condition_bytes.data(), conditions.condition_bytes.size());
  for (int32_t id : conditions.left_ids) out.WriteI32(id);
  for (int32_t value : conditions.right_values) out.WriteI32(value);

  if (!WriteMoveRoute(out, page.route)) return false;

  page.command_count = static_cast<int32_t>(page.commands.size());
  out.WriteU32(static_cast<uint32_t>(page.command_count));
  for (const EventCommand& command : page.commands) {
    if (!WriteEventCommand(out, command)) return false;
  }
  WriteOptionBytes(out, page.option_bytes);
  out.WriteU8(kPageEndTag);
  return true;
}

bool WriteMapEvent(DataWriter& out, MapEventData& event) {
  if (event.pages.size() > static_cast<size_t>(INT32_MAX)) return false;
  event.page_count = static_cast<int32_t>(event.pages.size());
  out.WriteU8(kEventStartTag);
  out.WriteI32(kEventMagic);
  out.WriteI32(event.event_id);
  out.WriteString(event.name);
  out.WriteI32(event.x);
  out.WriteI32(event.y);
  out.WriteI32(event.page_count);
  WriteOptionBytes(out, event.option_bytes);
  for (EventPage& page : event.pages) {
    if (!WriteEventPage(out, page)) return false;
  }
  out.WriteU8(kEventEndTag);
  return true;
}
