// The graph manager's own state: whether it is started, whether Direct3D is
// usable, the restore callback, and the reset of every graphics-engine table
// that its start zero-fills. The start and end sequences themselves live
// with the display device, which runs them at every mode change.
#pragma once

#include "engine/graphics/graph_handles.h"

using GraphReloader = void (*)();

int IsGraphManagerInitialized();
void SetGraphManagerInitialized(int flag);

// 1 when Direct3D was running at the last graph-manager start.
int IsDirect3DUsable();
void SetDirect3DUsable(int flag);
// Tests only: lets the creation rule's texture branch be reached.
void ForceDirect3DUsableForTest(int flag);
// 1 when new graphics may be texture graphics: always once the build has
// them (kTextureGraphsBuilt), and in tests that switch them on to reach the
// texture storage.
int TextureGraphsEnabled();
void EnableTextureGraphsForTest(int flag);
// 1 when Use3D is on, Direct3D is usable, software rendering is off and a
// Direct3D device exists.
int IsUsing3DDrawing();

// Zero-fills the draw state, the font, graph, surface-data, 2D-surface and
// mask tables and their counters (fonts are deleted, not dropped), and the manager's flags; the restore callback
// is kept. The draw state then gets its start values (ResetDrawState).
void ResetGraphicsEngineState();

// Called by ReleaseGraph after a graphic is gone: a released draw target
// sends drawing to the back screen instead of into a store that is gone.
void NoteGraphReleased(int handle);

// The restore callback (null: RestoreAllGraphs, once that exists).
void SetGraphReloader(GraphReloader reloader);
GraphReloader GetGraphReloader();
int IsGraphReloaderSet();

// Start and end of the graph manager, run by every screen-mode change (end,
// then start) and by the display layer's shutdown (end). The start zero-fills
// the engine's tables and draw state, gives the draw state its start values,
// starts the 2D-surface layer and makes the front screen the draw target.
int InitializeGraphManager();
int TerminateGraphManager();

// Graphics start-up on the main window: the display layer, falling back to
// software rendering once when it cannot start; the end releases it.
int InitializeGraphics();
int TerminateGraphics();
