// Block reads and seeks of the audio-codec kind (compressed WAVE and MPEG
// audio). The decoder restarts at any output sample, so a seek goes straight
// to its target in both directions.
#include "engine/core/sound/sound_readers.h"

int ConvertAcmBlock(SoundConvert* c) {
  if (!c->decoder) return -1;
  const size_t produced = c->decoder->Decode(c->buffer.get(), static_cast<size_t>(c->buffer_size));
  if (produced == 0) return -1;
  c->available = static_cast<int64_t>(produced);
  c->offset = 0;
  return 0;
}

void SeekAcmConvert(SoundConvert* c, int64_t sample) {
  if (c->decoder) c->decoder->Seek(static_cast<uint64_t>(sample < 0 ? 0 : sample));
}

void CloseAcmConvert(SoundConvert* c) {
  c->decoder.reset();
  c->source_data.reset();
  c->source_format.clear();
  c->source_size = 0;
  c->total_samples = -1;
}
