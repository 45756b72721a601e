// vesk-make-archive: packs a folder into an archive file the player reads
// in place of the folder.
//   vesk-make-archive FOLDER OUT.vesk [--key TEXT] [--compress] [--version N]
// The key text is taken as Shift-JIS bytes after conversion from the
// command line's UTF-8.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text_encoding.h"
#include "tools/writers/archive_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vesk-make-archive FOLDER OUT.vesk [--key TEXT] [--compress] [--version N]\n"
               "  --key TEXT   archive key text (first 12 bytes used)\n"
               "  --compress   compress members (versions 2 and 3)\n"
               "  --version N  archive version 0 to 3 (default 3)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder, output;
  writers::ArchiveWriteOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--key" && i + 1 < argc) {
      options.key_text = platform::Utf8ToSjis(argv[++i]);
    } else if (word == "--compress") {
      options.compress = true;
    } else if (word == "--version" && i + 1 < argc) {
      char* end = nullptr;
      const long v = std::strtol(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || v < 0 || v > 3) return Usage();
      options.version = static_cast<int>(v);
    } else if (!word.empty() && word[0] == '-') {
      return Usage();
    } else if (folder.empty()) {
      folder = word;
    } else if (output.empty()) {
      output = word;
    } else {
      return Usage();
    }
  }
  if (folder.empty() || output.empty()) return Usage();
  if (options.compress && options.version < 2) {
    std::fprintf(stderr, "vesk-make-archive: --compress needs --version 2 or 3\n");
    return 2;
  }
  std::string error;
  if (!writers::WriteArchiveFromFolder(folder, output, options, &error)) {
    std::fprintf(stderr, "vesk-make-archive: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
