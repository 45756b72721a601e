// Opening files five folder levels below the game's folder, by engine paths
// whose case differs from the names on disk, against stat of the same native
// paths: the size through the file entry point (the archive look-up tries
// every folder level first), and the platform's open alone; the system's own
// open, size and close of the native paths shows what any open costs. Each
// iteration handles 1,000 files.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/api/file_entry_points.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/directory_cache.h"
#include "platform/file_system.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kFilesPerFolder = 100;

// root/Data/Level2/Level3/Level4/Folder<n>/File<m>.Bin: ten folders of a
// hundred files at the fifth level.
struct DeepGame {
  DeepGame() {
    char templ[] = "/tmp/vesk_bench_open_XXXXXX";
    if (mkdtemp(templ) == nullptr) std::abort();
    root = templ;
    std::string folder = root;
    for (const char* level : {"Data", "Level2", "Level3", "Level4"}) {
      folder += "/";
      folder += level;
      mkdir(folder.c_str(), 0777);
    }
    for (int f = 0; f < kFiles / kFilesPerFolder; ++f) {
      const std::string leaf = folder + "/Folder" + std::to_string(f);
      mkdir(leaf.c_str(), 0777);
      for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string name = "File" + std::to_string(i) + ".Bin";
        std::ofstream(leaf + "/" + name) << "0123456789";
        native.push_back(leaf + "/" + name);
        engine.push_back("DATA\\LEVEL2\\LEVEL3\\LEVEL4\\FOLDER" + std::to_string(f) + "\\FILE" +
                         std::to_string(i) + ".BIN");
      }
    }
    platform::SetGameFolder(root);
    saved_folder = platform::GetCurrentFolder();
    platform::SetCurrentFolder("G:\\");
    ClearArchiveTables();
    SetStreamFunctions(nullptr);
    UseArchiveExtension("vesk");
  }
  ~DeepGame() {
    ClearArchiveTables();
    UseArchiveExtension(nullptr);
    platform::SetCurrentFolder(saved_folder);
    std::system(("rm -rf '" + root + "'").c_str());
  }
  std::string root;
  std::string saved_folder;
  std::vector<std::string> native;
  std::vector<std::string> engine;
};

void BM_OpenDeepFiles_GetDataFileSize(benchmark::State& state) {
  DeepGame game;
  for (auto _ : state) {
    for (const std::string& path : game.engine) {
      if (GetDataFileSize(path.c_str()) != 10) state.SkipWithError("not found");
    }
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_OpenDeepFiles_GetDataFileSize);

void BM_OpenDeepFiles_PlatformOpen(benchmark::State& state) {
  DeepGame game;
  for (auto _ : state) {
    for (const std::string& path : game.engine) {
      auto file = platform::OpenFile(path, platform::OpenMode::kRead);
      if (!file) state.SkipWithError("not found");
      benchmark::DoNotOptimize(file);
    }
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_OpenDeepFiles_PlatformOpen);

// Every look-up reads its folders afresh: the cost the listings save.
void BM_OpenDeepFiles_PlatformOpenUncached(benchmark::State& state) {
  DeepGame game;
  for (auto _ : state) {
    for (const std::string& path : game.engine) {
      platform::DropDirectoryListings();
      auto file = platform::OpenFile(path, platform::OpenMode::kRead);
      if (!file) state.SkipWithError("not found");
      benchmark::DoNotOptimize(file);
    }
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_OpenDeepFiles_PlatformOpenUncached);

void BM_OpenDeepFiles_Reference_stat(benchmark::State& state) {
  DeepGame game;
  for (auto _ : state) {
    for (const std::string& path : game.native) {
      struct stat info {};
      benchmark::DoNotOptimize(stat(path.c_str(), &info));
    }
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_OpenDeepFiles_Reference_stat);

// What any open of a file costs: the system's open, size and close of the
// native path, no look-up.
void BM_OpenDeepFiles_Reference_open_fstat_close(benchmark::State& state) {
  DeepGame game;
  for (auto _ : state) {
    for (const std::string& path : game.native) {
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      struct stat info {};
      benchmark::DoNotOptimize(fstat(fd, &info));
      close(fd);
    }
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_OpenDeepFiles_Reference_open_fstat_close);

}  // namespace
