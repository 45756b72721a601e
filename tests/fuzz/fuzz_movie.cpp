// Any bytes opened as a movie from memory (through the reader's own I/O
// context), a few frames decoded and converted (whole and a part on its
// own) and some sound resampled, at virtual times. Seeds: the clip tool's clips (written at build time).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "platform/movie/movie_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::VirtualClock clock;
  static platform::ScopedClock scoped(clock);
  namespace pm = platform::movie;
  for (const pm::FrameLayout layout : {pm::FrameLayout::kXrgb8888, pm::FrameLayout::kRgb24}) {
    pm::OpenFailure why = pm::OpenFailure::kNone;
    auto movie = pm::MovieStream::OpenMemory(std::vector<uint8_t>(data, data + size), layout, &why);
    if (!movie) return 0;
    std::vector<uint8_t> frame(static_cast<size_t>(movie->FramePitch()) * static_cast<size_t>(movie->Height()));
    std::vector<uint8_t> taken;
    std::vector<int16_t> sound(1764 * 2);
    movie->Run();
    for (int i = 0; i < 6; ++i) {
      clock.Advance(40);
      if (movie->WaitUpdate() == pm::UpdateStatus::kEnd) break;
      movie->CopyCurrentFrame(frame.data(), movie->FramePitch(), movie->Height());
      movie->TakeCurrentFrame(&taken);
      // The frame's right part on its own, in bands, as texture pieces take it.
      const int part = (movie->Width() / 2) & ~15;
      if (part > 0) {
        int rows = 0;
        movie->ConvertCurrentFrameRect(movie->Width() - part, 0, part, movie->Height(), frame.data(),
                                       movie->FramePitch(), [&rows](int, int n) { rows += n; });
      }
      movie->RenderAudio(sound.data(), 1764);
    }
    movie->Seek(0);
    movie->RequestUpdate();
  }
  return 0;
}
