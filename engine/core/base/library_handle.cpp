// The table-independent tests of a LibraryHandle, in their fixed order.
#include "engine/core/base/library_handle.h"

HandleVerdict CheckHandleBits(LibraryHandle handle, HandleType type, int capacity) {
  const uint32_t bits = static_cast<uint32_t>(handle);
  if ((bits & 0x80000000u) != 0) return HandleVerdict::kSignBitSet;
  if (HandleTypeBits(handle) != static_cast<uint32_t>(type)) return HandleVerdict::kWrongType;
  if (capacity < 0 || HandleSlot(handle) >= static_cast<uint32_t>(capacity)) {
    return HandleVerdict::kSlotOutOfRange;
  }
  return HandleVerdict::kValid;
}
