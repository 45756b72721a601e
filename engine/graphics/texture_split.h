// How texture graphics are cut into textures: each axis into power-of-two
// pieces chosen to waste little memory (the 3/4 rule, halving the remainder,
// merging two equal last pieces), at most 64 pieces in all; on a device that
// wants square textures each piece is cut further into squares. Sub-graphics
// get pieces that share their parent's textures. Sizes in pixels.
#pragma once

struct GraphRecord;

inline constexpr int kTextureSplitMaxPieces = 64;

// The size limits an axis is cut with.
struct TextureSplitLimits {
  int MinTextureSize;
  int MaxTextureSize;
  int ScreenWidth;
};

// Cuts a length into piece sizes, written to sizes (kTextureSplitMaxPieces
// entries; pieces past that are counted but not written). exact: the graphic
// is drawable or in the blend-graphic format, so the largest texture is the
// device's and not the screen's width. The number of pieces.
int ComputeTextureSplit(int length, int* sizes, int exact, const TextureSplitLimits& limits);
// The same with the device's limits and the screen's width.
int ComputeTextureSplit(int length, int* sizes, int exact);

// Sets the device's limits from its reported minimum and maximum texture
// sizes (0: not reported, 32 and 256 are taken).
void SetTextureSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight);

// A new texture graphic's pieces; 0, or -1 (PieceCount 0) when Direct3D does
// not run, more than 64 pieces would be needed, or a piece cannot be made.
int SplitGraphToTextures(GraphRecord& graph);
// The pieces of a graphic cut at (x, y, width, height) out of parent,
// sharing its textures; 0, or -1 with nothing made.
int MakeSubGraphTextures(GraphRecord& graph, int x, int y, int width, int height,
                         const GraphRecord& parent);
