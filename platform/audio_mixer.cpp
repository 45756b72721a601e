// The mixer and its SDL audio device.
#include "platform/audio_mixer.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/clock.h"

namespace platform {

namespace {

std::atomic<AudioOutputMode> g_default_mode{AudioOutputMode::kDevice};

constexpr int kChunkFrames = 1024;
constexpr size_t kMaxKeptSamples = size_t{2} * kMixerRate * 600;
constexpr uint64_t kUnitStep = uint64_t{1} << 32;

// Q16 amplitude of a level in hundredths of a decibel; exact unity at 0 and
// exact silence at -10,000 and below.
int32_t GainOf(int32_t hundredths_db) {
  if (hundredths_db >= 0) return 65536;
  if (hundredths_db <= kMixerSilence) return 0;
  return static_cast<int32_t>(std::lround(std::pow(10.0, hundredths_db / 2000.0) * 65536.0));
}

int16_t Saturate(int32_t value) {
  return static_cast<int16_t>(value > 32767 ? 32767 : (value < -32768 ? -32768 : value));
}

}  // namespace

void SetDefaultAudioOutputMode(AudioOutputMode mode) { g_default_mode.store(mode); }
AudioOutputMode DefaultAudioOutputMode() { return g_default_mode.load(); }

bool IsPlayableAudioFormat(const AudioBufferFormat& format) {
  if (format.channels != 1 && format.channels != 2) return false;
  if (format.bits != 8 && format.bits != 16) return false;
  if (format.rate < kMixerMinFrequency || format.rate > kMixerMaxFrequency) return false;
  return format.block_align == format.channels * format.bits / 8;
}

struct AudioMixer::Voice {
  std::shared_ptr<std::vector<uint8_t>> data;  // shared with duplicates
  AudioBufferFormat format;
  uint32_t frames = 0;
  bool playing = false;
  bool looping = false;
  uint64_t position = 0;  // 32.32 frames
  uint64_t mark = 0;      // position when the device's current chunk began
  int32_t volume = 0;
  int32_t pan = 0;
  uint32_t frequency = 0;  // 0 = the data's own
  int32_t gain_left = 65536;
  int32_t gain_right = 65536;
  uint64_t step = kUnitStep;

  void UpdateGains() {
    gain_left = GainOf(volume + std::min(0, -pan));
    gain_right = GainOf(volume + std::min(0, pan));
  }
  void UpdateStep() {
    const uint64_t hertz = frequency == 0 ? format.rate : frequency;
    step = (hertz << 32) / kMixerRate;
  }
};

struct AudioMixer::Device {
  SDL_AudioDeviceID id = 0;
  bool driver_forced = false;  // opened through SDL_AudioInit("dummy")
};

namespace {

// One frame of the voice's data as a stereo pair of 16-bit values.
template <int Bits, int Channels>
inline void Fetch(const uint8_t* data, uint32_t frame, int32_t* left, int32_t* right) {
  if constexpr (Bits == 16) {
    const uint8_t* p = data + static_cast<size_t>(frame) * (2 * Channels);
    *left = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    *right = Channels == 2 ? static_cast<int16_t>(static_cast<uint16_t>(p[2] | (p[3] << 8))) : *left;
  } else {
    const uint8_t* p = data + static_cast<size_t>(frame) * Channels;
    *left = (static_cast<int32_t>(p[0]) - 128) * 256;
    *right = Channels == 2 ? (static_cast<int32_t>(p[1]) - 128) * 256 : *left;
  }
}

// Mixes `count` frames of a voice playing at its own rate, frames first..,
// all inside the data.
template <int Bits, int Channels>
void MixDirect(const uint8_t* data, uint32_t first, int count, int32_t gl, int32_t gr, int32_t* sum) {
  if constexpr (Bits == 16 && Channels == 2) {
    const uint8_t* p = data + static_cast<size_t>(first) * 4;
    for (int i = 0; i < count; ++i) {
      int16_t l, r;
      std::memcpy(&l, p + 4 * i, 2);
      std::memcpy(&r, p + 4 * i + 2, 2);
      sum[2 * i] += (l * gl) >> 16;
      sum[2 * i + 1] += (r * gr) >> 16;
    }
  } else {
    for (int i = 0; i < count; ++i) {
      int32_t l, r;
      Fetch<Bits, Channels>(data, first + static_cast<uint32_t>(i), &l, &r);
      sum[2 * i] += (l * gl) >> 16;
      sum[2 * i + 1] += (r * gr) >> 16;
    }
  }
}

// Mixes `count` frames by linear interpolation from position on; every
// frame read (and the one after it) lies inside the data.
template <int Bits, int Channels>
uint64_t MixResampled(const uint8_t* data, uint64_t position, uint64_t step, int count, int32_t gl, int32_t gr,
                      int32_t* sum) {
  for (int i = 0; i < count; ++i) {
    const uint32_t frame = static_cast<uint32_t>(position >> 32);
    const int32_t frac = static_cast<int32_t>((position >> 17) & 0x7FFF);  // 15 bits
    int32_t al, ar, bl, br;
    Fetch<Bits, Channels>(data, frame, &al, &ar);
    Fetch<Bits, Channels>(data, frame + 1, &bl, &br);
    const int32_t l = al + (((bl - al) * frac) >> 15);
    const int32_t r = ar + (((br - ar) * frac) >> 15);
    sum[2 * i] += (l * gl) >> 16;
    sum[2 * i + 1] += (r * gr) >> 16;
    position += step;
  }
  return position;
}

using DirectFn = void (*)(const uint8_t*, uint32_t, int, int32_t, int32_t, int32_t*);
using ResampledFn = uint64_t (*)(const uint8_t*, uint64_t, uint64_t, int, int32_t, int32_t, int32_t*);
using FetchFn = void (*)(const uint8_t*, uint32_t, int32_t*, int32_t*);

template <int Bits, int Channels>
struct Kernels {
  static constexpr DirectFn direct = &MixDirect<Bits, Channels>;
  static constexpr ResampledFn resampled = &MixResampled<Bits, Channels>;
  static constexpr FetchFn fetch = &Fetch<Bits, Channels>;
};

}  // namespace

AudioMixer::AudioMixer(AudioOutputMode mode) : mode_(mode) {
  sum_.resize(2 * kChunkFrames);
  outside_scratch_.resize(2 * kChunkFrames);
}

AudioMixer::~AudioMixer() { Close(); }

static void DeviceCallback(void* user, Uint8* stream, int length) {
  static_cast<AudioMixer*>(user)->Render(reinterpret_cast<int16_t*>(stream), length / 4);
}

AudioOpenReport AudioMixer::Open() {
  AudioOpenReport report;
  if (mode_ == AudioOutputMode::kPull) {
    report.ok = true;
    return report;
  }
  if (mode_ == AudioOutputMode::kClock) {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_start_us_ = GetClock().Microseconds();
    frames_mixed_ = 0;
    clock_running_ = true;
    report.ok = true;
    return report;
  }
  if (device_) {
    report.ok = true;
    return report;
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(kMixerRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = &DeviceCallback;
  want.userdata = this;
  auto device = std::make_unique<Device>();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    device->id = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device->id == 0) {
      report.failure = SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
  } else {
    report.failure = SDL_GetError();
  }
  if (device->id == 0) {
    report.fell_back_to_dummy = true;
    if (SDL_AudioInit("dummy") != 0) return report;
    device->driver_forced = true;
    device->id = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device->id == 0) {
      SDL_AudioQuit();
      return report;
    }
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  report.driver = driver != nullptr ? driver : "";
  const int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count; ++i) {
    const char* name = SDL_GetAudioDeviceName(i, 0);
    report.devices.emplace_back(name != nullptr ? name : "");
  }
  device_ = std::move(device);
  SDL_PauseAudioDevice(device_->id, 0);
  report.ok = true;
  return report;
}

void AudioMixer::Close() {
  std::unique_ptr<Device> device;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    CatchUpLocked();
    clock_running_ = false;
    device = std::move(device_);
  }
  if (!device) return;
  SDL_CloseAudioDevice(device->id);  // waits for the callback to return
  if (device->driver_forced) {
    SDL_AudioQuit();
  } else {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

AudioMixer::Voice* AudioMixer::FindLocked(int32_t buffer) {
  if (buffer < 0 || static_cast<size_t>(buffer) >= voices_.size()) return nullptr;
  return voices_[static_cast<size_t>(buffer)].get();
}

int32_t AudioMixer::CreateBuffer(const AudioBufferFormat& format, uint32_t bytes) {
  if (!IsPlayableAudioFormat(format) || bytes < format.block_align || bytes > kMixerMaxBufferBytes) return -1;
  auto voice = std::make_unique<Voice>();
  try {
    voice->data = std::make_shared<std::vector<uint8_t>>(bytes, format.bits == 8 ? 0x80 : 0x00);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  voice->format = format;
  voice->frames = bytes / format.block_align;
  voice->UpdateStep();
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  for (size_t i = 0; i < voices_.size(); ++i) {
    if (!voices_[i]) {
      voices_[i] = std::move(voice);
      return static_cast<int32_t>(i);
    }
  }
  voices_.push_back(std::move(voice));
  return static_cast<int32_t>(voices_.size() - 1);
}

int32_t AudioMixer::DuplicateBuffer(int32_t source) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* original = FindLocked(source);
  if (original == nullptr) return -1;
  auto voice = std::make_unique<Voice>();
  voice->data = original->data;
  voice->format = original->format;
  voice->frames = original->frames;
  voice->UpdateStep();
  for (size_t i = 0; i < voices_.size(); ++i) {
    if (!voices_[i]) {
      voices_[i] = std::move(voice);
      return static_cast<int32_t>(i);
    }
  }
  voices_.push_back(std::move(voice));
  return static_cast<int32_t>(voices_.size() - 1);
}

void AudioMixer::ReleaseBuffer(int32_t buffer) {
  std::unique_ptr<Voice> gone;  // freed outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  if (FindLocked(buffer) == nullptr) return;
  gone = std::move(voices_[static_cast<size_t>(buffer)]);
}

int AudioMixer::Play(int32_t buffer, bool looping) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  voice->playing = true;
  voice->looping = looping;
  voice->mark = voice->position;
  return 0;
}

int AudioMixer::Stop(int32_t buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  voice->playing = false;
  voice->mark = voice->position;
  return 0;
}

int AudioMixer::Status(int32_t buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  if (!voice->playing) return 0;
  return kAudioBufferPlaying | (voice->looping ? kAudioBufferLooping : 0);
}

int AudioMixer::GetCursors(int32_t buffer, uint32_t* play, uint32_t* write) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  const uint32_t align = voice->format.block_align;
  if (play != nullptr) *play = static_cast<uint32_t>(voice->mark >> 32) * align;
  if (write != nullptr) *write = static_cast<uint32_t>(voice->position >> 32) * align;
  return 0;
}

int AudioMixer::SetPosition(int32_t buffer, uint32_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  const uint32_t frame = bytes / voice->format.block_align;
  if (frame >= voice->frames) return -1;
  voice->position = static_cast<uint64_t>(frame) << 32;
  voice->mark = voice->position;
  return 0;
}

int AudioMixer::SetVolume(int32_t buffer, int32_t hundredths_db) {
  if (hundredths_db > 0 || hundredths_db < kMixerSilence) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  voice->volume = hundredths_db;
  voice->UpdateGains();
  return 0;
}

int AudioMixer::SetPan(int32_t buffer, int32_t hundredths_db) {
  if (hundredths_db > -kMixerSilence || hundredths_db < kMixerSilence) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  voice->pan = hundredths_db;
  voice->UpdateGains();
  return 0;
}

int AudioMixer::SetFrequency(int32_t buffer, uint32_t hertz) {
  if (hertz != 0 && (hertz < kMixerMinFrequency || hertz > kMixerMaxFrequency)) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  voice->frequency = hertz;
  voice->UpdateStep();
  return 0;
}

int AudioMixer::GetFrequency(int32_t buffer, uint32_t* hertz) {
  std::lock_guard<std::mutex> lock(mutex_);
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  if (hertz != nullptr) *hertz = voice->frequency == 0 ? voice->format.rate : voice->frequency;
  return 0;
}

uint32_t AudioMixer::BufferBytes(int32_t buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  Voice* voice = FindLocked(buffer);
  return voice == nullptr ? 0 : static_cast<uint32_t>(voice->data->size());
}

int AudioMixer::Lock(int32_t buffer, uint32_t offset, uint32_t bytes, AudioLock* lock_out) {
  if (lock_out == nullptr) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(buffer);
  if (voice == nullptr) return -1;
  const auto size = static_cast<uint32_t>(voice->data->size());
  if (bytes == 0 || bytes > size || offset >= size) return -1;
  lock_out->buffer = buffer;
  lock_out->offset = offset;
  lock_out->first_size = std::min(bytes, size - offset);
  lock_out->second_size = bytes - lock_out->first_size;
  const uint8_t* data = voice->data->data();
  lock_out->bytes.assign(data + offset, data + offset + lock_out->first_size);
  lock_out->bytes.insert(lock_out->bytes.end(), data, data + lock_out->second_size);
  return 0;
}

int AudioMixer::Unlock(AudioLock* lock_in) {
  if (lock_in == nullptr) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  Voice* voice = FindLocked(lock_in->buffer);
  if (voice == nullptr) return -1;
  const auto size = static_cast<uint32_t>(voice->data->size());
  if (lock_in->offset >= size || lock_in->first_size > size - lock_in->offset ||
      lock_in->second_size > size - lock_in->first_size ||
      lock_in->bytes.size() != static_cast<size_t>(lock_in->first_size) + lock_in->second_size) {
    return -1;
  }
  uint8_t* data = voice->data->data();
  std::memcpy(data + lock_in->offset, lock_in->bytes.data(), lock_in->first_size);
  std::memcpy(data, lock_in->bytes.data() + lock_in->first_size, lock_in->second_size);
  return 0;
}

int AudioMixer::AttachOutsideSource(OutsideSampleSource source) {
  if (!source) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  const int id = next_outside_id_++;
  outside_.emplace_back(id, std::move(source));
  return id;
}

void AudioMixer::DetachOutsideSource(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  std::erase_if(outside_, [id](const auto& entry) { return entry.first == id; });
}

void AudioMixer::MixVoice(Voice& voice, int32_t* sum, int frames) {
  const uint8_t* data = voice.data->data();
  const uint32_t total = voice.frames;
  DirectFn direct;
  ResampledFn resampled;
  FetchFn fetch;
  if (voice.format.bits == 16) {
    if (voice.format.channels == 2) {
      direct = Kernels<16, 2>::direct, resampled = Kernels<16, 2>::resampled, fetch = Kernels<16, 2>::fetch;
    } else {
      direct = Kernels<16, 1>::direct, resampled = Kernels<16, 1>::resampled, fetch = Kernels<16, 1>::fetch;
    }
  } else if (voice.format.channels == 2) {
    direct = Kernels<8, 2>::direct, resampled = Kernels<8, 2>::resampled, fetch = Kernels<8, 2>::fetch;
  } else {
    direct = Kernels<8, 1>::direct, resampled = Kernels<8, 1>::resampled, fetch = Kernels<8, 1>::fetch;
  }
  const int32_t gl = voice.gain_left;
  const int32_t gr = voice.gain_right;
  const uint64_t end = static_cast<uint64_t>(total) << 32;
  int done = 0;
  while (done < frames && voice.playing) {
    const uint32_t frame = static_cast<uint32_t>(voice.position >> 32);
    int run;
    if (voice.step == kUnitStep && (voice.position & 0xFFFFFFFFu) == 0) {
      run = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(frames - done), total - frame));
      direct(data, frame, run, gl, gr, sum + 2 * done);
      voice.position += static_cast<uint64_t>(run) << 32;
    } else if (frame + 1 < total) {
      // Frames whose successor lies inside the data.
      const uint64_t limit = static_cast<uint64_t>(total - 1) << 32;
      const uint64_t steps = (limit - voice.position + voice.step - 1) / voice.step;
      run = static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(frames - done), steps));
      voice.position = resampled(data, voice.position, voice.step, run, gl, gr, sum + 2 * done);
    } else {
      // The last frame: it leads into the first again when looping, else it
      // holds.
      int32_t al, ar, bl, br;
      fetch(data, frame, &al, &ar);
      if (voice.looping) {
        fetch(data, 0, &bl, &br);
      } else {
        bl = al, br = ar;
      }
      const int32_t f = static_cast<int32_t>((voice.position >> 17) & 0x7FFF);
      sum[2 * done] += ((al + (((bl - al) * f) >> 15)) * gl) >> 16;
      sum[2 * done + 1] += ((ar + (((br - ar) * f) >> 15)) * gr) >> 16;
      voice.position += voice.step;
      run = 1;
    }
    done += run;
    if (voice.position >= end) {
      if (voice.looping) {
        voice.position %= end;
      } else {
        voice.playing = false;
        voice.position = 0;
      }
    }
  }
}

void AudioMixer::RenderLocked(int16_t* out, int frames) {
  const bool ahead = mode_ == AudioOutputMode::kDevice;
  while (frames > 0) {
    const int count = std::min(frames, kChunkFrames);
    std::fill(sum_.begin(), sum_.begin() + 2 * count, 0);
    for (auto& voice : voices_) {
      if (!voice || !voice->playing) continue;
      if (ahead) voice->mark = voice->position;
      MixVoice(*voice, sum_.data(), count);
      if (!voice->playing) voice->mark = voice->position;
    }
    for (auto& [id, source] : outside_) {
      std::fill(outside_scratch_.begin(), outside_scratch_.begin() + 2 * count, int16_t{0});
      source(outside_scratch_.data(), count);
      for (int i = 0; i < 2 * count; ++i) sum_[static_cast<size_t>(i)] += outside_scratch_[static_cast<size_t>(i)];
    }
    for (int i = 0; i < 2 * count; ++i) out[i] = Saturate(sum_[static_cast<size_t>(i)]);
    if (!ahead) {
      for (auto& voice : voices_) {
        if (voice) voice->mark = voice->position;
      }
    }
    frames_mixed_ += count;
    out += 2 * count;
    frames -= count;
  }
}

void AudioMixer::Render(int16_t* out, int frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  RenderLocked(out, frames);
}

void AudioMixer::PullLocked(int64_t frames) {
  while (frames > 0) {
    const int count = static_cast<int>(std::min<int64_t>(frames, 1 << 16));
    if (output_.size() >= kMaxKeptSamples) {
      // Past ten minutes unread, the output is mixed and dropped.
      std::vector<int16_t> scratch(2 * static_cast<size_t>(count));
      RenderLocked(scratch.data(), count);
      frames -= count;
      continue;
    }
    const size_t at = output_.size();
    output_.resize(at + 2 * static_cast<size_t>(count));
    RenderLocked(output_.data() + at, count);
    frames -= count;
  }
}

void AudioMixer::Pull(int64_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (mode_ == AudioOutputMode::kDevice) return;
  PullLocked(frames);
}

void AudioMixer::CatchUpLocked() {
  if (mode_ != AudioOutputMode::kClock || !clock_running_) return;
  const uint64_t now = GetClock().Microseconds();
  if (now <= clock_start_us_) return;
  const auto due = static_cast<int64_t>((now - clock_start_us_) * kMixerRate / 1000000u);
  if (due > frames_mixed_) PullLocked(due - frames_mixed_);
}

void AudioMixer::CatchUp() {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
}

std::vector<int16_t> AudioMixer::TakeOutput() {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  std::vector<int16_t> out;
  out.swap(output_);
  return out;
}

int64_t AudioMixer::FramesMixed() {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUpLocked();
  return frames_mixed_;
}

}  // namespace platform
