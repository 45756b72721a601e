// The tracked allocator: header fields, the block line written to the log,
// dump order and totals, and the guard check.
#include "engine/core/base/tracked_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace {

class TrackedMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/vesk_mem_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    folder_ = templ;
    platform::SetClock(&clock_);
    SetStartDirectory(platform::NativeToEnginePath(folder_));
    EnableLogFile(1);
    CreateLogFile();
  }
  void TearDown() override {
    for (void* block : blocks_) TrackedFree(block);
    platform::SetClock(nullptr);
    SetStartDirectory("");
    std::string command = "rm -rf '" + folder_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void* Alloc(size_t size, const char* file, int line) {
    void* block = TrackedAlloc(size, file, line);
    if (block != nullptr) {
      std::memset(block, 0, size);
      blocks_.push_back(block);
    }
    return block;
  }
  std::vector<std::string> LogLines() {
    std::ifstream in(folder_ + "/Log.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::vector<std::string> lines;
    std::string text = content.str();
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
    return lines;
  }
  static std::string Id(void* block) {
    return std::to_string(TrackedAllocHeader(block)->id);
  }

  platform::VirtualClock clock_;
  std::string folder_;
  std::vector<void*> blocks_;
};

TEST_F(TrackedMemoryTest, HeaderFieldsAndAlignment) {
  const int32_t count = TrackedAllocCount();
  const int32_t total = TrackedAllocTotalSize();
  struct Case {
    const char* file;
    int line;
    const char* tail;
    uint16_t stored_line;
  };
  const std::vector<Case> cases = {
      {"engine/graphics/graph_records.cpp", 12, "graph_records.cpp" + 2, 12},
      {"abcdefghijklmno", 1, "abcdefghijklmno", 1},   // exactly 15: whole
      {"abcdefghijklmn", 2, "abcdefghijklmn", 2},     // 14
      {"", 0, "", 0},
      {nullptr, -1, "", 65535},
  };
  uint16_t previous_id = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    void* block = Alloc(10 + i, cases[i].file, cases[i].line);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    const AllocHeader* header = TrackedAllocHeader(block);
    EXPECT_STREQ(header->file_tail, cases[i].tail);
    EXPECT_EQ(header->line, cases[i].stored_line);
    EXPECT_EQ(header->size, static_cast<int32_t>(10 + i));
    if (i > 0) {
      EXPECT_EQ(header->id, static_cast<uint16_t>(previous_id + 1));
    }
    previous_id = header->id;
  }
  EXPECT_EQ(TrackedAllocCount(), count + 5);
  EXPECT_EQ(TrackedAllocTotalSize(), total + 10 + 11 + 12 + 13 + 14);
  EXPECT_EQ(TrackedFree(nullptr), 0);
  EXPECT_EQ(TrackedFree(blocks_.back()), 1);
  blocks_.pop_back();
  EXPECT_EQ(TrackedAllocCount(), count + 4);
  EXPECT_EQ(TrackedAllocTotalSize(), total + 10 + 11 + 12 + 13);
}

TEST_F(TrackedMemoryTest, BlockLineShowsSixteenBytes) {
  char* block = static_cast<char*>(TrackedCalloc(20, "", 0));
  blocks_.push_back(block);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(block[i], 0);
  std::memcpy(block, "ABC", 3);
  LogAllocBlock(TrackedAllocHeader(block));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "0:\tsize:20(0.020kb)  file:  line:0  ID:" + Id(block) +
                          "  data:<ABC.............> "
                          "[41 42 43 00 00 00 00 00 00 00 00 00 00 00 00 00]");

  char* mixed = static_cast<char*>(Alloc(4, "x.cpp", 9));
  std::memcpy(mixed, "\x7F\x1F\xFF~", 4);
  LogAllocBlock(TrackedAllocHeader(mixed));
  lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "0:\tsize:4(0.004kb)  file:x.cpp  line:9  ID:" + Id(mixed) +
                          "  data:<\x7F..~> [7f 1f ff 7e]");
}

TEST_F(TrackedMemoryTest, ZeroByteBlocksAreLoggedOnAllocAndFree) {
  void* block = TrackedAlloc(0, nullptr, -1);
  ASSERT_NE(block, nullptr);
  const std::string id = Id(block);
  TrackedFree(block);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "0:mem alloc  \tsize:0(0.000kb)  file:  line:65535  ID:" + id + "  data:<> ]");
  EXPECT_EQ(lines[1], "0:mem free  \tsize:0(0.000kb)  file:  line:65535  ID:" + id + "  data:<> ]");
}

TEST_F(TrackedMemoryTest, DumpListsNewestFirstWithTotals) {
  const int32_t count = TrackedAllocCount();
  const int32_t total = TrackedAllocTotalSize();
  void* a = Alloc(1, "a", 1);
  void* b = Alloc(2, "b", 2);
  void* c = Alloc(3, "c", 3);
  void* d = Alloc(4, "d", 4);
  TrackedFree(c);  // unlinking from the middle keeps the order
  blocks_.erase(blocks_.begin() + 2);
  EXPECT_EQ(DumpTrackedAllocs(), -1);
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "0:");
  EXPECT_EQ(lines[1], "0:Alloc memory dump\tsize:4(0.004kb)  file:d  line:4  ID:" + Id(d) +
                          "  data:<....> [00 00 00 00]");
  EXPECT_EQ(lines[2], "0:\tsize:2(0.002kb)  file:b  line:2  ID:" + Id(b) + "  data:<..> [00 00]");
  EXPECT_EQ(lines[3], "0:\tsize:1(0.001kb)  file:a  line:1  ID:" + Id(a) + "  data:<.> [00]");
  const int32_t live = count + 3;
  const int32_t bytes = total + 7;
  char totals[96];
  std::snprintf(totals, sizeof(totals), "0:\tTotal size:%d(%.3fkb)  Alloc num:%d", bytes,
                bytes / 1024.0, live);
  EXPECT_EQ(lines[lines.size() - 2], totals);
  EXPECT_EQ(lines.back(), "0:");
  if (count == 0) {
    EXPECT_EQ(lines.size(), 6u);  // nothing else was live
  }
}

TEST_F(TrackedMemoryTest, EmptyDumpHoldsHeadingAndZeroTotals) {
  if (TrackedAllocCount() != 0) GTEST_SKIP() << "blocks of other tests are still live";
  DumpTrackedAllocs();
  std::vector<std::string> lines = LogLines();
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "0:", "0:Alloc memory dump\tTotal size:0(0.000kb)  Alloc num:0", "0:"}));
}

TEST_F(TrackedMemoryTest, CheckFindsADamagedHeader) {
  void* older = Alloc(8, "older", 1);
  void* newer = Alloc(8, "newer", 2);
  EXPECT_EQ(CheckTrackedAllocs(), 0);
  AllocHeader* header = TrackedAllocHeader(older);
  header->size = 4096;  // damage: the block line must not read past the block
  EXPECT_EQ(CheckTrackedAllocs(), -1);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("0:以下のメモリ確保情報が破損しました\tsize:4096(4.000kb)  file:older", 0), 0u)
      << lines[0];
  EXPECT_NE(lines[0].find("data:<........> [00 00 00 00 00 00 00 00]"), std::string::npos);
  header->size = 8;
  EXPECT_EQ(CheckTrackedAllocs(), 0);
  (void)newer;
}

TEST_F(TrackedMemoryTest, FailedAllocationDumpsAndReturnsNull) {
  void* live = Alloc(5, "live", 5);
  EXPECT_EQ(TrackedAlloc(SIZE_MAX, "huge", 1), nullptr);
  EXPECT_EQ(TrackedAlloc(static_cast<size_t>(INT32_MAX), "huge", 1), nullptr);
  EXPECT_EQ(TrackedCalloc(SIZE_MAX, "huge", 1), nullptr);
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("0:Alloc memory dump\tsize:5(0.005kb)  file:live", 0), 0u) << lines[1];
  EXPECT_NE(TrackedAllocHeader(live)->size, 0);
}

}  // namespace
