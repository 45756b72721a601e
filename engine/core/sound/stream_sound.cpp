// Stream sounds and the sound load mode.
#include "engine/core/sound/stream_sound.h"

#include "engine/core/sound/sound_output.h"

namespace {
int g_load_mode = 0;
}  // namespace

int SetSoundLoadMode(int mode) {
  if (mode < 0 || mode > 3) return -1;
  g_load_mode = mode;
  return 0;
}
int GetSoundLoadMode() { return g_load_mode; }
void ResetSoundLoadMode() { g_load_mode = 0; }

int AddStreamSoundFromImage(const void*, int32_t, int, LibraryHandle, int, LibraryHandle) { return -1; }
int PrepareStreamSound(LibraryHandle) { return 0; }
int PlayStreamSound(LibraryHandle, int, int) { return -1; }
int StopStreamSound(LibraryHandle) { return 0; }
int IsStreamSoundPlaying(LibraryHandle) { return 0; }
int SetStreamSoundPosition(int, LibraryHandle) { return -1; }
int GetStreamSoundPositionMs(LibraryHandle) { return -1; }
int DeleteStreamSound(LibraryHandle, SoundRecord*) { return 0; }
