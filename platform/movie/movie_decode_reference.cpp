#include "platform/movie/movie_decode_reference.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace platform::movie {

namespace {

struct Source {
  const std::vector<uint8_t>* bytes;
  int64_t position = 0;
  static int Read(void* opaque, uint8_t* buffer, int size) {
    auto* s = static_cast<Source*>(opaque);
    const int64_t left = static_cast<int64_t>(s->bytes->size()) - s->position;
    if (left <= 0) return AVERROR_EOF;
    const int n = static_cast<int>(left < size ? left : size);
    std::memcpy(buffer, s->bytes->data() + s->position, static_cast<size_t>(n));
    s->position += n;
    return n;
  }
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* s = static_cast<Source*>(opaque);
    const int64_t size = static_cast<int64_t>(s->bytes->size());
    if ((whence & AVSEEK_SIZE) != 0) return size;
    const int64_t base = (whence & 3) == SEEK_CUR ? s->position : (whence & 3) == SEEK_END ? size : 0;
    if (base + offset < 0 || base + offset > size) return -1;
    s->position = base + offset;
    return s->position;
  }
};

AVPixelFormat Format(FrameLayout layout) {
  switch (layout) {
    case FrameLayout::kRgb565: return AV_PIX_FMT_RGB565LE;
    case FrameLayout::kRgb24: return AV_PIX_FMT_BGR24;
    case FrameLayout::kXrgb8888: break;
  }
  return AV_PIX_FMT_BGR0;
}

}  // namespace

int DecodeAllFramesReference(const std::vector<uint8_t>& bytes, FrameLayout layout, std::vector<uint8_t>* frame) {
  Source source{&bytes};
  auto* buffer = static_cast<uint8_t*>(av_malloc(32768));
  AVIOContext* io = avio_alloc_context(buffer, 32768, 0, &source, &Source::Read, nullptr, &Source::Seek);
  AVFormatContext* format = avformat_alloc_context();
  format->pb = io;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  int count = -1;
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* decoded = av_frame_alloc();
  if (avformat_open_input(&format, "", nullptr, nullptr) >= 0 && avformat_find_stream_info(format, nullptr) >= 0) {
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index >= 0) {
      codec = avcodec_alloc_context3(decoder);
      avcodec_parameters_to_context(codec, format->streams[index]->codecpar);
      codec->thread_count = 1;
      if (avcodec_open2(codec, decoder, nullptr) >= 0) {
        count = 0;
        const int width = codec->width, height = codec->height;
        const int pitch = FramePitchFor(layout, width);
        frame->resize(static_cast<size_t>(pitch) * static_cast<size_t>(height) + 64);
        int scaler_width = 0, scaler_height = 0, scaler_format = -1;
        auto take = [&] {
          while (avcodec_receive_frame(codec, decoded) >= 0) {
            // One converter while the pictures keep their form (the cached-
            // context call would set it up again for every picture).
            if (scaler == nullptr || decoded->width != scaler_width || decoded->height != scaler_height ||
                decoded->format != scaler_format) {
              sws_freeContext(scaler);
              scaler = sws_getContext(decoded->width, decoded->height, static_cast<AVPixelFormat>(decoded->format),
                                      width, height, Format(layout), SWS_BILINEAR, nullptr, nullptr, nullptr);
              scaler_width = decoded->width;
              scaler_height = decoded->height;
              scaler_format = decoded->format;
            }
            uint8_t* planes[4] = {frame->data(), nullptr, nullptr, nullptr};
            int pitches[4] = {pitch, 0, 0, 0};
            if (scaler != nullptr) {
              sws_scale(scaler, decoded->data, decoded->linesize, 0, decoded->height, planes, pitches);
            }
            ++count;
            av_frame_unref(decoded);
          }
        };
        while (av_read_frame(format, packet) >= 0) {
          if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) take();
          av_packet_unref(packet);
        }
        avcodec_send_packet(codec, nullptr);
        take();
      }
    }
  }
  sws_freeContext(scaler);
  av_frame_free(&decoded);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  av_freep(&io->buffer);
  avio_context_free(&io);
  return count;
}

}  // namespace platform::movie
