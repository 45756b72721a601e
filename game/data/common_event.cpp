#include "game/data/common_event.h"

#include <algorithm>

#include "game/data/data_file_buffer.h"
#include "game/data/data_scrambler.h"
#include "engine/api/services/service_registry.h"

namespace {

// Tag, number, start byte, ID, value, option bytes, name length, command
// count, extra count, tag.
constexpr uint64_t kMinCommonEventBytes = 29;

constexpr char kCommonEventFolder[] = "Data\\";

// Reads a u32 count and checks that count items of min_bytes each can follow.
bool ReadCount(DataReader& in, uint64_t min_bytes, uint32_t& count) {
  if (!in.ReadU32(count)) return false;
  if (!in.CanHold(count, min_bytes)) {
    in.MarkDamaged();
    return false;
  }
  return true;
}

template <typename T>
void GrowTo(std::vector<T>& list, uint32_t count) {
  if (list.size() < count) list.resize(count);
}

bool ReadArgumentBlock(DataReader& in, CommonEvent& event) {
  uint32_t count = 0;
  if (!ReadCount(in, 4, count)) return false;
  GrowTo(event.argument_names, count);
  for (uint32_t i = 0; i < count; ++i) {
    if (!in.ReadString(event.argument_names[i])) return false;
  }

  if (!ReadCount(in, 1, count)) return false;
  event.argument_settings.assign(count, 0);
  if (!in.ReadBytes(event.argument_settings.data(), count)) return false;

  if (!ReadCount(in, 4, count)) return false;
  GrowTo(event.argument_text_lists, count);
  for (uint32_t i = 0; i < count; ++i) {
    std::vector<std::string>& texts = event.argument_text_lists[i];
    uint32_t inner = 0;
    if (!ReadCount(in, 4, inner)) return false;
    GrowTo(texts, inner);
    for (uint32_t j = 0; j < inner; ++j) {
      if (!in.ReadString(texts[j])) return false;
    }
  }

  if (!ReadCount(in, 4, count)) return false;
  GrowTo(event.argument_number_lists, count);
  for (uint32_t i = 0; i < count; ++i) {
    std::vector<int32_t>& numbers = event.argument_number_lists[i];
    uint32_t inner = 0;
    if (!ReadCount(in, 4, inner)) return false;
    GrowTo(numbers, inner);
    for (uint32_t j = 0; j < inner; ++j) {
      if (!in.ReadI32(numbers[j])) return false;
    }
  }

  if (!ReadCount(in, 4, count)) return false;
  GrowTo(event.default_values, count);
  for (uint32_t i = 0; i < count; ++i) {
    if (!in.ReadI32(event.default_values[i])) return false;
  }
  return true;
}

void ShowCommonEventLoadFailure() {
  ShowUserMessage("読み込みエラー", "コモンイベントデータの読み込みに失敗しました");
}

}  // namespace

constinit CommonEventList CommonEvents{kEmptyRecord};

void CommonEvent::ResetCommonEventCommands(int32_t n) {
  const size_t at = n <= 0 ? 0 : std::min(static_cast<size_t>(n), commands.size());
  commands.insert(commands.begin() + static_cast<std::ptrdiff_t>(at), EventCommand());
}

CommonEventReadResult ReadCommonEvent(DataReader& in, CommonEvent& event) {
  constexpr CommonEventReadResult kDamaged = CommonEventReadResult::kDamaged;
  uint8_t tag = 0;
  if (!in.ReadU8(tag)) return kDamaged;  // not compared
  if (!in.ReadI32(event.number) || !in.ReadU8(event.start_byte) || !in.ReadI32(event.condition_variable_id) ||
      !in.ReadI32(event.compare_value) || !in.ReadU8(event.option_bytes[0]) || !in.ReadU8(event.option_bytes[1]) ||
      !in.ReadString(event.name)) {
    return kDamaged;
  }

  uint32_t command_count = 0;
  if (!in.ReadU32(command_count) || !ReadCommandList(in, command_count, event.commands)) return kDamaged;

  uint32_t extra_count = 0;
  if (!ReadCount(in, 1, extra_count)) return kDamaged;
  GrowTo(event.extra_bytes, extra_count);
  if (!in.ReadBytes(event.extra_bytes.data(), extra_count)) return kDamaged;
  if (extra_count >= 1 && !in.ReadString(event.note)) return kDamaged;

  if (!in.ReadU8(tag)) return kDamaged;
  if (tag == kCommonEventShortEnd) return CommonEventReadResult::kOk;
  if (tag != kCommonEventArgumentsTag) return CommonEventReadResult::kBadTag;

  if (!ReadArgumentBlock(in, event)) return kDamaged;
  if (!in.ReadU8(tag)) return kDamaged;
  return tag == kCommonEventArgumentsTag ? CommonEventReadResult::kOk : CommonEventReadResult::kBadTag;
}

bool WriteCommonEvent(DataWriter& out, const CommonEvent& event, const CommonEventTags& tags) {
  out.WriteU8(tags.lead).WriteI32(event.number).WriteU8(event.start_byte);
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
  out.WriteU8(tags.after_note);
  if (tags.after_note != kCommonEventArgumentsTag) return true;

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
  out.WriteU8(tags.closing);
  return true;
}

CommonEventList::CommonEventList() : events(kFreshCommonEventCount) {
  for (size_t i = 0; i < events.size(); ++i) events[i].number = static_cast<int32_t>(i);
}

CommonEventParseResult ParseCommonEventBody(DataReader& body, CommonEventList& list) {
  uint8_t tag = 0;
  if (!body.ReadU8(tag)) return CommonEventParseResult::kDamaged;
  if (tag != kCommonEventFileTag) return CommonEventParseResult::kBadOuterTag;

  uint32_t count = 0;
  if (!ReadCount(body, kMinCommonEventBytes, count)) return CommonEventParseResult::kDamaged;
  list.events.resize(count);
  for (size_t i = 0; i < list.events.size(); ++i) list.events[i].number = static_cast<int32_t>(i);
  for (size_t i = 0; i < list.events.size(); ++i) {
    const CommonEventReadResult result = ReadCommonEvent(body, list.events[i]);
    list.events[i].number = static_cast<int32_t>(i);
    if (result == CommonEventReadResult::kBadTag) return CommonEventParseResult::kBadEventTag;
    if (result != CommonEventReadResult::kOk) return CommonEventParseResult::kDamaged;
  }

  if (!body.ReadU8(tag)) return CommonEventParseResult::kDamaged;
  if (tag != kCommonEventFileTag) return CommonEventParseResult::kBadOuterTag;
  return CommonEventParseResult::kOk;
}

bool CommonEventList::LoadCommonEvents(const std::string& name) {
  const std::string path = std::string(kCommonEventFolder) + name;
  std::vector<uint8_t> file;
  const DataFileLoad load = LoadDataFileBuffer(path, file);
  if (load == DataFileLoad::kMissing) {
    ShowCommonEventLoadFailure();
    return false;
  }
  DataFileKeys keys;
  if (load != DataFileLoad::kLoaded || !UnscrambleDataFile(path, file, kBasicDataFileHeader, keys)) {
    ShowCommonEventLoadFailure();
    return false;
  }
  const size_t header_length = static_cast<size_t>(kBasicDataFileHeader.length);
  DataReader body(file.data() + header_length, file.size() - header_length);
  switch (ParseCommonEventBody(body, *this)) {
    case CommonEventParseResult::kOk:
      break;
    case CommonEventParseResult::kBadOuterTag:
      return false;
    case CommonEventParseResult::kBadEventTag:
      ShowUserMessage("読み込み失敗",
                               "コモンイベントファイルの読み込みに失敗しました。\r\nデータのバージョンが違う可能性があります、"
                               "最新ツールでロードしてください。");
      return false;
    case CommonEventParseResult::kDamaged:
      ShowCommonEventLoadFailure();
      return false;
  }
  VerifyDataFile(path, file, kBasicDataFileHeader, keys, header_length + body.Position());
  return true;
}
