// Archives: the key, member look-up by folder, every version, stored and
// compressed members, asynchronous reads, damaged archives and the table
// limits. Archives are built by the writer in tools/writers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/base/tracked_memory.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_directory.h"
#include "engine/core/files/ora_archive_key.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "support/scratch_folder.h"
#include "tests/support/fresh_state_test.h"
#include "tools/writers/archive_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using testsupport::PseudoRandomBytes;

Bytes Compressible(size_t size, uint32_t seed) {
  Bytes bytes;
  while (bytes.size() < size) {
    const std::string word = "tile" + std::to_string(seed++ % 13) + ";";
    bytes.insert(bytes.end(), word.begin(), word.end());
  }
  bytes.resize(size);
  return bytes;
}

// ---- key ----

TEST(ArchiveKeyTest, Vectors) {
  const ArchiveKey none = {0xA5, 0xA5, 0x66, 0x5A, 0xA5, 0xCC, 0xA5, 0xB4, 0x4B, 0x04, 0x82, 0x9B};
  EXPECT_EQ(MakeArchiveKey(nullptr), none);
  EXPECT_EQ(MakeArchiveKey(""), none);
  // "abcde" repeats as abcde abcde ab before the transformation.
  const ArchiveKey five = {0x9E, 0x26, 0x5F, 0xB9, 0x9A, 0xF7, 0x9D, 0x93, 0x8C, 0x3B, 0x31, 0xA3};
  EXPECT_EQ(MakeArchiveKey("abcde"), five);
  EXPECT_EQ(MakeArchiveKey("abcdeabcdeab"), five);
  EXPECT_EQ(MakeArchiveKey("ABCDEFGHIJKLMNOP"), MakeArchiveKey("ABCDEFGHIJKL"));
  EXPECT_NE(MakeArchiveKey("ABCDEFGHIJK"), MakeArchiveKey("ABCDEFGHIJKL"));
  ArchiveKey second;
  second.fill(kArchiveSecondKeyByte);
  EXPECT_EQ(SecondArchiveKey(), second);
  // The writer builds its key on its own; both must agree.
  for (const char* text : {"k", "key", "\x88\x9F\x95\x5C", "twelve chars", "thirteen chars"}) {
    const ArchiveKey engine = MakeArchiveKey(text);
    EXPECT_EQ(Bytes(engine.begin(), engine.end()), writers::ArchiveKeyFor(std::string(text), false)) << text;
  }
}

TEST(ArchiveKeyTest, ScramblingDependsOnTheFileOffsetOnly) {
  const ArchiveKey key = MakeArchiveKey("offsets");
  const Bytes plain = PseudoRandomBytes(100, 3);
  Bytes whole = plain;
  XorArchiveKey(whole.size(), whole.data(), 1000, key);
  for (size_t start : {0u, 1u, 11u, 12u, 13u, 57u}) {
    Bytes part(plain.begin() + start, plain.end());
    XorArchiveKey(part.size(), part.data(), 1000 + start, key);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start)) << start;
  }
  XorArchiveKey(whole.size(), whole.data(), 1000, key);
  EXPECT_EQ(whole, plain);
}

TEST(ArchiveNameKeyTest, UpperCasesAsciiKeepsDoubleByte) {
  const ArchiveNameKey a = MakeArchiveNameKey("abc\\rest");
  EXPECT_EQ(a.length, 3u);
  EXPECT_EQ(a.words, (Bytes{'A', 'B', 'C', 0}));
  EXPECT_EQ(a.checksum, 'A' + 'B' + 'C');
  const ArchiveNameKey four = MakeArchiveNameKey("abcd");
  EXPECT_EQ(four.words.size(), 8u) << "a whole word of zeros follows 4 bytes";
  // Second bytes are never upper-cased or taken as separators.
  const ArchiveNameKey dbcs = MakeArchiveNameKey("\x83\x61\x95\x5C.x");
  EXPECT_EQ(dbcs.length, 6u);
  EXPECT_EQ(dbcs.words, (Bytes{0x83, 0x61, 0x95, 0x5C, '.', 'X', 0, 0}));
}

TEST(ArchiveWildcardTest, Matches) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*", "ANY.TXT", true},          {"*.*", "NODOT", true},         {"*.PNG", "A.B.PNG", true},
      {"*.png", "A.PNG", true},        {"A?C", "ABC", true},           {"A?C", "AC", false},
      {"*.PNG", "A.PNGX", false},      {"?\x95\x5C", "A\x95\x5C", true}, {"?", "\x95\x5C", true},
      {"*\x5C", "\x95\x5C", false},    {"MAP*.MPS", "MAP001.MPS", true}, {"", "X", false},
      {"READ*.*", "README", true},    {"READ*.*", "READ.ME", true},   {"A.*", "B", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

// ---- a game folder built per test ----

class ArchiveFolder : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    scratch_.emplace("vesk_archive");
    root_ = scratch_->Path();
    saved_folder_ = platform::GetCurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(platform::NativeToEnginePath(root_.string())));
    SetUseArchive(1);
    SetStreamFunctions(nullptr);
    UseArchiveExtension("vesk");
    UseArchiveKey("GameKey");
  }
  void TearDown() override {
    FreshStateTest::TearDown();
    platform::SetCurrentFolder(saved_folder_);
  }
  void WriteNative(const std::string& relative, const Bytes& bytes) { scratch_->Write(relative, bytes); }
  void WriteArchive(const std::string& relative, const writers::ArchiveTreeNode& tree,
                    writers::ArchiveWriteOptions options = {}) {
    if (!options.key_text && !options.use_second_key) options.key_text = "GameKey";
    WriteNative(relative, writers::BuildArchive(tree, options));
  }
  // The whole file through the installed table, or nullopt when it does not
  // open.
  std::optional<Bytes> ReadAll(const std::string& name, int async = 0) {
    const StreamHandle h = StreamOpen(name.c_str(), 0, 1, async);
    if (h == 0) return std::nullopt;
    StreamSeek(h, 0, 2);
    const int32_t size = StreamTell(h);
    StreamSeek(h, 0, 0);
    Bytes out(static_cast<size_t>(size));
    if (size > 0) StreamRead(out.data(), 1, out.size(), h);
    while (StreamIdleCheck(h) == 0) platform::GetClock().Sleep(0);
    StreamClose(h);
    return out;
  }
  std::string EngineRoot() const { return platform::NativeToEnginePath(root_.string()); }

  std::optional<testsupport::ScratchFolder> scratch_;
  fs::path root_;
  std::string saved_folder_;
};

// The archive's slot and each stream's slot are tracked blocks, so streams
// left open appear in the shutdown dump; closing and the shutdown's archive
// sweep give every block back.
TEST_F(ArchiveFolder, ArchiveAndStreamSlotsAreTrackedBlocks) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("a.bin", PseudoRandomBytes(100, 1));
  WriteArchive("Data.vesk", data);
  const int32_t count = TrackedAllocCount();
  const StreamHandle h = StreamOpen("Data\\a.bin", 0, 1, 0);
  ASSERT_NE(h, 0);
  // The stream's slot; the archive's slot with its file stream and worker.
  EXPECT_EQ(TrackedAllocCount(), count + 4);
  EXPECT_EQ(StreamClose(h), 0);
  EXPECT_EQ(TrackedAllocCount(), count + 3) << "the unused archive stays open";
  TerminateArchives();
  EXPECT_EQ(TrackedAllocCount(), count);
}

TEST_F(ArchiveFolder, LookupTable) {
  const Bytes a_png = PseudoRandomBytes(5000, 1), kanji = PseudoRandomBytes(77, 2), map = Compressible(9000, 3),
              b_file = PseudoRandomBytes(33, 4), bgm = PseudoRandomBytes(4096, 5), lower_trail = PseudoRandomBytes(10, 6),
              plain_save = PseudoRandomBytes(12, 7), inner = PseudoRandomBytes(40, 8), extra_plain = PseudoRandomBytes(9, 9);
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("Picture\\a.png", a_png);
  data.AddFile("Picture\\\x95\x5C.png", kanji);  // second byte is a backslash
  data.AddFile("Map001.mps", map);
  data.AddFile("A\\B", b_file);
  data.AddFile("Sound\\bgm.ogg", bgm);
  data.AddFile("\x83\x61.txt", lower_trail);  // second byte is a lower-case letter
  writers::ArchiveWriteOptions options;
  options.compress = true;
  WriteArchive("Data.vesk", data, options);
  // Plain files below the packed folder are never read.
  WriteNative("Data/Picture/a.png", PseudoRandomBytes(5000, 100));
  WriteNative("Data/Picture/missing.png", PseudoRandomBytes(10, 101));
  // A deeper archive under the packed folder does not count: the outer one decides.
  writers::ArchiveTreeNode picture;
  picture.is_folder = true;
  picture.AddFile("a.png", PseudoRandomBytes(5000, 102));
  WriteArchive("Data/Picture.vesk", picture);
  // A plain folder with a packed subfolder.
  WriteNative("Save/x.sav", plain_save);
  WriteNative("Extra/plain.txt", extra_plain);
  writers::ArchiveTreeNode packed;
  packed.is_folder = true;
  packed.AddFile("inner.txt", inner);
  WriteArchive("Extra/Packed.vesk", packed);

  struct Case {
    std::string path;
    std::optional<Bytes> expected;
  };
  const std::vector<Case> cases = {
      {"Data\\Picture\\a.png", a_png},
      {"data\\PICTURE\\A.png", a_png},
      {"Data/Picture/a.PNG", a_png},
      {".\\Data\\Sound\\..\\Picture\\a.png", a_png},
      {EngineRoot() + "\\Data\\Picture\\a.png", a_png},
      {"Data\\Picture\\missing.png", std::nullopt},
      {"Data\\Picture\\\x95\x5C.png", kanji},
      {"Data\\Picture\\\x95\x5C.PNG", kanji},
      {"Data\\Picture\\\x95\x7C.png", std::nullopt},
      {"Data\\\x83\x61.TXT", lower_trail},
      {"Data\\\x83\x41.txt", std::nullopt},  // double-byte characters match only with the same bytes
      {"Data\\Map001.mps", map},
      {"Data\\Sound\\bgm.ogg", bgm},
      {"Data\\A\\B\\C", b_file},  // the first element that is not a folder is the file
      {"Data\\A", std::nullopt},  // a folder names no file
      {"Data\\Picture", std::nullopt},
      {"Save\\x.sav", plain_save},
      {"Extra\\plain.txt", extra_plain},
      {"Extra\\Packed\\inner.txt", inner},
      {"extra\\packed\\INNER.TXT", inner},
      {"Extra\\Packed\\none.txt", std::nullopt},
      {"Nothing\\at\\all.txt", std::nullopt},
  };
  // Twice: the second round runs on the remembered last hit and cached archives.
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      EXPECT_EQ(ReadAll(c.path), c.expected) << c.path << " round " << round;
    }
  }
  EXPECT_EQ(OpenArchiveStreamCount(), 0);
  EXPECT_EQ(ArchiveReferenceCount(NormalizeFullPath("Data.vesk")), 0) << "cached, unused";
  EXPECT_EQ(ArchiveReferenceCount(NormalizeFullPath("Data\\Picture.vesk")), -1) << "never opened";
}

TEST_F(ArchiveFolder, EveryVersionStoredAndCompressed) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  const Bytes stored = PseudoRandomBytes(70001, 11), packable = Compressible(65537, 12), empty;
  data.AddFile("Sub\\Deeper\\noise.bin", stored);
  data.AddFile("Sub\\text.bin", packable);
  data.AddFile("empty.bin", empty);
  for (int version = 0; version <= 3; ++version) {
    for (bool compress : {false, true}) {
      ClearArchiveTables();
      writers::ArchiveWriteOptions options;
      options.version = version;
      options.compress = compress;
      options.compress_even_if_larger = true;  // noise.bin packed too
      WriteArchive("Data.vesk", data, options);
      const std::string label = "v" + std::to_string(version) + (compress ? " packed" : " stored");
      EXPECT_EQ(ReadAll("Data\\Sub\\Deeper\\noise.bin"), stored) << label;
      EXPECT_EQ(ReadAll("Data\\Sub\\text.bin"), packable) << label;
      EXPECT_EQ(ReadAll("Data\\empty.bin"), empty) << label;
      EXPECT_EQ(ReadAll("Data\\Sub\\text.bin", 1), packable) << label << " async";
      EXPECT_EQ(ReadAll("Data\\Sub\\Deeper\\noise.bin", 1), stored) << label << " async";
    }
  }
}

TEST_F(ArchiveFolder, ReadsAtOddOffsetsAndSizes) {
  const Bytes stored = PseudoRandomBytes(40000, 21), packable = Compressible(40000, 22);
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("s.bin", stored);
  data.AddFile("c.bin", packable);
  writers::ArchiveWriteOptions options;
  options.compress = true;
  options.compress_even_if_larger = false;  // s.bin stays stored (0xFFFFFFFF)
  WriteArchive("Data.vesk", data, options);
  struct Step {
    int32_t offset;
    int origin;
    int64_t bytes;
  };
  const Step steps[] = {{0, 1, 1},     {0, 1, 11},   {13, 0, 25},   {-7, 1, 3},  {-5, 2, 100},
                        {0, 1, 5},     {39999, 0, 1}, {12345, 0, 13}, {-1, 0, 2}, {50000, 0, 4}};
  for (const char* name : {"Data\\s.bin", "Data\\c.bin"}) {
    for (int async : {0, 1}) {
      const Bytes& source = name[5] == 's' ? stored : packable;
      const StreamHandle h = StreamOpen(name, 0, 1, async);
      ASSERT_NE(h, 0);
      int64_t position = 0;
      for (const Step& s : steps) {
        StreamSeek(h, s.offset, s.origin);
        int64_t target = s.origin == 0 ? s.offset : s.origin == 1 ? position + s.offset : 40000 + s.offset;
        target = std::clamp<int64_t>(target, 0, 40000);  // members clamp
        ASSERT_EQ(StreamTell(h), target);
        Bytes out(static_cast<size_t>(s.bytes));
        const int64_t got = StreamRead(out.data(), 1, out.size(), h);
        while (StreamIdleCheck(h) == 0) platform::GetClock().Sleep(0);
        const int64_t expected = std::min<int64_t>(s.bytes, 40000 - target);
        ASSERT_EQ(got, expected) << name << " at " << target;
        ASSERT_TRUE(std::equal(out.begin(), out.begin() + expected, source.begin() + target)) << name << " at " << target;
        position = target + expected;
      }
      StreamClose(h);
    }
  }
}

TEST_F(ArchiveFolder, ReadPastTheEndAndBadHandles) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("f.bin", PseudoRandomBytes(10, 31));
  WriteArchive("Data.vesk", data);
  const StreamHandle h = StreamOpen("Data\\f.bin", 0, 1, 0);
  ASSERT_NE(h, 0);
  Bytes out(20);
  // Members count bytes, also with larger elements.
  EXPECT_EQ(StreamRead(out.data(), 4, 5, h), 10);
  EXPECT_EQ(StreamEof(h), 0);
  EXPECT_EQ(StreamRead(out.data(), 1, 1, h), 0);
  EXPECT_EQ(StreamEof(h), -1);
  EXPECT_EQ(StreamRead(out.data(), 1, 1, h), 0);
  EXPECT_EQ(IsStreamAtEnd(h), 1);
  StreamSeek(h, 3, 0);
  EXPECT_EQ(IsStreamAtEnd(h), 0);
  EXPECT_EQ(StreamClose(h), 0);
  for (StreamHandle bad : {h, StreamHandle{0}, StreamHandle{5}, kArchiveStreamHandleFlag | 600,
                           kArchiveStreamHandleFlag | 0x7FFFFFF}) {
    EXPECT_EQ(StreamTell(bad), -1);
    EXPECT_EQ(StreamSeek(bad, 0, 0), -1);
    EXPECT_EQ(StreamRead(out.data(), 1, 1, bad), -1);
    EXPECT_EQ(StreamEof(bad), -1);
    EXPECT_EQ(StreamIdleCheck(bad), -1);
    EXPECT_EQ(StreamClose(bad), -1);
  }
}

TEST_F(ArchiveFolder, KeysAndExtension) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  const Bytes content = PseudoRandomBytes(100, 41);
  data.AddFile("f.bin", content);
  WriteNative("Data/f.bin", PseudoRandomBytes(100, 42));  // read only when the archive is refused

  // Made with the second fixed key: read with it throughout.
  writers::ArchiveWriteOptions second;
  second.use_second_key = true;
  WriteArchive("Data.vesk", data, second);
  EXPECT_EQ(ReadAll("Data\\f.bin"), content);

  // Made with another key text: matches neither key, so the folder has no archive.
  ClearArchiveTables();
  writers::ArchiveWriteOptions other;
  other.key_text = "Other";
  WriteArchive("Data.vesk", data, other);
  EXPECT_EQ(ReadAll("Data\\f.bin"), PseudoRandomBytes(100, 42));
  ClearArchiveTables();
  UseArchiveKey("Other");
  EXPECT_EQ(ReadAll("Data\\f.bin"), content);

  // No key text: the fill key.
  ClearArchiveTables();
  UseArchiveKey(nullptr);
  writers::ArchiveWriteOptions none;
  none.key_text = std::nullopt;
  WriteNative("Data.vesk", writers::BuildArchive(data, none));
  EXPECT_EQ(ReadAll("Data\\f.bin"), content);

  // The default extension when none (or an unusable one) is set.
  ClearArchiveTables();
  fs::rename(root_ / "Data.vesk", root_ / "Data.ORA");
  EXPECT_EQ(ReadAll("Data\\f.bin"), PseudoRandomBytes(100, 42));
  UseArchiveExtension("");
  EXPECT_EQ(ReadAll("Data\\f.bin"), content);
  ClearArchiveTables();
  UseArchiveExtension(std::string(64, 'x').c_str());
  EXPECT_EQ(ReadAll("Data\\f.bin"), content);
}

TEST_F(ArchiveFolder, PlainFilesOnlyWhenArchivesAreOff) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("f.bin", PseudoRandomBytes(10, 51));
  WriteArchive("Data.vesk", data);
  WriteNative("Data/f.bin", PseudoRandomBytes(10, 52));
  EXPECT_EQ(ReadAll("Data\\f.bin"), PseudoRandomBytes(10, 51));
  SetUseArchive(0);
  EXPECT_EQ(ReadAll("Data\\f.bin"), PseudoRandomBytes(10, 52));
  SetUseArchive(1);
  EXPECT_EQ(ReadAll("Data\\f.bin"), PseudoRandomBytes(10, 51));
}

TEST_F(ArchiveFolder, FindInsideArchives) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("Map001.mps", PseudoRandomBytes(11, 1));
  data.AddFile("Map002.mps", PseudoRandomBytes(22, 2));
  data.AddFile("other.dat", PseudoRandomBytes(3, 3));
  data.AddFolder("MapSub");
  data.AddFile("Picture\\p.png", PseudoRandomBytes(4, 4));
  WriteArchive("Data.vesk", data);
  auto list = [](const char* pattern) {
    std::vector<std::string> names;
    FindEntry entry;
    const FindHandle h = StreamFindFirst(pattern, &entry);
    if (h == -1) return names;
    do names.push_back(std::string(entry.name) + (entry.directory ? "/" : ":" + std::to_string(entry.size_low)));
    while (StreamFindNext(h, &entry) == 0);
    StreamFindClose(h);
    return names;
  };
  EXPECT_EQ(list("Data\\map*.mps"), (std::vector<std::string>{"Map001.mps:11", "Map002.mps:22"}));
  EXPECT_EQ(list("Data\\Map*"), (std::vector<std::string>{"Map001.mps:11", "Map002.mps:22", "MapSub/"}));
  EXPECT_EQ(list("Data\\Picture\\*"), (std::vector<std::string>{"./", "../", "p.png:4"}));
  EXPECT_TRUE(list("Data\\*.none").empty());
  EXPECT_TRUE(list("Data\\Nope\\*").empty());
  EXPECT_EQ(ArchiveReferenceCount(NormalizeFullPath("Data.vesk")), 0) << "searches give their reference back";
}

// ---- damaged archives ----

// Patches a built archive: unscrambles it, lets edit change it, scrambles it
// again.
Bytes Patched(Bytes file, const std::function<void(Bytes&)>& edit) {
  const auto key = writers::ArchiveKeyFor(std::string("GameKey"), false);
  for (size_t i = 0; i < file.size(); ++i) file[i] ^= key[i % 12];
  edit(file);
  for (size_t i = 0; i < file.size(); ++i) file[i] ^= key[i % 12];
  return file;
}
uint32_t GetU32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) | (uint32_t{b[at + 3]} << 24);
}
void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
// File offset of the root directory's k-th entry (version 3: 44 bytes).
size_t RootEntry(const Bytes& b, uint32_t k) {
  const size_t block = GetU32(b, 12);
  const size_t first = GetU32(b, block + GetU32(b, 20) + 12);
  return block + GetU32(b, 16) + first + k * 44;
}
// File offset of the root directory's record.
size_t RootRecord(const Bytes& b) { return GetU32(b, 12) + GetU32(b, 20); }

TEST_F(ArchiveFolder, DamagedArchives) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  const Bytes stored = PseudoRandomBytes(300, 61), packable = Compressible(3000, 62);
  data.AddFile("c.bin", packable);    // root entry 0, compressed
  data.AddFile("s.bin", stored);      // root entry 1, stored
  data.AddFile("Sub\\t.bin", stored);  // root entry 2, a folder
  writers::ArchiveWriteOptions options;
  options.compress = true;
  options.key_text = "GameKey";
  const Bytes good = writers::BuildArchive(data, options);
  const Bytes plain_c = PseudoRandomBytes(5, 63), plain_s = PseudoRandomBytes(6, 64);
  WriteNative("Data/c.bin", plain_c);
  WriteNative("Data/s.bin", plain_s);

  enum class Expect { kArchive, kNoArchive, kMemberRefused };
  struct Case {
    const char* label;
    std::function<Bytes()> make;
    Expect expect;
  };
  auto patch = [&](std::function<void(Bytes&)> edit) { return [&good, edit] { return Patched(good, edit); }; };
  const std::vector<Case> cases = {
      {"intact", [&] { return good; }, Expect::kArchive},
      {"wrong magic", patch([](Bytes& b) { b[1] = 'X'; }), Expect::kNoArchive},
      {"version 4", patch([](Bytes& b) { b[2] = 4; }), Expect::kNoArchive},
      {"cut inside the header", [&] { return Bytes(good.begin(), good.begin() + 20); }, Expect::kNoArchive},
      {"cut inside the directory", [&] { return Bytes(good.begin(), good.end() - 8); }, Expect::kNoArchive},
      {"empty file", [] { return Bytes(); }, Expect::kNoArchive},
      {"huge directory size", patch([](Bytes& b) { PutU32(b, 4, 0xFFFFFFF0u); }), Expect::kNoArchive},
      {"directory offset beyond the file", patch([](Bytes& b) { PutU32(b, 12, 0x7FFFFFF0u); }), Expect::kNoArchive},
      {"entry table outside the block", patch([](Bytes& b) { PutU32(b, 16, 0xFFFFFF00u); }), Expect::kNoArchive},
      {"directory table outside the block", patch([](Bytes& b) { PutU32(b, 20, GetU32(b, 4) - 8); }),
       Expect::kNoArchive},
      {"huge entry count", patch([](Bytes& b) { PutU32(b, RootRecord(b) + 8, 0x7FFFFFFFu); }), Expect::kArchive},
      {"first entry outside", patch([](Bytes& b) { PutU32(b, RootRecord(b) + 12, 0xFFFFFFF0u); }),
       Expect::kMemberRefused},
      {"name offsets outside", patch([](Bytes& b) {
         PutU32(b, RootEntry(b, 0), 0xFFFFFFF0u);
         PutU32(b, RootEntry(b, 1), 0x7FFFFFFFu);
       }),
       Expect::kMemberRefused},
      {"data beyond the file", patch([](Bytes& b) {
         PutU32(b, RootEntry(b, 0) + 32, 0x10000000u);
         PutU32(b, RootEntry(b, 1) + 32, 0x10000000u);
       }),
       Expect::kMemberRefused},
      {"huge sizes", patch([](Bytes& b) {
         PutU32(b, RootEntry(b, 0) + 36, 0xFFFFFFFFu);
         PutU32(b, RootEntry(b, 1) + 36, 0x7FFFFFFFu);
       }),
       Expect::kMemberRefused},
      {"packed sizes too small", patch([](Bytes& b) {
         PutU32(b, RootEntry(b, 0) + 40, 8);
         PutU32(b, RootEntry(b, 1) + 36, 0x80000000u);
       }),
       Expect::kMemberRefused},
      {"damaged LZ codes", patch([](Bytes& b) {
         const size_t at = GetU32(b, 8) + GetU32(b, RootEntry(b, 0) + 32);
         PutU32(b, at, GetU32(b, at) + 1);  // unpacked size in the block head
         PutU32(b, RootEntry(b, 1) + 32, 0xFFFFFF00u);
       }),
       Expect::kMemberRefused},
      {"sub-folder record outside", patch([](Bytes& b) { PutU32(b, RootEntry(b, 2) + 32, 0xFFFFFFF0u); }),
       Expect::kArchive},
  };
  for (const Case& c : cases) {
    ClearArchiveTables();
    WriteNative("Data.vesk", c.make());
    const auto got_c = ReadAll("Data\\c.bin");
    const auto got_s = ReadAll("Data\\s.bin");
    switch (c.expect) {
      case Expect::kArchive:
        EXPECT_EQ(got_c, packable) << c.label;
        EXPECT_EQ(got_s, stored) << c.label;
        break;
      case Expect::kNoArchive:
        EXPECT_EQ(got_c, plain_c) << c.label;
        EXPECT_EQ(got_s, plain_s) << c.label;
        break;
      case Expect::kMemberRefused:
        EXPECT_EQ(got_c, std::nullopt) << c.label;
        EXPECT_EQ(got_s, std::nullopt) << c.label;
        break;
    }
    EXPECT_EQ(ReadAll("Data\\Sub\\t.bin").value_or(stored), stored) << c.label;
  }
}

// ---- limits ----

TEST_F(ArchiveFolder, FiveHundredTwelveStreams) {
  writers::ArchiveTreeNode data;
  data.is_folder = true;
  data.AddFile("f.bin", PseudoRandomBytes(10, 71));
  WriteArchive("Data.vesk", data);
  WriteNative("plain.bin", PseudoRandomBytes(10, 72));
  std::vector<StreamHandle> handles;
  for (int i = 0; i < kMaxArchiveStreams; ++i) {
    const StreamHandle h = StreamOpen(i % 2 ? "Data\\f.bin" : "plain.bin", 0, 1, 0);
    ASSERT_NE(h, 0) << i;
    handles.push_back(h);
  }
  EXPECT_EQ(StreamOpen("Data\\f.bin", 0, 1, 0), 0);
  EXPECT_EQ(StreamOpen("plain.bin", 0, 1, 0), 0);
  EXPECT_EQ(ArchiveReferenceCount(NormalizeFullPath("Data.vesk")), kMaxArchiveStreams / 2);
  // The lowest free slot is used again.
  ASSERT_EQ(StreamClose(handles[7]), 0);
  EXPECT_EQ(StreamOpen("Data\\f.bin", 0, 1, 0), handles[7]);
  for (const StreamHandle h : handles) EXPECT_EQ(StreamClose(h), 0);
  EXPECT_EQ(OpenArchiveStreamCount(), 0);
  EXPECT_EQ(ArchiveReferenceCount(NormalizeFullPath("Data.vesk")), 0);
}

TEST_F(ArchiveFolder, FiveHundredTwelveArchives) {
  writers::ArchiveTreeNode tree;
  tree.is_folder = true;
  tree.AddFile("a.bin", PseudoRandomBytes(4, 81));
  const Bytes archive = writers::BuildArchive(tree, {.version = 3, .key_text = std::string("GameKey")});
  // Spread over small folders so that each look-up scans few names.
  auto folder = [](int i) {
    char path[32];
    std::snprintf(path, sizeof path, "G%d/F%d", i / 32, i);
    return std::string(path);
  };
  auto member = [](int i) {
    char path[40];
    std::snprintf(path, sizeof path, "G%d\\F%d\\a.bin", i / 32, i);
    return std::string(path);
  };
  for (int i = 0; i <= kMaxOpenArchives; ++i) WriteNative(folder(i) + ".vesk", archive);
  const StreamHandle held = StreamOpen(member(0).c_str(), 0, 1, 0);
  ASSERT_NE(held, 0);
  for (int i = 1; i < kMaxOpenArchives; ++i) ASSERT_EQ(ReadAll(member(i)), PseudoRandomBytes(4, 81)) << i;
  EXPECT_EQ(OpenArchiveCount(), kMaxOpenArchives);
  // The table is full: the unused archives are closed to make room.
  EXPECT_EQ(ReadAll(member(kMaxOpenArchives)), PseudoRandomBytes(4, 81));
  EXPECT_EQ(OpenArchiveCount(), 2);
  EXPECT_EQ(ArchiveReferenceCount(NormalizeFullPath("G0\\F0.vesk")), 1);
  StreamClose(held);
  TerminateArchives();
  EXPECT_EQ(OpenArchiveCount(), 0);
}

}  // namespace
