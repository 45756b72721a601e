// The single-instance lock on a file in the game's folder (flock).
#include "platform/window_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/process.h"

namespace platform {
namespace {

std::mutex g_folder_mutex;
std::string g_folder_override;

// FNV-1a over the class name's bytes: a file name that any title maps to.
uint64_t HashName(std::string_view name) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char byte : name) {
    hash ^= byte;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

}  // namespace

std::string InstanceLockPath(std::string_view class_name_sjis) {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(g_folder_mutex);
    folder = g_folder_override;
  }
  if (folder.empty()) folder = GameFolderNative();
  if (folder.empty()) folder.push_back('.');
  char name[64];
  std::snprintf(name, sizeof(name), "/.vesk-instance-%016llx.lock",
                static_cast<unsigned long long>(HashName(class_name_sjis)));
  return folder + name;
}

void SetInstanceLockFolder(std::string_view native_folder) {
  std::lock_guard<std::mutex> lock(g_folder_mutex);
  g_folder_override.assign(native_folder);
}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::TryAcquire(std::string_view class_name_sjis) {
  Release();
  const std::string path = InstanceLockPath(class_name_sjis);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Result::kUnavailable;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool taken = errno == EWOULDBLOCK;
    ::close(fd);
    return taken ? Result::kAlreadyRunning : Result::kUnavailable;
  }
  fd_ = fd;
  return Result::kAcquired;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace platform
