// Writes the test clips: a generated pattern with each frame's index as
// blocks, and a tone.
//   vesk-make-movie-clip OUT [--lossy | --paletted] [--size W H] [--frames N] [--silent]
//   vesk-make-movie-clip --seeds DIR   (small clips for the movie fuzz target)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/movie/movie_clip_writer.h"

namespace pm = platform::movie;

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--seeds") == 0) {
    const std::filesystem::path dir = argv[2];
    std::filesystem::create_directories(dir);
    pm::ClipOptions small;
    small.width = 32;
    small.height = 16;
    small.frames = 4;
    small.sound_rate = 8000;
    pm::ClipOptions lossy = small;
    lossy.codec = pm::ClipCodec::kLossy;
    lossy.sound_rate = 22050;
    pm::ClipOptions silent = small;
    silent.sound = false;
    pm::ClipOptions paletted = small;
    paletted.codec = pm::ClipCodec::kPaletted;
    const bool ok = pm::WriteClipFile((dir / "lossless.mkv").string(), small) &&
                    pm::WriteClipFile((dir / "lossy.mpg").string(), lossy) &&
                    pm::WriteClipFile((dir / "silent.mkv").string(), silent) &&
                    pm::WriteClipFile((dir / "paletted.nut").string(), paletted);
    return ok ? 0 : 1;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT [--lossy | --paletted] [--size W H] [--frames N] [--silent] | --seeds DIR\n", argv[0]);
    return 2;
  }
  pm::ClipOptions options;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--lossy") == 0) {
      options.codec = pm::ClipCodec::kLossy;
    } else if (std::strcmp(argv[i], "--paletted") == 0) {
      options.codec = pm::ClipCodec::kPaletted;
    } else if (std::strcmp(argv[i], "--silent") == 0) {
      options.sound = false;
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 2 < argc) {
      options.width = std::atoi(argv[i + 1]);
      options.height = std::atoi(argv[i + 2]);
      i += 2;
    } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      options.frames = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (!pm::WriteClipFile(argv[1], options)) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
