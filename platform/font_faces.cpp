// Font faces on FreeType and fontconfig. The header states the metrics,
// the rendering and the face resolution; this file follows it.
#include "platform/font_faces.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <tuple>

#include "platform/file_system.h"

namespace platform {
namespace {

// ---- arithmetic ------------------------------------------------------------

// Divisions by a positive divisor, exact for negative dividends too.
int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }
int64_t RoundDiv(int64_t a, int64_t b) { return FloorDiv(2 * a + b, 2 * b); }

int32_t ClampTo(int64_t v, int64_t lo, int64_t hi) {
  return static_cast<int32_t>(std::clamp(v, lo, hi));
}

std::string_view View(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// ---- text conversion ---------------------------------------------------------

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The whole input converted, or nullopt when any of it does not convert.
  std::optional<std::string> Convert(std::string_view in) {
    if (!Valid()) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    char buffer[256];
    for (;;) {
      char* out_ptr = buffer;
      size_t out_left = sizeof(buffer);
      const size_t result = in_left == 0 ? iconv(cd_, nullptr, nullptr, &out_ptr, &out_left)
                                         : iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      out.append(buffer, static_cast<size_t>(out_ptr - buffer));
      if (result == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        return std::nullopt;
      }
      if (in_left == 0 && out_ptr == buffer) break;
      if (in_left == 0) continue;
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// Unicode code point of one code in a code page (932 or 949), 0 when the
// bytes do not form exactly one character.
char32_t DecodeCode(uint32_t code, int code_page) {
  if (code > 0xFFFF) return 0;
  thread_local Iconv from932("UTF-32LE", "CP932");
  thread_local Iconv from949("UTF-32LE", "CP949");
  char bytes[2];
  size_t size = 0;
  if (code > 0xFF) bytes[size++] = static_cast<char>(code >> 8);
  bytes[size++] = static_cast<char>(code);
  std::optional<std::string> utf32 =
      (code_page == 949 ? from949 : from932).Convert(std::string_view(bytes, size));
  if (!utf32 || utf32->size() != 4) return 0;
  const auto* u = reinterpret_cast<const unsigned char*>(utf32->data());
  return static_cast<char32_t>(u[0] | u[1] << 8 | u[2] << 16 | static_cast<uint32_t>(u[3]) << 24);
}

std::optional<std::string> StrictSjisToUtf8(std::string_view sjis) {
  thread_local Iconv converter("UTF-8", "CP932");
  return converter.Convert(sjis);
}

std::optional<std::string> StrictUtf8ToSjis(std::string_view utf8) {
  thread_local Iconv converter("CP932", "UTF-8");
  return converter.Convert(utf8);
}

// Face names compare with ASCII letters folded; everything else exactly.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// ---- face names ------------------------------------------------------------

struct Alias {
  const char8_t* name;
  const char* families[2];
};

// Names the games ask for and the families that stand in for them.
const Alias kAliases[] = {
    {u8"ＭＳ ゴシック", {"IPAGothic", nullptr}},
    {u8"ＭＳ Ｐゴシック", {"IPAPGothic", "IPAGothic"}},
    {u8"ＭＳ 明朝", {"IPAMincho", "IPAGothic"}},
    {u8"ＭＳ Ｐ明朝", {"IPAPMincho", "IPAPGothic"}},
    {u8"MS Gothic", {"IPAGothic", nullptr}},
    {u8"MS PGothic", {"IPAPGothic", "IPAGothic"}},
    {u8"MS Mincho", {"IPAMincho", "IPAGothic"}},
    {u8"MS PMincho", {"IPAPMincho", "IPAPGothic"}},
};

constexpr char kDefaultFamily[] = "IPAGothic";

// ---- the font catalogue ------------------------------------------------------

// One outline face fontconfig knows, copied out of its pattern.
struct FaceEntry {
  std::string file;
  int index = 0;
  int weight = 400;  // OS/2 scale
  bool italic = false;
  bool is_private = false;
  std::vector<std::string> families;  // UTF-8, as fontconfig lists them
  bool japanese = false;
  bool korean = false;
};

struct PrivateFile {
  std::string native;
  int references = 0;
  FcFontSet* set = nullptr;
};

double PatternNumber(FcPattern* pattern, const char* object, double fallback) {
  double d = 0;
  int i = 0;
  if (FcPatternGetDouble(pattern, object, 0, &d) == FcResultMatch) return d;
  if (FcPatternGetInteger(pattern, object, 0, &i) == FcResultMatch) return i;
  return fallback;
}

std::string PatternString(FcPattern* pattern, const char* object, int n) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, n, &value) != FcResultMatch || value == nullptr) return {};
  return reinterpret_cast<const char*>(value);
}

// The value of a localised name object in Japanese when the font has one,
// else its first value.
std::string LocalisedName(FcPattern* pattern, const char* object, const char* lang_object) {
  for (int n = 0;; ++n) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, n, &value) != FcResultMatch) break;
    if (PatternString(pattern, lang_object, n) == "ja") return reinterpret_cast<const char*>(value);
  }
  return PatternString(pattern, object, 0);
}

bool HasLanguage(FcPattern* pattern, const char* lang) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(pattern, FC_LANG, 0, &langs) != FcResultMatch || langs == nullptr) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(lang)) != FcLangDifferentLang;
}

class Catalogue {
 public:
  static Catalogue& Get() {
    static Catalogue* catalogue = new Catalogue;  // lives until the process ends
    return *catalogue;
  }

  // Every outline face: the private files in the order added, then the
  // system's fonts. Kept until a private file comes or goes.
  std::shared_ptr<const std::vector<FaceEntry>> OutlineFaces() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (outline_faces_) return outline_faces_;
    }
    auto faces = std::make_shared<std::vector<FaceEntry>>();
    const uint64_t generation = ForEachPattern([&](FcPattern* pattern, bool is_private) {
      FcBool outline = FcFalse;
      if (FcPatternGetBool(pattern, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) return;
      FaceEntry entry;
      entry.file = PatternString(pattern, FC_FILE, 0);
      if (entry.file.empty()) return;
      int index = 0;
      FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
      entry.index = index;
      entry.weight = static_cast<int>(FcWeightToOpenTypeDouble(PatternNumber(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR)));
      entry.italic = PatternNumber(pattern, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
      entry.is_private = is_private;
      for (int n = 0;; ++n) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(pattern, FC_FAMILY, n, &family) != FcResultMatch) break;
        entry.families.emplace_back(reinterpret_cast<const char*>(family));
      }
      entry.japanese = HasLanguage(pattern, "ja");
      entry.korean = HasLanguage(pattern, "ko");
      faces->push_back(std::move(entry));
    });
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation == generation_) outline_faces_ = faces;
    return faces;
  }

  std::vector<FontFamilyInfo> Families();

  int Add(const std::string& native) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (PrivateFile& file : files_) {
      if (file.native == native) {
        ++file.references;
        return file.set->nfont;
      }
    }
    FcFontSet* set = FcFontSetCreate();
    if (set == nullptr) return 0;
    int faces = 0;
    FcFreeTypeQueryAll(reinterpret_cast<const FcChar8*>(native.c_str()), static_cast<unsigned>(-1),
                       nullptr, &faces, set);
    if (set->nfont <= 0) {
      FcFontSetDestroy(set);
      return 0;
    }
    files_.push_back({native, 1, set});
    Changed();
    return set->nfont;
  }

  bool Remove(const std::string& native) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = files_.begin(); it != files_.end(); ++it) {
      if (it->native != native) continue;
      if (--it->references == 0) {
        FcFontSetDestroy(it->set);
        files_.erase(it);
        Changed();
      }
      return true;
    }
    return false;
  }

 private:
  Catalogue() : config_(FcInitLoadConfigAndFonts()) {}

  // Visits every pattern under the lock; returns the generation of the
  // private files it saw.
  template <typename Visit>
  uint64_t ForEachPattern(Visit visit) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const PrivateFile& file : files_) {
      for (int i = 0; i < file.set->nfont; ++i) visit(file.set->fonts[i], true);
    }
    if (config_ != nullptr) {
      FcFontSet* system = FcConfigGetFonts(config_, FcSetSystem);
      for (int i = 0; system != nullptr && i < system->nfont; ++i) visit(system->fonts[i], false);
    }
    return generation_;
  }

  void Changed() {  // with the lock held
    ++generation_;
    outline_faces_.reset();
  }

  std::mutex mutex_;
  FcConfig* config_;
  std::vector<PrivateFile> files_;
  uint64_t generation_ = 0;
  std::shared_ptr<const std::vector<FaceEntry>> outline_faces_;
};

std::vector<FontFamilyInfo> Catalogue::Families() {
  struct Member {
    std::tuple<bool, int, int, std::string, int> regularity;  // smaller is more regular
    std::string full_name;
    bool japanese = false;
    bool true_type = false;
  };
  std::vector<std::pair<std::string, Member>> best;  // by display family
  ForEachPattern([&](FcPattern* pattern, bool) {
    const std::string family = LocalisedName(pattern, FC_FAMILY, FC_FAMILYLANG);
    if (family.empty()) return;
    Member m;
    const int weight = static_cast<int>(FcWeightToOpenTypeDouble(PatternNumber(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR)));
    const int width = static_cast<int>(PatternNumber(pattern, FC_WIDTH, FC_WIDTH_NORMAL));
    int index = 0;
    FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
    m.regularity = {PatternNumber(pattern, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN, std::abs(weight - 400),
                    std::abs(width - FC_WIDTH_NORMAL), PatternString(pattern, FC_FILE, 0), index};
    m.full_name = LocalisedName(pattern, FC_FULLNAME, FC_FULLNAMELANG);
    if (m.full_name.empty()) m.full_name = family;
    m.japanese = HasLanguage(pattern, "ja");
    const std::string format = PatternString(pattern, FC_FONTFORMAT, 0);
    m.true_type = format == "TrueType" || format == "CFF";
    auto it = std::find_if(best.begin(), best.end(), [&](const auto& p) { return p.first == family; });
    if (it == best.end()) {
      best.emplace_back(family, std::move(m));
    } else if (m.regularity < it->second.regularity) {
      it->second = std::move(m);
    }
  });

  const std::string japanese_script = StrictUtf8ToSjis(View(u8"日本語")).value_or("");
  const std::string western_script = StrictUtf8ToSjis(View(u8"欧文")).value_or("");
  std::vector<FontFamilyInfo> list;
  for (const auto& [family, m] : best) {
    std::optional<std::string> name = StrictUtf8ToSjis(m.full_name);
    if (!name || name->empty() || name->size() >= kFontFullNameSize) continue;
    auto same = std::find_if(list.begin(), list.end(), [&](const FontFamilyInfo& f) { return f.full_name == *name; });
    if (same != list.end()) {
      same->japanese = same->japanese || m.japanese;
      same->true_type = same->true_type || m.true_type;
      continue;
    }
    FontFamilyInfo info;
    info.full_name = std::move(*name);
    info.japanese = m.japanese;
    info.true_type = m.true_type;
    list.push_back(std::move(info));
  }
  for (FontFamilyInfo& info : list) info.script = info.japanese ? japanese_script : western_script;
  std::sort(list.begin(), list.end(),
            [](const FontFamilyInfo& a, const FontFamilyInfo& b) { return a.full_name < b.full_name; });
  return list;
}

// ---- resolution ------------------------------------------------------------

// Candidates of one resolution step, best first.
void SortByRequest(std::vector<const FaceEntry*>& faces, const FontRequest& request, int weight) {
  static const std::string kNoName;
  auto key = [&](const FaceEntry* f) {
    return std::tuple<bool, int, bool, const std::string&, const std::string&, int>(
        f->italic != request.italic, std::abs(f->weight - weight), !f->is_private,
        f->families.empty() ? kNoName : f->families.front(), f->file, f->index);
  };
  std::sort(faces.begin(), faces.end(), [&](const FaceEntry* a, const FaceEntry* b) { return key(a) < key(b); });
}

bool InFamily(const FaceEntry& face, std::string_view family) {
  return std::any_of(face.families.begin(), face.families.end(),
                     [&](const std::string& n) { return SameName(n, family); });
}

using FacePredicate = std::function<bool(const FaceEntry&)>;

// The steps of the header's resolution order, each a test of the faces.
std::vector<FacePredicate> ResolutionSteps(const FontRequest& request) {
  std::vector<FacePredicate> steps;
  if (!request.face_name.empty()) {
    std::optional<std::string> name = StrictSjisToUtf8(request.face_name);
    if (name) {
      for (const Alias& alias : kAliases) {
        if (!SameName(View(alias.name), *name)) continue;
        for (const char* family : alias.families) {
          if (family != nullptr) steps.push_back([family](const FaceEntry& f) { return InFamily(f, family); });
        }
      }
      steps.push_back([name = std::move(*name)](const FaceEntry& f) { return InFamily(f, name); });
    }
  }
  if (request.charset == kHangulCharset) steps.push_back([](const FaceEntry& f) { return f.korean; });
  steps.push_back([](const FaceEntry& f) { return InFamily(f, kDefaultFamily); });
  steps.push_back([](const FaceEntry& f) { return f.japanese; });
  steps.push_back([](const FaceEntry&) { return true; });
  return steps;
}

// ---- glyph rendering -----------------------------------------------------------

constexpr int64_t kMaxPointPixels = int64_t{1} << 20;

struct RenderedGlyph {
  GlyphMetrics metrics;
  std::vector<uint8_t> bits;
};

uint32_t RowBytes(GlyphFormat format, uint32_t width) {
  return format == GlyphFormat::kMono ? (width + 31) / 32 * 4 : (width + 3) / 4 * 4;
}

// Paints every pixel of a bitmap once more one pixel to its right; the
// bitmap is one column wider than what was rendered into it.
void Embolden(GlyphFormat format, std::vector<uint8_t>& bits, uint32_t width, uint32_t rows, uint32_t pitch) {
  for (uint32_t y = 0; y < rows; ++y) {
    uint8_t* row = bits.data() + static_cast<size_t>(y) * pitch;
    for (uint32_t x = width - 1; x >= 1; --x) {
      if (format == GlyphFormat::kMono) {
        if (row[(x - 1) >> 3] & (0x80 >> ((x - 1) & 7))) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else {
        row[x] = std::max(row[x], row[x - 1]);
      }
    }
  }
}

}  // namespace

// ---- faces -------------------------------------------------------------------

struct FontFace::State {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::string family;
  std::string file;
  TextMetrics metrics;
  int64_t scale_num = 1;  // pixels per font unit = scale_num / scale_den
  int64_t scale_den = 1;
  bool bold = false;
  bool italic = false;
  int code_page = 932;
  // The last glyph rendered, so that the size query and the copy that
  // follows it render once.
  bool cached = false;
  uint32_t cached_code = 0;
  GlyphFormat cached_format = GlyphFormat::kMono;
  RenderedGlyph glyph;

  ~State() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }

  RenderedGlyph Render(uint32_t code, GlyphFormat format);
  bool RenderOutline(FT_Outline& outline, GlyphFormat format, RenderedGlyph& out);
};

namespace {

// Opens a candidate and works out its metrics; null when FreeType cannot use
// it as a scalable face.
std::unique_ptr<FontFace::State> OpenFace(const FaceEntry& entry, const FontRequest& request, int32_t height,
                                          int32_t weight) {
  auto state = std::make_unique<FontFace::State>();
  if (FT_Init_FreeType(&state->library) != 0) {
    state->library = nullptr;
    return nullptr;
  }
  if (FT_New_Face(state->library, entry.file.c_str(), entry.index, &state->face) != 0) {
    state->face = nullptr;
    return nullptr;
  }
  FT_Face face = state->face;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
  const int64_t units = face->units_per_EM;

  // Vertical extent in font units.
  int64_t a = 0, d = 0;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFFu) {
    a = os2->usWinAscent;
    d = os2->usWinDescent;
  }
  if (a + d <= 0) {
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    a = std::max<int64_t>(hhea != nullptr ? hhea->Ascender : face->ascender, 0);
    d = std::max<int64_t>(-(hhea != nullptr ? hhea->Descender : face->descender), 0);
  }
  if (a + d <= 0) {
    a = std::max<int64_t>(face->bbox.yMax, 0);
    d = std::max<int64_t>(-face->bbox.yMin, 0);
  }
  if (a + d <= 0) {
    a = units;
    d = 0;
  }

  TextMetrics& m = state->metrics;
  if (height > 0) {
    state->scale_num = height;
    state->scale_den = a + d;
    m.height = height;
    m.ascent = static_cast<int32_t>(RoundDiv(a * height, a + d));
    m.descent = height - m.ascent;
  } else {
    state->scale_num = -static_cast<int64_t>(height);
    state->scale_den = units;
    m.ascent = static_cast<int32_t>(RoundDiv(a * state->scale_num, units));
    m.descent = static_cast<int32_t>(RoundDiv(d * state->scale_num, units));
    m.height = std::max(m.ascent + m.descent, 1);
  }
  state->bold = weight >= 600 && entry.weight < 600;
  state->italic = request.italic && !entry.italic;
  m.pixels_per_em = ClampTo(RoundDiv(units * state->scale_num, state->scale_den), 0, INT32_MAX);
  m.internal_leading = m.height - m.pixels_per_em;
  const int64_t widest = CeilDiv(int64_t{face->max_advance_width} * state->scale_num, state->scale_den);
  m.max_char_width = ClampTo(widest + (state->bold ? 1 : 0), 1, int64_t{4} * m.height);
  m.ave_char_width = os2 != nullptr && os2->version != 0xFFFFu
                         ? ClampTo(RoundDiv(int64_t{os2->xAvgCharWidth} * state->scale_num, state->scale_den), 0,
                                   int64_t{4} * m.height)
                         : 0;
  m.weight = weight;
  m.italic = request.italic;
  m.charset = request.charset;
  state->code_page = request.charset == kHangulCharset ? 949 : 932;
  state->family = entry.families.empty() ? std::string() : entry.families.front();
  state->file = entry.file;
  return state;
}

}  // namespace

RenderedGlyph FontFace::State::Render(uint32_t code, GlyphFormat format) {
  RenderedGlyph out;
  out.metrics.black_box_x = 1;
  out.metrics.black_box_y = 1;

  const char32_t c = DecodeCode(code, code_page);
  const FT_UInt index = c != 0 ? FT_Get_Char_Index(face, c) : 0;
  FT_Fixed advance = 0;
  if (FT_Get_Advance(face, index, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
  const int64_t cell = RoundDiv(int64_t{advance} * scale_num, scale_den) + (bold ? 1 : 0);
  out.metrics.cell_inc_x = static_cast<int16_t>(ClampTo(cell, 0, int64_t{4} * metrics.height + 1));

  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) return out;
  if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return out;
  FT_Outline outline = face->glyph->outline;  // shares the slot's points
  if (outline.n_points <= 0 || outline.n_contours <= 0) return out;

  // Font units to 26.6 pixels, then the shear of synthetic italic.
  const int64_t limit = kMaxPointPixels * 64;
  const int64_t unit_limit = kMaxPointPixels * scale_den;  // the same in font units
  for (int i = 0; i < outline.n_points; ++i) {
    FT_Vector& p = outline.points[i];
    if (p.x > unit_limit || p.x < -unit_limit || p.y > unit_limit || p.y < -unit_limit) return out;
    int64_t x = RoundDiv(int64_t{p.x} * scale_num * 64, scale_den);
    const int64_t y = RoundDiv(int64_t{p.y} * scale_num * 64, scale_den);
    if (italic) x += RoundDiv(y, 4);
    if (std::abs(x) > limit || std::abs(y) > limit) return out;
    p.x = static_cast<FT_Pos>(x);
    p.y = static_cast<FT_Pos>(y);
  }
  outline.flags = (outline.flags & (FT_OUTLINE_EVEN_ODD_FILL | FT_OUTLINE_REVERSE_FILL |
                                    FT_OUTLINE_IGNORE_DROPOUTS | FT_OUTLINE_SMART_DROPOUTS |
                                    FT_OUTLINE_INCLUDE_STUBS)) |
                  FT_OUTLINE_HIGH_PRECISION;
  RenderedGlyph rendered = out;
  if (RenderOutline(outline, format, rendered)) return rendered;
  return out;
}

bool FontFace::State::RenderOutline(FT_Outline& outline, GlyphFormat format, RenderedGlyph& out) {
  FT_BBox box;
  if (FT_Outline_Get_BBox(&outline, &box) != 0) return false;
  const int64_t left = FloorDiv(box.xMin, 64), right = CeilDiv(box.xMax, 64);
  const int64_t bottom = FloorDiv(box.yMin, 64), top = CeilDiv(box.yMax, 64);
  const int64_t width = right - left, rows = top - bottom;
  if (width <= 0 || rows <= 0 || width > kMaxGlyphSide || rows > kMaxGlyphSide) return false;
  if (std::abs(left) > kMaxGlyphOffset || std::abs(top) > kMaxGlyphOffset) return false;
  FT_Outline_Translate(&outline, static_cast<FT_Pos>(-left * 64), static_cast<FT_Pos>(-bottom * 64));

  const uint32_t box_width = static_cast<uint32_t>(width) + (bold ? 1 : 0);
  const uint32_t pitch = RowBytes(format, box_width);
  out.bits.assign(static_cast<size_t>(pitch) * static_cast<size_t>(rows), 0);
  FT_Bitmap bitmap;
  std::memset(&bitmap, 0, sizeof(bitmap));
  bitmap.rows = static_cast<unsigned>(rows);
  bitmap.width = static_cast<unsigned>(width);
  bitmap.pitch = static_cast<int>(pitch);
  bitmap.buffer = out.bits.data();
  bitmap.num_grays = format == GlyphFormat::kMono ? 2 : 256;
  bitmap.pixel_mode = format == GlyphFormat::kMono ? FT_PIXEL_MODE_MONO : FT_PIXEL_MODE_GRAY;
  if (FT_Outline_Get_Bitmap(library, &outline, &bitmap) != 0) {
    out.bits.clear();
    return false;
  }
  if (format == GlyphFormat::kGray) {
    for (uint8_t& v : out.bits) v = static_cast<uint8_t>((v * 32 + 255) / 510);
  }
  if (bold) Embolden(format, out.bits, box_width, static_cast<uint32_t>(rows), pitch);
  out.metrics.black_box_x = box_width;
  out.metrics.black_box_y = static_cast<uint32_t>(rows);
  out.metrics.origin_x = static_cast<int32_t>(left);
  out.metrics.origin_y = static_cast<int32_t>(top);
  return true;
}

FontFace::FontFace(std::unique_ptr<State> state) : state_(std::move(state)) {}
FontFace::~FontFace() = default;

const TextMetrics& FontFace::Metrics() const { return state_->metrics; }
const std::string& FontFace::Family() const { return state_->family; }
const std::string& FontFace::File() const { return state_->file; }
bool FontFace::SyntheticBold() const { return state_->bold; }
bool FontFace::SyntheticItalic() const { return state_->italic; }

int64_t FontFace::GlyphOutline(uint32_t code, GlyphFormat format, GlyphMetrics* metrics, void* buffer,
                               size_t buffer_size) {
  State& s = *state_;
  if (!s.cached || s.cached_code != code || s.cached_format != format) {
    s.glyph = s.Render(code, format);
    s.cached = true;
    s.cached_code = code;
    s.cached_format = format;
  }
  if (metrics != nullptr) *metrics = s.glyph.metrics;
  const size_t size = s.glyph.bits.size();
  if (buffer != nullptr) {
    if (buffer_size < size) return -1;
    if (size > 0) std::memcpy(buffer, s.glyph.bits.data(), size);
  }
  return static_cast<int64_t>(size);
}

std::unique_ptr<FontFace> CreateFontFace(const FontRequest& request) {
  int32_t height = request.height == 0 ? 16 : std::clamp(request.height, -kMaxFontHeight, kMaxFontHeight);
  const int32_t weight = request.weight <= 0 ? 400 : std::min(request.weight, 1000);
  const std::shared_ptr<const std::vector<FaceEntry>> faces = Catalogue::Get().OutlineFaces();
  for (const FacePredicate& accept : ResolutionSteps(request)) {
    std::vector<const FaceEntry*> step;
    for (const FaceEntry& face : *faces) {
      if (accept(face)) step.push_back(&face);
    }
    SortByRequest(step, request, weight);
    for (const FaceEntry* entry : step) {
      std::unique_ptr<FontFace::State> state = OpenFace(*entry, request, height, weight);
      if (state) return std::make_unique<FontFace>(std::move(state));
    }
  }
  return nullptr;
}

std::vector<FontFamilyInfo> EnumerateFontFamilies() { return Catalogue::Get().Families(); }

namespace {

std::string NativePathOf(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  return native ? *native : EngineToNativeLexical(path);
}

}  // namespace

int AddPrivateFontFile(std::string_view path) {
  std::optional<std::string> native = ResolveExisting(path);
  if (!native || native->empty()) return 0;
  return Catalogue::Get().Add(*native);
}

bool RemovePrivateFontFile(std::string_view path) {
  const std::string native = NativePathOf(path);
  return !native.empty() && Catalogue::Get().Remove(native);
}

int32_t OemCodePage() { return 932; }

}  // namespace platform
