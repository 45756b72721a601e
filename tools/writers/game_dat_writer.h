// Builds Game.dat files: after the 10-byte header (keys at 0, 8, 6), u32 N +
// N setting bytes, u32 M + M texts, u32 A (position of the check byte),
// u32 K (key text length), u32 L + L u16 values, u32 B and u32 C (positions
// of two tables of K u16 values P and Q). The writer then appends the check
// byte, the key text's bytes, and the P and Q tables, with P[i] + Q[i]
// (mod 65536) the position of key character i. Positions count from the
// start of the file. The overrides damage the file on purpose for tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace writers {

struct GameDatContents {
  std::vector<int8_t> settings;
  std::vector<std::string> texts;
  std::string key_text;
  std::vector<uint16_t> values16;
  uint8_t check_byte = 0xC2;
  std::array<uint8_t, 3> keys{0x3A, 0x91, 0x5C};

  std::optional<uint32_t> check_position_override;
  std::optional<uint32_t> table_p_override;
  std::optional<uint32_t> table_q_override;
};

std::vector<uint8_t> BuildGameDat(const GameDatContents& contents);

// The settings and texts of a small, ordinary game (tile size 32, 60 frames
// per second, title "Demo").
GameDatContents DefaultGameDatContents();

}  // namespace writers
