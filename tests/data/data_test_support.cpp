#include "data_test_support.h"

#include "platform/file_system.h"

ScratchGameFolder::ScratchGameFolder(const std::string& test_name)
    : path_(std::filesystem::path(VESK_BINARY_DIR) / "test_scratch" / "data" / test_name),
      previous_(platform::GetCurrentFolder()) {
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
  platform::SetCurrentFolder(platform::NativeToEnginePath(path_.string()));
}

ScratchGameFolder::~ScratchGameFolder() {
  platform::SetCurrentFolder(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
