// What the builders of test, seed and demo files add to the game's own
// encoders: sealing a plain body into a scrambled file with keys of the
// caller's choice (so a test knows them and a file comes out the same every
// time), and writing a file to a native path.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_scrambler.h"

namespace writers {

// A whole scrambled file: the header of `layout` + the body scrambled with
// `keys`. checked_length (SIZE_MAX: the whole body) bounds the body bytes the
// checksum covers; filler_seed seeds the generator of the meaningless header
// bytes. Three zero keys leave the body plain and the checksum 0.
std::vector<uint8_t> ScrambleFile(const std::vector<uint8_t>& body, const DataFileHeaderLayout& layout,
                                  const std::array<uint8_t, 3>& keys, size_t checked_length = SIZE_MAX,
                                  uint32_t filler_seed = 7);

// Writes bytes to a native path, creating missing parent folders.
bool WriteFileBytes(const std::string& native_path, const std::vector<uint8_t>& bytes);

}  // namespace writers
