// Builds the two files of a database from the model types: the ".dat" file
// (10-byte scrambled header, version byte, u32 type count, type blocks,
// closing version byte) and the ".project" file (u32 type count, then per
// type: name, content names, data names, memo and, in the long form,
// setting bytes, content texts, text lists, number lists, default values).
//
// Type blocks are put by the game's own encoder (WriteTypeData), in the
// header form each type's header_value gives. The version bytes, the keys
// and bytes after the closing version byte can be chosen to make unusual or
// damaged files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/database.h"

namespace writers {

struct DataBaseDatOptions {
  uint8_t version = 0xC1;
  uint8_t closing_version = 0xC1;
  std::array<uint8_t, 3> keys{0x21, 0x7E, 0x05};
  // Bytes appended after the closing version byte (not covered by the
  // checksum, as the reader only covers what it parsed).
  std::vector<uint8_t> trailing;
};

// The plain body of a ".dat" file (after the header).
std::vector<uint8_t> BuildDataBaseDatBody(const DataBase& database, const DataBaseDatOptions& options);
std::vector<uint8_t> BuildDataBaseDat(const DataBase& database, const DataBaseDatOptions& options = {});
// short_form: the definitions end after the memo (databases of version 0xC0).
std::vector<uint8_t> BuildDataBaseProject(const DataBase& database, bool short_form = false);

// Writes <game_folder>/Data/<stem>.dat and .project (stem with '/').
bool WriteDataBaseFiles(const std::string& game_folder, const std::string& stem, const DataBase& database,
                        const DataBaseDatOptions& options = {});

// A database with `types` types built for tests: type t has contents
// alternating number/text (number first), `rows` rows with numbers
// t * 1000 + row * 10 + content and texts "T<t>R<row>C<content>", names
// "Type<t>", "Data<row>", "Content<c>", defaults 100 + c.
DataBase SampleDataBase(int types, int contents, int rows);

}  // namespace writers
