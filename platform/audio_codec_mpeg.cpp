// MPEG audio through mpg123, reading a block in memory through replaced I/O.
// Output is signed 16-bit at the source's rate and channels (mpg123 mixes
// or doubles channels when a later frame differs). Gapless trimming is off
// and an info frame is decoded as the audio frame it is, so the output is
// exactly frames x samples per frame. Frames are decoded without waiting for
// the next header to confirm them, so a file of one frame gives its sound.
// A change of version, layer, rate or channels ends the data: the output
// format stays that of the first frame, and streams stitched together take
// decoder paths that untrusted files should not reach.
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/audio_codec.h"

namespace platform {
namespace codec_detail {

namespace {

class MpegDecoder final : public AudioDecoder {
 public:
  MpegDecoder(const PcmFormat& output, const uint8_t* data, size_t size) : data_(data), size_(size) {
    output_ = output;
  }
  ~MpegDecoder() override {
    if (handle_ != nullptr) {
      mpg123_close(handle_);
      mpg123_delete(handle_);
    }
  }
  MpegDecoder(const MpegDecoder&) = delete;
  MpegDecoder& operator=(const MpegDecoder&) = delete;

  bool Open() {
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return false;
    if (mpg123_param(handle_, MPG123_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD | MPG123_NO_FRANKENSTEIN, 0) != MPG123_OK) return false;
    if (mpg123_format_none(handle_) != MPG123_OK) return false;
    const int channels = output_.channels == 1 ? MPG123_MONO : MPG123_STEREO;
    if (mpg123_format(handle_, static_cast<long>(output_.rate), channels, MPG123_ENC_SIGNED_16) != MPG123_OK)
      return false;
    if (mpg123_replace_reader_handle(handle_, &MpegDecoder::ReadCallback, &MpegDecoder::SeekCallback, nullptr) !=
        MPG123_OK)
      return false;
    return mpg123_open_handle(handle_, this) == MPG123_OK;
  }

  size_t Decode(uint8_t* out, size_t capacity) override {
    const size_t frame = output_.BlockAlign();
    capacity -= capacity % frame;
    size_t written = 0;
    // A format notice or a resync may return without output; a decoder that
    // makes no progress for this many calls has ended.
    int idle = 0;
    while (!ended_ && written < capacity && idle < 64) {
      size_t done = 0;
      const int result = mpg123_read(handle_, out + written, capacity - written, &done);
      written += done;
      idle = done == 0 ? idle + 1 : 0;
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) ended_ = true;
    }
    if (idle >= 64) ended_ = true;
    // Whole frames only: a cut frame at a failure is dropped.
    return written - written % frame;
  }

  void Seek(uint64_t frame) override {
    ended_ = false;
    const off_t target = static_cast<off_t>(std::min<uint64_t>(frame, static_cast<uint64_t>(INT64_MAX / 4)));
    if (mpg123_seek(handle_, target, SEEK_SET) < 0) ended_ = true;
  }

  // Not known before decoding: the caller counts the frame headers.
  uint64_t OutputBytes() override { return 0; }

  uint64_t SourceBytesRead() const override { return read_; }

 private:
  static ssize_t ReadCallback(void* handle, void* buffer, size_t bytes) {
    auto* self = static_cast<MpegDecoder*>(handle);
    if (self->position_ >= self->size_) return 0;
    const size_t n = std::min(bytes, self->size_ - self->position_);
    std::memcpy(buffer, self->data_ + self->position_, n);
    self->position_ += n;
    self->read_ += n;
    return static_cast<ssize_t>(n);
  }

  static off_t SeekCallback(void* handle, off_t offset, int whence) {
    auto* self = static_cast<MpegDecoder*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<off_t>(self->position_);
    else if (whence == SEEK_END) base = static_cast<off_t>(self->size_);
    else if (whence != SEEK_SET) return -1;
    if (offset < -base || offset > static_cast<off_t>(self->size_) - base) return -1;
    self->position_ = static_cast<size_t>(base + offset);
    return static_cast<off_t>(self->position_);
  }

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  uint64_t read_ = 0;
  mpg123_handle* handle_ = nullptr;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<AudioDecoder> OpenMpegDecoder(const PcmFormat& output, const uint8_t* data, size_t size) {
  auto decoder = std::make_unique<MpegDecoder>(output, data, size);
  if (!decoder->Open()) return nullptr;
  return decoder;
}

}  // namespace codec_detail
}  // namespace platform
