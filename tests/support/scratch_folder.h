// Shared by the file and archive tests: a unique scratch folder below the
// system's temporary folder, removed with the object, and reproducible
// pseudo-random file contents.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

// Bytes from a linear-congruential sequence: the same size and seed give
// the same bytes.
inline std::vector<uint8_t> PseudoRandomBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return bytes;
}

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            (prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Writes (replaces) a file below the folder, creating its parent folders.
  void Write(const std::filesystem::path& relative, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path path = path_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
