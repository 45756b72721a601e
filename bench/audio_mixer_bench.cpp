// The mixer: 32 playing 16-bit stereo buffers at mixed volumes, one second
// of output, against a plain saturating sum of the same samples (no gain, no
// resampling) in the same run. At 44,100 Hz the mixer copies frames
// directly; at 22,050 and 66,150 Hz it resamples. Reports reference time /
// mixer time, printed when the program ends.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/audio_mixer.h"
#include "platform/clock.h"
#include "tools/sound_writers/sound_writers.h"

namespace {

constexpr int kVoices = 32;
constexpr int kFrames = 44100;
constexpr int kChunk = 1024;

struct Ratios {
  std::map<std::string, double> ns;
  ~Ratios() {
    if (!ns.count("reference") || ns.size() < 2) return;
    std::printf("\nAudio mixer vs plain saturating sum (time ratio reference / mixer, above 1 = mixer faster)\n");
    for (const auto& [name, value] : ns) {
      if (name != "reference" && value > 0) std::printf("  %-22s %6.3f\n", name.c_str(), ns["reference"] / value);
    }
  }
};
Ratios& Summary() {
  static Ratios ratios;
  return ratios;
}

template <class F>
double TimedNs(benchmark::State& state, F&& body) {
  platform::Clock& clock = platform::GetClock();
  const uint64_t t0 = clock.Microseconds();
  for (auto _ : state) body();
  const uint64_t t1 = clock.Microseconds();
  return state.iterations() ? double(t1 - t0) * 1000.0 / double(state.iterations()) : 0.0;
}

// Two seconds of a test signal per voice, each voice its own.
const std::vector<std::vector<int16_t>>& Signals() {
  static const std::vector<std::vector<int16_t>> signals = [] {
    std::vector<std::vector<int16_t>> out;
    for (int v = 0; v < kVoices; ++v) out.push_back(writers::TestSignal(2 * kFrames, 2, static_cast<uint32_t>(v + 1)));
    return out;
  }();
  return signals;
}

void BM_PlainSaturatingSum(benchmark::State& state) {
  const auto& signals = Signals();
  std::vector<int16_t> out(2 * kChunk);
  const double ns = TimedNs(state, [&] {
    for (int at = 0; at < kFrames; at += kChunk) {
      const int count = std::min(kChunk, kFrames - at);
      for (int i = 0; i < 2 * count; ++i) {
        int32_t sum = 0;
        for (int v = 0; v < kVoices; ++v) sum += signals[static_cast<size_t>(v)][static_cast<size_t>(2 * at + i)];
        out[static_cast<size_t>(i)] = static_cast<int16_t>(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
      }
      benchmark::DoNotOptimize(out.data());
    }
  });
  Summary().ns["reference"] = ns;
}
BENCHMARK(BM_PlainSaturatingSum)->Unit(benchmark::kMillisecond);

void BM_Mixer(benchmark::State& state, uint32_t rate, const char* name) {
  const auto& signals = Signals();
  platform::AudioMixer mixer(platform::AudioOutputMode::kPull);
  std::vector<int32_t> ids;
  for (int v = 0; v < kVoices; ++v) {
    const std::vector<uint8_t> bytes = writers::Pcm16Bytes(signals[static_cast<size_t>(v)]);
    const int32_t id = mixer.CreateBuffer({2, rate, 16, 4}, static_cast<uint32_t>(bytes.size()));
    platform::AudioLock lock;
    mixer.Lock(id, 0, static_cast<uint32_t>(bytes.size()), &lock);
    std::copy(bytes.begin(), bytes.end(), lock.bytes.begin());
    mixer.Unlock(&lock);
    mixer.SetVolume(id, -(v * 97) % 3000);
    mixer.Play(id, true);
    ids.push_back(id);
  }
  std::vector<int16_t> out(2 * kFrames);
  const double ns = TimedNs(state, [&] {
    mixer.Render(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  });
  Summary().ns[name] = ns;
}
BENCHMARK_CAPTURE(BM_Mixer, mix_44100, 44100u, "mixer 44100 Hz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Mixer, mix_22050, 22050u, "mixer 22050 Hz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Mixer, mix_66150, 66150u, "mixer 66150 Hz")->Unit(benchmark::kMillisecond);

}  // namespace
