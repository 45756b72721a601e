// The library's byte helpers and the path resolver against their C library
// and POSIX references, in the same run.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/base/text_helpers.h"
#include "platform/file_system.h"

namespace {

// A log-sized text of ASCII and double-byte characters, with the searched
// byte at the end.
std::string MixedText() {
  std::string text;
  while (text.size() < 1000) text += "Graph \x95\x5C\x8E\xA6 ok ";
  text += "\n";
  return text;
}

void BM_StrFindChar(benchmark::State& state) {
  const std::string text = MixedText();
  for (auto _ : state) {
    // Passed as a constant: GCC 12 builds the read-write form of
    // DoNotOptimize on a pointer so that, with the sanitizers on, the
    // pointer reads back as null.
    const char* const p = text.c_str();
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(StrFindChar(p, '\n'));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_StrFindChar);

void BM_StrFindChar_Reference_strchr(benchmark::State& state) {
  const std::string text = MixedText();
  for (auto _ : state) {
    // Passed as a constant: GCC 12 builds the read-write form of
    // DoNotOptimize on a pointer so that, with the sanitizers on, the
    // pointer reads back as null.
    const char* const p = text.c_str();
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(std::strchr(p, '\n'));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_StrFindChar_Reference_strchr);

void BM_MemCopy(benchmark::State& state) {
  std::vector<char> from(static_cast<size_t>(state.range(0)), 'x'), to(from.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(MemCopy(to.data(), from.data(), from.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MemCopy)->Arg(64)->Arg(64 << 10);

void BM_MemCopy_Reference_memcpy(benchmark::State& state) {
  std::vector<char> from(static_cast<size_t>(state.range(0)), 'x'), to(from.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memcpy(to.data(), from.data(), from.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MemCopy_Reference_memcpy)->Arg(64)->Arg(64 << 10);

// A small game folder whose names differ in case from the names asked for.
struct BenchFolder {
  BenchFolder() {
    char templ[] = "/tmp/vesk_bench_XXXXXX";
    if (mkdtemp(templ) == nullptr) std::abort();
    root = templ;
    mkdir((root + "/Data").c_str(), 0777);
    mkdir((root + "/Data/Picture").c_str(), 0777);
    for (int i = 0; i < 200; ++i) {
      std::ofstream(root + "/Data/Picture/Pic" + std::to_string(i) + ".PNG") << "x";
    }
  }
  ~BenchFolder() { std::system(("rm -rf '" + root + "'").c_str()); }
  std::string root;
};

void BM_ResolveExisting_CaseMismatch(benchmark::State& state) {
  BenchFolder folder;
  const std::string path = platform::NativeToEnginePath(folder.root) + "\\data\\picture\\pic150.png";
  for (auto _ : state) benchmark::DoNotOptimize(platform::ResolveExisting(path));
}
BENCHMARK(BM_ResolveExisting_CaseMismatch);

void BM_ResolveExisting_ExactCase(benchmark::State& state) {
  BenchFolder folder;
  const std::string path = platform::NativeToEnginePath(folder.root) + "\\Data\\Picture\\Pic150.PNG";
  for (auto _ : state) benchmark::DoNotOptimize(platform::ResolveExisting(path));
}
BENCHMARK(BM_ResolveExisting_ExactCase);

void BM_ResolveExisting_Reference_stat(benchmark::State& state) {
  BenchFolder folder;
  const std::string path = folder.root + "/Data/Picture/Pic150.PNG";
  for (auto _ : state) {
    struct stat info {};
    benchmark::DoNotOptimize(stat(path.c_str(), &info));
  }
}
BENCHMARK(BM_ResolveExisting_Reference_stat);

}  // namespace
