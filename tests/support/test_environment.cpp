// Linked into every test executable: the tests run headless (no display, no
// sound card), and global caches that live until the process ends are not
// reported as leaks.
#include <cstdlib>

extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

struct HeadlessEnvironment {
  HeadlessEnvironment() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
  }
};

const HeadlessEnvironment headless_environment;

}  // namespace
