// Fuzz target of the sound converter: any bytes as a sound file in memory,
// opened, read in pieces of changing sizes, sought back and forth, read
// again and closed; then converted whole by a second converter. Reads never
// hand out more than asked, whole sounds are whole frames, and every block
// of the library allocator keeps its header intact.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_stream.h"
#include "engine/core/sound/sound_convert.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void ReadPieces(SoundConvert* convert, std::vector<uint8_t>& buffer, uint32_t seed, int count) {
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int64_t piece = 1 + (seed >> 8) % buffer.size();
    const int64_t got = ReadSoundConvert(convert, buffer.data(), piece);
    Check(got >= 0 && got <= piece);
    if (got < piece) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  MemoryStream* stream = OpenMemoryStream(data, static_cast<int32_t>(size));
  if (stream == nullptr) return 0;
  const StreamHandle handle = MemoryStreamHandle(stream);
  uint32_t seed = static_cast<uint32_t>(size);
  for (size_t i = 0; i < size && i < 64; ++i) seed = seed * 31 + data[i];

  {
    SoundConvert convert;
    if (OpenSoundConvert(GetMemoryStreamOps(), handle, &convert) == 0) {
      std::vector<uint8_t> buffer(9000);
      const int64_t total = GetSoundConvertSize(&convert);
      Check(total >= 0 && convert.format.block_align > 0);
      const int64_t samples = total / convert.format.block_align;
      ReadPieces(&convert, buffer, seed, 24);
      const int64_t targets[] = {samples / 2, 0, samples - 1, samples / 3 + 1, samples + 100, 1};
      for (int64_t target : targets) {
        SeekSoundConvert(&convert, target);
        ReadPieces(&convert, buffer, seed ^ static_cast<uint32_t>(target), 4);
      }
      Check(CheckTrackedAllocs() == 0);
      Check(CloseSoundConvert(&convert) == 0);
    }
  }
  {
    SoundConvert whole;
    if (OpenSoundConvert(GetMemoryStreamOps(), handle, &whole) == 0) {
      uint8_t* pcm = nullptr;
      int64_t bytes = 0;
      WaveFormatEx format{};
      if (ConvertSoundToPcm(&whole, &format, &pcm, &bytes) == 0) {
        Check(bytes >= 0 && bytes % format.block_align == 0);
        Check(CheckTrackedAllocs() == 0);
        TrackedFree(pcm);
      }
      CloseSoundConvert(&whole);
    }
  }
  CloseMemoryStream(handle);
  return 0;
}
