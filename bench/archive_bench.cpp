// Archive hot loops against memcpy of the same bytes: unscrambling with the
// 12-byte key, and LZ decoding (literal runs and long matches).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/core/files/archive_lz.h"
#include "engine/core/files/ora_archive_key.h"

namespace {

constexpr size_t kBytes = 1 << 20;

std::vector<uint8_t> Noise(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t s = 7;
  for (auto& b : bytes) {
    s = s * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(s >> 24);
  }
  return bytes;
}

// A block of 4096 literals (never the escape byte 0xFF) and then matches of
// the longest length at distance 4096 until kBytes are produced.
std::vector<uint8_t> MatchHeavyBlock() {
  std::vector<uint8_t> codes;
  size_t produced = 0;
  for (size_t i = 0; i < 4096; ++i, ++produced) codes.push_back(static_cast<uint8_t>(i % 255));
  while (produced < kBytes) {
    const size_t length = std::min<size_t>(8195, kBytes - produced);
    if (length < 4) {
      for (size_t k = 0; k < length; ++k) codes.push_back(0);
      produced += length;
      continue;
    }
    const size_t v = length - 4;
    const size_t d = 4096 - 1;
    codes.push_back(0xFF);
    if (v < 32) {
      codes.push_back(static_cast<uint8_t>((v << 3) | 1));
    } else {
      codes.push_back(static_cast<uint8_t>(((v & 31) << 3) | 4 | 1));
      codes.push_back(static_cast<uint8_t>(v >> 5));
    }
    codes.push_back(static_cast<uint8_t>(d));
    codes.push_back(static_cast<uint8_t>(d >> 8));
    produced += length;
  }
  std::vector<uint8_t> block(9);
  const uint32_t unpacked = static_cast<uint32_t>(produced), packed = static_cast<uint32_t>(codes.size() + 9);
  std::memcpy(block.data(), &unpacked, 4);
  std::memcpy(block.data() + 4, &packed, 4);
  block[8] = 0xFF;
  block.insert(block.end(), codes.begin(), codes.end());
  return block;
}

// Literals only: every byte of the noise except escapes, which are doubled.
std::vector<uint8_t> LiteralBlock() {
  const auto noise = Noise(kBytes);
  std::vector<uint8_t> block(9);
  for (uint8_t b : noise) {
    block.push_back(b);
    if (b == 0xFF) block.push_back(0xFF);
  }
  const uint32_t unpacked = kBytes, packed = static_cast<uint32_t>(block.size());
  std::memcpy(block.data(), &unpacked, 4);
  std::memcpy(block.data() + 4, &packed, 4);
  block[8] = 0xFF;
  return block;
}

void BM_MemcpyReference(benchmark::State& state) {
  const auto source = Noise(kBytes);
  std::vector<uint8_t> out(kBytes);
  for (auto _ : state) {
    std::memcpy(out.data(), source.data(), kBytes);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

void BM_XorArchiveKey(benchmark::State& state) {
  auto buffer = Noise(kBytes);
  const ArchiveKey key = MakeArchiveKey("bench");
  for (auto _ : state) {
    XorArchiveKey(buffer.size(), buffer.data(), 5, key);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

void BM_DecodeLzMatches(benchmark::State& state) {
  const auto block = MatchHeavyBlock();
  std::vector<uint8_t> out(kBytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeArchiveLz(block.data(), block.size(), out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

void BM_DecodeLzLiterals(benchmark::State& state) {
  const auto block = LiteralBlock();
  std::vector<uint8_t> out(kBytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeArchiveLz(block.data(), block.size(), out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

BENCHMARK(BM_MemcpyReference);
BENCHMARK(BM_XorArchiveKey);
BENCHMARK(BM_DecodeLzMatches);
BENCHMARK(BM_DecodeLzLiterals);

}  // namespace
