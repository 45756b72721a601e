#include "game/data/data_file_buffer.h"

#include "engine/api/file_entry_points.h"

DataFileLoad LoadDataFileBuffer(std::string_view name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const std::string path(name);
  const StreamHandle handle = OpenDataFile(path.c_str(), 0);
  if (handle == 0) return DataFileLoad::kMissing;
  const int64_t size = GetDataFileSize(path.c_str());
  if (size < 0 || size > kMaxDataFileBytes) {
    CloseDataFile(handle);
    return DataFileLoad::kUnreadable;
  }
  bytes.assign(static_cast<size_t>(size), 0);
  const int64_t read = size > 0 ? ReadDataFile(bytes.data(), size, handle) : 0;
  CloseDataFile(handle);
  // Plain files answer 1 for a complete read (0 when fewer bytes were left);
  // archive members answer the bytes read.
  if (size > 0 && read <= 0) {
    bytes.clear();
    return DataFileLoad::kUnreadable;
  }
  if (read != 1 && read < size) {
    // A short read keeps what arrived; the parser finds the file too short.
    bytes.resize(static_cast<size_t>(read));
  }
  return DataFileLoad::kLoaded;
}
