// Shared by the sound tests: a converter opened over a file image in memory,
// and whole reads through it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_stream.h"
#include "engine/core/sound/sound_convert.h"
#include "tools/sound_writers/sound_writers.h"

namespace soundtest {

// A file image, its memory stream and a converter over it; the converter is
// opened by Open() and closed with the object.
class OpenSound {
 public:
  explicit OpenSound(std::vector<uint8_t> image) : image_(std::move(image)) {
    stream_ = OpenMemoryStream(image_.data(), static_cast<int32_t>(image_.size()));
  }
  ~OpenSound() {
    if (convert_.valid) CloseSoundConvert(&convert_);
    if (stream_ != nullptr) CloseMemoryStream(MemoryStreamHandle(stream_));
  }
  OpenSound(const OpenSound&) = delete;
  OpenSound& operator=(const OpenSound&) = delete;

  int Open() { return OpenSoundConvert(GetMemoryStreamOps(), MemoryStreamHandle(stream_), &convert_); }
  SoundConvert* operator->() { return &convert_; }
  SoundConvert* get() { return &convert_; }

  // Reads until the end in pieces of `piece` bytes.
  std::vector<uint8_t> ReadAll(int64_t piece = 4096) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(static_cast<size_t>(piece));
    for (;;) {
      const int64_t got = ReadSoundConvert(&convert_, buffer.data(), piece);
      if (got <= 0) break;
      out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
  }
  std::vector<uint8_t> Read(int64_t bytes) {
    std::vector<uint8_t> out(static_cast<size_t>(bytes));
    const int64_t got = ReadSoundConvert(&convert_, out.data(), bytes);
    out.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return out;
  }

 private:
  std::vector<uint8_t> image_;
  MemoryStream* stream_ = nullptr;
  SoundConvert convert_;
};

// The whole sound through ConvertSoundToPcm (empty on failure).
inline std::vector<uint8_t> ConvertWhole(SoundConvert* convert, WaveFormatEx* format = nullptr) {
  uint8_t* pcm = nullptr;
  int64_t size = 0;
  WaveFormatEx f{};
  if (ConvertSoundToPcm(convert, &f, &pcm, &size) != 0) return {};
  std::vector<uint8_t> out(pcm, pcm + size);
  TrackedFree(pcm);
  if (format != nullptr) *format = f;
  return out;
}

}  // namespace soundtest
