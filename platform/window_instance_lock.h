// Refusal of a second copy of the same game: an advisory lock (flock) on a
// file named after the game's window class (its title), held for as long as
// the window lives. A second process (or a second attempt in the same
// process) finds the lock taken, wherever its copy of the game lives. The
// lock files are kept in the user's run-time folder, never in the game's
// folder:
//   $XDG_RUNTIME_DIR when it names a folder, else
//   "vesk-<uid>" below the temporary folder ($TMPDIR, else /tmp), made with
//   mode 0700 and used only when it is a real folder of the user's own.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  enum class Result { kAcquired, kAlreadyRunning, kUnavailable };
  // kUnavailable: the lock file cannot be made (no usable run-time folder,
  // say); the caller may go on without the check.
  Result TryAcquire(std::string_view class_name_sjis);
  void Release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The file the lock of a class name lives in (native path); empty when no
// folder is usable.
std::string InstanceLockPath(std::string_view class_name_sjis);
// Tests: the folder lock files are made in (native); empty restores the
// run-time folder.
void SetInstanceLockFolder(std::string_view native_folder);

}  // namespace platform
