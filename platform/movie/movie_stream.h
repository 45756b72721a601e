// A movie file played as a stream of converted frames and resampled sound,
// the stand-in for the system's multimedia streams (FFmpeg underneath).
//
// Opening finds the first video stream (and the best audio stream, if any),
// sets up its decoder and the converters, and starts one decode thread that
// keeps a few pictures decoded ahead of the picture shown (kFramesAhead, up
// to twice that for small pictures, fewer when they would take more than
// the queue's byte budget) and the sound resampled to the mixer's 44,100 Hz
// stereo 16-bit form. A picture is converted to the frame layout when the
// caller reads the frame, straight into the caller's buffer, while the
// decode thread decodes the next. A blocking update that finds the next
// picture missing waits for the decode step under way, or decodes the
// picture on its own thread while the decode thread sleeps. The decode
// thread never takes any lock but the stream's own; pictures and samples
// pass under that lock.
//
// Time: microseconds on the movie's own time line (0 = its first frame),
// read from the clock interface while running and standing still while
// paused; audio follows that time. Frame pixels: rows of Width pixels in the
// chosen layout (kRgb565: 16-bit 5-6-5; kXrgb8888: 32-bit X8R8G8B8; kRgb24:
// 24-bit, red in the high byte of each little-endian triple), pitch rounded
// up to 4 bytes.
//
// Every file is untrusted: a damaged file fails to open or ends early, frame
// sizes are bounded (kMaxFrameWidth × kMaxFrameHeight) and so is the memory
// the decode thread holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace platform::movie {

// Pixel layouts of the frames handed out. kXrgb8888 pixels are B, G, R in
// their first three bytes and 0xFF in the fourth in every converted frame,
// whatever the source has.
enum class FrameLayout { kRgb565, kXrgb8888, kRgb24 };
int BytesPerPixel(FrameLayout layout);
// Row size in bytes of a frame `width` pixels wide: rounded up to 4.
int FramePitchFor(FrameLayout layout, int width);

// Why an open failed; each names the step that refused.
enum class OpenFailure {
  kNone,
  kOpenFile,    // the file cannot be opened or is no container we read
  kNoPicture,   // no video stream, or a frame size of 0 (or out of bounds)
  kDecoder,     // the decoder or a converter cannot be set up
};

// Outcome of an update request.
enum class UpdateStatus {
  kDone,     // a newer frame was due and is now the current frame
  kPending,  // the next frame is not decoded or not due yet
  kEnd,      // no further frame: the stream has ended (or failed)
};

#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
inline constexpr int kMaxFrameWidth = 1024;
inline constexpr int kMaxFrameHeight = 1024;
#else
inline constexpr int kMaxFrameWidth = 4096;
inline constexpr int kMaxFrameHeight = 4096;
#endif
inline constexpr int kFramesAhead = 4;
// Resampled sound kept ahead, in 44,100 Hz frames (two seconds).
inline constexpr int kAudioFramesAhead = 88200;

class MovieStream {
 public:
  // path: an engine path (Shift-JIS, drive form or relative to the engine's
  // current folder). Null on failure, with the reason in *failure.
  static std::unique_ptr<MovieStream> OpenPath(std::string_view path, FrameLayout layout,
                                               OpenFailure* failure);
  // The bytes of a movie file held in memory.
  static std::unique_ptr<MovieStream> OpenMemory(std::vector<uint8_t> bytes, FrameLayout layout,
                                                 OpenFailure* failure);
  ~MovieStream();
  MovieStream(const MovieStream&) = delete;
  MovieStream& operator=(const MovieStream&) = delete;

  int Width() const;
  int Height() const;
  FrameLayout Layout() const;
  int FramePitch() const;
  // Microseconds per frame (from the stream's frame rate; 0 when unknown).
  int64_t TimePerFrame() const;
  // Length of the movie in microseconds (0 when the file does not say).
  int64_t StopPosition() const;
  bool HasAudio() const;

  // Running: time advances with the clock. Pausing keeps the position.
  void Run();
  void Pause();
  bool Running() const;
  int64_t CurrentTime() const;
  // Moves to `microseconds` (clamped to 0 or more): frames and sound are
  // dropped and decoding starts again from the key frame before it; the
  // next update takes the frame due at that time.
  void Seek(int64_t microseconds);

  // Non-blocking update: kDone when the next frame is decoded and due at the
  // current time (the latest due frame becomes current); kPending otherwise
  // while frames may still come (the request stays outstanding, see
  // UpdateSignalled); kEnd when the stream has no further frame.
  UpdateStatus RequestUpdate();
  // The outstanding request's event: true once the next frame is decoded
  // and due (it is then current) or the stream has ended; the request is
  // then complete. False without an outstanding request.
  bool UpdateSignalled();
  // Blocking update: waits until the decoder has caught up with the current
  // time (never for the time itself), pictures and half a second of sound
  // beyond it, then takes the latest due frame.
  UpdateStatus WaitUpdate();

  // Waits (at most timeout_ms of real time) until `frames` frames are
  // decoded ahead or the stream has ended; for tests that need the decoder
  // ahead of a non-blocking update. False on time-out.
  bool WaitDecoded(int frames, int timeout_ms);

  // The current frame (zeroed before the first update): copies `rows` rows
  // of min(pitch, FramePitch()) bytes into dst.
  void CopyCurrentFrame(uint8_t* dst, int dst_pitch, int rows) const;
  // The current frame converted straight into *frame (grown to at least
  // FramePitch() × Height() bytes and a little slack for the converter),
  // when it has not been taken yet: true. False, and *frame left alone,
  // when it has (or there is no frame yet, or it cannot be converted). A
  // caller that always passes the same buffer holds the current frame in
  // it after every call.
  bool TakeCurrentFrame(std::vector<uint8_t>* frame);
  // The current frame converted straight into dst: `rows` rows `dst_pitch`
  // bytes apart (a row may be longer than the frame's). Nothing is written
  // past the frame's own pixels in each row, nor past the last row, so dst
  // needs no slack. False, with dst left alone, when the buffer is too
  // small (rows < Height(), or dst_pitch shorter than a row of pixels),
  // there is no frame yet, or it cannot be converted. Leaves what
  // TakeCurrentFrame hands over as it was.
  bool ConvertCurrentFrame(uint8_t* dst, int dst_pitch, int rows) const;
  // A rectangle of the current frame (left, top, width × height, inside
  // the frame) converted straight into dst, rows dst_pitch bytes apart,
  // the same pixels ConvertCurrentFrame writes there; nothing is written
  // outside the rectangle's own pixels. False, with dst left alone, when
  // the rectangle cannot be converted on its own: outside the frame, rows
  // that are not whole blocks of the converter, a layout packed after
  // conversion (kRgb565), a corner that splits the picture's colour
  // samples, a picture of another size than the frame, no frame yet, or a
  // failed conversion. Leaves what TakeCurrentFrame hands over as it was.
  // rows_done, when given, is called as bands of rows are written (their
  // first row in the rectangle and their number, in order, while they are
  // still in the processor's cache), for a caller that goes over them again.
  bool ConvertCurrentFrameRect(int left, int top, int width, int height, uint8_t* dst, int dst_pitch,
                               const std::function<void(int first, int rows)>& rows_done = {}) const;
  // Index of the current frame in decode order, -1 before the first.
  int64_t CurrentFrameNumber() const;

  // The movie's sound for the mixer: `frames` interleaved 44,100 Hz stereo
  // frames written into out (left as it is while paused or without sound).
  void RenderAudio(int16_t* out, int frames);

  struct State;

 private:
  explicit MovieStream(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform::movie
