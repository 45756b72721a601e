#include "tools/writers/database_writer.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "game/data/data_writer.h"
#include "game/data/database_file.h"
#include "tools/writers/data_file_writer.h"

namespace writers {

std::vector<uint8_t> BuildDataBaseDatBody(const DataBase& database, const DataBaseDatOptions& options) {
  DataWriter body;
  body.WriteU8(options.version);
  body.WriteU32(static_cast<uint32_t>(database.type_data.size()));
  for (const DataBaseTypeData& type : database.type_data) WriteTypeData(body, type);
  body.WriteU8(options.closing_version);
  return std::move(body.Bytes());
}

std::vector<uint8_t> BuildDataBaseDat(const DataBase& database, const DataBaseDatOptions& options) {
  std::vector<uint8_t> body = BuildDataBaseDatBody(database, options);
  const size_t parsed = body.size();
  body.insert(body.end(), options.trailing.begin(), options.trailing.end());
  return ScrambleFile(body, kDatabaseDatHeader, options.keys, parsed);
}

std::vector<uint8_t> BuildDataBaseProject(const DataBase& database, bool short_form) {
  DataWriter out;
  WriteDataBaseProject(out, database, short_form);
  return std::move(out.Bytes());
}

bool WriteDataBaseFiles(const std::string& game_folder, const std::string& stem, const DataBase& database,
                        const DataBaseDatOptions& options) {
  const std::string base = game_folder + "/Data/" + stem;
  return WriteFileBytes(base + ".dat", BuildDataBaseDat(database, options)) &&
         WriteFileBytes(base + ".project", BuildDataBaseProject(database, options.version == 0xC0));
}

DataBase SampleDataBase(int types, int contents, int rows) {
  DataBase database;
  for (int t = 0; t < types; ++t) {
    DataBaseTypeData type;
    type.descriptors.clear();
    int numbers = 0, texts = 0;
    for (int c = 0; c < contents; ++c) {
      type.descriptors.push_back(c % 2 == 0 ? 1000 + numbers++ : 2000 + texts++);
    }
    type.rows.assign(static_cast<size_t>(rows), DataBaseEntry());
    for (int r = 0; r < rows; ++r) {
      DataBaseEntry& row = type.rows[static_cast<size_t>(r)];
      row.numbers.clear();
      row.texts.clear();
      for (int c = 0; c < contents; ++c) {
        if (c % 2 == 0) {
          row.numbers.push_back(t * 1000 + r * 10 + c);
        } else {
          char text[48];
          std::snprintf(text, sizeof text, "T%dR%dC%d", t, r, c);
          row.texts.emplace_back(text);
        }
      }
    }
    database.type_data.push_back(type);

    DataBaseType definition;
    definition.type_name = "Type" + std::to_string(t);
    definition.memo = "memo " + std::to_string(t);
    definition.content_names.clear();
    definition.data_names.clear();
    definition.content_texts.assign(static_cast<size_t>(contents), std::string());
    definition.content_text_lists.assign(static_cast<size_t>(contents), {});
    definition.content_number_lists.assign(static_cast<size_t>(contents), {});
    definition.default_values.clear();
    for (int c = 0; c < contents; ++c) {
      definition.content_names.push_back("Content" + std::to_string(c));
      definition.default_values.push_back(100 + c);
      definition.content_settings[static_cast<size_t>(c) % definition.content_settings.size()] =
          static_cast<uint8_t>(c + 1);
    }
    for (int r = 0; r < rows; ++r) definition.data_names.push_back("Data" + std::to_string(r));
    database.types.push_back(definition);
  }
  return database;
}

}  // namespace writers
