#include "platform/movie/movie_stream.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/clock.h"
#include "platform/file_system.h"

namespace platform::movie {

namespace {

constexpr int kOutRate = 44100;
constexpr int64_t kMicro = 1000000;
// Containers read; anything else is refused at open.
constexpr const char* kFormatWhitelist =
    "matroska,webm,avi,mpeg,mpegts,mpegvideo,mov,mp4,m4a,3gp,3g2,mj2,asf,ogg,flv,nut";
// Memory the queued pictures may take while the sound is waited for.
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
constexpr size_t kQueueBudgetBytes = size_t{24} << 20;
#else
constexpr size_t kQueueBudgetBytes = size_t{64} << 20;
#endif
// Pictures of small movies are decoded further ahead than kFramesAhead, up
// to kMostFramesAhead or this many bytes of them: the caller then finds its
// frames ready even when the decode thread gets a processor late.
constexpr size_t kLookaheadBytes = size_t{8} << 20;
constexpr int kMostFramesAhead = 8;
// How far the sound may drift from the movie's time before it is put back.
constexpr int64_t kAudioSlackFrames = kOutRate / 10;
// A blocking update that finds a decode step under way spins this many
// rounds for it to end before it sleeps: a step is a packet's worth of
// decoding, and waking a sleeping thread costs more than that on a busy
// machine.
constexpr int kStepSpins = 20000;

// One round of a spin: lets the other hardware thread of the core run.
inline void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Pixels the converter's fast paths handle at a time.
constexpr int kConvertBlock = 16;
// Rows of a rectangle converted at a time: small enough that a band is
// still in the cache when the caller goes over it, a whole number of
// colour-sample rows in every format.
constexpr int kRectBand = 32;

// What the converter writes. 5-6-5 frames are packed from 32-bit ones
// here: the converter's own 16-bit paths interpolate or dither some
// sources, and a frame must keep the top bits of each channel exactly.
// 32-bit frames are asked for with an alpha byte, which the converter
// fills opaque (0xFF) for a source without alpha; a source with alpha has
// it set afterwards (SetFourthBytes).
AVPixelFormat OutputFormat(FrameLayout layout) {
  return layout == FrameLayout::kRgb24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
}

bool HasAlpha(int format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
  return d == nullptr || (d->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
}

// The fourth byte of each of `width` 32-bit pixels in `height` rows set to 0xFF.
void SetFourthBytes(uint8_t* out, int pitch, int width, int height) {
  for (int y = 0; y < height; ++y) {
    uint8_t* row = out + static_cast<ptrdiff_t>(y) * pitch;
    for (int x = 0; x < width; ++x) row[x * 4 + 3] = 0xFF;
  }
}

void PackRgb565(const uint8_t* wide, int wide_pitch, uint8_t* out, int pitch, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = wide + static_cast<ptrdiff_t>(y) * wide_pitch;
    uint8_t* dst = out + static_cast<ptrdiff_t>(y) * pitch;
    for (int x = 0; x < width; ++x) {
      const uint32_t v = (static_cast<uint32_t>(src[2] & 0xF8) << 8) | (static_cast<uint32_t>(src[1] & 0xFC) << 3) |
                         (src[0] >> 3);
      dst[0] = static_cast<uint8_t>(v);
      dst[1] = static_cast<uint8_t>(v >> 8);
      src += 4;
      dst += 2;
    }
  }
}

// Bytes of a movie held in memory, read through our own I/O context.
struct MemorySource {
  std::vector<uint8_t> bytes;
  int64_t position = 0;

  static int Read(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<MemorySource*>(opaque);
    const int64_t left = static_cast<int64_t>(self->bytes.size()) - self->position;
    if (left <= 0 || size <= 0) return AVERROR_EOF;
    const int n = static_cast<int>(std::min<int64_t>(left, size));
    std::memcpy(buffer, self->bytes.data() + self->position, static_cast<size_t>(n));
    self->position += n;
    return n;
  }
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<MemorySource*>(opaque);
    const int64_t size = static_cast<int64_t>(self->bytes.size());
    if ((whence & AVSEEK_SIZE) != 0) return size;
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
      case SEEK_SET: target = offset; break;
      case SEEK_CUR: target = self->position + offset; break;
      case SEEK_END: target = size + offset; break;
      default: return -1;
    }
    if (target < 0 || target > size) return -1;
    self->position = target;
    return target;
  }
};

struct FreePicture {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
// A decoded picture (its planes shared with the decoder's buffer pool).
using Picture = std::unique_ptr<AVFrame, FreePicture>;

struct QueuedFrame {
  int64_t pts = 0;     // microseconds on the movie's time line
  int64_t number = 0;  // decode order
  size_t bytes = 0;    // the picture's buffers
  Picture picture;
};

size_t PictureBytes(const AVFrame& picture) {
  size_t bytes = 0;
  for (const AVBufferRef* buffer : picture.buf) {
    if (buffer != nullptr) bytes += buffer->size;
  }
  for (int i = 0; i < picture.nb_extended_buf; ++i) bytes += picture.extended_buf[i]->size;
  return bytes;
}

int64_t ToMicro(int64_t value, AVRational base) {
  return av_rescale_q(value, base, AVRational{1, static_cast<int>(kMicro)});
}

}  // namespace

int BytesPerPixel(FrameLayout layout) {
  switch (layout) {
    case FrameLayout::kRgb565: return 2;
    case FrameLayout::kXrgb8888: return 4;
    case FrameLayout::kRgb24: return 3;
  }
  return 4;
}

int FramePitchFor(FrameLayout layout, int width) {
  return (width * BytesPerPixel(layout) + 3) & ~3;
}

struct MovieStream::State {
  // ---- set at open, read-only afterwards ----
  FrameLayout layout = FrameLayout::kXrgb8888;
  int width = 0, height = 0, pitch = 0;
  int64_t time_per_frame = 0, stop_position = 0, start_time = 0;
  std::unique_ptr<MemorySource> memory;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  int video_index = -1, audio_index = -1;
  size_t frames_ahead = kFramesAhead;  // pictures the decode thread keeps ahead
  size_t max_queue = kFramesAhead;     // pictures queued while the sound runs short

  // ---- the decoder's, used only by the holder of the step claim (the
  // decode thread, or a blocking update that decodes for itself) ----
  SwrContext* resampler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* decoded = nullptr;
  std::vector<int16_t> resampled;
  int64_t next_number = 0;
  int64_t last_video_pts = -1;
  int64_t seek_floor = 0;  // frames wholly before this are dropped after a seek

  // ---- shared, under mutex ----
  mutable std::mutex mutex;
  std::condition_variable wake_decoder;
  std::condition_variable frames_arrived;
  std::deque<QueuedFrame> queue;
  size_t queued_bytes = 0;     // the queued pictures' buffers
  std::vector<Picture> spare;     // emptied pictures to decode into again
  // Pictures taken off the queue that still hold their buffers. The next
  // decode step lets them go, outside this lock: a buffer goes back to the
  // decoder's pool under the pool's own lock, which the decoder takes for
  // every picture, and a caller waiting there would hold up both threads.
  std::vector<Picture> released;
  Picture current_picture;     // null before the first update
  int64_t current_number = -1;
  int64_t taken_number = -1;   // the frame TakeCurrentFrame handed over last
  bool finished = false;
  bool stop = false;
  bool seek_requested = false;
  int64_t seek_target = 0;
  uint64_t generation = 0;
  bool running = false;
  int64_t base_time = 0;      // movie time when last started or paused
  uint64_t run_started = 0;   // clock microseconds at the last Run
  bool outstanding = false;
  // One decode step at a time: whoever claims it (under `mutex`) decodes
  // until it gives the claim back. The decode thread keeps its claim from
  // one step to the next while there is work, so a blocking update finds it
  // busy and waits for its pictures instead of decoding beside it.
  std::atomic<bool> step_claimed{false};
  std::atomic<uint64_t> steps_done{0};  // ends of steps, for waiters
  int step_waiters = 0;                 // blocking updates asleep on frames_arrived
  std::deque<int16_t> sound;  // interleaved stereo
  int64_t sound_front = 0;    // 44,100 Hz frame of the movie time line at sound.front()
  bool sound_front_known = false;

  // ---- the caller's side: converting the current picture into pixels,
  // under convert_mutex (never under `mutex`, so the decoder goes on) ----
  mutable std::mutex convert_mutex;
  mutable SwsContext* scaler = nullptr;
  mutable int scaler_width = 0, scaler_height = 0, scaler_format = -1;  // what it converts from
  mutable Picture converting;          // a reference to the picture being converted
  mutable std::vector<uint8_t> wide;   // staging: 5-6-5 frames are packed from it, rows of other widths copied
  mutable std::vector<uint8_t> current;  // CopyCurrentFrame's pixels (zeroed at its first call)
  mutable int64_t converted_number = -1;  // the frame in `current`
  // Converters of rectangles of the picture, one per rectangle size.
  struct RectScaler {
    int width = 0, height = 0, format = -1;
    SwsContext* context = nullptr;
  };
  mutable std::vector<RectScaler> rect_scalers;

  std::thread thread;

  ~State() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
    }
    wake_decoder.notify_all();
    if (thread.joinable()) thread.join();
    // The pictures go before the decoders whose buffers they hold.
    queue.clear();
    spare.clear();
    released.clear();
    current_picture.reset();
    converting.reset();
    sws_freeContext(scaler);
    for (RectScaler& r : rect_scalers) sws_freeContext(r.context);
    swr_free(&resampler);
    av_packet_free(&packet);
    av_frame_free(&decoded);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (format != nullptr) {
      AVIOContext* io = (format->flags & AVFMT_FLAG_CUSTOM_IO) != 0 ? format->pb : nullptr;
      avformat_close_input(&format);
      if (io != nullptr) {
        av_freep(&io->buffer);
        avio_context_free(&io);
      }
    }
  }

  int64_t NowLocked() const {
    if (!running) return base_time;
    const uint64_t now = GetClock().Microseconds();
    return base_time + static_cast<int64_t>(now - run_started);
  }

  // Less than half a second of sound is ready beyond the movie's time.
  bool SoundShortLocked(int64_t now) const {
    if (audio == nullptr || sound_broken) return false;
    if (!sound_front_known) return true;
    const int64_t ready_until = sound_front + static_cast<int64_t>(sound.size() / 2);
    return ready_until < av_rescale(now, kOutRate, kMicro) + kOutRate / 2;
  }

  void Recycle(Picture picture) {
    if (picture) released.push_back(std::move(picture));
  }
  // The pictures released since the last step let go of their buffers (by
  // the thread that decodes, without `mutex` held) and made spare.
  void EmptyReleased() {
    std::vector<Picture> letting_go;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (released.empty()) return;
      letting_go.swap(released);
    }
    for (Picture& picture : letting_go) av_frame_unref(picture.get());
    std::lock_guard<std::mutex> lock(mutex);
    for (Picture& picture : letting_go) spare.push_back(std::move(picture));
  }
  void Recycle(QueuedFrame& frame) {
    queued_bytes -= frame.bytes;
    frame.bytes = 0;
    Recycle(std::move(frame.picture));
  }

  // Drops queued frames that a later due frame supersedes.
  void DropSupersededLocked(int64_t now) {
    while (queue.size() >= 2 && queue[1].pts <= now) {
      Recycle(queue.front());
      queue.pop_front();
    }
  }

  // Takes the latest due frame; false when none is due.
  bool TakeDueLocked(int64_t now) {
    if (queue.empty() || queue.front().pts > now) return false;
    DropSupersededLocked(now);
    QueuedFrame& front = queue.front();
    current_picture.swap(front.picture);
    current_number = front.number;
    Recycle(front);
    queue.pop_front();
    // Room for the decode thread: it is woken when half the queue is free,
    // not for every frame.
    if (queue.size() <= frames_ahead / 2) wake_decoder.notify_all();
    return true;
  }

  // What decoding should do next, decided under `mutex`. A full queue
  // whose second frame is due already loses its first one here (a later
  // due frame supersedes it), which makes room.
  enum class Work { kNone, kSeek, kDecode, kStop };
  Work NextWorkLocked() {
    if (stop) return Work::kStop;
    if (seek_requested) return Work::kSeek;
    if (finished) return Work::kNone;
    if (queue.size() < 2 || (queue.size() < frames_ahead && queued_bytes < kQueueBudgetBytes)) return Work::kDecode;
    const int64_t now = NowLocked();
    if (queue[1].pts <= now) {
      Recycle(queue.front());
      queue.pop_front();
      return Work::kDecode;
    }
    // Containers may store the sound well after the pictures it goes with:
    // while the sound runs short, pictures queue beyond the usual few, up
    // to the memory bound.
    if (SoundShortLocked(now) && queue.size() < max_queue && queued_bytes < kQueueBudgetBytes) return Work::kDecode;
    return Work::kNone;
  }

  // ---- decoding: run by whichever thread holds the step claim ----
  // One step: the seek asked for, or one packet read and decoded (its
  // frames and sound queued), or the end of the stream. Never called with
  // `mutex` held.
  void DecodeStep() {
    // Before decoding, so that the pool has those buffers to give again.
    EmptyReleased();
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (stop || finished) return;
      if (seek_requested) {
        const uint64_t serial = generation;
        const int64_t target = seek_target;
        lock.unlock();
        DoSeek(target);
        lock.lock();
        // A later seek asked meanwhile is served on the next step.
        if (generation == serial) {
          seek_requested = false;
          finished = false;
        }
        lock.unlock();
        frames_arrived.notify_all();
        return;
      }
    }
    const int got = av_read_frame(format, packet);
    if (got < 0) {
      // End of file (or a read error): drain what the decoders hold.
      DecodeVideo(nullptr);
      DecodeAudio(nullptr);
      Finish();
      return;
    }
    if (packet->stream_index == video_index) {
      if (!DecodeVideo(packet)) {
        av_packet_unref(packet);
        Finish();
        return;
      }
    } else if (packet->stream_index == audio_index && audio != nullptr) {
      DecodeAudio(packet);
    }
    av_packet_unref(packet);
  }

  // Ends a step: the claim is given back (or kept, by the decode thread,
  // when `keep`), and blocking updates waiting for it are woken.
  void EndStepLocked(bool keep) {
    steps_done.fetch_add(1, std::memory_order_release);
    if (!keep) step_claimed.store(false, std::memory_order_release);
    if (step_waiters > 0) frames_arrived.notify_all();
  }

  // ---- the decode thread ----
  void Run() {
    std::unique_lock<std::mutex> lock(mutex);
    bool claimed = false;  // the claim is ours from the step before
    for (;;) {
      const Work work = NextWorkLocked();
      if (work == Work::kDecode || work == Work::kSeek) {
        if (claimed || !step_claimed.load(std::memory_order_relaxed)) {
          step_claimed.store(true, std::memory_order_relaxed);
          claimed = true;
          lock.unlock();
          DecodeStep();
          lock.lock();
          EndStepLocked(true);
          continue;
        }
        // A blocking update is decoding: it wakes this thread when done.
      }
      if (claimed) {
        claimed = false;
        EndStepLocked(false);
      }
      if (work == Work::kStop) return;
      if (finished && !seek_requested) {
        wake_decoder.wait(lock);
      } else {
        // Waiting for room (looking at the time again now and then).
        wake_decoder.wait_for(lock, std::chrono::milliseconds(5));
      }
    }
  }

  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      finished = true;
    }
    frames_arrived.notify_all();
  }

  void DoSeek(int64_t target) {
    const int64_t stamp = target + start_time;
    avformat_seek_file(format, -1, INT64_MIN, stamp, stamp, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(video);
    if (audio != nullptr) avcodec_flush_buffers(audio);
    last_video_pts = -1;
    seek_floor = target;
  }

  uint64_t Generation() {
    std::lock_guard<std::mutex> lock(mutex);
    return generation;
  }

  // False on a decoder error that ends the stream.
  bool DecodeVideo(const AVPacket* input) {
    const uint64_t gen = Generation();
    int sent = avcodec_send_packet(video, input);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) {
      // A damaged packet: skip it, as players do, unless nothing decodes.
      if (input == nullptr) return false;
      return sent != AVERROR(ENOMEM);
    }
    for (;;) {
      const int r = avcodec_receive_frame(video, decoded);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return r != AVERROR(ENOMEM);
      QueuePicture(gen);
      av_frame_unref(decoded);
    }
  }

  // Queues the decoded picture as it is: it is converted to the frame's
  // layout when it is taken, on the caller's side, so that the decode
  // thread only decodes.
  void QueuePicture(uint64_t gen) {
    if (decoded->width <= 0 || decoded->height <= 0 || decoded->width > kMaxFrameWidth ||
        decoded->height > kMaxFrameHeight) {
      return;  // skipped
    }
    int64_t pts = decoded->best_effort_timestamp;
    AVRational base = format->streams[video_index]->time_base;
    if (pts == AV_NOPTS_VALUE) {
      pts = last_video_pts < 0 ? 0 : last_video_pts + time_per_frame;
    } else {
      pts = ToMicro(pts, base) - start_time;
    }
    // Frames keep their decode order on the time line even when a damaged
    // file says otherwise: the queue stays sorted by time.
    if (pts < 0) pts = 0;
    if (pts < last_video_pts) pts = last_video_pts;
    last_video_pts = pts;
    const int64_t number = next_number++;
    if (time_per_frame > 0 && pts + time_per_frame <= seek_floor) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (gen != generation || stop) return;
      QueuedFrame frame;
      frame.pts = pts;
      frame.number = number;
      if (!spare.empty()) {
        frame.picture = std::move(spare.back());
        spare.pop_back();
      } else {
        frame.picture.reset(av_frame_alloc());
        if (!frame.picture) return;
      }
      av_frame_move_ref(frame.picture.get(), decoded);
      frame.bytes = PictureBytes(*frame.picture);
      queued_bytes += frame.bytes;
      queue.push_back(std::move(frame));
    }
    frames_arrived.notify_all();
  }

  // Converts the current picture into dst (rows of `pitch` bytes, with room
  // for the converter's overrun), under convert_mutex; the frame's number,
  // or -1 when there is no picture yet or it cannot be converted.
  int64_t ConvertCurrent(uint8_t* dst, int dst_pitch) const {
    int64_t number = -1;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!current_picture) return -1;
      if (!converting) converting.reset(av_frame_alloc());
      if (!converting || av_frame_ref(converting.get(), current_picture.get()) < 0) return -1;
      number = current_number;
    }
    const AVFrame& picture = *converting;
    // A new converter only when the picture's form changes: the library's
    // cached-context call sets one up again on every call.
    if (scaler == nullptr || picture.width != scaler_width || picture.height != scaler_height ||
        picture.format != scaler_format) {
      sws_freeContext(scaler);
      scaler = sws_getContext(picture.width, picture.height, static_cast<AVPixelFormat>(picture.format), width,
                              height, OutputFormat(layout), SWS_BILINEAR, nullptr, nullptr, nullptr);
      scaler_width = picture.width;
      scaler_height = picture.height;
      scaler_format = picture.format;
    }
    // The converter's fast paths work on blocks of pixels: on a row that is
    // not a whole number of blocks they write past its end and leave its
    // last pixels unset. Such frames, and 5-6-5 ones (packed from 32 bits),
    // are converted into a staging buffer with whole blocks per row and
    // room after the last, and their rows copied out.
    const bool packed16 = layout == FrameLayout::kRgb565;
    const bool staged = packed16 || width % kConvertBlock != 0;
    const int out_bytes = layout == FrameLayout::kRgb24 ? 3 : 4;
    const int staged_pitch = (width + kConvertBlock - 1) / kConvertBlock * kConvertBlock * out_bytes;
    if (staged) wide.resize(static_cast<size_t>(staged_pitch) * (static_cast<size_t>(height) + 1) + 64);
    uint8_t* planes[4] = {staged ? wide.data() : dst, nullptr, nullptr, nullptr};
    int pitches[4] = {staged ? staged_pitch : dst_pitch, 0, 0, 0};
    const bool converted =
        scaler != nullptr && sws_scale(scaler, picture.data, picture.linesize, 0, picture.height, planes, pitches) > 0;
    const bool source_alpha = HasAlpha(picture.format);
    av_frame_unref(converting.get());
    if (!converted) return -1;
    if (layout == FrameLayout::kXrgb8888 && source_alpha) {
      SetFourthBytes(staged ? wide.data() : dst, staged ? staged_pitch : dst_pitch, width, height);
    }
    if (packed16) {
      PackRgb565(wide.data(), staged_pitch, dst, dst_pitch, width, height);
    } else if (staged) {
      const size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(out_bytes);
      for (int y = 0; y < height; ++y) {
        std::memcpy(dst + static_cast<ptrdiff_t>(y) * dst_pitch, wide.data() + static_cast<ptrdiff_t>(y) * staged_pitch,
                    row_bytes);
      }
    }
    return number;
  }

  // The converter for rectangles of width x height of pictures in format
  // (kept while the rectangles keep their sizes); null when none can be
  // made.
  SwsContext* RectScalerFor(int w, int h, int source_format) const {
    for (RectScaler& r : rect_scalers) {
      if (r.width == w && r.height == h && r.format == source_format) return r.context;
    }
    // Graphs are cut into a few piece sizes; a movie that keeps asking for
    // others starts the list again.
    constexpr size_t kMostRectScalers = 8;
    if (rect_scalers.size() >= kMostRectScalers) {
      for (RectScaler& r : rect_scalers) sws_freeContext(r.context);
      rect_scalers.clear();
    }
    SwsContext* context = sws_getContext(w, h, static_cast<AVPixelFormat>(source_format), w, h, OutputFormat(layout),
                                         SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (context != nullptr) rect_scalers.push_back(RectScaler{w, h, source_format, context});
    return context;
  }

  // ConvertCurrentFrameRect's work, under convert_mutex.
  bool ConvertCurrentRect(int left, int top, int w, int h, uint8_t* dst, int dst_pitch,
                          const std::function<void(int, int)>& rows_done) const {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!current_picture) return false;
      if (!converting) converting.reset(av_frame_alloc());
      if (!converting || av_frame_ref(converting.get(), current_picture.get()) < 0) return false;
    }
    AVFrame& picture = *converting;
    bool converted = false;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture.format));
    // A corner on a colour sample's edge: the rectangle's pixels come out
    // as they do in the whole frame.
    if (desc != nullptr && picture.width == width && picture.height == height &&
        left % (1 << desc->log2_chroma_w) == 0 && top % (1 << desc->log2_chroma_h) == 0) {
      picture.crop_left = static_cast<size_t>(left);
      picture.crop_top = static_cast<size_t>(top);
      picture.crop_right = static_cast<size_t>(width - left - w);
      picture.crop_bottom = static_cast<size_t>(height - top - h);
      SwsContext* context = av_frame_apply_cropping(&picture, AV_FRAME_CROP_UNALIGNED) >= 0 &&
                                    picture.width == w && picture.height == h
                                ? RectScalerFor(w, h, picture.format)
                                : nullptr;
      uint8_t* planes[4] = {dst, nullptr, nullptr, nullptr};
      int pitches[4] = {dst_pitch, 0, 0, 0};
      const bool source_alpha = layout == FrameLayout::kXrgb8888 && HasAlpha(picture.format);
      const int image_planes = av_pix_fmt_count_planes(static_cast<AVPixelFormat>(picture.format));
      // The picture goes in as slices of kRectBand rows (a whole number of
      // colour-sample rows); the rows each slice gives out are handed on.
      int made = 0;
      for (int y = 0; context != nullptr && y < h; y += kRectBand) {
        // A slice's image planes start at its first row (planes 1 and 2
        // hold the colour samples, fewer rows of them); what follows the
        // image planes (a palette) stays as it is.
        const uint8_t* slice[4] = {};
        for (int i = 0; i < 4; ++i) {
          slice[i] = picture.data[i];
          if (i >= image_planes || slice[i] == nullptr) continue;
          const int rows = (i == 1 || i == 2) ? y >> desc->log2_chroma_h : y;
          slice[i] += static_cast<ptrdiff_t>(rows) * picture.linesize[i];
        }
        const int out = sws_scale(context, slice, picture.linesize, y, std::min(kRectBand, h - y), planes, pitches);
        if (out < 0 || out > h - made) break;
        if (out > 0) {
          uint8_t* first = dst + static_cast<ptrdiff_t>(made) * dst_pitch;
          if (source_alpha) SetFourthBytes(first, dst_pitch, w, out);
          if (rows_done) rows_done(made, out);
          made += out;
        }
      }
      converted = context != nullptr && made == h;
    }
    av_frame_unref(&picture);
    return converted;
  }

  void DecodeAudio(const AVPacket* input) {
    if (audio == nullptr || sound_broken) return;
    const uint64_t gen = Generation();
    const int sent = avcodec_send_packet(audio, input);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) return;
    for (;;) {
      const int r = avcodec_receive_frame(audio, decoded);
      if (r < 0) return;
      if (!sound_broken) Resample(gen);
      av_frame_unref(decoded);
    }
  }

  void Resample(uint64_t gen) {
    if (decoded->nb_samples <= 0 || decoded->sample_rate <= 0 || decoded->sample_rate > 768000) return;
    // The input's form may change inside a stream: a new form gets a new
    // resampler.
    if (resampler != nullptr && (decoded->format != in_format || decoded->sample_rate != in_rate ||
                                 decoded->ch_layout.nb_channels != in_channels)) {
      swr_free(&resampler);
    }
    if (resampler == nullptr) {
      in_format = decoded->format;
      in_rate = decoded->sample_rate;
      in_channels = decoded->ch_layout.nb_channels;
      AVChannelLayout in_layout{};
      if (av_channel_layout_copy(&in_layout, &decoded->ch_layout) < 0 || in_layout.nb_channels <= 0 ||
          in_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int channels = decoded->ch_layout.nb_channels > 0 ? decoded->ch_layout.nb_channels : 1;
        av_channel_layout_uninit(&in_layout);
        av_channel_layout_default(&in_layout, channels);
      }
      AVChannelLayout out_layout = AV_CHANNEL_LAYOUT_STEREO;
      const int made = swr_alloc_set_opts2(&resampler, &out_layout, AV_SAMPLE_FMT_S16, kOutRate, &in_layout,
                                           static_cast<AVSampleFormat>(decoded->format),
                                           decoded->sample_rate, 0, nullptr);
      av_channel_layout_uninit(&in_layout);
      if (made < 0 || resampler == nullptr || swr_init(resampler) < 0) {
        swr_free(&resampler);
        sound_broken = true;
        return;
      }
    }
    const int capacity = swr_get_out_samples(resampler, decoded->nb_samples);
    if (capacity <= 0 || capacity > kAudioFramesAhead) return;
    resampled.resize(static_cast<size_t>(capacity) * 2);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(resampled.data())};
    const int frames = swr_convert(resampler, out, capacity,
                                   const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
    if (frames <= 0) return;
    int64_t pts = decoded->best_effort_timestamp;
    const int64_t stamp = pts == AV_NOPTS_VALUE
                              ? -1
                              : ToMicro(pts, format->streams[audio_index]->time_base) - start_time;
    std::lock_guard<std::mutex> lock(mutex);
    if (gen != generation || stop) return;
    int skip = 0;
    if (!sound_front_known || sound.empty()) {
      int64_t first = stamp >= 0 ? av_rescale(stamp, kOutRate, kMicro) : 0;
      const int64_t floor = av_rescale(seek_floor, kOutRate, kMicro);
      if (first < floor) {
        skip = static_cast<int>(std::min<int64_t>(floor - first, frames));
        first += skip;
      }
      sound_front = first;
      sound_front_known = true;
    }
    for (int i = skip * 2; i < frames * 2; ++i) sound.push_back(resampled[static_cast<size_t>(i)]);
    while (sound.size() > static_cast<size_t>(kAudioFramesAhead) * 2) {
      sound.pop_front();
      sound.pop_front();
      ++sound_front;
    }
  }

  std::atomic<bool> sound_broken{false};  // the sound cannot be resampled: the movie plays silent
  int in_format = -1, in_rate = 0, in_channels = 0;
};

MovieStream::MovieStream(std::unique_ptr<State> state) : state_(std::move(state)) {}
MovieStream::~MovieStream() = default;

namespace {

std::unique_ptr<MovieStream::State> OpenWith(std::unique_ptr<MovieStream::State> s, const std::string& url,
                                             FrameLayout layout, OpenFailure* failure) {
  // Damaged files are expected: the libraries' own complaints stay quiet.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  auto fail = [&](OpenFailure why) -> std::unique_ptr<MovieStream::State> {
    if (failure != nullptr) *failure = why;
    return nullptr;
  };
  AVDictionary* options = nullptr;
  av_dict_set(&options, "format_whitelist", kFormatWhitelist, 0);
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  av_dict_set(&options, "probesize", "1000000", 0);
  av_dict_set(&options, "analyzeduration", "2000000", 0);
  AVFormatContext* format = s->format;
  s->format = nullptr;
  AVIOContext* custom_io = format != nullptr && (format->flags & AVFMT_FLAG_CUSTOM_IO) != 0 ? format->pb : nullptr;
  const int opened = avformat_open_input(&format, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) {
    // avformat_open_input frees the context; a custom I/O context stays ours.
    if (custom_io != nullptr) {
      av_freep(&custom_io->buffer);
      avio_context_free(&custom_io);
    }
    return fail(OpenFailure::kOpenFile);
  }
  s->format = format;
  if (avformat_find_stream_info(format, nullptr) < 0) return fail(OpenFailure::kOpenFile);

  const AVCodec* video_codec = nullptr;
  s->video_index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &video_codec, 0);
  if (s->video_index < 0) {
    return fail(s->video_index == AVERROR_DECODER_NOT_FOUND ? OpenFailure::kDecoder : OpenFailure::kNoPicture);
  }
  AVStream* stream = format->streams[s->video_index];
  const int width = stream->codecpar->width;
  const int height = stream->codecpar->height;
  if (width <= 0 || height <= 0 || width > kMaxFrameWidth || height > kMaxFrameHeight) {
    return fail(OpenFailure::kNoPicture);
  }
  s->video = avcodec_alloc_context3(video_codec);
  if (s->video == nullptr || avcodec_parameters_to_context(s->video, stream->codecpar) < 0) {
    return fail(OpenFailure::kDecoder);
  }
  s->video->thread_count = 1;
  s->video->max_pixels = static_cast<int64_t>(kMaxFrameWidth) * kMaxFrameHeight;
  if (avcodec_open2(s->video, video_codec, nullptr) < 0) return fail(OpenFailure::kDecoder);
  // The converter must accept the decoder's format at this size.
  const AVPixelFormat source = s->video->pix_fmt == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV420P : s->video->pix_fmt;
  if (sws_isSupportedInput(source) <= 0) return fail(OpenFailure::kDecoder);

  const AVCodec* audio_codec = nullptr;
  s->audio_index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, s->video_index, &audio_codec, 0);
  if (s->audio_index >= 0 && audio_codec != nullptr) {
    s->audio = avcodec_alloc_context3(audio_codec);
    if (s->audio == nullptr ||
        avcodec_parameters_to_context(s->audio, format->streams[s->audio_index]->codecpar) < 0 ||
        (s->audio->thread_count = 1, avcodec_open2(s->audio, audio_codec, nullptr)) < 0) {
      // A movie whose sound cannot be decoded plays without it.
      avcodec_free_context(&s->audio);
      s->audio_index = -1;
    }
  } else {
    s->audio_index = -1;
  }

  s->layout = layout;
  s->width = width;
  s->height = height;
  s->pitch = FramePitchFor(layout, width);
  const AVRational rate = av_guess_frame_rate(format, stream, nullptr);
  if (rate.num > 0 && rate.den > 0) s->time_per_frame = av_rescale(kMicro, rate.den, rate.num);
  // The picture's first time stamp is the movie's time 0; sound before it
  // is dropped.
  if (stream->start_time != AV_NOPTS_VALUE) {
    s->start_time = ToMicro(stream->start_time, stream->time_base);
  } else {
    s->start_time = format->start_time != AV_NOPTS_VALUE ? format->start_time : 0;
  }
  if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
    s->stop_position = format->duration;
  } else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    s->stop_position = ToMicro(stream->duration, stream->time_base);
  }
  // Queued pictures are decoded, not converted: their size is the decoder's
  // (the queue's bytes are counted as well, for pictures that turn out
  // larger).
  const int sized = av_image_get_buffer_size(source, width, height, 1);
  const size_t picture_bytes =
      sized > 0 ? static_cast<size_t>(sized) : static_cast<size_t>(width) * static_cast<size_t>(height) * 8;
  s->frames_ahead = std::clamp<size_t>(kLookaheadBytes / picture_bytes, kFramesAhead, kMostFramesAhead);
  s->max_queue = std::clamp<size_t>(kQueueBudgetBytes / picture_bytes, s->frames_ahead, 64);
  s->packet = av_packet_alloc();
  s->decoded = av_frame_alloc();
  if (s->packet == nullptr || s->decoded == nullptr) return fail(OpenFailure::kDecoder);
  MovieStream::State* raw = s.get();
  s->thread = std::thread([raw] { raw->Run(); });
  // Named, so that profiles and debuggers tell it from the caller.
  pthread_setname_np(s->thread.native_handle(), "movie decode");
  if (failure != nullptr) *failure = OpenFailure::kNone;
  return s;
}

}  // namespace

std::unique_ptr<MovieStream> MovieStream::OpenPath(std::string_view path, FrameLayout layout,
                                                   OpenFailure* failure) {
  const std::optional<std::string> native = ResolveExisting(path);
  if (!native || !FileExists(path)) {
    if (failure != nullptr) *failure = OpenFailure::kOpenFile;
    return nullptr;
  }
  auto state = OpenWith(std::make_unique<State>(), "file:" + *native, layout, failure);
  if (!state) return nullptr;
  return std::unique_ptr<MovieStream>(new MovieStream(std::move(state)));
}

std::unique_ptr<MovieStream> MovieStream::OpenMemory(std::vector<uint8_t> bytes, FrameLayout layout,
                                                     OpenFailure* failure) {
  auto state = std::make_unique<State>();
  state->memory = std::make_unique<MemorySource>();
  state->memory->bytes = std::move(bytes);
  constexpr int kIoBuffer = 32768;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBuffer));
  AVIOContext* io = buffer == nullptr ? nullptr
                                      : avio_alloc_context(buffer, kIoBuffer, 0, state->memory.get(),
                                                           &MemorySource::Read, nullptr, &MemorySource::Seek);
  AVFormatContext* format = io == nullptr ? nullptr : avformat_alloc_context();
  if (format == nullptr) {
    if (io != nullptr) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    } else {
      av_free(buffer);
    }
    if (failure != nullptr) *failure = OpenFailure::kOpenFile;
    return nullptr;
  }
  format->pb = io;
  format->flags |= AVFMT_FLAG_CUSTOM_IO;
  state->format = format;
  auto opened = OpenWith(std::move(state), "", layout, failure);
  if (!opened) return nullptr;
  return std::unique_ptr<MovieStream>(new MovieStream(std::move(opened)));
}

int MovieStream::Width() const { return state_->width; }
int MovieStream::Height() const { return state_->height; }
FrameLayout MovieStream::Layout() const { return state_->layout; }
int MovieStream::FramePitch() const { return state_->pitch; }
int64_t MovieStream::TimePerFrame() const { return state_->time_per_frame; }
int64_t MovieStream::StopPosition() const { return state_->stop_position; }
bool MovieStream::HasAudio() const { return state_->audio_index >= 0; }

void MovieStream::Run() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.running) return;
  s.run_started = GetClock().Microseconds();
  s.running = true;
  s.wake_decoder.notify_all();
}

void MovieStream::Pause() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.running) return;
  s.base_time = s.NowLocked();
  s.running = false;
}

bool MovieStream::Running() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->running;
}

int64_t MovieStream::CurrentTime() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->NowLocked();
}

void MovieStream::Seek(int64_t microseconds) {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    const int64_t target = std::max<int64_t>(0, microseconds);
    s.base_time = target;
    if (s.running) s.run_started = GetClock().Microseconds();
    for (QueuedFrame& frame : s.queue) s.Recycle(frame);
    s.queue.clear();
    s.sound.clear();
    s.sound_front_known = false;
    s.finished = false;
    s.seek_requested = true;
    s.seek_target = target;
    ++s.generation;
    s.outstanding = false;
  }
  s.wake_decoder.notify_all();
}

UpdateStatus MovieStream::RequestUpdate() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.TakeDueLocked(s.NowLocked())) {
    s.outstanding = false;
    return UpdateStatus::kDone;
  }
  if (s.queue.empty() && s.finished && !s.seek_requested) {
    s.outstanding = false;
    return UpdateStatus::kEnd;
  }
  s.outstanding = true;
  return UpdateStatus::kPending;
}

bool MovieStream::UpdateSignalled() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.outstanding) return false;
  if (s.TakeDueLocked(s.NowLocked()) || (s.queue.empty() && s.finished && !s.seek_requested)) {
    s.outstanding = false;
    return true;
  }
  return false;
}

UpdateStatus MovieStream::WaitUpdate() {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.mutex);
  const int64_t now = s.NowLocked();
  // The decode thread decodes while this thread converts the frame before:
  // a step under way is waited for (spinning first, as it is short). Only
  // when the thread sleeps is the missing picture decoded here, with no
  // hand-off that needs a wake-up. Every step reads the file further, so
  // this ends.
  for (;;) {
    s.DropSupersededLocked(now);
    const bool pictures = (!s.queue.empty() && s.queue.back().pts > now) || s.finished;
    const bool sound = !s.SoundShortLocked(now) || s.finished || s.queue.size() >= s.max_queue ||
                       s.queued_bytes >= kQueueBudgetBytes;
    if (!s.seek_requested && pictures && sound) break;
    if (s.step_claimed.load(std::memory_order_relaxed)) {
      const uint64_t seen = s.steps_done.load(std::memory_order_relaxed);
      auto moved = [&] {
        return s.steps_done.load(std::memory_order_acquire) != seen ||
               !s.step_claimed.load(std::memory_order_acquire);
      };
      lock.unlock();
      for (int i = 0; i < kStepSpins && !moved(); ++i) SpinPause();
      lock.lock();
      if (!moved()) {
        ++s.step_waiters;
        s.frames_arrived.wait(lock, moved);
        --s.step_waiters;
      }
      continue;
    }
    s.step_claimed.store(true, std::memory_order_relaxed);
    lock.unlock();
    s.DecodeStep();
    lock.lock();
    s.EndStepLocked(false);
    // The decode thread goes on from here while this thread converts.
    s.wake_decoder.notify_all();
  }
  s.outstanding = false;
  if (s.TakeDueLocked(now)) return UpdateStatus::kDone;
  if (s.queue.empty() && s.finished) return UpdateStatus::kEnd;
  return UpdateStatus::kPending;
}

bool MovieStream::WaitDecoded(int frames, int timeout_ms) {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.mutex);
  const size_t want = static_cast<size_t>(std::clamp(frames, 0, kFramesAhead));
  return s.frames_arrived.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return (s.queue.size() >= want && !s.seek_requested) || s.finished;
  });
}

void MovieStream::CopyCurrentFrame(uint8_t* dst, int dst_pitch, int rows) const {
  const State& s = *state_;
  std::lock_guard<std::mutex> converting_lock(s.convert_mutex);
  // Some converters write whole 16-byte groups past the row's end: the
  // buffer has room for that. Made here, as callers that convert straight
  // into their own pixels never need it.
  if (s.current.empty()) s.current.assign(static_cast<size_t>(s.pitch) * static_cast<size_t>(s.height) + 64, 0);
  bool stale = false;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    stale = s.current_number != s.converted_number;
  }
  if (stale) {
    const int64_t number = s.ConvertCurrent(s.current.data(), s.pitch);
    if (number >= 0) s.converted_number = number;
  }
  const int n = std::min(rows, s.height);
  const size_t row_bytes = static_cast<size_t>(std::min(dst_pitch, s.pitch));
  for (int y = 0; y < n; ++y) {
    std::memcpy(dst + static_cast<ptrdiff_t>(y) * dst_pitch,
                s.current.data() + static_cast<size_t>(y) * static_cast<size_t>(s.pitch), row_bytes);
  }
}

bool MovieStream::TakeCurrentFrame(std::vector<uint8_t>* frame) {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.current_number == s.taken_number) return false;
  }
  const size_t bytes = static_cast<size_t>(s.pitch) * static_cast<size_t>(s.height) + 64;
  if (frame->size() < bytes) frame->resize(bytes);
  std::lock_guard<std::mutex> converting_lock(s.convert_mutex);
  const int64_t number = s.ConvertCurrent(frame->data(), s.pitch);
  if (number < 0) return false;
  std::lock_guard<std::mutex> lock(s.mutex);
  s.taken_number = number;
  return true;
}

bool MovieStream::ConvertCurrentFrame(uint8_t* dst, int dst_pitch, int rows) const {
  const State& s = *state_;
  if (dst == nullptr || rows < s.height || dst_pitch < s.width * BytesPerPixel(s.layout)) return false;
  std::lock_guard<std::mutex> converting_lock(s.convert_mutex);
  return s.ConvertCurrent(dst, dst_pitch) >= 0;
}

bool MovieStream::ConvertCurrentFrameRect(int left, int top, int width, int height, uint8_t* dst, int dst_pitch,
                                          const std::function<void(int first, int rows)>& rows_done) const {
  const State& s = *state_;
  // Whole blocks only: the converter's fast paths write past a row that
  // ends inside one.
  if (dst == nullptr || s.layout == FrameLayout::kRgb565 || left < 0 || top < 0 || width <= 0 || height <= 0 ||
      width % kConvertBlock != 0 || left > s.width - width || top > s.height - height ||
      dst_pitch < width * BytesPerPixel(s.layout)) {
    return false;
  }
  std::lock_guard<std::mutex> converting_lock(s.convert_mutex);
  return s.ConvertCurrentRect(left, top, width, height, dst, dst_pitch, rows_done);
}

int64_t MovieStream::CurrentFrameNumber() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->current_number;
}

void MovieStream::RenderAudio(int16_t* out, int frames) {
  State& s = *state_;
  if (frames <= 0) return;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.running || s.sound.empty() || !s.sound_front_known) return;
  // The chunk ends at the movie's time now and starts `frames` earlier.
  const int64_t now = av_rescale(s.NowLocked(), kOutRate, kMicro);
  const int64_t want = now - frames;
  int64_t skip_out = 0;
  if (s.sound_front < want - kAudioSlackFrames) {
    // Late: drop what should have played already.
    int64_t drop = std::min<int64_t>(want - s.sound_front, static_cast<int64_t>(s.sound.size() / 2));
    s.sound.erase(s.sound.begin(), s.sound.begin() + drop * 2);
    s.sound_front += drop;
  } else if (s.sound_front > want + kAudioSlackFrames) {
    // Early: silence until the sound's time comes.
    skip_out = std::min<int64_t>(s.sound_front - want, frames);
  }
  const int64_t n = std::min<int64_t>(frames - skip_out, static_cast<int64_t>(s.sound.size() / 2));
  for (int64_t i = 0; i < n * 2; ++i) out[skip_out * 2 + i] = s.sound[static_cast<size_t>(i)];
  s.sound.erase(s.sound.begin(), s.sound.begin() + n * 2);
  s.sound_front += n;
}

}  // namespace platform::movie
