// MIDI rendering: a dense General MIDI song (eight channels of four-note
// chords, a new chord every 125 ms) rendered one second at a time in 441-frame
// blocks, through SmfPlayer.so's render entry (our sample-timed sequencer and
// output conversion) against FluidSynth's own file player driven by its
// sample timer and written to 16-bit stereo, with the same synthesizer
// settings and SoundFont. Reports reference time / our time and how many
// seconds of music one second of processor time renders.
#include <benchmark/benchmark.h>
#include <fluidsynth.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/smf_player_loader.h"
#include "tools/writers/smf_writer.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 441;
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

std::vector<uint8_t> DenseSong() {
  SmfTrackWriter track;
  track.Tempo(0, 500000);
  for (int ch = 0; ch < 8; ++ch) track.Program(0, ch, ch * 8);
  for (int step = 0; step < 64; ++step) {
    for (int ch = 0; ch < 8; ++ch) {
      for (int n = 0; n < 4; ++n) track.NoteOn(0, ch, 48 + (step * 5 + ch * 3 + n * 4) % 36, 90);
    }
    for (int ch = 0; ch < 8; ++ch) {
      for (int n = 0; n < 4; ++n) track.NoteOff(ch == 0 && n == 0 ? 120 : 0, ch, 48 + (step * 5 + ch * 3 + n * 4) % 36);
    }
  }
  track.EndOfTrack(0);
  return WriteSmf(0, 480, {track});
}

double g_ours_ns = 0;
double g_reference_ns = 0;

template <class F>
double TimedNs(benchmark::State& state, F&& body) {
  platform::Clock& clock = platform::GetClock();
  const uint64_t t0 = clock.Microseconds();
  for (auto _ : state) body();
  const uint64_t t1 = clock.Microseconds();
  return state.iterations() ? double(t1 - t0) * 1000.0 / double(state.iterations()) : 0.0;
}

void BM_SmfRender_Ours(benchmark::State& state) {
  platform::SmfPlayerEntries entries;
  std::string path;
  if (!platform::LoadSmfPlayer(platform::ExecutableFolder() + "/../game", &entries, &path) ||
      entries.Entry<SMPSetDeviceFn>(0)(-1, 0) != 0) {
    state.SkipWithError("no SmfPlayer.so or no SoundFont");
    return;
  }
  const std::vector<uint8_t> song = DenseSong();
  entries.Entry<SMPReadListFn>(4)(song.data(), static_cast<int32_t>(song.size()), 1, 1);
  entries.Entry<SMPPlayFn>(8)(1, 1, 0);
  std::vector<int16_t> out(2 * kBlock);
  g_ours_ns = TimedNs(state, [&] {
    for (int done = 0; done < kRate; done += kBlock) entries.render(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  });
  entries.Entry<SMPStopFn>(9)();
}
BENCHMARK(BM_SmfRender_Ours)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SmfRender_Reference(benchmark::State& state) {
  for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_settings_setint(settings, "synth.reverb.active", 0);
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setnum(settings, "synth.gain", 0.5);
  fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
  fluid_settings_setstr(settings, "player.timing-source", "sample");
  fluid_synth_t* synth = new_fluid_synth(settings);
  if (fluid_synth_sfload(synth, kSoundFont, 1) == FLUID_FAILED) {
    state.SkipWithError("no SoundFont");
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return;
  }
  fluid_player_t* player = new_fluid_player(synth);
  const std::vector<uint8_t> song = DenseSong();
  fluid_player_add_mem(player, song.data(), song.size());
  fluid_player_set_loop(player, -1);
  fluid_player_play(player);
  std::vector<int16_t> out(2 * kBlock);
  g_reference_ns = TimedNs(state, [&] {
    for (int done = 0; done < kRate; done += kBlock) fluid_synth_write_s16(synth, kBlock, out.data(), 0, 2, out.data(), 1, 2);
    benchmark::DoNotOptimize(out.data());
  });
  fluid_player_stop(player);
  delete_fluid_player(player);
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
}
BENCHMARK(BM_SmfRender_Reference)->Unit(benchmark::kMillisecond)->MinTime(2.0);

struct Summary {
  ~Summary() {
    if (g_ours_ns <= 0 || g_reference_ns <= 0) return;
    std::printf("\nMIDI rendering vs FluidSynth's own player (time ratio reference / ours, above 1 = ours faster)\n");
    std::printf("  one second of a dense song: %.2f (ours %.1f ms, reference %.1f ms; %.0f x real time)\n",
                g_reference_ns / g_ours_ns, g_ours_ns / 1e6, g_reference_ns / 1e6, 1e9 / g_ours_ns);
  }
} g_summary;

}  // namespace
