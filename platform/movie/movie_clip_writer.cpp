#include "platform/movie/movie_clip_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

namespace platform::movie {

uint32_t ClipPixel(const ClipOptions& options, int frame, int x, int y) {
  const int bw = options.width / 8, bh = options.height / 6;
  if (y < bh && x < bw * 8) {
    return ((frame >> (x / bw)) & 1) != 0 ? 0xFFFFFFu : 0x000000u;
  }
  const uint32_t r = static_cast<uint32_t>(x * 256 / options.width) & 0xF8u;
  const uint32_t g = static_cast<uint32_t>(y * 256 / options.height) & 0xF8u;
  const uint32_t b = static_cast<uint32_t>(0x40 + (frame * 8) % 0x80) & 0xF8u;
  return r << 16 | g << 8 | b;
}

namespace {

struct Writer {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* video_stream = nullptr;
  AVStream* audio_stream = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;

  ~Writer() {
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    av_frame_free(&sound);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (format != nullptr) {
      if (format->pb != nullptr) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  bool Drain(AVCodecContext* codec, AVStream* stream, const AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0) return false;
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

}  // namespace

bool WriteClipFile(const std::string& native_path, const ClipOptions& o) {
  if (o.width <= 0 || o.height <= 0 || o.frames <= 0 || o.fps <= 0) return false;
  const bool lossless = o.codec == ClipCodec::kLossless;
  const bool paletted = o.codec == ClipCodec::kPaletted;
  const bool lossy = o.codec == ClipCodec::kLossy;
  Writer w;
  const char* container = lossless ? "matroska" : paletted ? "nut" : "mpeg";
  if (avformat_alloc_output_context2(&w.format, nullptr, container, native_path.c_str()) < 0) return false;
  const AVCodec* vcodec = avcodec_find_encoder(lossless   ? AV_CODEC_ID_FFV1
                                               : paletted ? AV_CODEC_ID_RAWVIDEO
                                                          : AV_CODEC_ID_MPEG1VIDEO);
  if (vcodec == nullptr) return false;
  w.video = avcodec_alloc_context3(vcodec);
  w.video_stream = avformat_new_stream(w.format, nullptr);
  if (w.video == nullptr || w.video_stream == nullptr) return false;
  w.video->width = o.width;
  w.video->height = o.height;
  w.video->time_base = AVRational{1, o.fps};
  w.video->framerate = AVRational{o.fps, 1};
  w.video->pix_fmt = lossless ? AV_PIX_FMT_0RGB32 : paletted ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
  w.video->thread_count = 1;
  if (lossy) {
    w.video->gop_size = 12;
    w.video->max_b_frames = 0;
    w.video->flags |= AV_CODEC_FLAG_QSCALE;
    w.video->global_quality = FF_QP2LAMBDA * 8;
    w.video->bit_rate = 0;
  }
  if ((w.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) w.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(w.video, vcodec, nullptr) < 0) return false;
  if (avcodec_parameters_from_context(w.video_stream->codecpar, w.video) < 0) return false;
  w.video_stream->time_base = w.video->time_base;

  if (o.sound) {
    const AVCodec* acodec = avcodec_find_encoder(lossy ? AV_CODEC_ID_MP2 : AV_CODEC_ID_PCM_S16LE);
    if (acodec == nullptr) return false;
    w.audio = avcodec_alloc_context3(acodec);
    w.audio_stream = avformat_new_stream(w.format, nullptr);
    if (w.audio == nullptr || w.audio_stream == nullptr) return false;
    w.audio->sample_fmt = AV_SAMPLE_FMT_S16;
    w.audio->sample_rate = o.sound_rate;
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av_channel_layout_copy(&w.audio->ch_layout, &mono);
    w.audio->time_base = AVRational{1, o.sound_rate};
    w.audio->bit_rate = lossy ? 64000 : 0;
    if ((w.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) w.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(w.audio, acodec, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(w.audio_stream->codecpar, w.audio) < 0) return false;
    w.audio_stream->time_base = w.audio->time_base;
  }

  if (avio_open(&w.format->pb, native_path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(w.format, nullptr) < 0) return false;

  w.packet = av_packet_alloc();
  w.frame = av_frame_alloc();
  if (w.packet == nullptr || w.frame == nullptr) return false;
  w.frame->format = w.video->pix_fmt;
  w.frame->width = o.width;
  w.frame->height = o.height;
  if (av_frame_get_buffer(w.frame, 0) < 0) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(o.width) * static_cast<size_t>(o.height) * 4);
  if (lossy) {
    w.scaler = sws_getContext(o.width, o.height, AV_PIX_FMT_BGR0, o.width, o.height, AV_PIX_FMT_YUV420P,
                              SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (w.scaler == nullptr) return false;
  }

  int samples_per_frame = 1024;
  if (w.audio != nullptr) {
    if (w.audio->frame_size > 0) samples_per_frame = w.audio->frame_size;
    w.sound = av_frame_alloc();
    if (w.sound == nullptr) return false;
    w.sound->format = AV_SAMPLE_FMT_S16;
    w.sound->sample_rate = o.sound_rate;
    w.sound->nb_samples = samples_per_frame;
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av_channel_layout_copy(&w.sound->ch_layout, &mono);
    if (av_frame_get_buffer(w.sound, 0) < 0) return false;
  }
  const int64_t total_samples = static_cast<int64_t>(o.frames) * o.sound_rate / o.fps;
  int64_t sample = 0;

  for (int n = 0; n < o.frames; ++n) {
    for (int y = 0; y < o.height; ++y) {
      for (int x = 0; x < o.width; ++x) {
        const uint32_t c = ClipPixel(o, n, x, y);
        uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(o.width) + static_cast<size_t>(x)) * 4];
        p[0] = static_cast<uint8_t>(c);
        p[1] = static_cast<uint8_t>(c >> 8);
        p[2] = static_cast<uint8_t>(c >> 16);
        p[3] = 0xFF;
      }
    }
    if (av_frame_make_writable(w.frame) < 0) return false;
    if (paletted) {
      // Palette entry i is the 3-3-2 colour i; each pixel takes its colour's.
      auto* palette = reinterpret_cast<uint32_t*>(w.frame->data[1]);
      for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t r = ((i >> 5) & 7) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7, b = (i & 3) * 255 / 3;
        palette[i] = 0xFF000000u | r << 16 | g << 8 | b;
      }
      for (int y = 0; y < o.height; ++y) {
        uint8_t* row = w.frame->data[0] + static_cast<ptrdiff_t>(y) * w.frame->linesize[0];
        for (int x = 0; x < o.width; ++x) {
          const uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(o.width) + static_cast<size_t>(x)) * 4];
          row[x] = static_cast<uint8_t>((p[2] & 0xE0) | ((p[1] >> 3) & 0x1C) | (p[0] >> 6));
        }
      }
    } else if (lossless) {
      for (int y = 0; y < o.height; ++y) {
        std::copy_n(&rgb[static_cast<size_t>(y) * static_cast<size_t>(o.width) * 4],
                    static_cast<size_t>(o.width) * 4, w.frame->data[0] + static_cast<ptrdiff_t>(y) * w.frame->linesize[0]);
      }
    } else {
      const uint8_t* src[1] = {rgb.data()};
      const int pitch[1] = {o.width * 4};
      sws_scale(w.scaler, src, pitch, 0, o.height, w.frame->data, w.frame->linesize);
    }
    w.frame->pts = n;
    w.frame->quality = w.video->global_quality;
    if (!w.Drain(w.video, w.video_stream, w.frame)) return false;
    if (w.audio != nullptr) {
      const int64_t until = std::min<int64_t>(total_samples, static_cast<int64_t>(n + 1) * o.sound_rate / o.fps);
      while (sample < until) {
        if (av_frame_make_writable(w.sound) < 0) return false;
        auto* pcm = reinterpret_cast<int16_t*>(w.sound->data[0]);
        for (int i = 0; i < samples_per_frame; ++i) {
          const double phase = 2.0 * M_PI * o.tone_hz * static_cast<double>(sample + i) / o.sound_rate;
          pcm[i] = static_cast<int16_t>(std::lround(o.tone_amplitude * std::sin(phase)));
        }
        w.sound->pts = sample;
        if (!w.Drain(w.audio, w.audio_stream, w.sound)) return false;
        sample += samples_per_frame;
      }
    }
  }
  if (!w.Drain(w.video, w.video_stream, nullptr)) return false;
  if (w.audio != nullptr && !w.Drain(w.audio, w.audio_stream, nullptr)) return false;
  return av_write_trailer(w.format) >= 0;
}

std::vector<uint8_t> WriteClipBytes(const ClipOptions& options) {
  char name[] = "/tmp/vesk-clip-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return {};
  close(fd);
  std::vector<uint8_t> bytes;
  // The container is chosen by format name, not by the file's extension.
  if (WriteClipFile(name, options)) {
    std::ifstream in(name, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(name);
  return bytes;
}

}  // namespace platform::movie
