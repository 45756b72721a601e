// The display layer's part of the rebuild after a lost display: releasing
// and making again the display object, its clipper, and the display-surface
// storage of the surface data (memory-image stores keep their pixels; a
// display-surface store made again is blank until its graphic is reloaded).
// With hardware drawing allowed and no display object, the storage steps do
// nothing.
#pragma once

int ReleaseSurface2DStorage();
int RecreateSurface2DStorage();
int ReleaseClipper();
// Ends the process when the clipper cannot be made again.
int RecreateClipper();
// Gives the display back: the surface storage, the display mode, palette,
// clipper and object are released (logged).
int ReleaseDirectDrawObject();
// Nothing while the object exists; else makes it (fatal when it cannot),
// sets the display mode again and makes the storage and clipper again.
int RecreateDirectDrawObject();
