#include "game/data/data_scrambler.h"

#include <algorithm>
#include <limits>

#include "engine/api/library_entry_points.h"
#include "game/data/data_error_report.h"
#include "platform/clock.h"

namespace {

constinit CrtRandom runtime_random{1};

}  // namespace

CrtRandom& RuntimeRandom() { return runtime_random; }

void ScramblePasses(uint8_t* data, int32_t start, int32_t end, int32_t keyCount, const uint8_t* keys,
                    CrtRandom& random) {
  static constexpr int32_t kSteps[3] = {1, 2, 5};
  for (int32_t pass = 0; pass < keyCount && pass < 3; ++pass) {
    random.Seed(keys[pass]);
    for (int64_t i = start; i < end; i += kSteps[pass]) {
      data[i] = static_cast<uint8_t>(data[i] ^ ((random.Next() & 0xFF000) >> 12));
    }
  }
}

uint8_t DataChecksum(const uint8_t* data, int32_t start, int32_t end) {
  uint8_t sum = 0;
  for (int64_t i = start; i < end; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

void ScrambleBlock(const std::string& name, uint8_t* data, int32_t start, int32_t end, int32_t keyCount,
                   const uint8_t* keys, int32_t checkMode, uint8_t* checks) {
  if (keyCount > 3) keyCount = 3;
  if (keyCount > 0) {
    bool all_zero = true;
    for (int32_t k = 0; k < keyCount; ++k) all_zero = all_zero && keys[k] == 0;
    if (all_zero) return;
  }
  if (start < 0) start = 0;
  if (end < start) end = start;

  const std::string failure = FormatString(
      "ファイル %s が改竄されたか、破損している可能性があります。\nロードを中止します。", name.c_str());

  if (checkMode <= -1 && checks != nullptr) checks[0] = DataChecksum(data, start, end);

  ScramblePasses(data, start, end, keyCount, keys, RuntimeRandom());

  if (checkMode >= 1 && checks != nullptr) {
    if (DataChecksum(data, start, end) != checks[0]) {
      ShowErrorBox(failure, std::string(), std::string());
      EndProgramAfterDataError();
    }
  }
}

bool UnscrambleDataFile(const std::string& name, std::vector<uint8_t>& file, const DataFileHeaderLayout& layout,
                        DataFileKeys& keys) {
  if (file.size() < static_cast<size_t>(layout.length) ||
      file.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return false;
  }
  for (int k = 0; k < 3; ++k) {
    keys.keys[k] = file[layout.key_offsets[k]];
    keys.checks[k] = file[layout.check_offsets[k]];
  }
  ScrambleBlock(name, file.data(), layout.length, static_cast<int32_t>(file.size()), 3, keys.keys.data(), 0,
                nullptr);
  return true;
}

void VerifyDataFile(const std::string& name, std::vector<uint8_t>& file, const DataFileHeaderLayout& layout,
                    const DataFileKeys& keys, size_t parsed_end) {
  if (!layout.verified || keys.AllKeysZero()) return;
  if (parsed_end > file.size()) parsed_end = file.size();
  if (parsed_end < static_cast<size_t>(layout.length)) parsed_end = static_cast<size_t>(layout.length);
  uint8_t checks[3] = {keys.checks[0], keys.checks[1], keys.checks[2]};
  ScrambleBlock(name, file.data(), layout.length, static_cast<int32_t>(parsed_end), 0, nullptr, 3, checks);
}

void ScrambleDataFileForWrite(const std::string& name, std::vector<uint8_t>& file,
                              const DataFileHeaderLayout& layout) {
  (void)name;  // a write never fails its checksum, so the name is never shown
  CrtRandom& random = RuntimeRandom();
  random.Seed(static_cast<uint32_t>(platform::GetClock().CalendarSeconds()));
  std::array<uint8_t, 3> keys{};
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (uint8_t& key : keys) key = static_cast<uint8_t>((random.Next() & 0xFF0) >> 4);
    if (keys[0] != 0 || keys[1] != 0 || keys[2] != 0) break;
  }
  SealDataFile(file, layout, keys, file.size(), random, random);
}

void SealDataFile(std::vector<uint8_t>& file, const DataFileHeaderLayout& layout, const std::array<uint8_t, 3>& keys,
                  size_t checked_end, CrtRandom& passes, CrtRandom& filler) {
  const size_t header = static_cast<size_t>(layout.length);
  if (file.size() < header) file.resize(header, 0);
  const int32_t end = static_cast<int32_t>(
      std::min<size_t>(file.size(), static_cast<size_t>(std::numeric_limits<int32_t>::max())));
  const int32_t checked = static_cast<int32_t>(std::clamp<size_t>(checked_end, header, static_cast<size_t>(end)));
  const bool plain = keys[0] == 0 && keys[1] == 0 && keys[2] == 0;
  const uint8_t checksum = plain ? 0 : DataChecksum(file.data(), layout.length, checked);
  if (!plain) ScramblePasses(file.data(), layout.length, end, 3, keys.data(), passes);
  for (size_t i = 0; i < header; ++i) file[i] = static_cast<uint8_t>((filler.Next() & 0xFF00) >> 8);
  for (int k = 0; k < 3; ++k) {
    file[layout.key_offsets[k]] = keys[k];
    file[layout.check_offsets[k]] = 0;
  }
  file[layout.check_offsets[0]] = checksum;
}
