#include "tools/writers/game_dat_writer.h"

#include "game/data/data_scrambler.h"
#include "game/data/data_writer.h"
#include "tools/writers/data_file_writer.h"

namespace writers {

std::vector<uint8_t> BuildGameDat(const GameDatContents& contents) {
  const uint32_t header = static_cast<uint32_t>(kGameDatHeader.length);
  DataWriter body;
  body.WriteU32(static_cast<uint32_t>(contents.settings.size()));
  for (int8_t setting : contents.settings) body.WriteU8(static_cast<uint8_t>(setting));
  body.WriteU32(static_cast<uint32_t>(contents.texts.size()));
  for (const std::string& text : contents.texts) body.WriteString(text);
  const size_t check_position_at = body.Position();
  body.WriteU32(0);
  body.WriteU32(static_cast<uint32_t>(contents.key_text.size()));
  body.WriteU32(static_cast<uint32_t>(contents.values16.size()));
  for (uint16_t value : contents.values16) body.WriteU16(value);
  const size_t table_p_at = body.Position();
  body.WriteU32(0);
  const size_t table_q_at = body.Position();
  body.WriteU32(0);

  const uint32_t check_position = header + static_cast<uint32_t>(body.Position());
  body.WriteU8(contents.check_byte);
  const uint32_t pool = header + static_cast<uint32_t>(body.Position());
  // The key text's bytes, stored backwards so the tables must be followed.
  for (size_t i = contents.key_text.size(); i-- > 0;) body.WriteU8(static_cast<uint8_t>(contents.key_text[i]));
  const uint32_t table_p = header + static_cast<uint32_t>(body.Position());
  CrtRandom random(12345);
  std::vector<uint16_t> p_values;
  for (size_t i = 0; i < contents.key_text.size(); ++i) {
    p_values.push_back(static_cast<uint16_t>(random.Next() * 2 + 1));
    body.WriteU16(p_values.back());
  }
  const uint32_t table_q = header + static_cast<uint32_t>(body.Position());
  for (size_t i = 0; i < contents.key_text.size(); ++i) {
    const uint32_t position = pool + static_cast<uint32_t>(contents.key_text.size() - 1 - i);
    body.WriteU16(static_cast<uint16_t>((position - p_values[i]) & 0xFFFF));
  }
  body.PatchU32(check_position_at, contents.check_position_override.value_or(check_position));
  body.PatchU32(table_p_at, contents.table_p_override.value_or(table_p));
  body.PatchU32(table_q_at, contents.table_q_override.value_or(table_q));
  return ScrambleFile(body.Bytes(), kGameDatHeader, contents.keys);
}

GameDatContents DefaultGameDatContents() {
  GameDatContents contents;
  contents.settings = {32, 8, 8, 0, 60, 1, 0, 3, 0, 0, 0, 6, 6, 0, 0, 4, 4};
  contents.texts = {"Demo", "0000-0000", "", "Font A", "Font B", "Font C", "Font D", "Player.png"};
  contents.key_text = "demo-key";
  contents.values16 = {20000};
  return contents;
}

}  // namespace writers
