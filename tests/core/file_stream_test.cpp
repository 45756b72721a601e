// File streams, memory streams, the stream table and the stream helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_stream.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "support/scratch_folder.h"
#include "tests/support/fresh_state_test.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t size) { return testsupport::PseudoRandomBytes(size, 12345); }

// A scratch folder that becomes the engine's current folder.
class StreamFolder : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    scratch_.emplace("vesk_stream");
    root_ = scratch_->Path();
    saved_folder_ = platform::GetCurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(platform::NativeToEnginePath(root_.string())));
    SetUseArchive(1);
    SetStreamFunctions(nullptr);
  }
  void TearDown() override {
    FreshStateTest::TearDown();
    platform::SetCurrentFolder(saved_folder_);
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) { scratch_->Write(name, bytes); }
  void WriteText(const std::string& name, const std::string& text) {
    Write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::optional<testsupport::ScratchFolder> scratch_;
  fs::path root_;
  std::string saved_folder_;
};

// ---- memory streams ----

TEST(MemoryStreamTest, WholeElementsThenTheRestAsOneElement) {
  std::vector<uint8_t> data(13);
  std::iota(data.begin(), data.end(), 0);
  MemoryStream* stream = OpenMemoryStream(data.data(), 13);
  ASSERT_NE(stream, nullptr);
  const StreamOps* ops = GetMemoryStreamOps();
  const StreamHandle h = MemoryStreamHandle(stream);
  uint8_t out[20] = {};
  // 10 bytes left after a 3-byte read: five 4-byte elements give two.
  EXPECT_EQ(ops->read(out, 1, 3, h), 3);
  EXPECT_EQ(ops->read(out, 4, 5, h), 2);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[7], 10);
  EXPECT_EQ(ops->tell(h), 11);
  // Less than one element (2 bytes) left: they are copied, result 1.
  std::memset(out, 0xEE, sizeof(out));
  EXPECT_EQ(ops->read(out, 4, 1, h), 1);
  EXPECT_EQ(out[0], 11);
  EXPECT_EQ(out[1], 12);
  EXPECT_EQ(out[2], 0xEE);
  EXPECT_EQ(ops->eof(h), 0);
  EXPECT_EQ(ops->read(out, 1, 1, h), 0);
  EXPECT_EQ(ops->eof(h), 1);  // 1, not -1
  // A zero-element request copies nothing.
  ops->seek(h, 0, 0);
  EXPECT_EQ(ops->read(out, 4, 0, h), 0);
  EXPECT_EQ(ops->tell(h), 0);
  EXPECT_EQ(ops->idle_check(h), 1);
  EXPECT_EQ(ops->close(h), 0);
}

TEST(MemoryStreamTest, SeekClampsAndClearsEof) {
  std::vector<uint8_t> data(10, 7);
  MemoryStream* stream = OpenMemoryStream(data.data(), 10);
  const StreamHandle h = MemoryStreamHandle(stream);
  const StreamOps* ops = GetMemoryStreamOps();
  struct Case {
    int32_t offset;
    int origin;
    int32_t expected;
  };
  const Case cases[] = {{25, 0, 10}, {-3, 0, 0}, {4, 0, 4}, {3, 1, 7}, {-20, 1, 0},
                        {-2, 2, 8},  {5, 2, 10}, {INT32_MAX, 2, 10}, {INT32_MIN, 1, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(ops->seek(h, c.offset, c.origin), 0);
    EXPECT_EQ(ops->tell(h), c.expected) << c.offset << " from " << c.origin;
  }
  ops->seek(h, 100, 0);
  uint8_t b;
  EXPECT_EQ(ops->read(&b, 1, 1, h), 0);
  EXPECT_EQ(ops->eof(h), 1);
  ops->seek(h, 0, 0);
  EXPECT_EQ(ops->eof(h), 0);
  ops->close(h);
  EXPECT_EQ(OpenMemoryStream(data.data(), -1), nullptr);
}

// ---- file streams in each mode ----

struct StreamMode {
  const char* name;
  int cache;
  int async;
};

class FileStreamModes : public StreamFolder, public ::testing::WithParamInterface<StreamMode> {};

TEST_P(FileStreamModes, ReadsAtOddOffsetsAndSizes) {
  const auto bytes = Pattern(300000);  // more than two read-ahead caches
  Write("big.bin", bytes);
  const StreamMode mode = GetParam();
  FileStream* stream = OpenFileStream("BIG.bin", mode.cache, 1, mode.async);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->size, 300000);
  struct Step {
    int32_t seek;  // -1: no seek
    size_t element;
    size_t count;
  };
  const Step steps[] = {{-1, 1, 7},      {-1, 3, 1000}, {131071, 1, 2}, {-1, 1, 131072},
                        {5, 7, 13},      {-1, 1, 1},    {299990, 4, 5}, {0, 1, 300000},
                        {150000, 1, 1}};
  std::vector<uint8_t> out;
  int64_t position = 0;
  for (const Step& s : steps) {
    if (s.seek >= 0) {
      ASSERT_EQ(SeekFileStream(stream, s.seek, 0), 0);
      position = s.seek;
    }
    out.assign(s.element * s.count, 0);
    const int64_t got = ReadFileStream(out.data(), s.element, s.count, stream);
    while (IdleCheckFileStream(stream) == 0) platform::GetClock().Sleep(0);
    const int64_t whole = std::min<int64_t>(s.count, (300000 - position) / s.element);
    ASSERT_EQ(got, whole);
    ASSERT_EQ(0, std::memcmp(out.data(), bytes.data() + position, whole * s.element));
    position += whole * s.element;
    ASSERT_EQ(TellFileStream(stream), position);
  }
  EXPECT_EQ(EofFileStream(stream), 0);
  SeekFileStream(stream, 0, 2);
  uint8_t b;
  EXPECT_EQ(ReadFileStream(&b, 1, 1, stream), 0);
  EXPECT_EQ(EofFileStream(stream), -1);
  EXPECT_EQ(SeekFileStream(stream, -5, 1), 0);
  EXPECT_EQ(EofFileStream(stream), 0);
  EXPECT_EQ(TellFileStream(stream), 299995);
  EXPECT_EQ(CloseFileStream(stream), 0);
}

TEST_P(FileStreamModes, MissingFileAndBadSeeks) {
  const StreamMode mode = GetParam();
  EXPECT_EQ(OpenFileStream("nothing.bin", mode.cache, 1, mode.async), nullptr);
  Write("small.bin", Pattern(10));
  FileStream* stream = OpenFileStream("small.bin", mode.cache, 1, mode.async);
  ASSERT_NE(stream, nullptr);
  // A position before the start is refused and leaves the position.
  EXPECT_EQ(SeekFileStream(stream, 4, 0), 0);
  EXPECT_EQ(SeekFileStream(stream, -5, 1), -1);
  EXPECT_EQ(SeekFileStream(stream, -11, 2), -1);
  EXPECT_EQ(TellFileStream(stream), 4);
  // Beyond the end is allowed; the next read gives 0 and eof.
  EXPECT_EQ(SeekFileStream(stream, 100, 0), 0);
  uint8_t b[4];
  EXPECT_EQ(ReadFileStream(b, 1, 4, stream), 0);
  EXPECT_EQ(EofFileStream(stream), -1);
  EXPECT_EQ(ReadFileStream(b, 0, 4, stream), 0);
  EXPECT_EQ(CloseFileStream(stream), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, FileStreamModes,
                         ::testing::Values(StreamMode{"direct", 0, 0}, StreamMode{"cached", 1, 0},
                                           StreamMode{"async", 0, 1},
                                           StreamMode{"cached_async", 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamFolder, AsynchronousReadIsCompleteOnceIdle) {
  const auto bytes = Pattern(1 << 20);
  Write("async.bin", bytes);
  FileStream* stream = OpenFileStream("async.bin", 0, 1, 1);
  ASSERT_NE(stream, nullptr);
  std::vector<uint8_t> out(bytes.size());
  EXPECT_EQ(ReadFileStream(out.data(), 1, out.size(), stream), static_cast<int64_t>(out.size()));
  EXPECT_EQ(TellFileStream(stream), 1 << 20);
  int polls = 0;
  while (IdleCheckFileStream(stream) == 0) {
    platform::GetClock().Sleep(0);
    ++polls;
  }
  EXPECT_EQ(out, bytes);
  // A second request waits for the first: no idle polling needed in between.
  std::vector<uint8_t> part(1000);
  SeekFileStream(stream, 1000, 0);
  ReadFileStream(part.data(), 1, 1000, stream);
  SeekFileStream(stream, 0, 0);  // waits for the read to finish
  EXPECT_EQ(0, std::memcmp(part.data(), bytes.data() + 1000, 1000));
  EXPECT_EQ(CloseFileStream(stream), 0);
}

size_t ThreadCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST_F(StreamFolder, ClosingAThreadedStreamEndsItsThread) {
  Write("t.bin", Pattern(100));
  const size_t before = ThreadCount();
  FileStream* stream = OpenFileStream("t.bin", 0, 1, 1);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ThreadCount(), before + 1);
  uint8_t out[100];
  ReadFileStream(out, 1, 100, stream);
  EXPECT_EQ(CloseFileStream(stream), 0);  // waits for the read, then for the thread
  EXPECT_EQ(ThreadCount(), before);
  // A failed threaded open leaves no thread behind either.
  EXPECT_EQ(OpenFileStream("missing.bin", 1, 1, 1), nullptr);
  EXPECT_EQ(ThreadCount(), before);
}

// ---- the table ----

int32_t FakeTell(StreamHandle) { return 77; }

TEST_F(StreamFolder, ArchiveSwitchKeepsACallersTable) {
  EXPECT_EQ(IsBuiltinStreamFunctions(), 1);
  SetUseArchive(0);
  EXPECT_EQ(IsBuiltinStreamFunctions(), 1);
  Write("a.bin", Pattern(5));
  StreamHandle h = StreamOpen("a.bin", 0, 1, 0);
  ASSERT_NE(h, 0);
  EXPECT_EQ(h & kArchiveStreamHandleFlag, 0) << "the plain set hands out stream addresses";
  StreamClose(h);

  StreamFunctionTable custom = PlainStreamFunctions();
  custom.tell = FakeTell;
  SetStreamFunctions(&custom);
  EXPECT_EQ(IsBuiltinStreamFunctions(), 0);
  SetUseArchive(1);  // a caller's table stays
  EXPECT_EQ(StreamTell(0), 77);
  SetStreamFunctions(nullptr);  // the archive-aware set now
  EXPECT_EQ(IsBuiltinStreamFunctions(), 1);
  h = StreamOpen("a.bin", 0, 1, 0);
  EXPECT_EQ(h & kArchiveStreamHandleFlag, kArchiveStreamHandleFlag);
  StreamClose(h);

  // Only the idle-check slot may differ.
  custom = ArchiveStreamFunctions();
  custom.idle_check = PlainStreamFunctions().idle_check;
  SetStreamFunctions(&custom);
  EXPECT_EQ(IsBuiltinStreamFunctions(), 1);
  SetStreamFunctions(nullptr);
}

// Plain-set handles are slots of the set's own table: never 0, never with a
// bit of the archive-set flag, refused once closed (also after the slot was
// reused) and by the archive-aware set.
TEST_F(StreamFolder, PlainHandlesAreSlotsThatCarryNoArchiveFlag) {
  SetUseArchive(0);
  Write("a.bin", Pattern(8));
  std::vector<StreamHandle> handles;
  for (int i = 0; i < kMaxPlainStreams; ++i) {
    const StreamHandle h = StreamOpen("a.bin", 0, 1, 0);
    ASSERT_NE(h, 0) << i;
    EXPECT_EQ(h & ~StreamHandle{0x07FFFFFF}, 0) << std::hex << h;
    handles.push_back(h);
  }
  EXPECT_EQ(StreamOpen("a.bin", 0, 1, 0), 0) << "the table is full";
  EXPECT_EQ(OpenPlainStreamCount(), kMaxPlainStreams);
  const StreamHandle closed = handles[7];
  EXPECT_EQ(StreamClose(closed), 0);
  const StreamHandle reused = StreamOpen("a.bin", 0, 1, 0);
  ASSERT_NE(reused, 0);
  EXPECT_EQ(reused & 0xFFFF, closed & 0xFFFF) << "the freed slot is taken again";
  handles[7] = reused;
  const StreamHandle bad[] = {closed, 0, -1, handles[0] | kArchiveStreamHandleFlag, kMaxPlainStreams + 1,
                              handles[1] ^ (StreamHandle{1} << 16)};
  for (StreamHandle h : bad) {
    EXPECT_EQ(StreamTell(h), -1) << std::hex << h;
    EXPECT_EQ(StreamSeek(h, 0, 0), -1) << std::hex << h;
    EXPECT_EQ(StreamEof(h), -1) << std::hex << h;
    EXPECT_EQ(StreamIdleCheck(h), -1) << std::hex << h;
    uint8_t byte = 0;
    EXPECT_EQ(StreamRead(&byte, 1, 1, h), -1) << std::hex << h;
    EXPECT_EQ(StreamClose(h), -1) << std::hex << h;
  }
  EXPECT_EQ(ArchiveStreamFunctions().tell(handles[0]), -1);
  for (StreamHandle h : handles) EXPECT_EQ(StreamClose(h), 0);
  EXPECT_EQ(OpenPlainStreamCount(), 0);
}

// Stream records live in tracked blocks: the shutdown dump lists the
// streams left open, and closing gives every block back.
TEST_F(StreamFolder, StreamRecordsAreTrackedBlocks) {
  Write("t.bin", Pattern(100));
  std::vector<uint8_t> memory(10);
  struct Case {
    const char* what;
    std::function<StreamHandle()> open;
    std::function<void(StreamHandle)> close;
    int32_t blocks;
    int32_t at_least_bytes;
  };
  const std::vector<Case> cases = {
      {"direct file",
       [] { return reinterpret_cast<StreamHandle>(OpenFileStream("t.bin", 0, 1, 0)); },
       [](StreamHandle h) { CloseFileStream(reinterpret_cast<FileStream*>(h)); }, 1, 1},
      {"threaded file with its cache",
       [] { return reinterpret_cast<StreamHandle>(OpenFileStream("t.bin", 1, 1, 1)); },
       [](StreamHandle h) { CloseFileStream(reinterpret_cast<FileStream*>(h)); }, 3,
       static_cast<int32_t>(kFileReadCacheSize)},
      {"memory stream", [&] { return MemoryStreamHandle(OpenMemoryStream(memory.data(), 10)); },
       [](StreamHandle h) { CloseMemoryStream(h); }, 1, static_cast<int32_t>(sizeof(MemoryStream))},
      {"plain file through the archive-aware set", [] { return StreamOpen("t.bin", 0, 1, 0); },
       [](StreamHandle h) { StreamClose(h); }, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t count = TrackedAllocCount();
    const int32_t bytes = TrackedAllocTotalSize();
    const StreamHandle h = c.open();
    ASSERT_NE(h, 0);
    EXPECT_EQ(TrackedAllocCount(), count + c.blocks);
    EXPECT_GE(TrackedAllocTotalSize() - bytes, c.at_least_bytes);
    c.close(h);
    EXPECT_EQ(TrackedAllocCount(), count);
    EXPECT_EQ(TrackedAllocTotalSize(), bytes);
  }
}

TEST_F(StreamFolder, TableStreamOpsReadPlainFiles) {
  Write("ops.bin", Pattern(64));
  const StreamOps* ops = GetTableStreamOps();
  const StreamHandle h = StreamOpen("ops.bin", 0, 1, 0);
  ASSERT_NE(h, 0);
  uint8_t out[16];
  EXPECT_EQ(ops->read(out, 8, 2, h), 2);
  EXPECT_EQ(ops->tell(h), 16);
  EXPECT_EQ(ops->seek(h, -4, 2), 0);
  EXPECT_EQ(ops->read(out, 8, 1, h), 0) << "plain files count whole elements";
  EXPECT_EQ(ops->idle_check(h), 1);
  EXPECT_EQ(IsStreamAtEnd(h), 0);
  ops->seek(h, 0, 2);
  EXPECT_EQ(IsStreamAtEnd(h), 1);
  EXPECT_EQ(ops->close(h), 0);
}

// ---- line reader ----

std::vector<std::string> ReadLines(const std::string& name, int buffer_size) {
  std::vector<std::string> lines;
  const StreamHandle h = StreamOpen(name.c_str(), 0, 1, 0);
  if (h == 0) return lines;
  std::vector<char> buffer(static_cast<size_t>(buffer_size) + 1, 'Z');
  for (int guard = 0; guard < 100; ++guard) {
    const int n = ReadStreamLine(buffer.data(), buffer_size, h);
    if (n < 0) break;
    EXPECT_EQ(buffer[static_cast<size_t>(n)], '\0');
    lines.emplace_back(buffer.data(), static_cast<size_t>(n));
  }
  StreamClose(h);
  return lines;
}

TEST_F(StreamFolder, LineReaderCases) {
  struct Case {
    const char* label;
    std::string text;
    int buffer_size;
    std::vector<std::string> lines;
  };
  const std::string kanji = "\x88\x9F";  // one double-byte character
  const std::string trail5c = "\x95\x5C";  // second byte is a backslash
  const Case cases[] = {
      {"two lines", "ab\r\ncd", 10, {"ab", "cd"}},
      {"trailing CR LF", "ab\r\n", 10, {"ab"}},
      {"empty lines", "\r\n\r\nx", 10, {"", "", "x"}},
      {"long line in pieces", "abcdefgh", 4, {"abc", "def", "gh"}},
      // The buffer would cut the character: it starts the next piece.
      {"cut double-byte", "ab" + kanji + "c", 4, {"ab", kanji + "c"}},
      // A line that fills the buffer exactly leaves its CR LF to the next call.
      {"double-byte fits", "a" + kanji + "\r\nb", 4, {"a" + kanji, "", "b"}},
      {"trail byte 0x5C", trail5c + "\r\n", 10, {trail5c}},
      // A NUL ends the text; the bytes read after it are skipped.
      {"NUL inside", std::string("ab\0cd\r\nef", 9), 10, {"ab"}},
      {"NUL with more after the read", std::string("ab\0cdefgh", 9), 5, {"ab", "defg", "h"}},
      // CR as the last byte read: the byte after it decides.
      {"CR at buffer end before LF", "abc\r\nd", 5, {"abc", "d"}},
      {"CR at buffer end before text", "abc\rd", 5, {"abc\r", "d"}},
      {"lone CR at file end", "ab\r", 10, {"ab\r"}},
      // A lone lead byte at the file's end, or a buffer too small for a
      // double-byte character, must still make progress.
      {"lead byte at file end", "ab\x88", 10, {"ab\x88"}},
      {"buffer of two", "a" + kanji, 2, {"a", "\x88", "\x9F"}},
      {"empty file", "", 10, {}},
  };
  int index = 0;
  for (const Case& c : cases) {
    const std::string name = "line" + std::to_string(index++) + ".txt";
    WriteText(name, c.text);
    EXPECT_EQ(ReadLines(name, c.buffer_size), c.lines) << c.label;
  }
  char tiny[1];
  const StreamHandle h = StreamOpen("line0.txt", 0, 1, 0);
  EXPECT_EQ(ReadStreamLine(tiny, 1, h), -1);
  EXPECT_EQ(ReadStreamLine(nullptr, 10, h), -1);
  StreamClose(h);
}

// ---- paths, temporary files, search ----

TEST(MakeFullPathTest, Cases) {
  struct Case {
    const char* path;
    const char* base;
    int result;
    const char* expected;
  };
  const Case cases[] = {
      {"a\\b.txt", "C:\\game", 0, "C:\\game\\a\\b.txt"},
      {"a/b.txt", "C:\\game\\", 0, "C:\\game\\a\\b.txt"},
      {".\\a\\..\\b", "C:\\game", 0, "C:\\game\\b"},
      {"..\\..\\..\\x", "C:\\game", 0, "C:\\x"},
      {"\\root.txt", "C:\\game\\sub", 0, "C:\\root.txt"},
      {"D:\\dir\\f", "C:\\game", 0, "D:\\dir\\f"},
      {"D:f", "C:\\game", 0, "D:\\f"},
      {"a\\\\b", "C:\\game", -1, nullptr},
      {"dir\\", "C:\\game", 0, "C:\\game\\dir"},
      {"\x95\x5C\\x", "C:\\game", 0, "C:\\game\\\x95\x5C\\x"},
      {"a\\..", "C:\\game", 0, "C:\\game\\a\\.."},  // the last element is kept as it is
  };
  for (const Case& c : cases) {
    char out[kStreamPathBufferSize] = {};
    EXPECT_EQ(MakeFullPath(c.path, out, c.base), c.result) << c.path;
    if (c.expected != nullptr) {
      EXPECT_STREQ(out, c.expected) << c.path;
    }
  }
  char out[kStreamPathBufferSize];
  EXPECT_EQ(MakeFullPath(nullptr, out, "C:\\base"), 0);
  EXPECT_STREQ(out, "C:\\base");
  const std::string long_name(300, 'x');
  EXPECT_EQ(MakeFullPath(long_name.c_str(), out, "C:\\base"), -1);
}

TEST_F(StreamFolder, TempFileIsNewAndWritable) {
  char path[kStreamPathBufferSize] = {};
  auto file = CreateTempFile(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(path[1], ':');
  EXPECT_EQ(file->Write("abc", 3), 3);
  file.reset();
  EXPECT_EQ(platform::FileSize(path).value_or(-1), 3);
  EXPECT_TRUE(platform::DeleteFile(path));
}

TEST_F(StreamFolder, PlainFindWithWildcards) {
  WriteText("one.txt", "1");
  WriteText("Two.TXT", "22");
  WriteText("three.dat", "333");
  fs::create_directories(root_ / "sub");
  FindEntry entry;
  std::vector<std::string> names;
  FindHandle h = StreamFindFirst("*.txt", &entry);
  ASSERT_NE(h, -1);
  do names.push_back(entry.name);
  while (StreamFindNext(h, &entry) == 0);
  EXPECT_EQ(StreamFindClose(h), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Two.TXT", "one.txt"}));
  h = StreamFindFirst("s?b", &entry);
  ASSERT_NE(h, -1);
  EXPECT_EQ(entry.directory, 1);
  EXPECT_EQ(StreamFindNext(h, &entry), -1);
  StreamFindClose(h);
  h = StreamFindFirst("thr*", &entry);
  EXPECT_EQ(entry.size_low, 3);
  EXPECT_GT(entry.last_write_time.year, 2000);
  StreamFindClose(h);
  EXPECT_EQ(StreamFindFirst("*.none", &entry), -1);
}

}  // namespace
