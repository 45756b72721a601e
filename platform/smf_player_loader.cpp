// Run-time loading of SmfPlayer.so.
#include "platform/smf_player_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace platform {
namespace {

struct LoaderState {
  std::mutex mutex;
  void* module = nullptr;
  SmfPlayerEntries entries;
  SmfOutputHooks hooks;
  int source_id = -1;
  std::string error;
};

LoaderState& State() {
  static LoaderState state;
  return state;
}

}  // namespace

void SetSmfOutputHooks(SmfOutputHooks hooks) {
  std::lock_guard lock(State().mutex);
  State().hooks = std::move(hooks);
}

std::string ExecutableFolder() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool LoadSmfPlayer(const std::string& folder, SmfPlayerEntries* entries, std::string* path_tried) {
  LoaderState& s = State();
  std::lock_guard lock(s.mutex);
  std::string base = folder.empty() ? ExecutableFolder() : folder;
  if (!base.empty() && base.back() != '/') base += '/';
  const std::string path = base + kSmfPlayerFileName;
  if (path_tried != nullptr) *path_tried = path;
  if (s.module == nullptr) {
    s.module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (s.module == nullptr) {
      const char* text = dlerror();
      s.error = text != nullptr ? text : "";
      if (entries != nullptr) *entries = SmfPlayerEntries{};
      return false;
    }
    s.error.clear();
    s.entries = SmfPlayerEntries{};
    for (int i = 0; i < kSmfPlayerEntryCount; ++i) s.entries.entries[i] = dlsym(s.module, kSmfPlayerEntryNames[i]);
    s.entries.render = reinterpret_cast<SMPRenderSamplesFn>(dlsym(s.module, kSmfPlayerRenderName));
    if (s.entries.render != nullptr && s.hooks.attach) {
      const SMPRenderSamplesFn render = s.entries.render;
      s.source_id = s.hooks.attach([render](int16_t* out, int frames) { render(out, frames); });
    }
  }
  if (entries != nullptr) *entries = s.entries;
  return true;
}

void UnloadSmfPlayer() {
  LoaderState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.module == nullptr) return;
  if (s.source_id >= 0 && s.hooks.detach) s.hooks.detach(s.source_id);
  s.source_id = -1;
  if (auto free_entry = s.entries.Entry<SMPFreeFn>(kSmfPlayerEntryCount - 1)) free_entry();
  dlclose(s.module);
  s.module = nullptr;
  s.entries = SmfPlayerEntries{};
}

bool IsSmfPlayerLoaded() {
  std::lock_guard lock(State().mutex);
  return State().module != nullptr;
}

const std::string& SmfPlayerLoadError() { return State().error; }

}  // namespace platform
