// OGG Vorbis files through libvorbisenc (deterministic for the same input).
#include <vorbis/vorbisenc.h>

#include <algorithm>

#include "tools/sound_writers/sound_writers.h"

namespace writers {

std::vector<uint8_t> EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, long rate, float quality,
                                     int serial) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);

  ogg_page page;
  auto append = [&out](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &header, &comments, &codebooks);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &comments);
  ogg_stream_packetin(&stream, &codebooks);
  while (ogg_stream_flush(&stream, &page) != 0) append(page);

  auto drain = [&]() {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) append(page);
      }
    }
  };
  const size_t frames = samples.size() / static_cast<size_t>(channels);
  for (size_t start = 0; start < frames; start += 1024) {
    const size_t n = std::min<size_t>(1024, frames - start);
    float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
    for (size_t i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c)
        buffer[c][i] = static_cast<float>(samples[(start + i) * channels + c]) / 32768.0f;
    vorbis_analysis_wrote(&dsp, static_cast<int>(n));
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&stream, &page) != 0) append(page);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace writers
