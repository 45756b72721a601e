// A damaged font file added as a private font, then listed, measured and
// rendered in both bitmap formats at a few sizes and styles: nothing may
// crash, and every glyph must keep to the limits and the row layout the
// font faces promise.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/font_faces.h"
#include "platform/text_encoding.h"
#include "tests/fuzz/private_font_input.h"

namespace {

using private_font_input::Check;

void Exercise(platform::FontFace& face, const std::vector<uint32_t>& codes) {
  const platform::TextMetrics& m = face.Metrics();
  Check(m.height >= 1 && m.max_char_width >= 1 && m.max_char_width <= 4 * m.height);
  std::vector<uint8_t> buffer;
  for (uint32_t code : codes) {
    for (platform::GlyphFormat format : {platform::GlyphFormat::kMono, platform::GlyphFormat::kGray}) {
      platform::GlyphMetrics g;
      const int64_t size = face.GlyphOutline(code, format, &g, nullptr, 0);
      Check(size >= 0);
      Check(g.black_box_x >= 1 && g.black_box_x <= platform::kMaxGlyphSide + 1);
      Check(g.black_box_y >= 1 && g.black_box_y <= platform::kMaxGlyphSide);
      Check(g.cell_inc_x >= 0 && g.cell_inc_x <= 4 * m.height + 1);
      if (size == 0) continue;
      const int64_t row = format == platform::GlyphFormat::kMono ? (g.black_box_x + 31) / 32 * 4
                                                                 : (g.black_box_x + 3) / 4 * 4;
      Check(size == row * g.black_box_y);
      buffer.assign(static_cast<size_t>(size), 0);
      Check(face.GlyphOutline(code, format, &g, buffer.data(), buffer.size()) == size);
      if (format == platform::GlyphFormat::kGray) {
        Check(std::all_of(buffer.begin(), buffer.end(), [](uint8_t v) { return v <= 16; }));
      }
    }
  }
}

}  // namespace

// The font configuration library loses a few hundred bytes while it reads
// its configuration files once per process; its frames carry no symbols
// for a narrower rule.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

// The font catalogue is loaded before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  private_font_input::InstalledNames();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const private_font_input::FontFile file = private_font_input::TemporaryFontFile("fuzz_font_file");
  if (private_font_input::AddAsPrivateFont(file, data, size)) {
    // The names the file brings, and the test font's, whichever survived.
    const std::vector<std::string> names = private_font_input::FaceNamesToTry(6);
    std::vector<uint32_t> codes = {'A', 'I', '/', '\\', ' ', 0x8140, 0x82A0, 0x93FA, 0x81AC, 0x839F, 0x8120};
    if (size >= 2) codes.push_back(uint32_t{data[size - 2]} << 8 | data[size - 1]);
    struct Style {
      int height, weight;
      bool italic;
      int charset;
    };
    const Style styles[] = {{13, 400, false, platform::kShiftJisCharset},
                            {40, 700, true, platform::kDefaultCharset},
                            {-9, 400, false, platform::kHangulCharset}};
    for (const std::string& name : names) {
      for (const Style& s : styles) {
        platform::FontRequest request;
        request.face_name = name;
        request.height = s.height;
        request.weight = s.weight;
        request.italic = s.italic;
        request.charset = s.charset;
        std::unique_ptr<platform::FontFace> face = platform::CreateFontFace(request);
        if (face && face->File() == file.native) Exercise(*face, codes);
      }
    }
    platform::RemovePrivateFontFile(file.engine);
  }
  return 0;
}
