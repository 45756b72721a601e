#include "allocation_meter.h"

#include <malloc.h>

#include <cstdlib>
#include <limits>
#include <new>

namespace {

thread_local AllocationMeter* active_meter = nullptr;

}  // namespace

struct AllocationCounting {
  // False when the meter's ceiling refuses `bytes` more.
  static bool Allow(size_t bytes) {
    AllocationMeter* meter = active_meter;
    if (meter == nullptr) return true;
    if (static_cast<int64_t>(bytes) > meter->ceiling_ - meter->held_) {
      ++meter->refused_;
      return false;
    }
    return true;
  }
  static void Add(void* block) {
    AllocationMeter* meter = active_meter;
    if (meter == nullptr || block == nullptr) return;
    meter->held_ += static_cast<int64_t>(malloc_usable_size(block));
    if (meter->held_ > meter->peak_) meter->peak_ = meter->held_;
  }
  static void Remove(void* block) {
    AllocationMeter* meter = active_meter;
    if (meter == nullptr || block == nullptr) return;
    meter->held_ -= static_cast<int64_t>(malloc_usable_size(block));
  }
};

AllocationMeter::AllocationMeter(size_t ceiling_bytes)
    : previous_(active_meter),
      ceiling_(ceiling_bytes > static_cast<size_t>(std::numeric_limits<int64_t>::max())
                   ? std::numeric_limits<int64_t>::max()
                   : static_cast<int64_t>(ceiling_bytes)) {
  active_meter = this;
}

AllocationMeter::~AllocationMeter() { active_meter = previous_; }

namespace {

void* Allocate(size_t bytes, size_t alignment, bool throwing) {
  if (bytes == 0) bytes = 1;
  void* block = nullptr;
  if (AllocationCounting::Allow(bytes)) {
    if (alignment <= alignof(std::max_align_t)) {
      block = std::malloc(bytes);
    } else {
      const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
      block = std::aligned_alloc(alignment, rounded);
    }
  }
  if (block == nullptr) {
    if (throwing) throw std::bad_alloc();
    return nullptr;
  }
  AllocationCounting::Add(block);
  return block;
}

void Release(void* block) {
  AllocationCounting::Remove(block);
  std::free(block);
}

constexpr size_t kPlain = alignof(std::max_align_t);

}  // namespace

void* operator new(size_t bytes) { return Allocate(bytes, kPlain, true); }
void* operator new[](size_t bytes) { return Allocate(bytes, kPlain, true); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes, kPlain, false); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes, kPlain, false); }
void* operator new(size_t bytes, std::align_val_t alignment) {
  return Allocate(bytes, static_cast<size_t>(alignment), true);
}
void* operator new[](size_t bytes, std::align_val_t alignment) {
  return Allocate(bytes, static_cast<size_t>(alignment), true);
}
void* operator new(size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(bytes, static_cast<size_t>(alignment), false);
}
void* operator new[](size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(bytes, static_cast<size_t>(alignment), false);
}

void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
