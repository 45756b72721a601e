// Database parsing from memory. The first four input bytes (little-endian,
// capped to what follows) give the length of a ".dat" body; the rest is the
// ".project" file; the body is wrapped in a header with
// zero keys (no checksum, which would end the process), so the fuzzer works
// on the type blocks and definitions directly. Cell reads over whatever
// loaded exercise the accessors' bounds.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "game/data/data_error_report.h"
#include "game/data/database_file.h"
#include "platform/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetErrorBoxReporter([](const std::string&, const std::string&, const std::string&) {});
    platform::SetMessageBoxRecorder([](std::string_view, std::string_view) {});
    return true;
  }();
  (void)quiet;
  if (size < 4) return 0;
  const uint32_t stated = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
  const size_t split = std::min<size_t>(stated, size - 4);
  std::vector<uint8_t> dat(10, 0);
  dat.insert(dat.end(), data + 4, data + 4 + split);
  const std::vector<uint8_t> project(data + 4 + split, data + size);
  DataBase database;
  LoadDataBaseFromBytes(database, "fuzz", dat, project);
  for (int32_t t = -1; t <= database.GetDBTypeCount(); ++t) {
    for (int32_t d = -1; d < 3; ++d) {
      for (int32_t c = -1; c < 4; ++c) {
        database.ReadDBInt(t, d, c);
        database.ReadDBString(t, d, c);
        database.GetDBDataName(t, d);
        database.GetDBContentKind(t, c);
      }
    }
    database.ResizeDBType(t, 2);
    database.ResetDBData(t, 1);
  }
  return 0;
}
