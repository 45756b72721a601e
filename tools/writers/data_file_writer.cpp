#include "tools/writers/data_file_writer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace writers {

std::vector<uint8_t> ScrambleFile(const std::vector<uint8_t>& body, const DataFileHeaderLayout& layout,
                                  const std::array<uint8_t, 3>& keys, size_t checked_length,
                                  uint32_t filler_seed) {
  const size_t header = static_cast<size_t>(layout.length);
  std::vector<uint8_t> file(header, 0);
  file.insert(file.end(), body.begin(), body.end());
  // The file's own generators, so that building a file never disturbs the
  // runtime's.
  CrtRandom passes;
  CrtRandom filler(filler_seed);
  SealDataFile(file, layout, keys, header + std::min(checked_length, body.size()), passes, filler);
  return file;
}

bool WriteFileBytes(const std::string& native_path, const std::vector<uint8_t>& bytes) {
  std::error_code error;
  const std::filesystem::path path(native_path);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace writers
