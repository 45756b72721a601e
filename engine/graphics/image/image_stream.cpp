#include "engine/graphics/image/image_stream.h"

ImageStream::ImageStream(const StreamOps* ops, StreamHandle stream) : ops_(ops), stream_(stream) {
  if (ops_->seek(stream_, 0, 2) != 0) return;
  const int32_t end = ops_->tell(stream_);
  if (end < 0 || ops_->seek(stream_, 0, 0) != 0 || ops_->tell(stream_) != 0) return;
  size_ = end;
}

bool ImageStream::Seek(int64_t position) {
  if (!Valid() || position < 0 || position > size_) return false;
  if (ops_->seek(stream_, static_cast<int32_t>(position), 0) != 0) return false;
  position_ = position;
  return true;
}

bool ImageStream::Read(void* buffer, int64_t bytes) {
  if (!Valid() || bytes < 0 || bytes > Remaining()) return false;
  if (bytes == 0) return true;
  const int64_t got = ops_->read(buffer, 1, static_cast<size_t>(bytes), stream_);
  if (got != bytes) return false;
  position_ += bytes;
  return true;
}
