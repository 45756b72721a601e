#include "engine/core/files/native_file_writer.h"

#include <cstring>
#include <memory>

#include "engine/core/base/tracked_memory.h"
#include "platform/file_system.h"

struct NativeWriteFile {
  std::unique_ptr<platform::File> file;
  bool failed = false;
  size_t used = 0;
  uint8_t buffer[64 * 1024];
};

namespace {

NativeWriteFile* Wrap(std::unique_ptr<platform::File> file) {
  if (!file) return nullptr;
  NativeWriteFile* out = TrackedNew<NativeWriteFile>();
  if (out != nullptr) out->file = std::move(file);
  return out;
}

bool Drain(NativeWriteFile* file) {
  if (file->used == 0 || file->failed) return !file->failed;
  const int64_t done = file->file->Write(file->buffer, static_cast<int64_t>(file->used));
  if (done != static_cast<int64_t>(file->used)) file->failed = true;
  file->used = 0;
  return !file->failed;
}

}  // namespace

NativeWriteFile* OpenNativeFileForWrite(const char* name) {
  if (name == nullptr) return nullptr;
  return Wrap(platform::OpenFile(name, platform::OpenMode::kCreate));
}

NativeWriteFile* ReplaceNativeFileForWrite(const char* name) {
  if (name == nullptr) return nullptr;
  if (platform::FileExists(name)) platform::DeleteFile(name);
  return Wrap(platform::OpenFile(name, platform::OpenMode::kCreateNew));
}

int WriteNativeFile(NativeWriteFile* file, const void* data, size_t bytes) {
  if (file == nullptr || file->failed) return -1;
  const uint8_t* in = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    if (file->used == sizeof(file->buffer) && !Drain(file)) return -1;
    const size_t room = sizeof(file->buffer) - file->used;
    const size_t take = bytes < room ? bytes : room;
    std::memcpy(file->buffer + file->used, in, take);
    file->used += take;
    in += take;
    bytes -= take;
  }
  return 0;
}

int CloseNativeFile(NativeWriteFile* file) {
  if (file == nullptr) return -1;
  const bool ok = Drain(file);
  TrackedDelete(file);
  return ok ? 0 : -1;
}
