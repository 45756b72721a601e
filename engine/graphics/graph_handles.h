// Graphic handles (HandleType 1) and the GraphRecord behind each: size,
// creation bytes, storage pieces, where its pixels were loaded from, bound
// movie. Table: 32,768 slots with the next-free rule (next_free_slot.h);
// handle = slot | (check | 0x800) << 16. Sizes in pixels; FileName and
// LoadFolder are Shift-JIS and kept whole.
//
// Bad handles give -1 (null from GetGraphRecord) and log nothing; a full
// table or a record that cannot be allocated ends the process.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/graphics/graph_creation_flags.h"

inline constexpr int kGraphMaxPieces = 64;

struct GraphRecord : GraphCreationFlags {
  int32_t* LostFlag = nullptr;  // set to 1 when the graphic is released
  int32_t GraphHandle = -1;
  int32_t BlendGraphFormat = 0;  // the draw state's CreateBlendGraph at creation
  std::array<int32_t, kGraphMaxPieces> Pieces{};
  int32_t PieceCount = 0;
  std::string FileName;    // empty: not loaded from a file
  std::string LoadFolder;  // current folder at the time of that load
  int32_t SourceX = 0, SourceY = 0;
  int32_t Width = 0, Height = 0;
  int32_t MovieHandle = -1;
  int32_t RestorePending = 0;
};

// Drops every record (their storage is the callers'; tests and the graph
// manager's start).
void ResetGraphTable();
int GetGraphNextFreeIndex();

// A new record (see the .cpp for the creation rule); the handle.
int AllocGraphHandle(int width, int height, int want3D, GraphRecord** out, int alpha, int palette);
// AllocGraphHandle plus its storage; -1 (logged) when the storage cannot be
// made, and for a width or height outside 1..65,535.
int CreateBlankGraph(int width, int height, int want3D, int alpha, int palette);
int MakeBlankGraph(int width, int height, int not3D);
GraphRecord* GetGraphRecord(int handle);
int GetGraphCount();
// 1 when the graph table's slot (0-32,767) holds a graphic.
int IsGraphSlotInUse(int slot);
// The record in a slot of the graph table (0-32,767), or null.
GraphRecord* GetGraphRecordAtSlot(int slot);
int GetGraphDimensions(int handle, int* width, int* height);
int SetGraphLostFlag(int handle, int32_t* flag);
int ReleaseGraph(int handle, int logFlag);
int ReleaseAllGraphs(int logFlag);
int FillGraph(int handle, int r, int g, int b, int a);
// -1 when the selected blend graphic is not live or smaller than graph.
int CheckBlendGraphicSize(const GraphRecord& graph);
// Stores the names a graphic was loaded from (empty name: none).
int SetGraphFileName(int handle, const std::string& fileName, const std::string& folder);
// Calls fn(handle, record) for every live graphic in slot order.
void ForEachGraph(void (*fn)(int handle, GraphRecord& record));
