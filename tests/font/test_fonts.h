// Shared by the font tests: the test fonts written to a scratch folder and
// added as private fonts once per process, Shift-JIS names, and glyph
// fetching with the bitmap turned into rows of characters ('#' set, '.'
// clear; grey levels 1-15 as hex digits, 16 as '#').
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/font_faces.h"
#include "platform/text_encoding.h"
#include "support/scratch_folder.h"
#include "tools/writers/test_font_writer.h"

namespace fonttest {

inline std::string Sjis(const char8_t* utf8) { return platform::Utf8ToSjis(reinterpret_cast<const char*>(utf8)); }

// Family names of the metric variants (Latin fonts each of its own family).
inline constexpr char kHheaFamily[] = "Vesk Metrics Hhea";
inline constexpr char kBoxFamily[] = "Vesk Metrics Box";
inline constexpr char kNoOs2Family[] = "Vesk Metrics Plain";

class TestFonts {
  testsupport::ScratchFolder folder_;  // first: the paths below are written into it

 public:
  static TestFonts& Get() {
    static TestFonts fonts;
    return fonts;
  }

  // Writes a font into the scratch folder; returns its engine path.
  std::string Write(const std::string& name, const writers::TestFontOptions& options) {
    folder_.Write(name, writers::BuildTestFont(options));
    return platform::NativeToEnginePath((folder_.Path() / name).string());
  }
  std::string Native(const std::string& name) const { return (folder_.Path() / name).string(); }

  const std::string regular;  // engine paths, added for the whole process
  const std::string latin;

 private:
  TestFonts() : folder_("font_test"), regular(Write("regular.ttf", {})), latin(Write("latin.ttf", Latin())) {
    Add(regular);
    Add(latin);
    writers::TestFontOptions hhea = Latin(kHheaFamily);
    hhea.win_ascent = hhea.win_descent = 0;
    Add(Write("hhea.ttf", hhea));
    writers::TestFontOptions box = Latin(kBoxFamily);
    box.win_ascent = box.win_descent = 0;
    box.hhea_ascender = box.hhea_descender = 0;
    Add(Write("box.ttf", box));
    writers::TestFontOptions plain = Latin(kNoOs2Family);
    plain.with_os2 = false;
    Add(Write("plain.ttf", plain));
  }
  static writers::TestFontOptions Latin(const char* family = "") {
    writers::TestFontOptions o;
    o.japanese = false;
    o.family = family;
    return o;
  }
  static void Add(const std::string& path) {
    if (platform::AddPrivateFontFile(path) != 1) ADD_FAILURE() << "cannot add " << path;
  }
};

inline std::unique_ptr<platform::FontFace> Face(const std::string& sjis_name, int height, int weight = 400,
                                                bool italic = false,
                                                int charset = platform::kShiftJisCharset) {
  TestFonts::Get();
  platform::FontRequest request;
  request.face_name = sjis_name;
  request.height = height;
  request.weight = weight;
  request.italic = italic;
  request.charset = charset;
  return platform::CreateFontFace(request);
}

struct Glyph {
  platform::GlyphMetrics metrics;
  std::vector<uint8_t> bits;
  std::vector<std::string> rows;  // the bitmap as characters
};

inline uint32_t RowBytes(platform::GlyphFormat format, uint32_t width) {
  return format == platform::GlyphFormat::kMono ? (width + 31) / 32 * 4 : (width + 3) / 4 * 4;
}

// Fetches a glyph the way the engine does (size first, then the bitmap)
// and checks the buffer contract on the way.
inline Glyph GetGlyph(platform::FontFace& face, uint32_t code, platform::GlyphFormat format) {
  Glyph g;
  const int64_t size = face.GlyphOutline(code, format, &g.metrics, nullptr, 0);
  EXPECT_GE(size, 0);
  if (size > 0) {
    EXPECT_EQ(size, int64_t{g.metrics.black_box_y} * RowBytes(format, g.metrics.black_box_x));
  }
  g.bits.assign(static_cast<size_t>(size), 0xEE);
  platform::GlyphMetrics again;
  EXPECT_EQ(face.GlyphOutline(code, format, &again, g.bits.data(), g.bits.size()), size);
  EXPECT_EQ(again.black_box_x, g.metrics.black_box_x);
  const uint32_t pitch = RowBytes(format, g.metrics.black_box_x);
  for (uint32_t y = 0; size > 0 && y < g.metrics.black_box_y; ++y) {
    std::string row;
    for (uint32_t x = 0; x < g.metrics.black_box_x; ++x) {
      const uint8_t* r = g.bits.data() + size_t{y} * pitch;
      if (format == platform::GlyphFormat::kMono) {
        row.push_back((r[x / 8] & (0x80 >> (x % 8))) ? '#' : '.');
      } else {
        row.push_back(r[x] == 0 ? '.' : r[x] >= 16 ? (r[x] == 16 ? '#' : '!') : "0123456789abcdef"[r[x]]);
      }
    }
    g.rows.push_back(row);
  }
  return g;
}

}  // namespace fonttest
