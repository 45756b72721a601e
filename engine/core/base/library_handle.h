// LibraryHandle: how every handle table of the library names its objects.
// A handle is a positive 32-bit value: bits 0-15 the slot index, bits 16-26
// an 11-bit check value, bits 27-30 the HandleType, bit 31 clear. -1 names no
// object. Each type has one creation counter (0..2047, wrapping to 0 after
// 2047); a new object stores the counter's value as its slot's check value.
// A handle is accepted only when, tested in this order, bit 31 is clear, the
// type bits match the table, the slot is below the table's size, the slot is
// in use and the slot's check value equals the handle's check bits; anything
// else is answered as if no such object existed (stale and foreign handles
// included).
//
// HandleTable<Record> is the one table implementation: fixed slot count,
// records owned through unique_ptr (a non-null record means in use), the
// type's creation counter, lookup and removal by handle. Which free slot a
// new object takes is each table's own choice (FirstFreeSlot is the common
// one). Tables have no lock of their own: they are used under ApiLock.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

using LibraryHandle = int32_t;

inline constexpr LibraryHandle kNoLibraryHandle = -1;

enum class HandleType : uint32_t {
  kGraph = 1,
  kSound = 2,
  kMovie = 3,
  kFont = 4,
  kSurface2D = 5,
  kSurface3D = 6,
  kSurfaceData = 7,
  kMask = 8,
  kSocket = 9,
  kTextInput = 10,
  kMidi = 11,
};

// Slot count of each type's table; 0 for a value that names no type.
constexpr int HandleTableCapacity(HandleType type) {
  switch (type) {
    case HandleType::kGraph: return 32768;
    case HandleType::kSound: return 4096;
    case HandleType::kMovie: return 100;
    case HandleType::kFont: return 40;
    case HandleType::kSurface2D: return 32768;
    case HandleType::kSurface3D: return 65536;
    case HandleType::kSurfaceData: return 65536;
    case HandleType::kMask: return 512;
    case HandleType::kSocket: return 4097;
    case HandleType::kTextInput: return 20;
    case HandleType::kMidi: return 256;
  }
  return 0;
}

inline constexpr uint32_t kHandleSlotMask = 0xFFFFu;
inline constexpr uint32_t kHandleCheckMask = 0x07FF0000u;  // bits 16-26
inline constexpr uint32_t kHandleTypeMask = 0x78000000u;   // bits 27-30
inline constexpr uint32_t kHandleCheckLimit = 2048;        // check values 0..2047

// slot | check << 16 | type << 27. Slot and check are masked to their fields.
constexpr LibraryHandle MakeLibraryHandle(HandleType type, uint32_t slot, uint32_t check) {
  const uint32_t bits = (slot & kHandleSlotMask) | ((check << 16) & kHandleCheckMask) |
                        ((static_cast<uint32_t>(type) << 27) & kHandleTypeMask);
  return static_cast<LibraryHandle>(bits);
}
constexpr uint32_t HandleSlot(LibraryHandle handle) {
  return static_cast<uint32_t>(handle) & kHandleSlotMask;
}
constexpr uint32_t HandleCheck(LibraryHandle handle) {
  return (static_cast<uint32_t>(handle) & kHandleCheckMask) >> 16;
}
constexpr uint32_t HandleTypeBits(LibraryHandle handle) {
  return (static_cast<uint32_t>(handle) & kHandleTypeMask) >> 27;
}

// Why a handle was refused; kValid when accepted. The order of the values is
// the order of the tests.
enum class HandleVerdict {
  kValid,
  kSignBitSet,      // bit 31 set (-1 and the draw-target values included)
  kWrongType,
  kSlotOutOfRange,
  kSlotFree,
  kStaleCheck,      // slot reused since the handle was made
};

// The tests that need no table contents: sign bit, type bits, slot range.
HandleVerdict CheckHandleBits(LibraryHandle handle, HandleType type, int capacity);

// One type's creation counter: hands out 0, 1, ... 2047, 0, ...
class HandleCheckCounter {
 public:
  uint32_t Take() {
    const uint32_t value = next_;
    next_ = (next_ + 1u) % kHandleCheckLimit;
    return value;
  }
  uint32_t Peek() const { return next_; }
  void Reset(uint32_t value = 0) { next_ = value % kHandleCheckLimit; }

 private:
  uint32_t next_ = 0;
};

template <typename Record>
class HandleTable {
 public:
  explicit HandleTable(HandleType type)
      : HandleTable(type, HandleTableCapacity(type)) {}
  // A table with another slot count (never above 65,536, the slot field's
  // range).
  HandleTable(HandleType type, int capacity)
      : type_(type), slots_(static_cast<size_t>(ClampCapacity(capacity))) {}

  HandleType type() const { return type_; }
  int capacity() const { return static_cast<int>(slots_.size()); }
  int live_count() const { return live_count_; }
  HandleCheckCounter& counter() { return counter_; }
  const HandleCheckCounter& counter() const { return counter_; }

  // The lowest free slot at or above `from`, -1 when there is none.
  int FirstFreeSlot(int from = 0) const {
    for (int slot = from < 0 ? 0 : from; slot < capacity(); ++slot) {
      if (!slots_[static_cast<size_t>(slot)].record) return slot;
    }
    return -1;
  }
  // One past the highest slot in use (0 when the table is empty).
  int UsedArea() const {
    for (int slot = capacity(); slot > 0; --slot) {
      if (slots_[static_cast<size_t>(slot - 1)].record) return slot;
    }
    return 0;
  }

  // Puts a record into a free slot. The check value is the creation
  // counter's, which then advances; a given check value (0..2047) is used
  // instead and leaves the counter alone. Returns the new handle, or -1 when
  // the slot is out of range or taken, the check value is out of range, or
  // there is no record.
  LibraryHandle Insert(int slot, std::unique_ptr<Record> record, int check = -1) {
    if (slot < 0 || slot >= capacity() || !record) return kNoLibraryHandle;
    if (check >= static_cast<int>(kHandleCheckLimit)) return kNoLibraryHandle;
    Slot& target = slots_[static_cast<size_t>(slot)];
    if (target.record) return kNoLibraryHandle;
    target.check = check >= 0 ? static_cast<uint32_t>(check) : counter_.Take();
    target.record = std::move(record);
    ++live_count_;
    return MakeLibraryHandle(type_, static_cast<uint32_t>(slot), target.check);
  }

  HandleVerdict Validate(LibraryHandle handle) const {
    const HandleVerdict bits = CheckHandleBits(handle, type_, capacity());
    if (bits != HandleVerdict::kValid) return bits;
    const Slot& slot = slots_[HandleSlot(handle)];
    if (!slot.record) return HandleVerdict::kSlotFree;
    if ((slot.check << 16) != (static_cast<uint32_t>(handle) & kHandleCheckMask)) {
      return HandleVerdict::kStaleCheck;
    }
    return HandleVerdict::kValid;
  }

  // The record a valid handle names, null for any other handle.
  Record* Find(LibraryHandle handle) const {
    if (Validate(handle) != HandleVerdict::kValid) return nullptr;
    return slots_[HandleSlot(handle)].record.get();
  }

  // Takes the record out of the table; null (and nothing changed) for a
  // handle that names no object.
  std::unique_ptr<Record> Remove(LibraryHandle handle) {
    if (Validate(handle) != HandleVerdict::kValid) return nullptr;
    Slot& slot = slots_[HandleSlot(handle)];
    --live_count_;
    return std::move(slot.record);
  }

  // Slot access for tables that walk their slots.
  Record* RecordAt(int slot) const {
    if (slot < 0 || slot >= capacity()) return nullptr;
    return slots_[static_cast<size_t>(slot)].record.get();
  }
  // The handle of an occupied slot, rebuilt from its index and check value;
  // -1 for a free or out-of-range slot.
  LibraryHandle HandleAt(int slot) const {
    if (RecordAt(slot) == nullptr) return kNoLibraryHandle;
    return MakeLibraryHandle(type_, static_cast<uint32_t>(slot),
                             slots_[static_cast<size_t>(slot)].check);
  }

  // Calls fn(handle, record) for every occupied slot in slot order.
  template <typename Fn>
  void ForEachLive(Fn&& fn) {
    for (int slot = 0; slot < capacity(); ++slot) {
      Slot& entry = slots_[static_cast<size_t>(slot)];
      if (entry.record) fn(MakeLibraryHandle(type_, static_cast<uint32_t>(slot), entry.check), *entry.record);
    }
  }

  // Drops every record; the creation counter keeps its value.
  void Clear() {
    for (Slot& slot : slots_) slot.record.reset();
    live_count_ = 0;
  }

 private:
  struct Slot {
    std::unique_ptr<Record> record;
    uint32_t check = 0;
  };

  static int ClampCapacity(int capacity) {
    if (capacity < 0) return 0;
    return capacity > 65536 ? 65536 : capacity;
  }

  HandleType type_;
  std::vector<Slot> slots_;
  int live_count_ = 0;
  HandleCheckCounter counter_;
};
