// The next-free rule the graph, 2D-surface and surface-data tables share:
// the index is one past the highest slot in use, or the table's capacity,
// which means "scan from slot 0 for a free one". A new object takes the
// index's slot (the index then moves up by one) unless the index is at the
// capacity; releasing the highest slot in use lowers the index to one past
// the highest slot still in use (0 once the table is empty).
#pragma once

#include "engine/core/base/library_handle.h"

template <typename Record>
class NextFreeSlot {
 public:
  explicit NextFreeSlot(const HandleTable<Record>& table) : table_(table) {}

  int index() const { return index_; }
  void Reset() { index_ = 0; }

  // The slot a new object takes; -1 when the table is full.
  int Choose() const {
    if (index_ < table_.capacity()) return index_;
    return table_.FirstFreeSlot(0);
  }
  // After an object was put into slot.
  void Taken(int slot) {
    if (slot == index_) ++index_;
  }
  // After the object of slot was removed.
  void Released(int slot) {
    if (slot != index_ - 1) return;
    index_ = table_.live_count() == 0 ? 0 : table_.UsedArea();
  }

 private:
  const HandleTable<Record>& table_;
  int index_ = 0;
};
