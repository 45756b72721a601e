// The test font: glyph outlines from a table of rectangles, then the ten
// tables of a TrueType file (big-endian, each padded to four bytes, with
// their checksums and the head table's whole-file adjustment).
#include "tools/writers/test_font_writer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string_view>

namespace writers {
namespace {

struct Point {
  int x, y;  // design steps
};
using Contour = std::vector<Point>;

struct Glyph {
  int advance = 8;  // design steps
  std::vector<Contour> contours;
};

// Filled contours run clockwise (y up), holes anticlockwise.
Contour Box(int x0, int y0, int x1, int y1) { return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}}; }
Contour Hole(int x0, int y0, int x1, int y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

enum GlyphId : uint16_t {
  kNotdef, kSpace, kWideSpace, kI, kL, kT, kO, kUnderscore, kSlash, kBackslash, kAsciiOther,
  kHiraganaA, kKatakanaA, kKanjiDay, kKanjiOne, kGeta, kJapaneseOther, kGlyphCount
};

std::vector<Glyph> MakeGlyphs(bool japanese) {
  std::vector<Glyph> g(japanese ? kGlyphCount : kHiraganaA);
  g[kNotdef] = {8, {Box(1, 0, 7, 12), Hole(2, 1, 6, 11)}};
  g[kSpace] = {8, {}};
  g[kWideSpace] = {16, {}};
  g[kI] = {8, {Box(3, 0, 5, 12)}};
  g[kL] = {8, {Box(2, 0, 4, 12), Box(4, 0, 7, 2)}};
  g[kT] = {8, {Box(1, 10, 7, 12), Box(3, 0, 5, 10)}};
  g[kO] = {8, {Box(1, 0, 7, 12), Hole(3, 2, 5, 10)}};
  g[kUnderscore] = {8, {Box(0, -3, 8, -1)}};
  g[kSlash] = {8, {{{1, 0}, {7, 6}, {7, 0}}}};
  g[kBackslash] = {8, {{{0, 0}, {8, 1}, {8, 0}}}};
  g[kAsciiOther] = {8, {Box(1, 0, 7, 8)}};
  if (japanese) {
    g[kHiraganaA] = {16, {Box(1, 6, 15, 8), Box(7, 0, 9, 14)}};
    g[kKatakanaA] = {16, {Box(1, 12, 15, 14), Box(11, 6, 13, 12), Box(5, 0, 7, 12)}};
    g[kKanjiDay] = {16, {Box(3, 0, 13, 14), Hole(5, 2, 11, 6), Hole(5, 8, 11, 12)}};
    g[kKanjiOne] = {16, {Box(1, 6, 15, 8)}};
    g[kGeta] = {16, {Box(-2, 4, 28, 8)}};
    g[kJapaneseOther] = {16, {Box(4, 4, 12, 12)}};
  }
  return g;
}

uint16_t GlyphFor(char32_t c, bool japanese) {
  switch (c) {
    case U' ': return kSpace;
    case U'I': return kI;
    case U'L': return kL;
    case U'T': return kT;
    case U'O': return kO;
    case U'_': return kUnderscore;
    case U'/': return kSlash;
    case U'\\': return kBackslash;
    default: break;
  }
  if (c > 0x20 && c < 0x7F) return kAsciiOther;
  if (!japanese) return kNotdef;
  switch (c) {
    case 0x3000: return kWideSpace;
    case 0x3042: return kHiraganaA;
    case 0x30A2: return kKatakanaA;
    case 0x65E5: return kKanjiDay;
    case 0x4E00: return kKanjiOne;
    case 0x3013: return kGeta;
    default: break;
  }
  if ((c >= 0x3000 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF)) return kJapaneseOther;
  return kNotdef;
}

class Bytes {
 public:
  void U8(uint32_t v) { out_.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) {
    U8(v >> 8);
    U8(v);
  }
  void I16(int v) { U16(static_cast<uint16_t>(static_cast<int16_t>(v))); }
  void U32(uint32_t v) {
    U16(v >> 16);
    U16(v);
  }
  void Tag(const char* tag) { out_.insert(out_.end(), tag, tag + 4); }
  void Append(const std::vector<uint8_t>& more) { out_.insert(out_.end(), more.begin(), more.end()); }
  void Pad4() {
    while (out_.size() % 4 != 0) out_.push_back(0);
  }
  void SetU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  }
  size_t Size() const { return out_.size(); }
  std::vector<uint8_t>& Data() { return out_; }

 private:
  std::vector<uint8_t> out_;
};

uint32_t Checksum(const std::vector<uint8_t>& data) {
  uint32_t sum = 0;
  for (size_t i = 0; i < data.size(); i += 4) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) word = (word << 8) | (i + k < data.size() ? data[i + k] : 0u);
    sum += word;
  }
  return sum;
}

struct Box16 {
  int x_min = INT_MAX, y_min = INT_MAX, x_max = INT_MIN, y_max = INT_MIN;
  bool Empty() const { return x_min > x_max; }
};

Box16 BoundsOf(const Glyph& glyph) {
  Box16 box;
  for (const Contour& c : glyph.contours) {
    for (const Point& p : c) {
      box.x_min = std::min(box.x_min, p.x * kTestFontGrid);
      box.y_min = std::min(box.y_min, p.y * kTestFontGrid);
      box.x_max = std::max(box.x_max, p.x * kTestFontGrid);
      box.y_max = std::max(box.y_max, p.y * kTestFontGrid);
    }
  }
  return box;
}

// A simple glyph: every point on the curve, coordinates as 16-bit deltas.
std::vector<uint8_t> GlyphData(const Glyph& glyph) {
  Bytes b;
  if (glyph.contours.empty()) return {};
  const Box16 box = BoundsOf(glyph);
  b.I16(static_cast<int>(glyph.contours.size()));
  b.I16(box.x_min);
  b.I16(box.y_min);
  b.I16(box.x_max);
  b.I16(box.y_max);
  int end = -1;
  for (const Contour& c : glyph.contours) {
    end += static_cast<int>(c.size());
    b.U16(static_cast<uint32_t>(end));
  }
  b.U16(0);  // no instructions
  std::vector<Point> points;
  for (const Contour& c : glyph.contours) points.insert(points.end(), c.begin(), c.end());
  for (size_t i = 0; i < points.size(); ++i) b.U8(0x01);
  int last = 0;
  for (const Point& p : points) {
    b.I16(p.x * kTestFontGrid - last);
    last = p.x * kTestFontGrid;
  }
  last = 0;
  for (const Point& p : points) {
    b.I16(p.y * kTestFontGrid - last);
    last = p.y * kTestFontGrid;
  }
  b.Pad4();
  return std::move(b.Data());
}

// Format 4 with one glyph-index array per range, the way a font maps a few
// thousand scattered characters to shared glyphs.
std::vector<uint8_t> CmapTable(bool japanese) {
  struct Range {
    uint16_t first, last;
  };
  std::vector<Range> ranges = {{0x20, 0x7E}};
  if (japanese) {
    ranges.push_back({0x3000, 0x30FF});
    ranges.push_back({0x4E00, 0x9FFF});
  }
  const int segments = static_cast<int>(ranges.size()) + 1;
  std::vector<uint16_t> glyph_array;
  std::vector<uint16_t> range_offsets;
  for (size_t i = 0; i < ranges.size(); ++i) {
    range_offsets.push_back(static_cast<uint16_t>(2 * (segments - static_cast<int>(i)) + 2 * glyph_array.size()));
    for (uint32_t c = ranges[i].first; c <= ranges[i].last; ++c) glyph_array.push_back(GlyphFor(c, japanese));
  }
  int power = 1, log2 = 0;
  while (power * 2 <= segments) {
    power *= 2;
    ++log2;
  }
  Bytes sub;
  sub.U16(4);
  sub.U16(static_cast<uint32_t>(16 + 8 * segments + 2 * glyph_array.size()));
  sub.U16(0);
  sub.U16(static_cast<uint32_t>(2 * segments));
  sub.U16(static_cast<uint32_t>(2 * power));
  sub.U16(static_cast<uint32_t>(log2));
  sub.U16(static_cast<uint32_t>(2 * segments - 2 * power));
  for (const Range& r : ranges) sub.U16(r.last);
  sub.U16(0xFFFF);
  sub.U16(0);
  for (const Range& r : ranges) sub.U16(r.first);
  sub.U16(0xFFFF);
  for (size_t i = 0; i < ranges.size(); ++i) sub.U16(0);
  sub.U16(1);
  for (uint16_t offset : range_offsets) sub.U16(offset);
  sub.U16(0);
  for (uint16_t glyph : glyph_array) sub.U16(glyph);

  Bytes b;
  b.U16(0);
  b.U16(1);
  b.U16(3);   // Windows
  b.U16(1);   // Unicode BMP
  b.U32(12);
  b.Append(sub.Data());
  return std::move(b.Data());
}

struct NameRecord {
  uint16_t language;
  uint16_t id;
  std::u16string text;
};

std::u16string Ascii16(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::vector<uint8_t> NameTable(const TestFontOptions& options) {
  const std::u16string family = Ascii16(!options.family.empty() ? std::string_view(options.family)
                                        : options.japanese   ? kTestFontFamily
                                                             : kTestFontLatinFamily);
  const std::u16string style = options.bold ? u"Bold" : u"Regular";
  const std::u16string full = options.bold ? family + u" Bold" : family;
  std::u16string postscript = family + u"-" + style;
  postscript.erase(std::remove(postscript.begin(), postscript.end(), u' '), postscript.end());
  std::vector<NameRecord> records = {
      {0x0409, 1, family}, {0x0409, 2, style}, {0x0409, 3, postscript},
      {0x0409, 4, full},   {0x0409, 6, postscript},
  };
  if (options.japanese) {
    const std::u16string family_ja = u"ベスク試験";
    records.push_back({0x0411, 1, family_ja});
    records.push_back({0x0411, 2, style});
    records.push_back({0x0411, 4, options.bold ? family_ja + u" Bold" : family_ja});
  }
  Bytes b;
  b.U16(0);
  b.U16(static_cast<uint32_t>(records.size()));
  b.U16(static_cast<uint32_t>(6 + 12 * records.size()));
  size_t offset = 0;
  for (const NameRecord& r : records) {
    b.U16(3);
    b.U16(1);
    b.U16(r.language);
    b.U16(r.id);
    b.U16(static_cast<uint32_t>(2 * r.text.size()));
    b.U16(static_cast<uint32_t>(offset));
    offset += 2 * r.text.size();
  }
  for (const NameRecord& r : records) {
    for (char16_t c : r.text) b.U16(c);
  }
  return std::move(b.Data());
}

std::vector<uint8_t> Os2Table(const TestFontOptions& options) {
  Bytes b;
  b.U16(4);                         // version
  b.I16(8 * kTestFontGrid);         // xAvgCharWidth
  b.U16(options.bold ? 700 : 400);  // usWeightClass
  b.U16(5);                         // usWidthClass: medium
  b.U16(0);                         // fsType: installable
  for (int v : {650, 700, 0, 140, 650, 700, 0, 480, 50, 300}) b.I16(v);
  b.I16(0);                         // sFamilyClass
  for (int i = 0; i < 10; ++i) b.U8(0);
  b.U32(1);                         // Basic Latin
  b.U32(options.japanese ? (1u << 16) | (1u << 17) | (1u << 18) | (1u << 27) : 0u);
  b.U32(0);
  b.U32(0);
  b.Tag("VESK");
  b.U16(options.bold ? 0x20 : 0x40);  // fsSelection: bold or regular
  b.U16(0x20);
  b.U16(options.japanese ? 0x9FFF : 0x7E);
  b.I16(800);                       // sTypoAscender
  b.I16(-224);                      // sTypoDescender
  b.I16(0);
  b.U16(options.win_ascent);
  b.U16(options.win_descent);
  b.U32(options.japanese ? (1u << 0) | (1u << 17) : 1u);  // Latin 1, JIS
  b.U32(0);
  b.I16(8 * kTestFontGrid);         // sxHeight
  b.I16(12 * kTestFontGrid);        // sCapHeight
  b.U16(0);
  b.U16(0x20);
  b.U16(1);
  return std::move(b.Data());
}

}  // namespace

std::vector<uint8_t> BuildTestFont(const TestFontOptions& options) {
  const std::vector<Glyph> glyphs = MakeGlyphs(options.japanese);
  const uint32_t glyph_count = static_cast<uint32_t>(glyphs.size());

  // glyf, loca and the summary figures of head, hhea and maxp.
  Bytes glyf, loca, hmtx;
  Box16 all;
  int advance_max = 0, min_lsb = INT_MAX, min_rsb = INT_MAX, max_extent = INT_MIN;
  size_t max_points = 0, max_contours = 0;
  for (const Glyph& glyph : glyphs) {
    loca.U32(static_cast<uint32_t>(glyf.Size()));
    glyf.Append(GlyphData(glyph));
    const int advance = glyph.advance * kTestFontGrid;
    advance_max = std::max(advance_max, advance);
    const Box16 box = BoundsOf(glyph);
    hmtx.U16(static_cast<uint32_t>(advance));
    hmtx.I16(box.Empty() ? 0 : box.x_min);
    if (box.Empty()) continue;
    all.x_min = std::min(all.x_min, box.x_min);
    all.y_min = std::min(all.y_min, box.y_min);
    all.x_max = std::max(all.x_max, box.x_max);
    all.y_max = std::max(all.y_max, box.y_max);
    min_lsb = std::min(min_lsb, box.x_min);
    min_rsb = std::min(min_rsb, advance - box.x_max);
    max_extent = std::max(max_extent, box.x_max);
    size_t points = 0;
    for (const Contour& c : glyph.contours) points += c.size();
    max_points = std::max(max_points, points);
    max_contours = std::max(max_contours, glyph.contours.size());
  }
  loca.U32(static_cast<uint32_t>(glyf.Size()));

  Bytes head;
  head.U32(0x00010000);
  head.U32(0x00010000);
  head.U32(0);  // checksum adjustment, set below
  head.U32(0x5F0F3CF5);
  head.U16(0x0001);  // baseline at y = 0
  head.U16(kTestFontUnitsPerEm);
  for (int i = 0; i < 4; ++i) head.U32(0);  // created, modified
  head.I16(all.x_min);
  head.I16(all.y_min);
  head.I16(all.x_max);
  head.I16(all.y_max);
  head.U16(options.bold ? 1 : 0);  // macStyle
  head.U16(8);
  head.I16(2);
  head.I16(1);  // long loca offsets
  head.I16(0);

  Bytes hhea;
  hhea.U32(0x00010000);
  hhea.I16(options.hhea_ascender);
  hhea.I16(options.hhea_descender);
  hhea.I16(0);
  hhea.U16(static_cast<uint32_t>(advance_max));
  hhea.I16(min_lsb);
  hhea.I16(min_rsb);
  hhea.I16(max_extent);
  hhea.I16(1);
  hhea.I16(0);
  hhea.I16(0);
  for (int i = 0; i < 4; ++i) hhea.I16(0);
  hhea.I16(0);
  hhea.U16(glyph_count);

  Bytes maxp;
  maxp.U32(0x00010000);
  maxp.U16(glyph_count);
  maxp.U16(static_cast<uint32_t>(max_points));
  maxp.U16(static_cast<uint32_t>(max_contours));
  maxp.U16(0);
  maxp.U16(0);
  maxp.U16(2);
  for (int i = 0; i < 8; ++i) maxp.U16(0);

  Bytes post;
  post.U32(0x00030000);
  post.U32(0);
  post.I16(-2 * kTestFontGrid);
  post.I16(kTestFontGrid);
  for (int i = 0; i < 5; ++i) post.U32(0);

  struct Table {
    const char* tag;
    std::vector<uint8_t> data;
  };
  std::vector<Table> tables;
  if (options.with_os2) tables.push_back({"OS/2", Os2Table(options)});
  tables.push_back({"cmap", CmapTable(options.japanese)});
  tables.push_back({"glyf", std::move(glyf.Data())});
  tables.push_back({"head", std::move(head.Data())});
  tables.push_back({"hhea", std::move(hhea.Data())});
  tables.push_back({"hmtx", std::move(hmtx.Data())});
  tables.push_back({"loca", std::move(loca.Data())});
  tables.push_back({"maxp", std::move(maxp.Data())});
  tables.push_back({"name", NameTable(options)});
  tables.push_back({"post", std::move(post.Data())});

  const uint32_t count = static_cast<uint32_t>(tables.size());
  uint32_t power = 1, log2 = 0;
  while (power * 2 <= count) {
    power *= 2;
    ++log2;
  }
  Bytes file;
  file.U32(0x00010000);
  file.U16(count);
  file.U16(16 * power);
  file.U16(log2);
  file.U16(16 * count - 16 * power);
  uint32_t offset = 12 + 16 * count;
  size_t head_offset = 0;
  for (const Table& t : tables) {
    file.Tag(t.tag);
    file.U32(Checksum(t.data));
    file.U32(offset);
    file.U32(static_cast<uint32_t>(t.data.size()));
    if (std::strcmp(t.tag, "head") == 0) head_offset = offset;
    offset += static_cast<uint32_t>((t.data.size() + 3) & ~size_t{3});
  }
  for (const Table& t : tables) {
    file.Append(t.data);
    file.Pad4();
  }
  file.SetU32(head_offset + 8, 0xB1B0AFBAu - Checksum(file.Data()));
  return std::move(file.Data());
}

}  // namespace writers
