// vesk-make-test-font: writes the test font (tools/writers/test_font_writer.h).
//   vesk-make-test-font OUT.ttf [--bold] [--latin] [--metrics win|hhea|box]
//   vesk-make-test-font --seeds FOLDER
// --metrics chooses which vertical metrics the file carries: both tables
// (win, the default), hhea only (OS/2 win ascent and descent zero), or
// neither (box: readers fall back to the bounding box). --seeds writes one
// file of every variant into FOLDER (the font fuzz target's seeds).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/writers/test_font_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vesk-make-test-font OUT.ttf [--bold] [--latin] [--metrics win|hhea|box]\n"
               "       vesk-make-test-font --seeds FOLDER\n");
  return 2;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vesk-make-test-font: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

bool SetMetrics(const std::string& kind, writers::TestFontOptions& options) {
  if (kind == "win") return true;
  options.win_ascent = options.win_descent = 0;
  if (kind == "hhea") return true;
  if (kind == "box") {
    options.hhea_ascender = options.hhea_descender = 0;
    return true;
  }
  return false;
}

int WriteSeeds(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  struct Variant {
    const char* name;
    bool bold, japanese;
    const char* metrics;
    bool os2;
  };
  const Variant variants[] = {
      {"regular.ttf", false, true, "win", true},  {"bold.ttf", true, true, "win", true},
      {"latin.ttf", false, false, "win", true},   {"hhea_metrics.ttf", false, false, "hhea", true},
      {"box_metrics.ttf", false, false, "box", true}, {"no_os2.ttf", false, false, "win", false},
  };
  for (const Variant& v : variants) {
    writers::TestFontOptions options;
    options.bold = v.bold;
    options.japanese = v.japanese;
    options.with_os2 = v.os2;
    SetMetrics(v.metrics, options);
    if (!WriteFile(folder / v.name, writers::BuildTestFont(options))) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  writers::TestFontOptions options;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--seeds" && i + 1 < argc) {
      return WriteSeeds(argv[++i]);
    } else if (word == "--bold") {
      options.bold = true;
    } else if (word == "--latin") {
      options.japanese = false;
    } else if (word == "--metrics" && i + 1 < argc) {
      if (!SetMetrics(argv[++i], options)) return Usage();
    } else if (!word.empty() && word[0] == '-') {
      return Usage();
    } else if (output.empty()) {
      output = word;
    } else {
      return Usage();
    }
  }
  if (output.empty()) return Usage();
  return WriteFile(output, writers::BuildTestFont(options)) ? 0 : 1;
}
