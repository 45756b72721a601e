// The readers' view of a stream: a StreamOps and its stream, measured once,
// with exact reads. Every read either delivers all the bytes asked for or
// fails, so a reader never works on bytes the stream did not hold; sizes are
// checked against what remains before a reader allocates for them.
// Units: bytes; positions from the start of the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/files/file_stream.h"
#include "engine/graphics/image/graph_image.h"
#include "engine/graphics/image/image_memory.h"

class ImageStream {
 public:
  // Measures the stream (seek to the end, tell) and seeks back to 0.
  ImageStream(const StreamOps* ops, StreamHandle stream);

  // False when the stream could not be measured or rewound.
  bool Valid() const { return size_ >= 0; }
  int64_t Size() const { return size_; }
  int64_t Position() const { return position_; }
  int64_t Remaining() const { return size_ - position_; }

  // Absolute position inside 0 ... Size(); false (position unchanged)
  // outside it or when the stream refuses.
  bool Seek(int64_t position);
  bool Skip(int64_t bytes) { return Seek(position_ + bytes); }
  // Exactly bytes bytes, else false (the position is then unknown: the
  // reader gives up).
  bool Read(void* buffer, int64_t bytes);

 private:
  const StreamOps* ops_;
  StreamHandle stream_;
  int64_t size_ = -1;
  int64_t position_ = 0;
};

// A scratch block of the library allocator, freed with the object.
class ImageBuffer {
 public:
  // Null data when bytes is negative or memory fails.
  explicit ImageBuffer(int64_t bytes)
      : data_(bytes < 0 ? nullptr : AllocImageMemory(static_cast<uint64_t>(bytes ? bytes : 1))) {}
  ~ImageBuffer() { FreeImageMemory(data_); }
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;
  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_;
};

// Releases the image being built unless the reader keeps it.
class GraphImageGuard {
 public:
  explicit GraphImageGuard(GraphImage* image) : image_(image) {}
  ~GraphImageGuard() {
    if (!kept_) ReleaseGraphImage(image_);
  }
  GraphImageGuard(const GraphImageGuard&) = delete;
  GraphImageGuard& operator=(const GraphImageGuard&) = delete;
  int Keep() {
    kept_ = true;
    return 0;
  }

 private:
  GraphImage* image_;
  bool kept_ = false;
};

// Little-endian fields of a header already read into memory.
inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline int32_t LoadLeInt32(const uint8_t* p) { return static_cast<int32_t>(LoadLe32(p)); }

// A channel mask cut to its lowest run of set bits: the run the colour
// format takes as the channel, so that no bit outside it reaches the
// channel's value.
inline uint32_t LowestMaskRun(uint32_t mask) {
  if (mask == 0) return 0;
  const uint32_t low = mask & (~mask + 1u);  // lowest set bit
  const uint32_t run = (mask + low) & ~mask;  // first clear bit above the run, or 0
  return run == 0 ? mask & ~(low - 1u) : (run - low);
}

// Run-length coded images may describe far more pixels than their data
// holds. Up to kRunLengthFreeBytes of pixels are always allowed; beyond that
// the coded data must hold at least one byte for every kRunLengthMaxRatio
// bytes of pixels (well above what run-length coders produce), so a small
// file cannot make a reader take memory out of proportion.
inline constexpr int64_t kRunLengthFreeBytes = int64_t{16} << 20;
inline constexpr int64_t kRunLengthMaxRatio = 1024;
inline bool RunLengthSizeInProportion(int64_t pixelBytes, int64_t dataBytes) {
  return pixelBytes <= kRunLengthFreeBytes || pixelBytes / kRunLengthMaxRatio <= dataBytes;
}

// Decoded size limit of the compressed-image readers (PNG, JPEG): the
// decoded-image limit, lowered in fuzzing builds so that the largest image a
// fuzzer can reach stays well inside its memory limit.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr int64_t kMaxCodedImageBytes = int64_t{48} << 20;
#else
inline constexpr int64_t kMaxCodedImageBytes = kMaxGraphImageBytes;
#endif
