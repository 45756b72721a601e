// LibraryHandle bits and the shared handle table: encoding, the validation
// order, stale and foreign handles, the creation counter's wrap.
#include "engine/core/base/library_handle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct Thing {
  int value = 0;
};

TEST(LibraryHandleTest, EncodesSlotCheckAndType) {
  struct Case {
    HandleType type;
    uint32_t slot, check;
    uint32_t expected;
  };
  const Case cases[] = {
      {HandleType::kGraph, 0, 0, 0x08000000u},
      {HandleType::kGraph, 5, 3, 0x08030005u},
      {HandleType::kSound, 4095, 2047, 0x17FF0FFFu},
      {HandleType::kFont, 39, 1, 0x20010027u},
      {HandleType::kSurface2D, 1, 0, 0x28000001u},
      {HandleType::kSurface3D, 0xFFFF, 0, 0x3000FFFFu},
      {HandleType::kSurfaceData, 2, 2, 0x38020002u},
      {HandleType::kMidi, 255, 2047, 0x5FFF00FFu},
      {HandleType::kGraph, 0x12345, 0x1801, 0},  // oversized fields are masked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.type)) + "/" + std::to_string(c.slot));
    const LibraryHandle h = MakeLibraryHandle(c.type, c.slot, c.check);
    const uint32_t bits = static_cast<uint32_t>(h);
    if (c.slot <= 0xFFFF && c.check < 2048) {
      EXPECT_EQ(bits, c.expected);
      EXPECT_EQ(HandleSlot(h), c.slot);
      EXPECT_EQ(HandleCheck(h), c.check);
    }
    EXPECT_EQ(HandleTypeBits(h), static_cast<uint32_t>(c.type));
    EXPECT_GE(h, 0) << "bit 31 stays clear";
  }
}

TEST(LibraryHandleTest, TableSizesOfEveryType) {
  EXPECT_EQ(HandleTableCapacity(HandleType::kGraph), 32768);
  EXPECT_EQ(HandleTableCapacity(HandleType::kSound), 4096);
  EXPECT_EQ(HandleTableCapacity(HandleType::kMovie), 100);
  EXPECT_EQ(HandleTableCapacity(HandleType::kFont), 40);
  EXPECT_EQ(HandleTableCapacity(HandleType::kSurface2D), 32768);
  EXPECT_EQ(HandleTableCapacity(HandleType::kSurface3D), 65536);
  EXPECT_EQ(HandleTableCapacity(HandleType::kSurfaceData), 65536);
  EXPECT_EQ(HandleTableCapacity(HandleType::kMask), 512);
  EXPECT_EQ(HandleTableCapacity(HandleType::kSocket), 4097);
  EXPECT_EQ(HandleTableCapacity(HandleType::kTextInput), 20);
  EXPECT_EQ(HandleTableCapacity(HandleType::kMidi), 256);
  EXPECT_EQ(HandleTableCapacity(static_cast<HandleType>(12)), 0);
}

class HandleTableTest : public ::testing::Test {
 protected:
  LibraryHandle Add(int value, int slot = -1) {
    if (slot < 0) slot = fonts_.FirstFreeSlot();
    return fonts_.Insert(slot, std::make_unique<Thing>(Thing{value}));
  }
  HandleTable<Thing> fonts_{HandleType::kFont};  // 40 slots
};

TEST_F(HandleTableTest, RefusesInTheDocumentedOrder) {
  const LibraryHandle live = Add(7);            // slot 0, check 0
  const LibraryHandle freed = Add(8);           // slot 1, check 1
  ASSERT_NE(fonts_.Remove(freed), nullptr);
  struct Case {
    const char* what;
    LibraryHandle handle;
    HandleVerdict verdict;
  };
  const Case cases[] = {
      {"live", live, HandleVerdict::kValid},
      {"none", -1, HandleVerdict::kSignBitSet},
      {"back screen", -2, HandleVerdict::kSignBitSet},
      {"front screen", -4, HandleVerdict::kSignBitSet},
      {"sign bit on a live handle", static_cast<LibraryHandle>(static_cast<uint32_t>(live) | 0x80000000u),
       HandleVerdict::kSignBitSet},
      {"graph handle with a font slot", MakeLibraryHandle(HandleType::kGraph, 0, 0), HandleVerdict::kWrongType},
      {"no type bits", 0, HandleVerdict::kWrongType},
      // Type is tested before the slot range.
      {"wrong type and slot out of range", MakeLibraryHandle(HandleType::kSound, 999, 0),
       HandleVerdict::kWrongType},
      {"slot 40 of 40", MakeLibraryHandle(HandleType::kFont, 40, 0), HandleVerdict::kSlotOutOfRange},
      {"slot 0xFFFF", MakeLibraryHandle(HandleType::kFont, 0xFFFF, 0), HandleVerdict::kSlotOutOfRange},
      {"freed slot", freed, HandleVerdict::kSlotFree},
      {"never used slot", MakeLibraryHandle(HandleType::kFont, 39, 0), HandleVerdict::kSlotFree},
      {"live slot, other check", MakeLibraryHandle(HandleType::kFont, 0, 5), HandleVerdict::kStaleCheck},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(fonts_.Validate(c.handle), c.verdict);
    EXPECT_EQ(fonts_.Find(c.handle) != nullptr, c.verdict == HandleVerdict::kValid);
  }
  EXPECT_EQ(fonts_.Find(live)->value, 7);
}

TEST_F(HandleTableTest, StaleAfterReleaseEvenWhenTheSlotIsReused) {
  const LibraryHandle first = Add(1);
  ASSERT_EQ(HandleSlot(first), 0u);
  std::unique_ptr<Thing> taken = fonts_.Remove(first);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->value, 1);
  EXPECT_EQ(fonts_.Remove(first), nullptr) << "a second release finds nothing";
  const LibraryHandle second = Add(2);
  EXPECT_EQ(HandleSlot(second), 0u) << "the lowest free slot is taken again";
  EXPECT_NE(second, first);
  EXPECT_EQ(fonts_.Find(first), nullptr);
  EXPECT_EQ(fonts_.Validate(first), HandleVerdict::kStaleCheck);
  EXPECT_EQ(fonts_.Find(second)->value, 2);
  EXPECT_EQ(fonts_.live_count(), 1);
}

TEST_F(HandleTableTest, CheckCounterWrapsFrom2047ToZero) {
  HandleTable<Thing> table(HandleType::kSound);
  LibraryHandle first = -1, last = -1;
  for (int i = 0; i <= 2048; ++i) {
    const LibraryHandle h = table.Insert(0, std::make_unique<Thing>());
    ASSERT_NE(h, -1);
    if (i == 0) first = h;
    if (i == 2047) {
      EXPECT_EQ(HandleCheck(h), 2047u);
    }
    last = h;
    if (i < 2048) {
      ASSERT_NE(table.Remove(h), nullptr);
    }
  }
  // The 2049th creation repeats the first handle's check value.
  EXPECT_EQ(HandleCheck(last), 0u);
  EXPECT_EQ(last, first);
  EXPECT_EQ(table.Find(first), table.Find(last));
  EXPECT_EQ(table.counter().Peek(), 1u);
}

TEST_F(HandleTableTest, InsertRefusals) {
  const LibraryHandle a = Add(1, 3);
  EXPECT_EQ(HandleSlot(a), 3u);
  EXPECT_EQ(Add(2, 3), -1) << "slot taken";
  EXPECT_EQ(Add(2, 40), -1) << "slot out of range";
  EXPECT_EQ(fonts_.Insert(4, nullptr), -1) << "no record";
  EXPECT_EQ(fonts_.Insert(4, std::make_unique<Thing>(), 2048), -1) << "check out of range";
  EXPECT_EQ(fonts_.live_count(), 1);
  EXPECT_EQ(fonts_.counter().Peek(), 1u) << "refusals take no check value";
}

TEST_F(HandleTableTest, GivenCheckValueKeepsTheHandleAndLeavesTheCounter) {
  const LibraryHandle original = Add(1, 6);
  const uint32_t check = HandleCheck(original);
  fonts_.Remove(original);
  const uint32_t counter = fonts_.counter().Peek();
  const LibraryHandle again =
      fonts_.Insert(6, std::make_unique<Thing>(Thing{2}), static_cast<int>(check));
  EXPECT_EQ(again, original);
  EXPECT_EQ(fonts_.counter().Peek(), counter);
}

TEST_F(HandleTableTest, SlotWalksAndClear) {
  const LibraryHandle a = Add(1);
  Add(2);
  const LibraryHandle c = Add(3);
  fonts_.Remove(a);
  EXPECT_EQ(fonts_.FirstFreeSlot(), 0);
  EXPECT_EQ(fonts_.FirstFreeSlot(1), 3);
  EXPECT_EQ(fonts_.UsedArea(), 3);
  EXPECT_EQ(fonts_.HandleAt(2), c);
  EXPECT_EQ(fonts_.HandleAt(0), -1);
  EXPECT_EQ(fonts_.HandleAt(40), -1);
  int sum = 0, count = 0;
  fonts_.ForEachLive([&](LibraryHandle h, Thing& t) {
    EXPECT_EQ(fonts_.Find(h), &t);
    sum += t.value;
    ++count;
  });
  EXPECT_EQ(count, 2);
  EXPECT_EQ(sum, 5);
  fonts_.Clear();
  EXPECT_EQ(fonts_.live_count(), 0);
  EXPECT_EQ(fonts_.Find(c), nullptr);
  EXPECT_EQ(fonts_.UsedArea(), 0);
  EXPECT_EQ(fonts_.counter().Peek(), 3u) << "the counter survives a clear";
}

TEST_F(HandleTableTest, FullTableHasNoFreeSlot) {
  HandleTable<Thing> inputs(HandleType::kTextInput);
  for (int i = 0; i < 20; ++i) ASSERT_NE(inputs.Insert(inputs.FirstFreeSlot(), std::make_unique<Thing>()), -1);
  EXPECT_EQ(inputs.FirstFreeSlot(), -1);
  EXPECT_EQ(inputs.Insert(inputs.FirstFreeSlot(), std::make_unique<Thing>()), -1);
}

}  // namespace
