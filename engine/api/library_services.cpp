// The library's service hooks and their defaults.
#include "engine/api/library_services.h"

#include "engine/core/files/file_stream_table.h"
#include "engine/core/base/library_state.h"
#include "engine/core/files/ora_archive_streams.h"

namespace {

LibraryServices MakeDefaults() {
  LibraryServices s;
  s.files.clear_archive_tables = [] { ClearArchiveTables(); };
  s.files.install_stream_functions = [] { SetStreamFunctions(nullptr); };
  s.files.get_current_directory = [] {
    char buffer[kStreamPathBufferSize] = {};
    StreamGetDir(buffer);
    buffer[kStreamPathBufferSize - 1] = '\0';
    return std::string(buffer);
  };
  s.files.change_directory = [](const std::string& path) { StreamChDir(path.c_str()); };
  s.files.close_all_archives = [] { TerminateArchives(); };
  s.window.create_main_window = [] {
    SetQuitFlag(0);
    return 0;
  };
  s.window.destroy_main_window = [] { SetQuitFlag(1); };
  s.window.process_message = [] { return GetQuitFlag() != 0 ? -1 : 0; };
  return s;
}

LibraryServices& Services() {
  static LibraryServices services = MakeDefaults();
  return services;
}

}  // namespace

LibraryServices& GetLibraryServices() { return Services(); }

void ResetLibraryServices() { Services() = MakeDefaults(); }

const LibraryServices& DefaultLibraryServices() {
  static const LibraryServices defaults = MakeDefaults();
  return defaults;
}
