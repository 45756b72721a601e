// Measures the heap a piece of code takes: while a meter is alive on a
// thread, every operator new and delete of that thread is counted, and the
// peak of the bytes held since the meter started is kept. A ceiling makes an
// allocation that would pass it throw std::bad_alloc instead, so code that
// would take gigabytes fails at once rather than filling the machine.
//
// The test executable's global operator new and delete are replaced for
// this (they allocate with malloc and count through malloc_usable_size);
// threads without a meter are not counted.
#pragma once

#include <cstddef>
#include <cstdint>

class AllocationMeter {
 public:
  explicit AllocationMeter(size_t ceiling_bytes = SIZE_MAX);
  ~AllocationMeter();
  AllocationMeter(const AllocationMeter&) = delete;
  AllocationMeter& operator=(const AllocationMeter&) = delete;

  // Bytes held at the peak, counted from the meter's start.
  int64_t PeakBytes() const { return peak_; }
  // Allocations refused for the ceiling.
  int64_t Refused() const { return refused_; }

 private:
  friend struct AllocationCounting;
  AllocationMeter* previous_;
  int64_t ceiling_;
  int64_t held_ = 0;
  int64_t peak_ = 0;
  int64_t refused_ = 0;
};
