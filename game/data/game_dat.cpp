#include "game/data/game_dat.h"

#include <utility>

#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"
#include "game/data/data_file_buffer.h"
#include "game/data/data_reader.h"
#include "game/data/data_scrambler.h"
#include "engine/api/services/service_registry.h"

// Empty until start-up creates it. (Not constinit: one compiler's library
// cannot yet build an empty std::string in a constant expression; the
// constructor is constexpr and draws nothing either way.)
GameBasicInfoRecord GameBasicInfo{kEmptyRecord};

namespace {

constexpr uint8_t kGameDatCheckByte = 0xC2;
constexpr const char* kGameDatName = "Game.dat";
constexpr const char* kGameDatDamaged = "基本情報データ Game.dat が破損しています";

void ShowGameDatDamaged() { ShowErrorBox(kGameDatDamaged, std::string(), std::string()); }

// Values the rest of the program divides by or indexes with are brought into
// their documented ranges: tile size 16 or 32, a frame rate above 0,
// animation patterns 3 or 5.
void NormaliseSettings(std::vector<int8_t>& settings) {
  if (settings.size() <= kSettingAnimationPatterns) return;
  if (settings[kSettingTileSize] != 16 && settings[kSettingTileSize] != 32) settings[kSettingTileSize] = 32;
  if (settings[kSettingFrameRate] <= 0) settings[kSettingFrameRate] = 60;
  if (settings[kSettingAnimationPatterns] != 3 && settings[kSettingAnimationPatterns] != 5) {
    settings[kSettingAnimationPatterns] = 3;
  }
}

}  // namespace

GameBasicInfoRecord::GameBasicInfoRecord() { SetNewGameDefaults(); }

const std::string& GameBasicInfoRecord::Text(size_t index) const {
  static const std::string kEmpty;
  return index < texts.size() ? texts[index] : kEmpty;
}

int32_t GameBasicInfoRecord::FrameRate() const {
  const int32_t rate = Setting(kSettingFrameRate);
  return rate > 0 && rate <= 60 ? rate : 60;
}

void GameBasicInfoRecord::SetNewGameDefaults() {
  settings.resize(17);
  if (texts.empty() || texts.size() <= kTextArchiveKey || texts[kTextArchiveKey].empty()) {
    texts.resize(8);
    values16.resize(1);
  }
  if (values16.empty()) values16.resize(1);
  CrtRandom& random = RuntimeRandom();
  if (random.Next() % 10 <= 4) {
    values16[0] = static_cast<uint16_t>(random.Next() % 30000 + 15501);
  } else {
    values16[0] = static_cast<uint16_t>(random.Next() % 15000);
  }
  static constexpr struct {
    int index;
    int8_t value;
  } kDefaults[] = {{0, 32}, {1, 8},  {2, 8},  {3, 1},  {5, 1},  {6, 0},  {7, 3},  {8, 0},
                   {9, 0},  {10, 0}, {11, 6}, {12, 6}, {13, 0}, {14, 0}, {15, 4}, {16, 4}};
  for (const auto& entry : kDefaults) settings[entry.index] = entry.value;
  texts[0] = "新規ゲーム名";
  texts[1] = "0000-0000";
  texts[2].clear();
}

bool GameBasicInfoRecord::LoadGameDat(const std::string& name) {
  std::vector<uint8_t> file;
  const DataFileLoad load = LoadDataFileBuffer(name, file);
  if (load == DataFileLoad::kMissing) {
    ShowUserMessage("読み込みエラー", FormatString("基本情報データ %s がありません", name.c_str()));
    return false;
  }
  if (load != DataFileLoad::kLoaded) {
    ShowGameDatDamaged();
    return false;
  }
  return LoadGameDatBytes(std::move(file));
}

bool GameBasicInfoRecord::LoadGameDatBytes(std::vector<uint8_t> file) {
  DataFileKeys keys;
  if (!UnscrambleDataFile(kGameDatName, file, kGameDatHeader, keys)) {
    ShowGameDatDamaged();
    return false;
  }
  // Everything is read into a copy first, so a file that turns out to be
  // cut short leaves the record as it was.
  GameBasicInfoRecord loaded = *this;
  DataReader reader(file.data(), file.size());
  reader.Skip(static_cast<size_t>(kGameDatHeader.length));

  uint32_t setting_count = 0;
  reader.ReadU32(setting_count);
  if (!reader.CanHold(setting_count, 1)) reader.MarkDamaged();
  if (!reader.Damaged()) {
    if (loaded.settings.size() < setting_count) loaded.settings.resize(setting_count);
    for (uint32_t i = 0; i < setting_count; ++i) {
      uint8_t byte = 0;
      reader.ReadU8(byte);
      loaded.settings[i] = static_cast<int8_t>(byte);
    }
  }

  uint32_t text_count = 0;
  reader.ReadU32(text_count);
  if (!reader.CanHold(text_count, 4)) reader.MarkDamaged();
  if (!reader.Damaged()) {
    if (loaded.texts.size() < text_count) loaded.texts.resize(text_count);
    for (uint32_t i = 0; i < text_count; ++i) reader.ReadString(loaded.texts[i]);
  }

  uint32_t check_position = 0, key_length = 0, value_count = 0;
  reader.ReadU32(check_position);
  reader.ReadU32(key_length);
  reader.ReadU32(value_count);
  if (!reader.CanHold(value_count, 2)) reader.MarkDamaged();
  if (!reader.Damaged()) {
    if (loaded.values16.size() < value_count) loaded.values16.resize(value_count);
    for (uint32_t i = 0; i < value_count; ++i) reader.ReadU16(loaded.values16[i]);
  }
  uint32_t table_p = 0, table_q = 0;
  reader.ReadU32(table_p);
  reader.ReadU32(table_q);

  // The key text is gathered from two tables of positions anywhere in the
  // file; every table and every position must lie inside it.
  const uint64_t size = file.size();
  const uint64_t table_bytes = 2ull * key_length;
  if (reader.Damaged() || table_p > size || table_bytes > size - table_p || table_q > size ||
      table_bytes > size - table_q || check_position >= size) {
    ShowGameDatDamaged();
    return false;
  }
  std::string key_text(key_length, '\0');
  for (uint32_t i = 0; i < key_length; ++i) {
    const size_t p_at = table_p + 2ull * i;
    const size_t q_at = table_q + 2ull * i;
    const uint32_t p = file[p_at] | (file[p_at + 1] << 8);
    const uint32_t q = file[q_at] | (file[q_at + 1] << 8);
    const uint32_t position = (p + q) & 0xFFFFu;
    if (position >= size) {
      ShowGameDatDamaged();
      return false;
    }
    key_text[i] = static_cast<char>(file[position]);
  }
  if (loaded.texts.size() <= kTextArchiveKey) loaded.texts.resize(kTextArchiveKey + 1);
  loaded.texts[kTextArchiveKey] = std::move(key_text);

  if (file[check_position] != kGameDatCheckByte) ShowGameDatDamaged();

  loaded.settings[kSettingUseMidiLibrary] = 1;
  NormaliseSettings(loaded.settings);
  *this = std::move(loaded);
  return true;
}
