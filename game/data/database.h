// The database model: a DataBase is a list of types; each type is a table
// whose columns (contents) hold numbers or texts and whose rows are data.
// The cells come from the ".dat" file (DataBaseTypeData), the names and
// defaults from the ".project" file (DataBaseType); type numbers index both
// lists. A content descriptor is kind * 1000 + slot (kind 1 number, 2 text;
// the slot indexes the row's number or text list).
//
// Accessors never fail hard: a bad index gives a neutral value (and, where
// the design says so, an error box and DBReadErrorFlag = 1). Every index is
// checked against the lists actually held, so files whose two halves
// disagree, or whose descriptors name missing slots, are read safely.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/empty_record.h"

// Set to 1 by ReadDBInt and ReadDBString when they report a missing type,
// data or content; the event interpreter tests and clears it.
extern int32_t DBReadErrorFlag;
// The version byte of the database file read last (0xC0 or 0xC1); 0xC1
// after any DataBase is constructed.
extern int32_t DataBaseVersion;

inline constexpr int32_t kContentKindNumber = 1;
inline constexpr int32_t kContentKindText = 2;
// The most rows ResizeDBType makes (larger requests are cut to it).
inline constexpr int32_t kMaxDataBaseRows = 100000;

struct DataBaseEntry {
  std::vector<int32_t> numbers;
  std::vector<std::string> texts = std::vector<std::string>(1);
};

struct DataBaseTypeData {
  std::vector<int32_t> descriptors = {2000};
  std::vector<DataBaseEntry> rows = std::vector<DataBaseEntry>(1);
  int32_t header_value = -2;
  int32_t naming_setting = 0;
};

struct DataBaseType {
  std::string type_name;
  std::string memo;
  std::vector<std::string> data_names = std::vector<std::string>(1);
  std::vector<std::string> content_names = std::vector<std::string>(1);
  std::array<uint8_t, 100> content_settings{};
  std::vector<std::string> content_texts = std::vector<std::string>(1);
  std::vector<std::vector<std::string>> content_text_lists = std::vector<std::vector<std::string>>(1);
  std::vector<std::vector<int32_t>> content_number_lists = std::vector<std::vector<int32_t>>(1);
  std::vector<int32_t> default_values = std::vector<int32_t>(1);
};

class DataBase {
 public:
  // A fresh database; sets DataBaseVersion to the current version.
  DataBase();
  // No types: the constant state of the global databases before start-up.
  explicit constexpr DataBase(EmptyRecordTag) {}

  int32_t GetDBTypeCount() const { return static_cast<int32_t>(type_data.size()); }
  std::string GetDBTypeName(int32_t t) const;
  std::string GetDBContentName(int32_t t, int32_t c) const;
  std::string GetDBDataName(int32_t t, int32_t d) const;
  int32_t GetDBContentKind(int32_t t, int32_t c) const;
  // Rows of the type; -1 for a missing type or a type without rows.
  int32_t GetDBDataCount(int32_t t) const;
  // Contents of the type; 0 for a missing type.
  int32_t GetDBContentCount(int32_t t) const;

  int32_t ReadDBInt(int32_t t, int32_t d, int32_t c) const;
  std::string ReadDBString(int32_t t, int32_t d, int32_t c, std::string* out = nullptr) const;
  // True when the cell exists and is of the right kind and was set.
  bool WriteDBInt(int32_t t, int32_t d, int32_t c, int32_t value);
  bool WriteDBString(int32_t t, int32_t d, int32_t c, const std::string& text);

  // Sets the type's row count (cut to 0-kMaxDataBaseRows): every row gets
  // exactly its N numbers and S texts, new rows the default numbers. While
  // keep_names is set, growing appends one empty data name per new row and
  // shrinking sets the name list to exactly count names.
  void ResizeDBType(int32_t t, int32_t count);
  void ResetDBData(int32_t t, int32_t d);

  // Name sources for the naming settings 10000-39999 (index 0-2); none set
  // by default. Not owned.
  void SetNameSource(int index, const DataBase* source);

  uint8_t keep_names = 1;
  std::array<const DataBase*, 3> name_sources{};
  std::vector<DataBaseTypeData> type_data;
  std::vector<DataBaseType> types;

 private:
  // The descriptor of content c of type t, or nullptr when either is missing.
  const int32_t* Descriptor(int32_t t, int32_t c) const;
  // The definition's default value for content c of type t, 0 when none.
  int32_t DefaultValue(int32_t t, int32_t c) const;
  std::string DataNameAtDepth(int32_t t, int32_t d, int depth) const;
};
