// Frames as PNG files for the golden-image tests: 0x00RRGGBB pixels, row by
// row, written and read as 8-bit RGB through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace d3d_test {

struct Frame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB
};

bool WritePng(const std::string& path, const Frame& frame);
// False for a missing or unreadable file.
bool ReadPng(const std::string& path, Frame* frame);

// Pixels whose channels differ by more than tolerance.
int32_t CountDifferences(const Frame& a, const Frame& b, int tolerance);

}  // namespace d3d_test
