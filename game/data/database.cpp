#include "game/data/database.h"

#include <algorithm>

#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"

int32_t DBReadErrorFlag = 0;
int32_t DataBaseVersion = 0xC1;

namespace {

constexpr const char* kNoData = "×NoData";
constexpr const char* kErrorText = "<<ERROR>>";
// Name look-ups through name sources may chain; a loop of sources ends here.
constexpr int kMaxNameDepth = 16;

int32_t KindOf(int32_t descriptor) { return descriptor / 1000; }
size_t SlotOf(int32_t descriptor) { return static_cast<size_t>(descriptor % 1000); }

bool InRange(int32_t index, size_t count) { return index >= 0 && static_cast<size_t>(index) < count; }

}  // namespace

DataBase::DataBase() { DataBaseVersion = 0xC1; }

void DataBase::SetNameSource(int index, const DataBase* source) {
  if (index >= 0 && index < 3) name_sources[static_cast<size_t>(index)] = source;
}

const int32_t* DataBase::Descriptor(int32_t t, int32_t c) const {
  if (!InRange(t, type_data.size())) return nullptr;
  const std::vector<int32_t>& descriptors = type_data[static_cast<size_t>(t)].descriptors;
  if (!InRange(c, descriptors.size())) return nullptr;
  return &descriptors[static_cast<size_t>(c)];
}

int32_t DataBase::DefaultValue(int32_t t, int32_t c) const {
  if (!InRange(t, types.size())) return 0;
  const std::vector<int32_t>& defaults = types[static_cast<size_t>(t)].default_values;
  return InRange(c, defaults.size()) ? defaults[static_cast<size_t>(c)] : 0;
}

std::string DataBase::GetDBTypeName(int32_t t) const {
  if (!InRange(t, types.size())) return kNoData;
  return types[static_cast<size_t>(t)].type_name;
}

std::string DataBase::GetDBContentName(int32_t t, int32_t c) const {
  if (!InRange(t, types.size())) return kNoData;
  const std::vector<std::string>& names = types[static_cast<size_t>(t)].content_names;
  if (!InRange(c, names.size())) return kNoData;
  return names[static_cast<size_t>(c)];
}

std::string DataBase::GetDBDataName(int32_t t, int32_t d) const { return DataNameAtDepth(t, d, 0); }

std::string DataBase::DataNameAtDepth(int32_t t, int32_t d, int depth) const {
  if (depth > kMaxNameDepth || !InRange(t, types.size())) return kNoData;
  const DataBaseType& definition = types[static_cast<size_t>(t)];
  if (!InRange(d, definition.data_names.size())) return kNoData;
  const int32_t setting = InRange(t, type_data.size()) ? type_data[static_cast<size_t>(t)].naming_setting : 0;
  if (setting == 0) return definition.data_names[static_cast<size_t>(d)];
  if (setting == 1) {
    if (!InRange(t, type_data.size())) return std::string();
    const std::vector<DataBaseEntry>& rows = type_data[static_cast<size_t>(t)].rows;
    if (InRange(d, rows.size()) && !rows[static_cast<size_t>(d)].texts.empty()) {
      return rows[static_cast<size_t>(d)].texts[0];
    }
    return std::string();
  }
  if (setting == 2) {
    int32_t earlier = t - 1;
    while (earlier >= 0 && InRange(earlier, type_data.size()) &&
           type_data[static_cast<size_t>(earlier)].naming_setting == 2) {
      --earlier;
    }
    if (earlier < 0 || !InRange(earlier, types.size()) ||
        !InRange(d, types[static_cast<size_t>(earlier)].data_names.size())) {
      return kNoData;
    }
    return DataNameAtDepth(earlier, d, depth + 1);
  }
  if (setting >= 10000 && setting <= 39999) {
    const DataBase* source = name_sources[static_cast<size_t>(setting / 10000 - 1)];
    const int32_t u = setting % 10000;
    if (source == nullptr || !InRange(u, source->types.size()) ||
        !InRange(d, source->types[static_cast<size_t>(u)].data_names.size())) {
      return kNoData;
    }
    return source->DataNameAtDepth(u, d, depth + 1);
  }
  return std::string();
}

int32_t DataBase::GetDBContentKind(int32_t t, int32_t c) const {
  if (!InRange(t, types.size()) || !InRange(c, types[static_cast<size_t>(t)].content_names.size())) return -1;
  const int32_t* descriptor = Descriptor(t, c);
  return descriptor ? KindOf(*descriptor) : -1;
}

int32_t DataBase::GetDBDataCount(int32_t t) const {
  if (!InRange(t, type_data.size())) return -1;
  const size_t rows = type_data[static_cast<size_t>(t)].rows.size();
  return rows == 0 ? -1 : static_cast<int32_t>(rows);
}

int32_t DataBase::GetDBContentCount(int32_t t) const {
  if (!InRange(t, type_data.size())) return 0;
  return static_cast<int32_t>(type_data[static_cast<size_t>(t)].descriptors.size());
}

int32_t DataBase::ReadDBInt(int32_t t, int32_t d, int32_t c) const {
  if (!InRange(t, type_data.size())) {
    ShowErrorBox(FormatString("エラー：存在しないタイプ番号 %d を読みに行っています", t), ErrorLocationText(),
                 std::string());
    DBReadErrorFlag = 1;
    return 0;
  }
  if (d >= GetDBDataCount(t)) {
    ShowErrorBox(FormatString("エラー：タイプ %d に存在しないデータ番号 %d を読みに行っています", t, d),
                 std::string(), std::string());
    DBReadErrorFlag = 1;
    return DefaultValue(t, c);
  }
  const int32_t* descriptor = Descriptor(t, c);
  if (d < 0 || descriptor == nullptr) return -1;
  if (KindOf(*descriptor) != kContentKindNumber) return 0;
  const std::vector<int32_t>& numbers = type_data[static_cast<size_t>(t)].rows[static_cast<size_t>(d)].numbers;
  const size_t slot = SlotOf(*descriptor);
  return slot < numbers.size() ? numbers[slot] : 0;
}

std::string DataBase::ReadDBString(int32_t t, int32_t d, int32_t c, std::string* out) const {
  if (!InRange(t, type_data.size())) {
    ShowErrorBox("エラー：存在しないタイプ番号を読みに行っています", std::string(), std::string());
    DBReadErrorFlag = 1;
    return kErrorText;
  }
  if (d >= GetDBDataCount(t)) {
    ShowErrorBox("エラー：存在しないデータ番号を読みに行っています", ErrorLocationText(), std::string());
    DBReadErrorFlag = 1;
    return kErrorText;
  }
  const int32_t content_count = GetDBContentCount(t);
  if (c >= content_count) {
    ShowErrorBox("エラー：存在しない内容番号を読みに行っています",
                 FormatString("Type%d ﾃﾞｰﾀ番号%d 内容%d(Max%d)", t, d, c, content_count), ErrorLocationText());
    DBReadErrorFlag = 1;
    return kErrorText;
  }
  const int32_t* descriptor = Descriptor(t, c);
  if (d < 0 || descriptor == nullptr) return kErrorText;
  if (KindOf(*descriptor) != kContentKindText) return kErrorText;
  const std::vector<std::string>& texts = type_data[static_cast<size_t>(t)].rows[static_cast<size_t>(d)].texts;
  const size_t slot = SlotOf(*descriptor);
  const std::string text = slot < texts.size() ? texts[slot] : std::string();
  if (out) *out = text;
  return text;
}

bool DataBase::WriteDBInt(int32_t t, int32_t d, int32_t c, int32_t value) {
  const int32_t* descriptor = Descriptor(t, c);
  if (descriptor == nullptr || KindOf(*descriptor) != kContentKindNumber) return false;
  std::vector<DataBaseEntry>& rows = type_data[static_cast<size_t>(t)].rows;
  if (!InRange(d, rows.size())) return false;
  std::vector<int32_t>& numbers = rows[static_cast<size_t>(d)].numbers;
  const size_t slot = SlotOf(*descriptor);
  if (slot >= numbers.size()) return false;
  numbers[slot] = value;
  return true;
}

bool DataBase::WriteDBString(int32_t t, int32_t d, int32_t c, const std::string& text) {
  const int32_t* descriptor = Descriptor(t, c);
  if (descriptor == nullptr || KindOf(*descriptor) != kContentKindText) return false;
  std::vector<DataBaseEntry>& rows = type_data[static_cast<size_t>(t)].rows;
  if (!InRange(d, rows.size())) return false;
  std::vector<std::string>& texts = rows[static_cast<size_t>(d)].texts;
  const size_t slot = SlotOf(*descriptor);
  if (slot >= texts.size()) return false;
  texts[slot] = text;
  return true;
}

void DataBase::ResizeDBType(int32_t t, int32_t count) {
  if (!InRange(t, type_data.size())) {
    ShowErrorBox(FormatString("このDBにタイプ%dは存在しません、対象DBを間違えていないかご確認下さい", t),
                 ErrorLocationText(), std::string());
    return;
  }
  count = std::clamp(count, 0, kMaxDataBaseRows);
  DataBaseTypeData& data = type_data[static_cast<size_t>(t)];
  std::vector<std::string>* names =
      keep_names != 0 && InRange(t, types.size()) ? &types[static_cast<size_t>(t)].data_names : nullptr;
  const size_t old = data.rows.size();
  const size_t wanted = static_cast<size_t>(count);
  if (old < wanted) {
    data.rows.resize(wanted);
    if (names) names->resize(names->size() + (wanted - old));
  } else {
    data.rows.resize(wanted);
    if (names) names->resize(wanted);
  }
  size_t number_count = 0, text_count = 0;
  for (int32_t descriptor : data.descriptors) {
    if (KindOf(descriptor) == kContentKindNumber) ++number_count;
    if (KindOf(descriptor) == kContentKindText) ++text_count;
  }
  for (DataBaseEntry& row : data.rows) {
    row.numbers.resize(number_count, 0);
    row.texts.resize(text_count);
  }
  const size_t contents = std::min(number_count + text_count, data.descriptors.size());
  for (size_t r = old; r < wanted; ++r) {
    for (size_t c = 0; c < contents; ++c) {
      if (KindOf(data.descriptors[c]) != kContentKindNumber) continue;
      WriteDBInt(t, static_cast<int32_t>(r), static_cast<int32_t>(c), DefaultValue(t, static_cast<int32_t>(c)));
    }
  }
}

void DataBase::ResetDBData(int32_t t, int32_t d) {
  if (!InRange(t, type_data.size())) {
    ShowErrorBox(FormatString("DB初期化:初期化しようとしたタイプ番号%dがありません", t), std::string(),
                 std::string());
    return;
  }
  DataBaseTypeData& data = type_data[static_cast<size_t>(t)];
  if (!InRange(d, data.rows.size())) return;
  DataBaseEntry& row = data.rows[static_cast<size_t>(d)];
  std::fill(row.numbers.begin(), row.numbers.end(), 0);
  for (std::string& text : row.texts) text.clear();
  if (!InRange(t, types.size())) return;
  const std::vector<int32_t>& defaults = types[static_cast<size_t>(t)].default_values;
  for (size_t c = 0; c < data.descriptors.size() && c < defaults.size(); ++c) {
    if (KindOf(data.descriptors[c]) == kContentKindNumber) {
      WriteDBInt(t, d, static_cast<int32_t>(c), defaults[c]);
    }
  }
}
