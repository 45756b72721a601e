// Reading the two files of a database: "Data\<name>.dat" (scrambled, 10-byte
// header with keys at 0, 3, 9 and the checksum at 2; the cells) and
// "Data\<name>.project" (plain; the definitions), and the changeable
// database's block of a save file, which uses the same type reader.
//
// ".dat": version byte (0xC0 or 0xC1), u32 type count, type blocks, closing
// version byte. Type block: i32 h (h >= 0: h is the content count; h = -1:
// the count follows; h <= -2: the naming setting, then the count), the
// descriptors, u32 row count, rows of N i32 numbers then S texts.
// ".project": u32 type count, definitions (name, contents, data names,
// memo; then, unless the ".dat" was 0xC0, settings, content texts, text
// lists, number lists, default values).
//
// Every count is checked against the bytes left before anything is sized by
// it; a file cut short marks the reader damaged and the load fails. Rows of a
// type without contents take no bytes at all, so the rows of one file (or of
// one save block) also draw on a DataBaseRowBudget: a file that asks for
// more is damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/database.h"

inline constexpr uint8_t kDataBaseVersionOld = 0xC0;
inline constexpr uint8_t kDataBaseVersionNew = 0xC1;

// Rows one file may still bring into memory: a fixed allowance (one full
// table of kMaxDataBaseRows) plus one row per 4 bytes of the file, the least
// a row with a cell takes. Each row record takes sizeof(DataBaseEntry) bytes
// before any cell, so the row records of one file take at most that many
// times (allowance + file bytes / 4); cells are paid for by their own bytes.
// Rows with cells always fit; only rows of types without contents, which
// take no bytes, draw on the allowance.
inline constexpr uint64_t kDataBaseRowAllowance = kMaxDataBaseRows;
inline constexpr uint64_t kDataBaseBytesPerRow = 4;

class DataBaseRowBudget {
 public:
  explicit DataBaseRowBudget(size_t file_bytes)
      : rows_left_(kDataBaseRowAllowance + file_bytes / kDataBaseBytesPerRow) {}
  // Takes rows from the budget; false (nothing taken) when fewer are left.
  bool Take(uint64_t rows);
  uint64_t RowsLeft() const { return rows_left_; }

 private:
  uint64_t rows_left_;
};

// The pieces of the formats. Each returns false when the reader ran out or
// the rows went beyond the budget (the reader is then marked damaged).
bool ReadTypeData(DataReader& reader, DataBaseTypeData& type, DataBaseRowBudget& budget);
bool ReadTypeRows(DataReader& reader, DataBaseEntry& row, size_t number_count, size_t text_count);
bool ReadTypeDefinition(DataReader& reader, DataBaseType& definition, bool short_form);

// How reading one of the files ended.
enum class DataBaseFileResult {
  kLoaded,
  kBadVersion,  // first version byte wrong: fails without a message
  kDamaged,     // closing version byte wrong or file cut short
};

// The body of a ".dat" file already unscrambled, from the header on (the
// reader starts after the header). Sets DataBaseVersion.
DataBaseFileResult ParseDataBaseDat(DataReader& reader, DataBase& database);
// A whole ".project" file; short_form for definitions of a 0xC0 database.
DataBaseFileResult ParseDataBaseProject(DataReader& reader, DataBase& database, bool short_form);

// Loads "Data\" + name + ".dat" and ".project" through the library's file
// entry points (name such as "BasicData\SysDataBase"). False for a wrong
// version byte (silently) or a damaged file (after a message box); a missing
// file shows its message box, ends the library and exits with code 1; a
// checksum mismatch ends the program too.
bool LoadDataBase(DataBase& database, const std::string& name);

// The same from the bytes of the two files (the ".dat" scrambled as on
// disk); missing files are not possible here. name is used in messages.
bool LoadDataBaseFromBytes(DataBase& database, const std::string& name, std::vector<uint8_t> dat,
                           const std::vector<uint8_t>& project);

// Puts one type block in the form its header value gives (>= 0: the content
// count alone; -1: -1 and the count; <= -2: the value, the naming setting and
// the count), the descriptors, the row count and each row's kind-1 numbers
// then kind-2 texts: exactly N and S of them, counted from the descriptors
// (missing cells are written as 0 and empty texts), so the block always reads
// back with ReadTypeData.
void WriteTypeData(DataWriter& out, const DataBaseTypeData& type);

// Puts one type definition of a ".project" file in the form
// ReadTypeDefinition reads: the type name, the content names, the data
// names and the memo; then, unless short_form (files of version 0xC0), one
// setting byte a content name (at most 100), the content texts, the text
// lists, the number lists and the default values, every list as held.
void WriteTypeDefinition(DataWriter& out, const DataBaseType& definition, bool short_form);
// A whole ".project" file: u32 type count, then each type's definition.
void WriteDataBaseProject(DataWriter& out, const DataBase& database, bool short_form);

// Puts the changeable database's block of a save file: tag byte 111, u32
// type count, then each type with -2 stored as its header value first (so
// the block carries every naming setting).
void WriteDataBaseToSave(DataBase& database, DataWriter& out);

// Reads the changeable database's block of a save file from save (one unused
// byte, u32 type count, type blocks) into database's tables. False (save
// marked damaged) when the first two fields do not fit; type blocks that do
// not fit, or whose rows go beyond the row budget of the save's bytes left,
// mark the save damaged and end the block.
bool ReadDataBaseTablesFromSave(DataBase& database, DataReader& save);
// The tables, then the definitions again from
// "Data\BasicData\CDataBase.project"; false only when the tables' first two
// fields do not fit.
bool ReadDataBaseFromSave(DataBase& database, DataReader& save);
