// The record of the graphics engine's calls into its back ends (the 3D
// device, texture storage and movie streams) while the display is rebuilt:
// names in call order, so tests can check the order the rebuild reaches for
// them. The header also brings in the back ends the rebuild calls.
#pragma once

#include <string>
#include <vector>

#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/texture_split.h"
#include "engine/graphics/texture_upload.h"
#include "engine/graphics/vertex_batch.h"

const std::vector<std::string>& BackEndCalls();
void ClearBackEndCalls();
void NoteBackEndCall(const char* name);
