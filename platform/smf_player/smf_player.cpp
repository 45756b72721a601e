// SmfPlayer.so: plays Standard MIDI Files through a FluidSynth synthesizer
// with a General MIDI SoundFont. Playback is sample-timed: the sequencer
// advances only while SMPRenderSamples renders, dispatching each event at the
// sample its time falls on, so the output depends on nothing but the calls
// made (no device, no timer thread). One mutex guards everything; the
// mixer's thread renders while the game's thread calls the other entries.
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/smf_player/smf_file.h"
#include "platform/smf_player/smf_player_entries.h"

#define SMP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The SoundFonts tried in order when VESK_SOUNDFONT does not name one.
constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};
constexpr int kMaxEntries = 4096;
constexpr int kChunkFrames = 256;
constexpr int kDrumChannel = 9;
constexpr double kRate = kSmfPlayerSampleRate;

struct Player {
  std::mutex mutex;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  std::map<int32_t, smf::Song> entries;
  std::string list_text;

  // Sequencer.
  const smf::Song* song = nullptr;
  int32_t number = -1;
  size_t next = 0;
  double tick = 0;
  uint32_t tempo = smf::kDefaultTempo;
  bool playing = false;
  bool paused = false;
  bool loop = false;

  double speed = 1.0;      // tempo depth as a factor
  double amplitude = 1.0;  // master volume
  int transpose = 0;
  int sounding[16][128];   // the key each held note sounds at, -1 none
};

Player& State() {
  static Player player;
  return player;
}

void ClearSounding(Player& p) {
  for (auto& channel : p.sounding) std::fill(std::begin(channel), std::end(channel), -1);
}

void ReleaseSynth(Player& p) {
  if (p.synth != nullptr) delete_fluid_synth(p.synth);
  if (p.settings != nullptr) delete_fluid_settings(p.settings);
  p.synth = nullptr;
  p.settings = nullptr;
}

void SilenceLog() {
  for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
}

bool MakeSynth(Player& p) {
  SilenceLog();
  p.settings = new_fluid_settings();
  if (p.settings == nullptr) return false;
  fluid_settings_setnum(p.settings, "synth.sample-rate", kRate);
  fluid_settings_setint(p.settings, "synth.reverb.active", 0);
  fluid_settings_setint(p.settings, "synth.chorus.active", 0);
  fluid_settings_setint(p.settings, "synth.threadsafe-api", 0);
  fluid_settings_setint(p.settings, "synth.cpu-cores", 1);
  fluid_settings_setnum(p.settings, "synth.gain", 0.5);
  // Samples are read when a preset first plays, not all at start-up.
  fluid_settings_setint(p.settings, "synth.dynamic-sample-loading", 1);
  p.synth = new_fluid_synth(p.settings);
  if (p.synth == nullptr) return false;

  std::vector<std::string> candidates;
  if (const char* named = std::getenv("VESK_SOUNDFONT")) {
    candidates.emplace_back(named);
  } else {
    candidates.assign(std::begin(kSoundFonts), std::end(kSoundFonts));
  }
  for (const std::string& path : candidates) {
    if (fluid_is_soundfont(path.c_str()) && fluid_synth_sfload(p.synth, path.c_str(), 1) != FLUID_FAILED) return true;
  }
  return false;
}

void StopPlayback(Player& p) {
  p.playing = false;
  p.paused = false;
  p.song = nullptr;
  p.number = -1;
  if (p.synth != nullptr) fluid_synth_all_sounds_off(p.synth, -1);
  ClearSounding(p);
}

void NoteOff(Player& p, int channel, int key) {
  const int sounded = p.sounding[channel][key];
  if (sounded < 0) return;
  fluid_synth_noteoff(p.synth, channel, sounded);
  p.sounding[channel][key] = -1;
}

// Applies one event; notes only when with_notes.
void Apply(Player& p, const smf::Event& e, bool with_notes) {
  const int channel = e.status & 0x0F;
  switch (e.status & 0xF0) {
    case 0x80:
      if (with_notes) NoteOff(p, channel, e.data1);
      return;
    case 0x90: {
      if (!with_notes) return;
      NoteOff(p, channel, e.data1);
      if (e.data2 == 0) return;
      const int key = channel == kDrumChannel ? e.data1 : e.data1 + p.transpose;
      if (key < 0 || key > 127) return;
      fluid_synth_noteon(p.synth, channel, key, e.data2);
      p.sounding[channel][e.data1] = key;
      return;
    }
    case 0xA0: fluid_synth_key_pressure(p.synth, channel, e.data1, e.data2); return;
    case 0xB0: fluid_synth_cc(p.synth, channel, e.data1, e.data2); return;
    case 0xC0: fluid_synth_program_change(p.synth, channel, e.data1); return;
    case 0xD0: fluid_synth_channel_pressure(p.synth, channel, e.data1); return;
    case 0xE0: fluid_synth_pitch_bend(p.synth, channel, e.data1 | e.data2 << 7); return;
    default: break;
  }
  if (e.status == 0xFF && e.data1 == 0x51) {
    p.tempo = e.tempo;
  } else if (e.status == 0xF0 && p.song != nullptr && e.data_length > 1) {
    // The stored bytes end with 0xF7, which the synthesizer does not take.
    const auto* data = reinterpret_cast<const char*>(p.song->bytes.data() + e.data_offset);
    int length = static_cast<int>(e.data_length);
    if (static_cast<uint8_t>(data[length - 1]) == 0xF7) --length;
    fluid_synth_sysex(p.synth, data, length, nullptr, nullptr, nullptr, 0);
  }
}

double TicksPerFrame(const Player& p) {
  return p.speed / (smf::SecondsPerTick(p.song->division, p.tempo) * kRate);
}

void Restart(Player& p, double start_tick) {
  // The reset keeps voices that an earlier stop had only asked to end.
  fluid_synth_system_reset(p.synth);
  fluid_synth_all_sounds_off(p.synth, -1);
  ClearSounding(p);
  p.next = 0;
  p.tempo = smf::kDefaultTempo;
  const std::vector<smf::Event>& events = p.song->events;
  while (p.next < events.size() && static_cast<double>(events[p.next].tick) < start_tick) {
    Apply(p, events[p.next], false);
    ++p.next;
  }
  p.tick = start_tick;
}

// Dispatches the events due now and handles the end; the frames until the
// next event or the end (at least 1), or 0 when playback ended.
int FramesToNextEvent(Player& p) {
  for (int restarts = 0; restarts < 2; ++restarts) {
    const std::vector<smf::Event>& events = p.song->events;
    while (p.next < events.size() && static_cast<double>(events[p.next].tick) <= p.tick + 1e-9) {
      Apply(p, events[p.next], true);
      ++p.next;
    }
    const double target = p.next < events.size() ? static_cast<double>(events[p.next].tick)
                                                  : static_cast<double>(p.song->end_tick);
    if (target > p.tick + 1e-9) {
      const double frames = std::ceil((target - p.tick) / TicksPerFrame(p) - 1e-9);
      return frames > kChunkFrames ? kChunkFrames : std::max(1, static_cast<int>(frames));
    }
    if (p.next < events.size()) continue;
    // The end: loop from the top, or stop and let the notes ring out.
    if (!p.loop || p.song->end_tick == 0) {
      fluid_synth_all_notes_off(p.synth, -1);
      ClearSounding(p);
      p.playing = false;
      return 0;
    }
    fluid_synth_all_notes_off(p.synth, -1);
    Restart(p, 0);
  }
  return 0;
}

void Render(Player& p, int16_t* out, int frames) {
  float left[kChunkFrames];
  float right[kChunkFrames];
  int done = 0;
  while (done < frames) {
    int chunk = std::min(kChunkFrames, frames - done);
    const bool advancing = p.playing && !p.paused && p.song != nullptr;
    if (advancing) {
      const int until_event = FramesToNextEvent(p);
      if (until_event > 0) chunk = std::min(chunk, until_event);
    }
    fluid_synth_write_float(p.synth, chunk, left, 0, 1, right, 0, 1);
    if (advancing && p.playing) p.tick += chunk * TicksPerFrame(p);
    for (int i = 0; i < chunk; ++i) {
      const double l = std::clamp(static_cast<double>(left[i]) * p.amplitude * 32767.0, -32768.0, 32767.0);
      const double r = std::clamp(static_cast<double>(right[i]) * p.amplitude * 32767.0, -32768.0, 32767.0);
      out[2 * (done + i)] = static_cast<int16_t>(std::lrint(l));
      out[2 * (done + i) + 1] = static_cast<int16_t>(std::lrint(r));
    }
    done += chunk;
  }
}

int32_t StoreSong(Player& p, const void* data, int64_t size, int32_t number) {
  if (data == nullptr || size <= 0 || static_cast<uint64_t>(size) > smf::kMaxFileBytes) return -1;
  if (p.entries.count(number) == 0 && p.entries.size() >= static_cast<size_t>(kMaxEntries)) return -1;
  smf::Song song;
  if (smf::ReadSong(static_cast<const uint8_t*>(data), static_cast<size_t>(size), &song) != smf::Error::kNone) {
    return -1;
  }
  if (p.number == number) StopPlayback(p);
  p.entries[number] = std::move(song);
  return 0;
}

int32_t StoreFile(Player& p, const char* path, int32_t number) {
  if (path == nullptr) return -1;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return -1;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (bytes.size() + got > smf::kMaxFileBytes) {
      std::fclose(file);
      return -1;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return StoreSong(p, bytes.data(), static_cast<int64_t>(bytes.size()), number);
}

}  // namespace

SMP_EXPORT int32_t SMPSetDevice(int32_t, int32_t) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  if (p.synth != nullptr) return 0;
  ClearSounding(p);
  if (MakeSynth(p)) return 0;
  ReleaseSynth(p);
  return -1;
}

SMP_EXPORT int32_t SMPLoadFile(const char* path, int32_t) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  return StoreFile(p, path, 0);
}

SMP_EXPORT int32_t SMPReadMemory(const void* data, int32_t size, int32_t) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  return StoreSong(p, data, size, 0);
}

SMP_EXPORT int32_t SMPAddList(const char* path, int32_t, int32_t number) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  return StoreFile(p, path, number);
}

SMP_EXPORT int32_t SMPReadList(const void* data, int32_t size, int32_t, int32_t number) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  return StoreSong(p, data, size, number);
}

SMP_EXPORT void SMPFlushList() {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  StopPlayback(p);
  p.entries.clear();
}

SMP_EXPORT void SMPDeleteList(int32_t number) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  if (p.number == number) StopPlayback(p);
  p.entries.erase(number);
}

SMP_EXPORT const char* SMPViewList() {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  p.list_text.clear();
  for (const auto& [number, song] : p.entries) {
    char line[64];
    std::snprintf(line, sizeof line, "%d: %zu\n", static_cast<int>(number), song.bytes.size());
    p.list_text += line;
  }
  return p.list_text.c_str();
}

SMP_EXPORT int32_t SMPPlay(int32_t option, int32_t number, int32_t start_ms) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  const auto found = p.entries.find(number);
  if (p.synth == nullptr || found == p.entries.end()) return -1;
  StopPlayback(p);
  p.song = &found->second;
  p.number = number;
  p.loop = (option & 1) != 0;
  const double start = start_ms > 0 ? smf::TickAtSeconds(*p.song, start_ms / 1000.0) : 0.0;
  Restart(p, std::min(start, static_cast<double>(p.song->end_tick)));
  p.playing = true;
  return 0;
}

SMP_EXPORT void SMPStop() {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  StopPlayback(p);
}

SMP_EXPORT void SMPPause() {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  if (!p.playing) return;
  p.paused = !p.paused;
  if (p.paused && p.synth != nullptr) {
    fluid_synth_all_sounds_off(p.synth, -1);
    ClearSounding(p);
  }
}

SMP_EXPORT void SMPSendReset(int32_t) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  if (p.synth != nullptr) fluid_synth_system_reset(p.synth);
  ClearSounding(p);
}

SMP_EXPORT void SMPMasterVolume(int32_t volume) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  p.amplitude = std::clamp((2500.0 + volume) / 2500.0, 0.0, 1.0);
}

SMP_EXPORT void SMPTempoDepth(int32_t depth) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  const double percent = depth >= 0 ? 100.0 + 2.0 * depth : (200.0 + depth) / 2.0;
  p.speed = std::clamp(percent, 1.0, 10000.0) / 100.0;
}

SMP_EXPORT void SMPPitchDepth(int32_t depth) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  p.transpose = std::clamp(depth, -24, 24);
}

SMP_EXPORT int32_t SMPGetSMFDatas(int32_t number, int32_t* out) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  const auto found = p.entries.find(number);
  if (found == p.entries.end() || out == nullptr) return -1;
  const smf::Song& song = found->second;
  out[0] = song.format;
  out[1] = song.track_count;
  out[2] = song.division;
  const double ms = std::round(smf::SecondsAtTick(song, static_cast<double>(song.end_tick)) * 1000.0);
  out[3] = ms > 2147483647.0 ? 2147483647 : static_cast<int32_t>(ms);
  return 0;
}

SMP_EXPORT int32_t SMPGetStatus(int32_t what) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  switch (what) {
    case 0: return p.playing ? (p.paused ? 2 : 1) : 0;
    case 1: {
      if (!p.playing || p.song == nullptr) return 0;
      const double ms = std::round(smf::SecondsAtTick(*p.song, p.tick) * 1000.0);
      return ms > 2147483647.0 ? 2147483647 : static_cast<int32_t>(ms);
    }
    case 2: return p.number;
    default: return -1;
  }
}

SMP_EXPORT void SMPAddDLS(const char* path) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  if (p.synth != nullptr && path != nullptr && fluid_is_soundfont(path)) fluid_synth_sfload(p.synth, path, 1);
}

SMP_EXPORT void SMPCofigDlg(int32_t) {}

SMP_EXPORT void SMPFree() {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  StopPlayback(p);
  p.entries.clear();
  p.list_text.clear();
  ReleaseSynth(p);
  p.speed = 1.0;
  p.amplitude = 1.0;
  p.transpose = 0;
}

SMP_EXPORT void SMPRenderSamples(int16_t* out, int32_t frames) {
  Player& p = State();
  std::lock_guard lock(p.mutex);
  if (out == nullptr || frames <= 0) return;
  if (p.synth == nullptr) {
    std::memset(out, 0, static_cast<size_t>(frames) * 2 * sizeof(int16_t));
    return;
  }
  Render(p, out, frames);
}
