// What the font fuzz targets share: the input written to a temporary file
// and added as a private font, and the face names to try on it (the test
// font's and those the file brought in).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/font_faces.h"
#include "tools/writers/test_font_writer.h"

namespace private_font_input {

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

inline std::set<std::string> ListedNames() {
  std::set<std::string> names;
  for (const platform::FontFamilyInfo& f : platform::EnumerateFontFamilies()) names.insert(f.full_name);
  return names;
}

// The names listed before any input was added; the first call loads the
// font catalogue, so targets make it from LLVMFuzzerInitialize.
inline const std::set<std::string>& InstalledNames() {
  static const std::set<std::string> installed = ListedNames();
  return installed;
}

// This process's temporary font file for a target: its native path and
// the same path as the engine spells it.
struct FontFile {
  std::string native;
  std::string engine;
};

inline FontFile TemporaryFontFile(const char* target) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / (std::string(target) + "_" + std::to_string(::getpid()) + ".ttf");
  return FontFile{file.string(), platform::NativeToEnginePath(file.string())};
}

// Writes the input to the file and adds it as a private font; false when it
// was refused.
inline bool AddAsPrivateFont(const FontFile& file, const uint8_t* data, size_t size) {
  {
    std::ofstream out(file.native, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  return platform::AddPrivateFontFile(file.engine) > 0;
}

// The test font's two names, whichever survived, then names the added file
// brought in, up to `most` in all.
inline std::vector<std::string> FaceNamesToTry(size_t most) {
  std::vector<std::string> names = {writers::kTestFontFamily, writers::kTestFontLatinFamily};
  const std::set<std::string>& installed = InstalledNames();
  for (const std::string& name : ListedNames()) {
    if (!installed.count(name) && names.size() < most) names.push_back(name);
  }
  return names;
}

}  // namespace private_font_input
