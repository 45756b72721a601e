// Loads the MIDI library (SmfPlayer.so) at run time from the folder of the
// running player binary, as the game expects of its outside MIDI library,
// and takes its entry points by name. The library's output reaches the
// sound mixer through the attach hook: after a load that found the render
// entry, attach receives a source that renders the library's frames (44,100
// Hz stereo, 16-bit); unloading detaches it before the library is freed.
// The module stays mapped once loaded (its synthesizer's own libraries are
// not made to unload); after UnloadSmfPlayer every entry counts as missing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/smf_player/smf_player_entries.h"

namespace platform {

struct SmfPlayerEntries {
  // In kSmfPlayerEntryNames order; null for an entry the library lacks.
  void* entries[kSmfPlayerEntryCount] = {};
  SMPRenderSamplesFn render = nullptr;

  template <typename Fn>
  Fn Entry(int index) const {
    return reinterpret_cast<Fn>(entries[index]);
  }
};

using SmfSampleSource = std::function<void(int16_t* out, int frames)>;
struct SmfOutputHooks {
  // Returns an id for detach.
  std::function<int(SmfSampleSource)> attach;
  std::function<void(int id)> detach;
};
// Installs the mixer's attach and detach (empty: the output goes nowhere).
void SetSmfOutputHooks(SmfOutputHooks hooks);

// The folder of the running binary (no trailing slash).
std::string ExecutableFolder();

// Loads folder/SmfPlayer.so (folder "" = ExecutableFolder()); *path_tried
// receives the path. true when it loaded; the entries found are in *entries.
// A second load while loaded answers with the entries already taken.
bool LoadSmfPlayer(const std::string& folder, SmfPlayerEntries* entries, std::string* path_tried);
// Detaches the output, calls SMPFree and drops the module; nothing when not
// loaded.
void UnloadSmfPlayer();
bool IsSmfPlayerLoaded();
// Why the last load failed (the loader's text), "" after a success.
const std::string& SmfPlayerLoadError();

}  // namespace platform
