// Storage of the library's start directory.
#include "engine/core/base/start_directory.h"

#include <string>

namespace {

std::string& StartDirectory() {
  static std::string start_directory;
  return start_directory;
}

}  // namespace

void SetStartDirectory(std::string_view path) {
  // Only the text up to a NUL counts, as for any C string.
  StartDirectory().assign(path.substr(0, path.find('\0')));
}

const char* GetStartDirectory() { return StartDirectory().c_str(); }
