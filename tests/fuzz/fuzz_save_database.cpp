// The changeable database's block of a save file from untrusted bytes: the
// input is read as the save buffer from the block's tag on, with the row
// budget that the input's length gives (the definitions that follow in a
// real load come from the game's own ".project" file, not from the save).
// A block that reads undamaged must write back and read again to the same
// tables.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/database_file.h"

namespace {

bool SameTables(const DataBase& a, const DataBase& b) {
  if (a.type_data.size() != b.type_data.size()) return false;
  for (size_t t = 0; t < a.type_data.size(); ++t) {
    const DataBaseTypeData& x = a.type_data[t];
    const DataBaseTypeData& y = b.type_data[t];
    if (x.descriptors != y.descriptors || x.naming_setting != y.naming_setting ||
        x.header_value != y.header_value || x.rows.size() != y.rows.size()) {
      return false;
    }
    for (size_t r = 0; r < x.rows.size(); ++r) {
      if (x.rows[r].numbers != y.rows[r].numbers || x.rows[r].texts != y.rows[r].texts) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DataBase database;
  DataReader save(data, size);
  if (!ReadDataBaseTablesFromSave(database, save) || save.Damaged()) return 0;
  if (save.Position() > size) __builtin_trap();

  // Written back (the writer stores -2 as every header value) and padded to
  // the input's length, so that the re-read has the row budget the first
  // read had.
  DataWriter out;
  WriteDataBaseToSave(database, out);
  if (out.Position() < size) out.Bytes().resize(size, 0);
  DataBase again;
  DataReader written(out.Bytes().data(), out.Position());
  if (!ReadDataBaseTablesFromSave(again, written) || written.Damaged() || !SameTables(database, again)) {
    __builtin_trap();
  }
  return 0;
}
