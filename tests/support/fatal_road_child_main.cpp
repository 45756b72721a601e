// A small program the fatal-road tests start many times: it starts the
// library with its own services (the real window, input, graphics and sound,
// the message thread running, the real clock) in the game folder it is
// given, then raises a fatal error:
//   fatal_road_child main DIR      on the main thread, holding the lock;
//   fatal_road_child message DIR   on the message thread, during its pass,
//                                  while the main thread pumps messages.
// Its exit status tells the test what happened: 255 the fatal road ended
// it; 3 the road returned; 4 the library did not start; 5 the main thread's
// loop ended; 2 a usage error.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "engine/api/library_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/api/window_entry_points.h"
#include "engine/core/base/api_lock.h"
#include "platform/process.h"
#include "platform/window_instance_lock.h"

namespace {

std::thread::id g_main_thread;
std::atomic<bool> g_armed{false};

// The library's sound, with a fatal error raised from the first message
// pass that runs on another thread than the main one once armed.
class FailingSoundService final : public SoundService {
 public:
  explicit FailingSoundService(SoundService& inner) : inner_(inner) {}
  int Initialize() override { return inner_.Initialize(); }
  void Terminate() override { inner_.Terminate(); }
  void ReleasePendingSound() override { inner_.ReleasePendingSound(); }
  void RefillAllStreamSounds() override {
    if (g_armed.load() && std::this_thread::get_id() != g_main_thread) {
      FatalErrorExit("fatal road: message thread");
    }
    inner_.RefillAllStreamSounds();
  }
  void UpdateMidiPlayState() override { inner_.UpdateMidiPlayState(); }
  void HandleMciNotify(uint64_t wparam, int64_t lparam) override { inner_.HandleMciNotify(wparam, lparam); }

 private:
  SoundService& inner_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string_view mode = argv[1];
  if (mode != "main" && mode != "message") return 2;
  char* launch[] = {argv[0], const_cast<char*>("--game"), argv[2], nullptr};
  if (!platform::SetLaunchArguments(3, launch)) return 2;
  platform::SetInstanceLockFolder(argv[2]);
  g_main_thread = std::this_thread::get_id();

  static ServiceSet set = LibraryServiceSet();
  static FailingSoundService sound(*set.sound);
  set.sound = &sound;
  InstallServices(set);

  const std::string title = "fatal road " + std::to_string(::getpid());
  SetWindowTitle(title.c_str());
  if (StartLibrary() != 0) return 4;

  if (mode == "main") {
    AcquireApiLock();
    FatalErrorExit("fatal road: main thread");
  }
  g_armed.store(true);
  // The main thread goes on pumping (and so waits for the lock) while the
  // message thread fails.
  while (PumpMessages() == 0) {
  }
  return 5;
}
