// The file entry points over a game folder, plain and with its Data folder
// packed by the archive tool: both must give the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/api/file_entry_points.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "platform/file_system.h"
#include "support/scratch_folder.h"
#include "tools/writers/archive_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using testsupport::PseudoRandomBytes;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class GameFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("vesk_entry");
    base_ = scratch_->Path();
    saved_folder_ = platform::GetCurrentFolder();
    ClearArchiveTables();
    EnableArchiveAccess(1);
    SetStreamFunctions(nullptr);
    ChangeArchiveExtension("vesk");
    ChangeArchiveKey("Key Text 01");
  }
  void TearDown() override {
    ClearArchiveTables();
    ChangeArchiveExtension(nullptr);
    ChangeArchiveKey(nullptr);
    platform::SetCurrentFolder(saved_folder_);
  }
  void Write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void Enter(const fs::path& folder) {
    ClearArchiveTables();
    ASSERT_TRUE(platform::SetCurrentFolder(platform::NativeToEnginePath(folder.string())));
  }
  // Packs folder/Data into folder/Data.vesk with the archive tool (or its
  // library when the tool is not built) and removes the plain folder.
  void Pack(const fs::path& folder, const std::string& options) {
    const fs::path tool = fs::path(VESK_BINARY_DIR) / "tools" / "vesk-make-archive";
    if (fs::exists(tool)) {
      const std::string command = tool.string() + " '" + (folder / "Data").string() + "' '" +
                                  (folder / "Data.vesk").string() + "' --key 'Key Text 01' " + options;
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
    } else {
      writers::ArchiveWriteOptions o;
      o.key_text = "Key Text 01";
      o.compress = options.find("--compress") != std::string::npos;
      std::string error;
      ASSERT_TRUE(writers::WriteArchiveFromFolder((folder / "Data").string(), (folder / "Data.vesk").string(), o,
                                                  &error))
          << error;
    }
    fs::remove_all(folder / "Data");
  }
  std::optional<testsupport::ScratchFolder> scratch_;
  fs::path base_;
  std::string saved_folder_;
};

// Everything the entry points tell about one file.
struct FileView {
  int64_t size = -1;
  Bytes whole;
  int end_after_read = -1;
  std::vector<std::string> lines;
  bool operator==(const FileView&) const = default;
};

FileView View(const std::string& name) {
  FileView view;
  view.size = GetDataFileSize(name.c_str());
  if (view.size < 0) return view;
  StreamHandle h = OpenDataFile(name.c_str(), 0);
  EXPECT_NE(h, 0) << name;
  view.whole.resize(static_cast<size_t>(view.size));
  if (view.size > 0) ReadDataFile(view.whole.data(), view.size, h);
  view.end_after_read = IsDataFileEnd(h);
  CloseDataFile(h);
  h = OpenDataFile(name.c_str(), 0);
  char line[64];
  for (int n; (n = ReadDataFileLine(line, sizeof(line), h)) >= 0;) view.lines.emplace_back(line, static_cast<size_t>(n));
  CloseDataFile(h);
  return view;
}

TEST_F(GameFolders, PackedDataReadsTheSameAsThePlainFolder) {
  std::vector<std::pair<std::string, Bytes>> files = {
      {"Data/BasicData/Game.dat", PseudoRandomBytes(1234, 1)},
      {"Data/BasicData/DataBase.dat", PseudoRandomBytes(70000, 2)},
      {"Data/MapData/Map001.mps", PseudoRandomBytes(4096, 3)},
      {"Data/Picture/Title.png", PseudoRandomBytes(200000, 4)},
      {"Data/Picture/\xe8\xa1\xa8.png", PseudoRandomBytes(300, 5)},  // a name whose Shift-JIS second byte is 0x5C
      {"Data/Sound/empty.ogg", {}},
      {"Data/Text/story.txt", Text("first line\r\nsecond \x88\x9F line\r\n\r\nlast")},
      {"Data/Text/long.txt", Text(std::string(150, 'x') + "\r\nshort")},
  };
  const std::vector<std::string> names = {
      "Data\\BasicData\\Game.dat", "Data\\BasicData\\DataBase.dat", "data\\mapdata\\MAP001.MPS",
      "Data/Picture/Title.png",    "Data\\Picture\\\x95\x5C.png",   "Data\\Sound\\empty.ogg",
      "Data\\Text\\story.txt",     "Data\\Text\\long.txt",          "Data\\Missing.txt",
  };
  for (const std::string options : {"", "--compress"}) {
    const fs::path plain = base_ / ("plain" + options), packed = base_ / ("packed" + options);
    for (const auto& [path, bytes] : files) {
      Write(plain / path, bytes);
      Write(packed / path, bytes);
    }
    Write(plain / "Game.ini", Text("[Game]"));
    Write(packed / "Game.ini", Text("[Game]"));
    Pack(packed, options);
    ASSERT_TRUE(fs::exists(packed / "Data.vesk"));
    ASSERT_FALSE(fs::exists(packed / "Data"));

    for (const std::string& name : names) {
      Enter(plain);
      const FileView expected = View(name);
      Enter(packed);
      const FileView got = View(name);
      EXPECT_EQ(got, expected) << name << " " << options;
    }
    Enter(packed);
    EXPECT_EQ(View("Data\\Picture\\Title.png").whole, files[3].second);
    EXPECT_EQ(View("Data\\Text\\story.txt").lines,
              (std::vector<std::string>{"first line", "second \x88\x9F line", "", "last"}));
    EXPECT_EQ(View("Game.ini").whole, Text("[Game]"));
    EXPECT_EQ(GetDataFileSize("Data\\Missing.txt"), -1);
  }
}

// Every way GetDataFileSize can fail gives -1 and leaves the lock free: a
// second thread takes it at once.
TEST_F(GameFolders, FailedSizeLeavesTheLockFree) {
  Write(base_ / "Data" / "BasicData" / "Game.dat", PseudoRandomBytes(10, 1));
  Pack(base_, "");
  Write(base_ / "Plain" / "there.bin", PseudoRandomBytes(10, 2));
  Enter(base_);
  const char* const names[] = {"nothing.bin", "Plain\\nothing.bin", "Data\\BasicData\\nothing.dat",
                               "Data\\BasicData\\", "", nullptr};
  for (const char* name : names) {
    SCOPED_TRACE(name == nullptr ? "(null)" : name);
    EXPECT_EQ(GetDataFileSize(name), -1);
    const ApiLockState state = GetApiLockState();
    EXPECT_FALSE(state.held);
    EXPECT_EQ(state.depth, 0);
    bool taken = false;
    std::thread other([&] {
      ApiLockGuard lock;
      taken = true;
    });
    other.join();
    EXPECT_TRUE(taken);
  }
  EXPECT_EQ(GetDataFileSize("Plain\\THERE.BIN"), 10);
  EXPECT_EQ(GetDataFileSize("data\\basicdata\\game.dat"), 10);
  EXPECT_FALSE(GetApiLockState().held);
}

TEST_F(GameFolders, EntryPointEdgeCases) {
  Write(base_ / "two.txt", Text("ab\r\ncd"));
  Write(base_ / "Data" / "f.bin", PseudoRandomBytes(10, 9));
  Enter(base_);
  // Two letters, CR LF, two letters, read with a 10-byte buffer.
  StreamHandle h = OpenDataFile("two.txt", 0);
  ASSERT_NE(h, 0);
  char line[10];
  EXPECT_EQ(ReadDataFileLine(line, 10, h), 2);
  EXPECT_STREQ(line, "ab");
  EXPECT_EQ(IsDataFileEnd(h), 0);
  EXPECT_EQ(ReadDataFileLine(line, 10, h), 2);
  EXPECT_STREQ(line, "cd");
  EXPECT_EQ(IsDataFileEnd(h), 1);
  EXPECT_EQ(ReadDataFileLine(line, 10, h), -1);
  EXPECT_EQ(CloseDataFile(h), 0);

  // A plain file: a read larger than what is left reads nothing.
  h = OpenDataFile("Data\\f.bin", 0);
  Bytes out(20, 0xEE);
  EXPECT_EQ(ReadDataFile(out.data(), 20, h), 0);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(ReadDataFile(out.data(), 10, h), 1);
  CloseDataFile(h);
  // An asynchronous open of a plain file reads as well.
  h = OpenDataFile("Data\\f.bin", 1);
  ASSERT_NE(h, 0);
  EXPECT_EQ(ReadDataFileLine(reinterpret_cast<char*>(out.data()), 4, h) >= 0, true);
  CloseDataFile(h);

  EXPECT_EQ(GetDataFileSize("nothing.bin"), -1);
  EXPECT_EQ(OpenDataFile("nothing.bin", 0), 0);
  EXPECT_EQ(CloseDataFile(0), -1);
}

}  // namespace
