#include "engine/graphics/graph_creation.h"

#include <cstring>
#include <string>

#include "engine/core/base/log.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/graph_image_loader.h"
#include "engine/graphics/image_transfer_2d.h"
#include "engine/graphics/back_end_calls.h"
#include "engine/graphics/surface_2d.h"

namespace {

bool HasAlphaBits(const GraphImage& image) { return image.Format.AlphaMask != 0; }

// Both images (alpha may be null) mirrored left-right in place.
void MirrorImages(GraphImage* image, GraphImage* alpha) {
  ReverseGraphImage(image);
  if (alpha != nullptr && alpha->Pixels != nullptr) ReverseGraphImage(alpha);
}

// The decoded images of one load, freed with the object.
struct LoadedImages {
  GraphImage image{};
  GraphImage alpha{};
  bool has_alpha = false;
  LoadedImages() = default;
  LoadedImages(const LoadedImages&) = delete;
  LoadedImages& operator=(const LoadedImages&) = delete;
  ~LoadedImages() {
    ReleaseGraphImage(&image);
    ReleaseGraphImage(&alpha);
  }
  GraphImage* Alpha() { return has_alpha ? &alpha : nullptr; }
};

std::string CurrentFolder() {
  char buffer[kStreamPathBufferSize] = {};
  if (StreamGetDir(buffer) != 0) return std::string();
  buffer[kStreamPathBufferSize - 1] = '\0';
  return std::string(buffer);
}

// The movie road of ReadGraphFromFile: a file no image reader takes.
int ReadMovieGraph(const char* file, int want3D, int movieKind) {
  return OpenMovieGraph(file, want3D, movieKind);
}

}  // namespace

int CreateGraphForImage(const GraphImage* image, const GraphImage* alpha, int want3D) {
  EndCurrentScene3D();
  WaitWhileInactive();
  if (image == nullptr) return -1;
  if (alpha != nullptr && (alpha->Width != image->Width || alpha->Height != image->Height)) {
    return -1;
  }
  const int withAlpha = (HasAlphaBits(*image) || alpha != nullptr) ? 1 : 0;
  const int palette = (image->Format.BitDepth == 8 && withAlpha == 0) ? 1 : 0;
  return CreateBlankGraph(image->Width, image->Height, want3D, withAlpha, palette);
}

int MakeGraphFromImage(GraphImage* image, GraphImage* alpha, int want3D, int mirror,
                       int mirrorBoth) {
  if (image == nullptr) return -1;
  RecomputeSpareMask(&image->Format);
  if (alpha != nullptr) RecomputeSpareMask(&alpha->Format);
  EndCurrentScene3D();
  const bool mirrored = mirror == 1 && mirrorBoth == 1;
  if (mirrored) MirrorImages(image, alpha);
  const int handle = CreateGraphForImage(image, alpha, want3D);
  int result = handle == -1 ? -1 : TransferImageToGraph(nullptr, image, alpha, 0, 0, handle);
  if (mirrored) MirrorImages(image, alpha);
  if (result != 0 && handle != -1) {
    ReleaseGraph(handle, 0);
    result = -1;
  }
  return result == 0 ? handle : -1;
}

int MakeGraphFromGraphImage(GraphImage* image) { return MakeGraphFromImage(image, nullptr, 1, 0, 1); }

int TransferImageToGraph(const char* fileName, const GraphImage* image, const GraphImage* alpha,
                         int sourceX, int sourceY, int handle) {
  GraphRecord* graph = GetGraphRecord(handle);
  if (graph == nullptr || image == nullptr) return -1;
  SetGraphFileName(handle, fileName != nullptr ? std::string(fileName) : std::string(),
                   CurrentFolder());
  graph->SourceX = sourceX;
  graph->SourceY = sourceY;
  if (graph->TextureFlag == 1) return UploadImageToGraphTextures(sourceX, sourceY, *graph, image, alpha);
  return TransImageToGraphSurface2D(sourceX, sourceY, *graph, image, alpha);
}

int ReadGraphFromFile(const char* file, int want3D, int mirror, int movieKind) {
  EndCurrentScene3D();
  WaitWhileInactive();
  if (file == nullptr) return -1;
  LoadedImages loaded;
  const int result = LoadGraphFileWithAlpha(file, nullptr, 0, 0, nullptr, 0, 0, &loaded.image,
                                            &loaded.alpha, 0);
  if (result < 0) return ReadMovieGraph(file, want3D, movieKind);
  loaded.has_alpha = result == 0;
  if (mirror == 1) MirrorImages(&loaded.image, loaded.Alpha());
  const int handle = MakeGraphFromImage(&loaded.image, loaded.Alpha(), want3D, mirror, 0);
  if (handle != -1) SetGraphFileName(handle, std::string(file), CurrentFolder());
  return handle;
}

int LoadGraphForceAlpha(const char* file) {
  DrawState& s = CurrentDrawState;
  const int kept = s.CreateBlendGraph;
  s.CreateBlendGraph = 1;
  const int handle = ReadGraphFromFile(file, 1, 0, 0);
  s.CreateBlendGraph = kept;
  return handle;
}

int CreateGraphFromMemory(const void* data, int32_t size, const void* alphaData,
                          int32_t alphaSize, int want3D, int mirror) {
  EndCurrentScene3D();
  if (data == nullptr || size <= 0) return -1;
  LoadedImages loaded;
  const int result = LoadGraphFileWithAlpha(nullptr, data, size, 1, alphaData, alphaSize,
                                            alphaData != nullptr ? 1 : 0, &loaded.image,
                                            &loaded.alpha, 0);
  if (result < 0) return -1;
  loaded.has_alpha = result == 0;
  if (mirror == 1) MirrorImages(&loaded.image, loaded.Alpha());
  return MakeGraphFromImage(&loaded.image, loaded.Alpha(), want3D, mirror, 0);
}

int CreateSubGraph(int x, int y, int width, int height, int source) {
  const GraphRecord* parent = GetGraphRecord(source);
  if (parent == nullptr) return -1;
  // Script values reach here: anything outside the source is refused
  // rather than shared.
  if (x < 0 || y < 0 || x >= parent->Width || y >= parent->Height || width <= 0 || height <= 0) {
    return -1;
  }
  if (width > parent->Width - x) width = parent->Width - x;
  if (height > parent->Height - y) height = parent->Height - y;
  GraphRecord* graph = nullptr;
  const int handle = AllocGraphHandle(width, height, parent->TextureFlag, &graph,
                                      parent->AlphaChFlag, parent->PaletteFlag);
  // The allocation may have moved nothing, but take the parent again by
  // handle: the table owns the records.
  parent = GetGraphRecord(source);
  graph->MovieHandle = parent->MovieHandle;
  graph->FileName = parent->FileName;
  graph->LoadFolder = parent->LoadFolder;
  static_cast<GraphCreationFlags&>(*graph) = static_cast<const GraphCreationFlags&>(*parent);
  graph->BlendGraphFormat = parent->BlendGraphFormat;
  graph->SourceX = x + parent->SourceX;
  graph->SourceY = y + parent->SourceY;
  const int shared = graph->TextureFlag == 1
                         ? MakeSubGraphTextures(*graph, x, y, width, height, *parent)
                         : CreateSubGraphSurface2D(*graph, x, y, width, height, *parent);
  if (shared != 0) {
    WriteLog("グラフィックの派生に失敗しました終了します");
    ReleaseGraph(handle, 0);
    return -1;
  }
  return handle;
}
