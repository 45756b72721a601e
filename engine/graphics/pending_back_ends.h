// The one place where the graphics engine meets the back ends this build
// does not have yet: the 3D device and its vertex batch, texture storage of
// graphics, and movie streams. Each operation here is a no-op (or a
// refusal) with the result the engine expects of a machine without them;
// the 3D, texture and movie back ends replace these definitions.
//
// Every call is noted in the back-end call record (names as below, in call
// order) so tests can check when the engine reaches for a back end.
#pragma once

#include <string>
#include <vector>

#include "engine/graphics/image/graph_image.h"

struct GraphRecord;

// ---- 3D device (no device: nothing to flush, end, release or take back) ----
int FlushCurrentVertexBatch();
int EndCurrentScene3D();
int ReleaseDirect3DObject();
int ReacquireDirect3D();
// Restores the lost texture surfaces of every graphic: none exist.
int RestoreLostSurfaces3D();

// ---- texture storage of graphics (TextureFlag 1 never gets storage) ----
// -1: a texture graphic cannot receive pixels.
int UploadImageToGraphTextures(const GraphRecord& graph, const GraphImage* image,
                               const GraphImage* alpha);
// -1: a cut of a texture graphic cannot share its pieces.
int MakeSubGraphTextures(GraphRecord& graph, int x, int y, const GraphRecord& source);
// 0: nothing to restore.
int RestoreGraphSurfaces3D(const GraphRecord& graph);

// ---- movies (no movie can be opened, none is bound to a graphic) ----
// -1: no movie reader accepts the file.
int OpenMovieToGraph(const char* file, int* width, int* height, int movieKind);
int ReleaseAllMovieStreams();
int ReopenAllMovieStreams();
int PauseAllMovies();
int ResumeAllMovies();
// Restores the lost sample surfaces of a bound movie: nothing bound.
int RestoreMovieSurfaces(int movieHandle);

// The back-end call record.
const std::vector<std::string>& BackEndCalls();
void ClearBackEndCalls();
// Adds a name to the record (the engine's own steps use it to mark their
// place among the back-end calls).
void NoteBackEndCall(const char* name);
