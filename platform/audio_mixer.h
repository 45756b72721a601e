// The sound output: one output stream of 44,100 Hz, 16-bit signed stereo,
// and a mixer of our own that plays secondary buffers into it.
//
// A secondary buffer holds 8-bit (unsigned) or 16-bit (signed) PCM, mono or
// stereo, at any rate from 100 to 100,000 Hz. It plays once or looping; a
// one-shot stops at its end with its cursor back at 0; stopping keeps the
// cursor. Cursors are bytes into the buffer: the play cursor is the frame
// being heard, the write cursor the first frame not yet mixed (play + what
// the device has mixed ahead; equal to play in the test modes). Duplicates
// share the PCM bytes but have their own cursor, volume, pan and frequency.
//
// Gains: volume and pan are hundredths of a decibel (-10,000..0 and
// -10,000..10,000); a channel's amplitude is 10^(v/2000) held as a Q16
// factor (65,536 = unity, exact), and -10,000 is exact silence. Playback
// frequency 100..100,000 Hz (0 = the data's own rate) is reached by linear
// interpolation with a 32.32 fixed-point phase; the sum of all voices and
// outside sources saturates to 16 bits. Everything is integer arithmetic, so
// the output is the same on every run.
//
// Output modes:
//   kDevice an SDL audio device (the desktop's driver, else SDL's dummy
//           driver); a thread of SDL's mixes ahead as the device asks.
//   kPull   no device: nothing plays until the owner calls Pull(frames).
//   kClock  no device: before every operation the mixer catches up to the
//           time of the platform clock (44.1 frames per millisecond since
//           Open), so waits on a virtual clock hear exactly what they wait.
// The test modes keep the mixed frames for read-back (TakeOutput), up to ten
// minutes of them unread.
//
// Threads: every member takes the mixer's own mutex; the device thread takes
// only that mutex (never the library's lock). Outside sources render under
// the mutex and must not call back into the mixer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

inline constexpr uint32_t kMixerRate = 44100;
inline constexpr uint32_t kMixerMinFrequency = 100;
inline constexpr uint32_t kMixerMaxFrequency = 100000;
inline constexpr int32_t kMixerSilence = -10000;
// The largest secondary buffer in bytes.
inline constexpr uint32_t kMixerMaxBufferBytes = 0x7FFF0000u;

enum class AudioOutputMode { kDevice, kPull, kClock };

// The mode new mixers take (kDevice unless a test chose another).
void SetDefaultAudioOutputMode(AudioOutputMode mode);
AudioOutputMode DefaultAudioOutputMode();

struct AudioBufferFormat {
  uint16_t channels = 2;    // 1 or 2
  uint32_t rate = 44100;    // 100..100,000
  uint16_t bits = 16;       // 8 or 16
  uint16_t block_align = 4; // channels x bits / 8
};
// True when the mixer can play the format.
bool IsPlayableAudioFormat(const AudioBufferFormat& format);

// Status bits of a buffer.
inline constexpr int kAudioBufferPlaying = 1;
inline constexpr int kAudioBufferLooping = 4;

// A locked region: a copy of the buffer's bytes from offset, wrapping at the
// end into a second part at offset 0. Changes reach the buffer at Unlock.
struct AudioLock {
  int32_t buffer = -1;
  uint32_t offset = 0;
  uint32_t first_size = 0;
  uint32_t second_size = 0;
  std::vector<uint8_t> bytes;  // first part, then second part
  uint8_t* first() { return bytes.data(); }
  uint8_t* second() { return bytes.data() + first_size; }
};

// What opening the output did, for the start-up log.
struct AudioOpenReport {
  bool ok = false;
  bool fell_back_to_dummy = false;  // the desktop's driver failed
  std::string driver;               // SDL's driver name ("" in the test modes)
  std::string failure;              // SDL's error text when the desktop's driver failed
  std::vector<std::string> devices; // output device names (UTF-8)
};

// An outside sample source (movie audio, a synthesizer): renders `frames`
// interleaved 44,100 Hz stereo frames into `out`, which arrives zeroed; the
// mixer adds them into its sum.
using OutsideSampleSource = std::function<void(int16_t* out, int frames)>;

class AudioMixer {
 public:
  explicit AudioMixer(AudioOutputMode mode = DefaultAudioOutputMode());
  ~AudioMixer();
  AudioMixer(const AudioMixer&) = delete;
  AudioMixer& operator=(const AudioMixer&) = delete;

  AudioOutputMode mode() const { return mode_; }
  // Opens the device (kDevice) or starts the clock (kClock).
  AudioOpenReport Open();
  // Closes the device; buffers stay.
  void Close();

  // ---- secondary buffers; -1 for a buffer that does not exist ----
  // A buffer of `bytes` zero bytes (16-bit) or 0x80 bytes (8-bit); -1 for an
  // unplayable format or a size of 0 or above kMixerMaxBufferBytes.
  int32_t CreateBuffer(const AudioBufferFormat& format, uint32_t bytes);
  // A buffer sharing the source's PCM, stopped at cursor 0, full volume,
  // the data's own frequency.
  int32_t DuplicateBuffer(int32_t source);
  void ReleaseBuffer(int32_t buffer);
  int Play(int32_t buffer, bool looping);
  int Stop(int32_t buffer);
  int Status(int32_t buffer);  // status bits, -1 for no buffer
  int GetCursors(int32_t buffer, uint32_t* play, uint32_t* write);
  // Moves the cursor to bytes rounded down to a whole frame; -1 when bytes
  // is not inside the buffer.
  int SetPosition(int32_t buffer, uint32_t bytes);
  int SetVolume(int32_t buffer, int32_t hundredths_db);  // -10,000..0
  int SetPan(int32_t buffer, int32_t hundredths_db);     // -10,000..10,000
  int SetFrequency(int32_t buffer, uint32_t hertz);      // 0 or 100..100,000
  int GetFrequency(int32_t buffer, uint32_t* hertz);
  // Copies `bytes` from offset (0 < bytes <= buffer size, offset inside)
  // into lock. -1 on bad arguments.
  int Lock(int32_t buffer, uint32_t offset, uint32_t bytes, AudioLock* lock);
  // Writes the locked bytes back; -1 when the buffer is gone.
  int Unlock(AudioLock* lock);
  uint32_t BufferBytes(int32_t buffer);

  // ---- outside sources ----
  // A handle for DetachOutsideSource. After detaching, the source is never
  // called again.
  int AttachOutsideSource(OutsideSampleSource source);
  void DetachOutsideSource(int id);

  // ---- output ----
  // Mixes frames into out (interleaved stereo), advancing every playing
  // buffer. The device thread calls it; tests and benchmarks may too.
  void Render(int16_t* out, int frames);
  // Test modes: mixes frames into the kept output.
  void Pull(int64_t frames);
  // kClock: mixes up to the clock's time now (every member does this).
  void CatchUp();
  // The kept output (interleaved stereo), handed over and cleared.
  std::vector<int16_t> TakeOutput();
  int64_t FramesMixed();

 private:
  struct Voice;
  struct Device;
  Voice* FindLocked(int32_t buffer);
  void CatchUpLocked();
  void RenderLocked(int16_t* out, int frames);
  void PullLocked(int64_t frames);
  void MixVoice(Voice& voice, int32_t* sum, int frames);

  AudioOutputMode mode_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Voice>> voices_;  // index = buffer id
  std::vector<std::pair<int, OutsideSampleSource>> outside_;
  int next_outside_id_ = 1;
  std::unique_ptr<Device> device_;
  bool clock_running_ = false;
  uint64_t clock_start_us_ = 0;
  int64_t frames_mixed_ = 0;
  std::vector<int16_t> output_;
  std::vector<int32_t> sum_;
  std::vector<int16_t> outside_scratch_;
};

}  // namespace platform
