// The archive search as the folders change under it, and the normalised
// paths it searches with.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "support/scratch_folder.h"
#include "tests/support/fresh_state_test.h"
#include "tools/writers/archive_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::PseudoRandomBytes;

class ArchiveSearch : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    scratch_.emplace("vesk_archive_search");
    saved_folder_ = platform::GetCurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(platform::NativeToEnginePath(scratch_->Path().string())));
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
  void WriteArchive(const std::string& relative, const writers::ArchiveTreeNode& tree) {
    writers::ArchiveWriteOptions options;
    options.key_text = "GameKey";
    WriteNative(relative, writers::BuildArchive(tree, options));
  }
  // The whole file through the installed table, or nullopt when it does not
  // open.
  std::optional<Bytes> ReadAll(const std::string& name) {
    const StreamHandle h = StreamOpen(name.c_str(), 0, 1, 0);
    if (h == 0) return std::nullopt;
    StreamSeek(h, 0, 2);
    const int32_t size = StreamTell(h);
    StreamSeek(h, 0, 0);
    Bytes out(static_cast<size_t>(size));
    if (size > 0) StreamRead(out.data(), 1, out.size(), h);
    StreamClose(h);
    return out;
  }

  std::optional<testsupport::ScratchFolder> scratch_;
  std::string saved_folder_;
};

// The search for archives keeps what it found missing only while the
// folders stay as they were: an archive put in place by another process is
// used by the next open, and one that is there but would not open is tried
// again (a file rewritten in place changes no folder).
TEST_F(ArchiveSearch, SearchFollowsArchivesAddedOrRepairedOutsideTheProgram) {
  const Bytes plain = PseudoRandomBytes(7, 81), packed = PseudoRandomBytes(90, 82);
  writers::ArchiveTreeNode tree;
  tree.is_folder = true;
  tree.AddFile("a.bin", packed);
  WriteNative("Late/Deep/a.bin", plain);
  WriteNative("Bad/a.bin", plain);
  WriteNative("Bad.vesk", PseudoRandomBytes(64, 83));

  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(ReadAll("Late\\Deep\\a.bin"), plain) << "round " << round;
    EXPECT_EQ(ReadAll("Bad\\a.bin"), plain) << "round " << round;
  }
  writers::ArchiveTreeNode deep;
  deep.is_folder = true;
  deep.AddFile("Deep\\a.bin", packed);
  WriteArchive("Late.vesk", deep);
  EXPECT_EQ(ReadAll("late\\deep\\A.BIN"), packed) << "an archive made after a search that found none";
  EXPECT_EQ(ReadAll("Late\\Deep\\a.bin"), packed);
  WriteArchive("Bad.vesk", tree);  // the same file, rewritten
  EXPECT_EQ(ReadAll("Bad\\a.bin"), packed) << "a damaged archive repaired in place";
  EXPECT_EQ(OpenArchiveStreamCount(), 0);
}

// Normalised paths: the current folder applied, upper-cased, backslashes
// only; "." and ".." apply before a separator, never above the drive.
TEST_F(ArchiveSearch, NormalizeFullPathTable) {
  const std::string root = NormalizeFullPath(nullptr);
  ASSERT_GE(root.size(), 2u);
  const std::string drive = root.substr(0, 2);
  struct Case {
    std::string path;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"Data\\a.png", root + "\\DATA\\A.PNG"},
      {"data/sub//x.Bin", root + "\\DATA\\SUB\\X.BIN"},
      {".\\Data\\.\\Sound\\..\\a", root + "\\DATA\\A"},
      {"Data\\.", root + "\\DATA\\."},
      {"Data\\..", root + "\\DATA\\.."},
      {"\\top\\File", drive + "\\TOP\\FILE"},
      {"\\..\\..\\x", drive + "\\X"},
      {"g:\\Game\\A", "G:\\GAME\\A"},
      {"g:Game", "G:\\GAME"},
      {"C:\\..\\..\\a", "C:\\A"},
      {"\\\\server\\share\\f", "\\\\SERVER\\SHARE\\F"},
      {"Data\\\x95\x5C\\a.b", root + "\\DATA\\\x95\x5C\\A.B"},  // a trail byte 5C stays in its character
      {"\x83\x61" "bc\\d", root + "\\\x83\x61" "BC\\D"},          // a lower-case trail byte stays as it is
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeFullPath(c.path.c_str()), c.expected) << c.path;
}

}  // namespace
