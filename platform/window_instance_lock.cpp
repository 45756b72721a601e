// The single-instance lock on a file in the user's run-time folder (flock).
#include "platform/window_instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

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

bool IsFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && path[0] == '/' && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The user's private folder below the temporary folder, made when missing;
// empty when it is not a real folder of the user's own.
std::string PrivateTemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/vesk-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) {
    return std::string();
  }
  if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) return std::string();
  return folder;
}

std::string LockFolder() {
  {
    std::lock_guard<std::mutex> lock(g_folder_mutex);
    if (!g_folder_override.empty()) return g_folder_override;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && IsFolder(runtime)) return runtime;
  return PrivateTemporaryFolder();
}

}  // namespace

std::string InstanceLockPath(std::string_view class_name_sjis) {
  std::string folder = LockFolder();
  if (folder.empty()) return folder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  char name[64];
  std::snprintf(name, sizeof(name), "/vesk-instance-%016llx.lock",
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
  if (path.empty()) return Result::kUnavailable;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
