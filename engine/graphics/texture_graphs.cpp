#include "engine/graphics/texture_graphs.h"

#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_format_table.h"
#include "engine/graphics/texture_upload.h"

namespace {

// The two 16-bit formats glyph caches are kept in, while new graphics can
// be texture graphics and 3D drawing is in effect.
bool GlyphTextureFormats(ColorFormat* alphaFormat, ColorFormat* maskFormat) {
  if (TextureGraphsEnabled() == 0 || IsUsing3DDrawing() == 0) return false;
  const ColorFormat* alpha = GetTextureColorFormatFor(1, 0, 0, 0);
  const ColorFormat* mask = GetTextureColorFormatFor(0, 1, 0, 0);
  if (alpha == nullptr || mask == nullptr || alpha->BitDepth == 0 || mask->BitDepth == 0) return false;
  *alphaFormat = *alpha;
  *maskFormat = *mask;
  return true;
}

void ReleaseCacheGraph(int* handle) {
  if (*handle == -1) return;
  SetGraphLostFlag(*handle, nullptr);
  ReleaseGraph(*handle, 0);
  *handle = -1;
}

void ReleaseFontCacheGraphs(FontRecord& record) {
  ReleaseCacheGraph(&record.EdgeCacheGraph);
  ReleaseCacheGraph(&record.CacheGraph);
}

// The cache graph of the record's cache size (twice as wide for edge types,
// whose right half is the edge cache graph), 16-bit, with an alpha channel
// for antialiased types and one alpha bit for the others: the formats the
// glyph work image was given. Only the creation settings that choose the
// texture format are changed for the call, and put back after it.
int CreateFontCacheGraphs(FontRecord& record) {
  ReleaseFontCacheGraphs(record);
  DrawState& s = CurrentDrawState;
  const int32_t savedDepth = s.CreateBitDepth, savedAlpha = s.CreateAlpha, savedAlphaTest = s.CreateAlphaTest;
  const int32_t savedDrawable = s.CreateDrawable, savedBlend = s.CreateBlendGraph, savedUse3D = s.Use3D;
  const bool antialiased = (record.Type & kFontTypeAntialias) != 0;
  const bool edged = (record.Type & kFontTypeEdge) != 0;
  s.CreateBitDepth = 16;
  s.CreateAlpha = antialiased ? 1 : 0;
  s.CreateAlphaTest = antialiased ? 0 : 1;
  // A drawable or blend-format setting would give the textures another
  // format than the work image's.
  s.CreateDrawable = 0;
  s.CreateBlendGraph = 0;
  s.Use3D = 1;
  const int width = record.CacheWidth * (edged ? 2 : 1);
  int graph = CreateBlankGraph(width, record.CacheHeight, 1, s.CreateAlpha, 0);
  const GraphRecord* made = GetGraphRecord(graph);
  if (made != nullptr && made->TextureFlag != 1) {
    // Glyphs are only ever written into textures.
    ReleaseGraph(graph, 0);
    graph = -1;
  }
  int edgeGraph = -1;
  if (graph != -1 && edged) {
    edgeGraph = CreateSubGraph(record.CacheWidth, 0, record.CacheWidth, record.CacheHeight, graph);
    if (edgeGraph == -1) {
      ReleaseGraph(graph, 0);
      graph = -1;
    }
  }
  s.CreateBitDepth = savedDepth;
  s.CreateAlpha = savedAlpha;
  s.CreateAlphaTest = savedAlphaTest;
  s.CreateDrawable = savedDrawable;
  s.CreateBlendGraph = savedBlend;
  s.Use3D = savedUse3D;
  if (graph == -1) return -1;
  record.CacheGraph = graph;
  record.EdgeCacheGraph = edgeGraph;
  SetGraphLostFlag(graph, &record.TextureRebuild);
  FillGraph(graph, 255, 255, 255, 0);
  return 0;
}

int TransferGlyphRect(const GraphImage& image, int left, int top, int right, int bottom, int x, int y,
                      int graph) {
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr || record->TextureFlag != 1) return -1;
  return UploadImageRectToGraphTextures(ImageRect{left, top, right, bottom}, x, y, *record, &image, nullptr);
}

// No movie of this build keeps an alpha image in the lower half of its
// frames.
int UploadMovieFrame(const MovieFrame& frame, const GraphRecord& graph, const MovieRectWriter* write) {
  if (write != nullptr) return WriteMovieFrameToTextures3D(frame, graph, *write);
  return UploadMovieFrame3D(frame, 0, graph);
}

int DeleteAllPieces() { return DeleteAllSurfaces3D(); }

}  // namespace

void ReleaseAllTextureSurfaces3D() {
  ForEachSurface3D([](int, Surface3D& piece) { ReleaseSurfaceDataStorage(piece.SurfaceData); });
}

void RecreateAllTextureSurfaces3D() {
  // Pieces sharing a texture find it made by the first of them.
  ForEachSurface3D([](int, Surface3D& piece) {
    if (CreateSurfaceDataStorage(piece.SurfaceData) == 0) ApplySurfaceDataColorKey(piece.SurfaceData);
  });
}

FontCacheHooks TextureFontCacheHooks() {
  FontCacheHooks hooks;
  hooks.texture_formats = GlyphTextureFormats;
  hooks.create_cache_graphs = CreateFontCacheGraphs;
  hooks.release_cache_graphs = ReleaseFontCacheGraphs;
  hooks.transfer_image_rect = TransferGlyphRect;
  return hooks;
}

void InstallTextureGraphHooks() {
  Surface3DTableHooks table;
  table.DeleteAll = DeleteAllPieces;
  table.ReleaseTextures = ReleaseAllTextureSurfaces3D;
  table.RecreateTextures = RecreateAllTextureSurfaces3D;
  SetSurface3DTableHooks(table);
  SetFontCacheHooks(TextureFontCacheHooks());
  SetMovieFrameUploader3D(UploadMovieFrame);
}
