// The in-memory copy of one whole data file: read in one call through the
// library's file entry points (so it may come from an archive), then parsed
// with a DataReader; or built with a DataWriter before it is written.
// Each reader and writer owns its own buffer for the length of one file.
// Sizes are bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Data files larger than this are refused as unreadable (every format here
// is far smaller; it also keeps body positions inside 32 bits).
inline constexpr int64_t kMaxDataFileBytes = 256ll * 1024 * 1024;

enum class DataFileLoad {
  kLoaded,
  kMissing,     // OpenDataFile gave no handle
  kUnreadable,  // opened, but the size or the read failed, or it is too large
};

// Reads the file of that (Shift-JIS) name whole into bytes.
DataFileLoad LoadDataFileBuffer(std::string_view name, std::vector<uint8_t>& bytes);
