// vesk-make-image-seeds: writes the sample image files into the fuzz seed
// folders below FOLDER (fuzz_image_bmp, fuzz_image_bgra, fuzz_image_tga,
// fuzz_image_dds, fuzz_image_png, fuzz_image_jpeg), one file per sample.
//   vesk-make-image-seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/writers/coded_image_writer.h"
#include "tools/writers/image_file_writer.h"

namespace {

bool WriteAll(const std::filesystem::path& folder,
              const std::vector<writers::SampleImageFile>& files) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const auto& file : files) {
    std::ofstream out(folder / file.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (folder / file.name).string().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vesk-make-image-seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const bool ok = WriteAll(root / "fuzz_image_bmp", writers::SampleBmpFiles()) &&
                  WriteAll(root / "fuzz_image_bgra", writers::SampleBgraFiles()) &&
                  WriteAll(root / "fuzz_image_tga", writers::SampleTgaFiles()) &&
                  WriteAll(root / "fuzz_image_dds", writers::SampleDdsFiles()) &&
                  WriteAll(root / "fuzz_image_png", writers::SamplePngFiles()) &&
                  WriteAll(root / "fuzz_image_jpeg", writers::SampleJpegFiles());
  return ok ? 0 : 1;
}
