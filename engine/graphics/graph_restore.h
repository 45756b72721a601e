// Restoring graphics after the display was lost. Every graphic handle
// survives the loss: the display and the screens are rebuilt, every graphic
// is flagged (RestorePending), and the restore callback reloads the
// pixels. The default callback, RestoreAllGraphs, reloads the graphics that
// came from a file; graphics made from memory are left to a callback the
// game registers, which reloads its own and may call ReloadAllGraphs.
#pragma once

#include "engine/graphics/graph_manager.h"

// Restores the graphic's lost display surfaces (their pixels stay lost until
// they are loaded again) and those of a bound movie. 0, -1 for a bad handle.
int RefreshGraph(int handle);
// The main surfaces, then every graphic (after the window became active).
int RefreshAllGraphSurfaces();
// Flags every live graphic, calls the restore callback, restores the fonts.
int NotifyGraphicsLost();
// The restore callback becomes callback (null: RestoreAllGraphs). 0.
int RegisterGraphReloader(GraphReloader callback);
// Reloads every flagged graphic that has a file name from its file (one
// decoding for neighbours in the table from the same file); clears every
// flag it looks at. A file that no longer decodes, no longer covers the
// graphic's rectangle, or whose alpha image differs in size from it, skips
// that graphic.
void RestoreAllGraphs();
// RestoreAllGraphs; 0.
int ReloadAllGraphs();
// The whole rebuild after a lost display, run by the window procedure.
int RebuildGraphicsAfterLoss();
