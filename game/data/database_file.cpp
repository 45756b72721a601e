#include "game/data/database_file.h"

#include <algorithm>
#include <utility>

#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"
#include "game/data/data_file_buffer.h"
#include "game/data/data_scrambler.h"
#include "engine/api/services/service_registry.h"

namespace {

constexpr size_t kContentSettingBytes = 100;
// The least bytes one type block and one definition can take.
constexpr uint64_t kMinTypeBlockBytes = 8;
constexpr uint64_t kMinDefinitionBytes = 16;

bool IsVersionByte(uint8_t byte) { return byte == kDataBaseVersionOld || byte == kDataBaseVersionNew; }

// Reads a u32 count and checks that count items of at least min_bytes each
// still fit; a count that cannot fit marks the reader damaged and gives 0.
uint32_t ReadCount(DataReader& reader, uint64_t min_bytes) {
  uint32_t count = 0;
  if (!reader.ReadU32(count)) return 0;
  if (!reader.CanHold(count, min_bytes)) {
    reader.MarkDamaged();
    return 0;
  }
  return count;
}

void ReadTexts(DataReader& reader, std::vector<std::string>& texts, uint32_t count) {
  if (texts.size() < count) texts.resize(count);
  for (uint32_t i = 0; i < count && !reader.Damaged(); ++i) reader.ReadString(texts[i]);
}

[[noreturn]] void MissingDataBaseFile(const std::string& path) {
  ShowUserMessage(
      "読み込みエラー",
      FormatString("データベースファイル読み込みに失敗、強制終了します。\n\r\n\r%s\r\nのファイルがあるか確認してください",
                     path.c_str()));
  EndProgramAfterDataError();
}

void ShowDamagedDataBase(const std::string& name) {
  ShowUserMessage(
      "MsgBox",
      FormatString("データベースファイル\n%sが\n破損しているか、バージョンが古い可能性があります。", name.c_str()));
}

std::vector<uint8_t> LoadOrExit(const std::string& path, bool& unreadable) {
  std::vector<uint8_t> bytes;
  const DataFileLoad load = LoadDataFileBuffer(path, bytes);
  if (load == DataFileLoad::kMissing) MissingDataBaseFile(path);
  unreadable = load != DataFileLoad::kLoaded;
  return bytes;
}

std::string DataPath(const std::string& name, const char* extension) {
  return "Data\\" + name + extension;
}

bool ParseProjectOrReport(DataBase& database, const std::string& name, const std::vector<uint8_t>& project) {
  DataReader reader(project.data(), project.size());
  if (ParseDataBaseProject(reader, database, DataBaseVersion == kDataBaseVersionOld) !=
      DataBaseFileResult::kLoaded) {
    ShowDamagedDataBase(name);
    return false;
  }
  return true;
}

}  // namespace

bool ReadTypeRows(DataReader& reader, DataBaseEntry& row, size_t number_count, size_t text_count) {
  row.numbers.assign(number_count, 0);
  row.texts.assign(text_count, std::string());
  for (int32_t& number : row.numbers) reader.ReadI32(number);
  for (std::string& text : row.texts) reader.ReadString(text);
  return !reader.Damaged();
}

bool DataBaseRowBudget::Take(uint64_t rows) {
  if (rows > rows_left_) return false;
  rows_left_ -= rows;
  return true;
}

bool ReadTypeData(DataReader& reader, DataBaseTypeData& type, DataBaseRowBudget& budget) {
  int32_t header = 0;
  reader.ReadI32(header);
  int32_t content_count = header;
  if (header < 0) {
    type.header_value = header;
    if (header <= -2) reader.ReadI32(type.naming_setting);
    reader.ReadI32(content_count);
  }
  if (content_count < 0 || !reader.CanHold(static_cast<uint32_t>(content_count), 4)) {
    reader.MarkDamaged();
    content_count = 0;
  }
  type.descriptors.assign(static_cast<size_t>(content_count), 0);
  size_t number_count = 0, text_count = 0;
  for (int32_t& descriptor : type.descriptors) {
    reader.ReadI32(descriptor);
    if (descriptor / 1000 == kContentKindNumber) ++number_count;
    if (descriptor / 1000 == kContentKindText) ++text_count;
  }
  uint32_t row_count = 0;
  reader.ReadU32(row_count);
  // Rows of numbers and texts take at least 4 bytes a cell; rows without
  // cells take none, so their number is capped per type instead. Either way
  // the rows draw on the file's budget.
  const uint64_t row_bytes = 4ull * (number_count + text_count);
  const bool fits = row_bytes == 0 ? row_count <= static_cast<uint32_t>(kMaxDataBaseRows)
                                   : reader.CanHold(row_count, row_bytes);
  if (!fits || !budget.Take(row_count)) {
    reader.MarkDamaged();
    row_count = 0;
  }
  // Rows of a type without cells end up with none; they start that way too
  // (not with a fresh row's one empty text), so each takes only its record.
  DataBaseEntry fresh;
  if (row_bytes == 0) fresh.texts.clear();
  type.rows.assign(row_count, fresh);
  for (DataBaseEntry& row : type.rows) {
    if (!ReadTypeRows(reader, row, number_count, text_count)) break;
  }
  return !reader.Damaged();
}

bool ReadTypeDefinition(DataReader& reader, DataBaseType& definition, bool short_form) {
  reader.ReadString(definition.type_name);
  const uint32_t content_count = ReadCount(reader, 4);
  definition.content_names.resize(content_count);
  ReadTexts(reader, definition.content_names, content_count);
  const uint32_t data_name_count = ReadCount(reader, 4);
  definition.data_names.resize(data_name_count);
  ReadTexts(reader, definition.data_names, data_name_count);
  reader.ReadString(definition.memo);

  definition.content_texts.resize(content_count);
  definition.content_text_lists.resize(content_count);
  definition.content_number_lists.resize(content_count);
  definition.default_values.resize(content_count, 0);
  if (short_form || reader.Damaged()) return !reader.Damaged();

  uint32_t setting_count = 0;
  reader.ReadU32(setting_count);
  const size_t kept = std::min<size_t>(setting_count, kContentSettingBytes);
  reader.ReadBytes(definition.content_settings.data(), kept);
  reader.Skip(setting_count - kept);

  const uint32_t text_count = ReadCount(reader, 4);
  ReadTexts(reader, definition.content_texts, text_count);

  const uint32_t text_list_count = ReadCount(reader, 4);
  if (definition.content_text_lists.size() < text_list_count) definition.content_text_lists.resize(text_list_count);
  for (uint32_t i = 0; i < text_list_count && !reader.Damaged(); ++i) {
    const uint32_t m = ReadCount(reader, 4);
    definition.content_text_lists[i].assign(m, std::string());
    ReadTexts(reader, definition.content_text_lists[i], m);
  }

  const uint32_t number_list_count = ReadCount(reader, 4);
  if (definition.content_number_lists.size() < number_list_count) {
    definition.content_number_lists.resize(number_list_count);
  }
  for (uint32_t i = 0; i < number_list_count && !reader.Damaged(); ++i) {
    const uint32_t m = ReadCount(reader, 4);
    definition.content_number_lists[i].assign(m, 0);
    for (int32_t& number : definition.content_number_lists[i]) reader.ReadI32(number);
  }

  const uint32_t default_count = ReadCount(reader, 4);
  if (definition.default_values.size() < default_count) definition.default_values.resize(default_count, 0);
  for (uint32_t i = 0; i < default_count && !reader.Damaged(); ++i) reader.ReadI32(definition.default_values[i]);
  return !reader.Damaged();
}

DataBaseFileResult ParseDataBaseDat(DataReader& reader, DataBase& database) {
  DataBaseVersion = kDataBaseVersionOld;
  uint8_t version = 0;
  reader.ReadU8(version);
  if (!IsVersionByte(version)) return DataBaseFileResult::kBadVersion;
  DataBaseVersion = version;
  const uint32_t type_count = ReadCount(reader, kMinTypeBlockBytes);
  database.type_data.resize(type_count);
  DataBaseRowBudget budget(reader.Size());
  for (DataBaseTypeData& type : database.type_data) {
    if (!ReadTypeData(reader, type, budget)) break;
  }
  uint8_t closing = 0;
  reader.ReadU8(closing);
  if (reader.Damaged() || !IsVersionByte(closing)) return DataBaseFileResult::kDamaged;
  return DataBaseFileResult::kLoaded;
}

DataBaseFileResult ParseDataBaseProject(DataReader& reader, DataBase& database, bool short_form) {
  const uint32_t type_count = ReadCount(reader, kMinDefinitionBytes);
  database.types.resize(type_count);
  for (DataBaseType& definition : database.types) {
    if (!ReadTypeDefinition(reader, definition, short_form)) break;
  }
  return reader.Damaged() ? DataBaseFileResult::kDamaged : DataBaseFileResult::kLoaded;
}

namespace {

// Unscrambles and parses a ".dat" file, then verifies its checksum over the
// bytes parsed. False for a wrong first version byte (silently) or a damaged
// file (after the message box).
bool ReadDatBytes(DataBase& database, const std::string& name, std::vector<uint8_t>& dat) {
  const std::string dat_path = DataPath(name, ".dat");
  DataFileKeys keys;
  if (!UnscrambleDataFile(dat_path, dat, kDatabaseDatHeader, keys)) {
    ShowDamagedDataBase(name);
    return false;
  }
  DataReader reader(dat.data(), dat.size());
  reader.Skip(static_cast<size_t>(kDatabaseDatHeader.length));
  const DataBaseFileResult result = ParseDataBaseDat(reader, database);
  if (result == DataBaseFileResult::kBadVersion) return false;
  if (result == DataBaseFileResult::kDamaged) {
    ShowDamagedDataBase(name);
    return false;
  }
  VerifyDataFile(dat_path, dat, kDatabaseDatHeader, keys, reader.Position());
  return true;
}

}  // namespace

bool LoadDataBaseFromBytes(DataBase& database, const std::string& name, std::vector<uint8_t> dat,
                           const std::vector<uint8_t>& project) {
  return ReadDatBytes(database, name, dat) && ParseProjectOrReport(database, name, project);
}

bool LoadDataBase(DataBase& database, const std::string& name) {
  bool unreadable = false;
  std::vector<uint8_t> dat = LoadOrExit(DataPath(name, ".dat"), unreadable);
  if (unreadable) {
    ShowDamagedDataBase(name);
    return false;
  }
  if (!ReadDatBytes(database, name, dat)) return false;
  dat = std::vector<uint8_t>();
  // The ".project" file is opened only once the ".dat" file has been read.
  std::vector<uint8_t> project = LoadOrExit(DataPath(name, ".project"), unreadable);
  if (unreadable) {
    ShowDamagedDataBase(name);
    return false;
  }
  return ParseProjectOrReport(database, name, project);
}

bool ReadDataBaseTablesFromSave(DataBase& database, DataReader& save) {
  uint8_t unused = 0;
  uint32_t type_count = 0;
  if (!save.ReadU8(unused) || !save.ReadU32(type_count)) return false;
  if (!save.CanHold(type_count, kMinTypeBlockBytes)) {
    save.MarkDamaged();
    return false;
  }
  database.type_data.resize(type_count);
  DataBaseRowBudget budget(save.Remaining());
  for (DataBaseTypeData& type : database.type_data) {
    if (!ReadTypeData(save, type, budget)) break;
  }
  return true;
}

bool ReadDataBaseFromSave(DataBase& database, DataReader& save) {
  if (!ReadDataBaseTablesFromSave(database, save)) return false;
  const std::string name = "BasicData\\CDataBase";
  bool unreadable = false;
  std::vector<uint8_t> project = LoadOrExit(DataPath(name, ".project"), unreadable);
  if (unreadable) {
    ShowDamagedDataBase(name);
    return true;
  }
  ParseProjectOrReport(database, name, project);
  return true;
}

namespace {

void WriteTexts(DataWriter& out, const std::vector<std::string>& texts) {
  out.WriteU32(static_cast<uint32_t>(texts.size()));
  for (const std::string& text : texts) out.WriteString(text);
}

}  // namespace

void WriteTypeDefinition(DataWriter& out, const DataBaseType& definition, bool short_form) {
  out.WriteString(definition.type_name);
  WriteTexts(out, definition.content_names);
  WriteTexts(out, definition.data_names);
  out.WriteString(definition.memo);
  if (short_form) return;
  const size_t settings = std::min<size_t>(definition.content_names.size(), definition.content_settings.size());
  out.WriteU32(static_cast<uint32_t>(settings));
  out.WriteBytes(definition.content_settings.data(), settings);
  WriteTexts(out, definition.content_texts);
  out.WriteU32(static_cast<uint32_t>(definition.content_text_lists.size()));
  for (const std::vector<std::string>& list : definition.content_text_lists) WriteTexts(out, list);
  out.WriteU32(static_cast<uint32_t>(definition.content_number_lists.size()));
  for (const std::vector<int32_t>& list : definition.content_number_lists) {
    out.WriteU32(static_cast<uint32_t>(list.size()));
    for (int32_t number : list) out.WriteI32(number);
  }
  out.WriteU32(static_cast<uint32_t>(definition.default_values.size()));
  for (int32_t value : definition.default_values) out.WriteI32(value);
}

void WriteDataBaseProject(DataWriter& out, const DataBase& database, bool short_form) {
  out.WriteU32(static_cast<uint32_t>(database.types.size()));
  for (const DataBaseType& definition : database.types) WriteTypeDefinition(out, definition, short_form);
}

void WriteTypeData(DataWriter& out, const DataBaseTypeData& type) {
  const uint32_t content_count = static_cast<uint32_t>(type.descriptors.size());
  if (type.header_value >= 0) {
    out.WriteU32(content_count);
  } else if (type.header_value == -1) {
    out.WriteI32(-1).WriteU32(content_count);
  } else {
    out.WriteI32(type.header_value).WriteI32(type.naming_setting).WriteU32(content_count);
  }
  size_t number_count = 0, text_count = 0;
  for (int32_t descriptor : type.descriptors) {
    out.WriteI32(descriptor);
    if (descriptor / 1000 == kContentKindNumber) ++number_count;
    if (descriptor / 1000 == kContentKindText) ++text_count;
  }
  out.WriteU32(static_cast<uint32_t>(type.rows.size()));
  for (const DataBaseEntry& row : type.rows) {
    for (size_t i = 0; i < number_count; ++i) out.WriteI32(i < row.numbers.size() ? row.numbers[i] : 0);
    for (size_t i = 0; i < text_count; ++i) out.WriteString(i < row.texts.size() ? row.texts[i] : std::string());
  }
}

void WriteDataBaseToSave(DataBase& database, DataWriter& out) {
  out.WriteU8(111);
  out.WriteU32(static_cast<uint32_t>(database.type_data.size()));
  for (DataBaseTypeData& type : database.type_data) {
    type.header_value = -2;
    WriteTypeData(out, type);
  }
}
