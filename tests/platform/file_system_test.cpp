// Windows path semantics on a real folder: names on disk differ in case from
// the names the tests use, and some hold kanji whose trail byte is 0x5C.
#include "platform/file_system.h"

#include "platform/directory_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace platform {
namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Shift-JIS bytes: 表 = 95 5C, ソ = 83 5C, full-width ａ = 82 81.
const std::string kHyouSjis = "\x95\x5C";
const std::string kSoSjis = "\x83\x5C";

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/vesk_fs_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    root_ = templ;
    // Kept as a native path: a drive letter may stand for another folder by
    // the time it is restored.
    saved_folder_ = EngineToNativeLexical(GetCurrentFolder());
    MakeFolder("Data");
    MakeFolder("Data/BasicData");
    MakeFile("Data/BasicData/Game.DAT", "basic");
    MakeFile("ReadMe.TXT", "readme");
    MakeFile("readme", "no extension");
    MakeFile("Map001.mps", "1");
    MakeFile("map002.MPS", "22");
    MakeFile("Map010.mps", "333");
    MakeFile(U8(u8"表.txt"), "hyou");
    MakeFolder(U8(u8"ソ"));
    MakeFile(U8(u8"ソ/Inner.txt"), "inner");
    MakeFile(U8(u8"ＡＢＣ.txt"), "fullwidth");
    ASSERT_TRUE(SetCurrentFolder(NativeToEnginePath(root_)));
  }

  void TearDown() override {
    SetCurrentFolder(NativeToEnginePath(saved_folder_));
    std::string command = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  void MakeFolder(const std::string& relative) {
    ASSERT_EQ(mkdir((root_ + "/" + relative).c_str(), 0777), 0) << relative;
  }
  void MakeFile(const std::string& relative, const std::string& content) {
    std::ofstream out(root_ + "/" + relative, std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << relative;
  }
  std::string ReadAll(const std::string& engine_path) {
    std::unique_ptr<File> file = OpenFile(engine_path, OpenMode::kRead);
    if (!file) return "<missing>";
    std::string content(static_cast<size_t>(file->Size()), '\0');
    EXPECT_EQ(file->Read(content.data(), static_cast<int64_t>(content.size())),
              static_cast<int64_t>(content.size()));
    return content;
  }

  std::string root_;
  std::string saved_folder_;
};

TEST_F(FileSystemTest, ElementsMatchWithoutCaseAndBothSeparators) {
  struct Case {
    std::string path;
    std::string content;
  };
  const std::string drive_root = NativeToEnginePath(root_);
  const std::vector<Case> cases = {
      {"data\\basicdata\\game.dat", "basic"},
      {"DATA/BASICDATA/GAME.DAT", "basic"},
      {"Data\\\\BasicData//Game.dat", "basic"},
      {".\\Data\\..\\data\\.\\BasicData\\Game.dat", "basic"},
      {drive_root + "\\DATA\\BasicData\\game.DAT", "basic"},
      {"readme.txt", "readme"},
      {"C:readme.txt", "readme"},  // drive-relative: the current folder
      {"README", "no extension"},
      {kHyouSjis + ".TXT", "hyou"},
      {kSoSjis + "\\inner.TXT", "inner"},
      {kSoSjis + "/INNER.txt", "inner"},
      {"\x82\x81\x82\x82\x82\x83.txt", "fullwidth"},  // ａｂｃ against ＡＢＣ on disk
      {"Data\\BasicData\\Missing.dat", "<missing>"},
      {"Nowhere\\Game.dat", "<missing>"},
      {"Data\\BasicData\\Game.dat\\", "<missing>"},
      {"Data", "<missing>"},  // a folder is not a file
  };
  for (const Case& c : cases) EXPECT_EQ(ReadAll(c.path), c.content) << c.path;
}

TEST_F(FileSystemTest, TrailByte5CStaysInsideItsCharacter) {
  // A name ending in 表 followed by a separator: the 0x5C of 表 must not
  // split the element.
  ASSERT_TRUE(CreateFolder(kHyouSjis + kSoSjis));
  EXPECT_TRUE(FolderExists(kHyouSjis + kSoSjis + "\\"));
  std::unique_ptr<File> file = OpenFile(kHyouSjis + kSoSjis + "\\" + kHyouSjis + ".dat",
                                        OpenMode::kCreateNew);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Write("x", 1), 1);
  file.reset();
  struct stat info {};
  EXPECT_EQ(stat((root_ + "/" + U8(u8"表ソ/表.dat")).c_str(), &info), 0);

  std::vector<FindEntry> found = FindFiles(kHyouSjis + kSoSjis + "\\*");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, kHyouSjis + ".dat");
  EXPECT_EQ(found[0].size, 1u);
}

TEST_F(FileSystemTest, CurrentFolderIsTheEnginesOwn) {
  char process_before[4096];
  ASSERT_NE(getcwd(process_before, sizeof(process_before)), nullptr);
  const std::string start = GetCurrentFolder();
  EXPECT_EQ(start, NativeToEnginePath(root_));

  ASSERT_TRUE(SetCurrentFolder("data\\BASICDATA"));
  EXPECT_EQ(GetCurrentFolder(), start + "\\Data\\BasicData");
  EXPECT_EQ(ReadAll("game.dat"), "basic");
  EXPECT_EQ(ReadAll("..\\..\\readme.txt"), "readme");

  char process_after[4096];
  ASSERT_NE(getcwd(process_after, sizeof(process_after)), nullptr);
  EXPECT_STREQ(process_before, process_after);

  EXPECT_FALSE(SetCurrentFolder("no_such_folder"));
  EXPECT_FALSE(SetCurrentFolder("game.dat"));  // a file
  EXPECT_EQ(GetCurrentFolder(), start + "\\Data\\BasicData");
  ASSERT_TRUE(SetCurrentFolder("C:\\"));
  EXPECT_EQ(GetCurrentFolder(), "C:\\");
}

TEST(FileSystemPaths, DriveFormAndNativeForms) {
  // "\top" is rooted on the current folder's drive: pin it to C: whatever
  // an earlier test left behind.
  const std::string saved_folder = GetCurrentFolder();
  ASSERT_TRUE(SetCurrentFolder("C:\\"));
  EXPECT_EQ(NativeToEnginePath("/"), "C:\\");
  EXPECT_EQ(NativeToEnginePath("/work/game"), "C:\\work\\game");
  EXPECT_EQ(NativeToEnginePath("/work/game/"), "C:\\work\\game");
  EXPECT_EQ(NativeToEnginePath(U8(u8"/g/表")), "C:\\g\\" + kHyouSjis);

  EXPECT_EQ(EngineToNativeLexical("C:\\"), "/");
  EXPECT_EQ(EngineToNativeLexical("c:/work\\game"), "/work/game");
  EXPECT_EQ(EngineToNativeLexical("C:\\work\\..\\..\\etc"), "/etc");
  EXPECT_EQ(EngineToNativeLexical("C:\\g\\" + kHyouSjis + "\\" + kSoSjis), U8(u8"/g/表/ソ"));
  EXPECT_EQ(EngineToNativeLexical("\\top"), "/top");
  EXPECT_EQ(EngineToNativeLexical(std::string("a\0b", 3)), "");
  EXPECT_EQ(EngineToNativeLexical(""), "");
  SetCurrentFolder(saved_folder);
}

TEST_F(FileSystemTest, OpenModes) {
  {
    std::unique_ptr<File> file = OpenFile("new.bin", OpenMode::kCreateNew);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Write("abcdef", 6), 6);
  }
  EXPECT_FALSE(OpenFile("NEW.BIN", OpenMode::kCreateNew));  // exists, whatever the case
  {
    std::unique_ptr<File> file = OpenFile("New.Bin", OpenMode::kOpenAlways);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Tell(), 0);
    EXPECT_EQ(file->Seek(0, 2), 6);
    EXPECT_EQ(file->Write("gh", 2), 2);
  }
  EXPECT_EQ(ReadAll("new.bin"), "abcdefgh");
  {
    std::unique_ptr<File> file = OpenFile("new.bin", OpenMode::kReadWrite);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Seek(2, 0), 2);
    EXPECT_EQ(file->Write("XY", 2), 2);
    EXPECT_EQ(file->Seek(-1, 1), 3);
    char byte = 0;
    EXPECT_EQ(file->Read(&byte, 1), 1);
    EXPECT_EQ(byte, 'Y');
    EXPECT_EQ(file->Seek(0, 7), -1);
    EXPECT_EQ(file->Read(&byte, -1), -1);
  }
  EXPECT_EQ(ReadAll("NEW.bin"), "abXYefgh");
  {
    std::unique_ptr<File> file = OpenFile("NEW.BIN", OpenMode::kCreate);  // truncates
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 0);
  }
  struct stat info {};
  EXPECT_EQ(stat((root_ + "/new.bin").c_str(), &info), 0);  // the existing name was kept
  EXPECT_FALSE(OpenFile("missing.bin", OpenMode::kRead));
  EXPECT_FALSE(OpenFile("missing.bin", OpenMode::kReadWrite));
  EXPECT_FALSE(OpenFile("nofolder\\x.bin", OpenMode::kCreate));
  EXPECT_FALSE(OpenFile("data", OpenMode::kRead));
  EXPECT_FALSE(OpenFile("Data\\", OpenMode::kCreate));
}

TEST_F(FileSystemTest, PipeIsRefusedWithoutBlocking) {
  ASSERT_EQ(mkfifo((root_ + "/pipe.dat").c_str(), 0666), 0);
  EXPECT_FALSE(OpenFile("PIPE.dat", OpenMode::kRead));
  EXPECT_FALSE(FileExists("pipe.dat"));
}

TEST_F(FileSystemTest, FileOperations) {
  EXPECT_TRUE(FileExists("data\\basicdata\\GAME.dat"));
  EXPECT_FALSE(FileExists("data"));
  EXPECT_TRUE(FolderExists("DATA"));
  EXPECT_FALSE(FolderExists("readme.txt"));
  EXPECT_EQ(FileSize("map010.MPS"), std::optional<int64_t>(3));
  EXPECT_EQ(FileSize("data"), std::nullopt);
  EXPECT_EQ(FileSize("nothing"), std::nullopt);

  // Rename replaces an existing destination, matched without case.
  EXPECT_TRUE(RenameFile("MAP001.MPS", "MAP010.mps"));
  EXPECT_FALSE(FileExists("map001.mps"));
  EXPECT_EQ(ReadAll("map010.mps"), "1");
  struct stat info {};
  EXPECT_EQ(stat((root_ + "/Map010.mps").c_str(), &info), 0);
  EXPECT_FALSE(RenameFile("absent", "other"));

  EXPECT_TRUE(CreateFolder("Save"));
  EXPECT_FALSE(CreateFolder("SAVE"));  // already there
  EXPECT_FALSE(CreateFolder("a\\b"));  // parent missing
  EXPECT_TRUE(FolderExists("save"));

  EXPECT_TRUE(DeleteFile("README.txt"));
  EXPECT_FALSE(DeleteFile("readme.txt"));
  EXPECT_FALSE(DeleteFile("Save"));  // folders are not deleted as files

  std::optional<uint64_t> free_space = FreeDiskSpace(".");
  ASSERT_TRUE(free_space.has_value());
  EXPECT_GT(*free_space, 0u);
  EXPECT_FALSE(FreeDiskSpace("no_such_folder").has_value());
}

TEST_F(FileSystemTest, FindFilesWithWildcards) {
  struct Case {
    std::string pattern;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"*.mps", {"Map001.mps", "map002.MPS", "Map010.mps"}},
      {"MAP00?.MPS", {"Map001.mps", "map002.MPS"}},
      {"map0*1*", {"Map001.mps", "Map010.mps"}},
      {"readme.*", {"readme", "ReadMe.TXT"}},
      {"data\\basicdata\\*", {"Game.DAT"}},
      {"Data/*.dat", {}},
      {"?.txt", {kHyouSjis + ".txt"}},  // one double-byte character is one '?'
      {kSoSjis + "\\*.txt", {"Inner.txt"}},
      {"nofolder\\*", {}},
      {"Data\\", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names;
    for (const FindEntry& entry : FindFiles(c.pattern)) names.push_back(entry.name);
    EXPECT_EQ(names, c.names) << c.pattern;
  }
  std::vector<FindEntry> all = FindFiles("*.*");
  EXPECT_EQ(all.size(), 9u);  // every entry, extension or not; no "." or ".."
  std::vector<FindEntry> data = FindFiles("d*");
  ASSERT_EQ(data.size(), 1u);
  EXPECT_TRUE(data[0].is_folder);
  std::vector<FindEntry> map = FindFiles("map010.mps");
  ASSERT_EQ(map.size(), 1u);
  EXPECT_EQ(map[0].size, 3u);
  EXPECT_FALSE(map[0].is_folder);
  EXPECT_GT(map[0].write_time, 0);
}

TEST(WildcardMatchTest, Table) {
  struct Case {
    const char* pattern;
    std::string name;
    bool match;
  };
  const std::vector<Case> cases = {
      {"*", "anything", true},
      {"*", "", true},
      {"*.*", "noext", true},
      {"*.png", "Title.PNG", true},
      {"*.png", "Title.PNG.bak", false},
      {"t?tle.png", "TITLE.png", true},
      {"t?tle.png", "ttle.png", false},
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
      {"*a", "banana", true},
      {"??", kHyouSjis + kSoSjis, true},  // two characters, four bytes
      {"?", kHyouSjis, true},
      {"?x", kHyouSjis + "x", true},
      {"?", kHyouSjis + "x", false},
      {"\x95\x5C*", kHyouSjis + ".txt", true},
      {"\x82\x60*", "\x82\x81", true},  // Ａ* matches ａ
      {"abc", "abd", false},
      {"", "", true},
      {"", "a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
  }
}

TEST(TempFileTest, CreatesAnEmptyFileInTheTemporaryFolder) {
  std::string path = CreateTempFile("mov");
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.substr(0, 3), "C:\\");
  EXPECT_EQ(FileSize(path), std::optional<int64_t>(0));
  std::string second = CreateTempFile("mov");
  EXPECT_NE(path, second);
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_TRUE(DeleteFile(second));
}

// Drives: the game's folder is G:, matched exactly as the system names it
// (a sibling differing only in case is never taken for it), and ".." stays
// below a drive's folder.
TEST_F(FileSystemTest, GameFolderDriveIsExactAndClosed) {
  const std::string parent = root_ + "/games";
  MakeFolder("games");
  MakeFolder("games/game");
  MakeFolder("games/GAME");  // an empty sibling, exact match of the upper-cased path
  MakeFolder("games/game/Data");
  MakeFile("games/game/Data.vesk", "archive");
  MakeFile("games/game/Data/A.bin", "a");
  ASSERT_TRUE(SetGameFolder(parent + "/game"));
  ASSERT_TRUE(SetCurrentFolder("G:\\"));
  EXPECT_EQ(GetCurrentFolder(), "G:\\");
  EXPECT_EQ(NativeToEnginePath(parent + "/game/Data/A.bin"), "G:\\Data\\A.bin");
  struct Case {
    std::string path;
    std::string content;
  };
  const std::vector<Case> cases = {
      {"G:\\DATA.VESK", "archive"},
      {"DATA\\A.BIN", "a"},
      {"\\data\\a.bin", "a"},             // the current drive's folder
      {"G:data\\a.bin", "a"},             // the current folder of the current drive
      {"G:\\..\\..\\DATA\\A.BIN", "a"},   // ".." never leaves the drive
      {"..\\game\\Data\\A.bin", "<missing>"},
      {"Q:\\Data\\A.bin", "<missing>"},   // a drive that stands for nothing
  };
  for (const Case& c : cases) EXPECT_EQ(ReadAll(c.path), c.content) << c.path;
  EXPECT_EQ(EngineToNativeLexical("G:\\Data\\..\\..\\x"), parent + "/game/x");
  ASSERT_TRUE(SetCurrentFolder("data"));
  EXPECT_EQ(GetCurrentFolder(), "G:\\Data");
  EXPECT_EQ(ReadAll("G:..\\Data.vesk"), "archive");
}

// Folders whose names code page 932 cannot spell, and folders too deep to
// fit the engine's path buffers, are presented under a drive of their own
// and map back to the very same native path.
TEST_F(FileSystemTest, UnspellableAndLongFoldersGetDrivesThatMapBack) {
  const std::string long_name(100, 'n');
  const std::vector<std::string> folders = {
      U8(u8"caf\u00e9"),
      U8(u8"pad\U0001F3AE"),
      U8(u8"caf\u00e9/inner/") + U8(u8"\u00e9t\u00e9"),
      long_name + "/" + long_name + "/" + long_name,
  };
  for (const std::string& relative : folders) {
    SCOPED_TRACE(relative);
    ASSERT_TRUE(std::filesystem::create_directories(root_ + "/" + relative));
    MakeFile(relative + "/Game.dat", "inside");
    const std::string native = root_ + "/" + relative;
    const std::string engine = NativeToEnginePath(native);
    ASSERT_FALSE(engine.empty());
    EXPECT_LE(engine.size(), kMaxPresentedPathLength);
    EXPECT_EQ(engine.find('?'), std::string::npos) << engine;
    EXPECT_EQ(EngineToNativeLexical(engine), native);
    EXPECT_EQ(NativeToEnginePath(native), engine) << "the same drive every time";
    ASSERT_TRUE(SetCurrentFolder(engine));
    EXPECT_EQ(EngineToNativeLexical(GetCurrentFolder()), native);
    EXPECT_EQ(ReadAll("GAME.DAT"), "inside");
    EXPECT_EQ(ReadAll(engine + "\\game.dat"), "inside");
    ASSERT_TRUE(SetCurrentFolder(NativeToEnginePath(saved_folder_)));
  }
}

// Listings are kept between look-ups and dropped when their folder changes,
// whoever changed it.
TEST_F(FileSystemTest, FolderListingsFollowChangesMadeOutsideTheProgram) {
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "basic");
  const uint64_t reads = DirectoryReadCount();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadAll("DATA\\BASICDATA\\GAME.DAT"), "basic");
  EXPECT_EQ(DirectoryReadCount(), reads) << "known folders are not read again";

  EXPECT_EQ(ReadAll("data\\basicdata\\new.dat"), "<missing>");
  MakeFile("Data/BasicData/New.DAT", "new");
  EXPECT_EQ(ReadAll("data\\basicdata\\new.dat"), "new");
  ASSERT_EQ(std::rename((root_ + "/Data/BasicData/New.DAT").c_str(),
                        (root_ + "/Data/BasicData/Renamed.dat").c_str()), 0);
  EXPECT_EQ(ReadAll("data\\basicdata\\new.dat"), "<missing>");
  EXPECT_EQ(ReadAll("data\\basicdata\\RENAMED.DAT"), "new");
  ASSERT_EQ(unlink((root_ + "/Data/BasicData/Renamed.dat").c_str()), 0);
  EXPECT_EQ(ReadAll("data\\basicdata\\renamed.dat"), "<missing>");
  // A spelling that matches exactly wins once it appears.
  MakeFile("Data/BasicData/game.dat", "exact");
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "exact");
  EXPECT_EQ(ReadAll("DATA\\BASICDATA\\GAME.dat"), "basic");
  // A listed folder renamed away, and another put in its place.
  ASSERT_EQ(std::rename((root_ + "/Data").c_str(), (root_ + "/Old").c_str()), 0);
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "<missing>");
  EXPECT_EQ(ReadAll("old\\basicdata\\GAME.DAT"), "basic");
  MakeFolder("DATA");
  MakeFolder("DATA/basicdata");
  MakeFile("DATA/basicdata/GAME.DAT", "replaced");
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "replaced");
}

// The answers kept for a path asked before are given again only while they
// hold: the current folder, the drives and the folders on the path decide
// them, and opening a file that exists changes no folder.
TEST_F(FileSystemTest, KeptAnswersFollowTheCurrentFolderAndTheDisk) {
  MakeFolder("Other");
  MakeFile("Other/ReadMe.txt", "other readme");
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(ReadAll("readme.txt"), "readme") << round;
    EXPECT_EQ(ReadAll("missing.txt"), "<missing>") << round;
  }
  ASSERT_TRUE(SetCurrentFolder("other"));
  EXPECT_EQ(ReadAll("readme.txt"), "other readme") << "the same text in another folder";
  EXPECT_EQ(ReadAll("..\\readme.txt"), "readme");
  ASSERT_TRUE(SetCurrentFolder(".."));
  EXPECT_EQ(ReadAll("readme.txt"), "readme");

  // Created by another process after a miss: found by the next look-up,
  // in every form the path was asked in.
  MakeFile("Missing.TXT", "late");
  EXPECT_EQ(ReadAll("missing.txt"), "late");
  EXPECT_EQ(ResolveForCreate("MISSING.txt"), root_ + "/Missing.TXT");
  EXPECT_TRUE(FileExists("missing.TXT"));

  // A file opened to append that is already there leaves every listing.
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "basic");
  const uint64_t reads = DirectoryReadCount();
  ASSERT_TRUE(OpenFile("README.txt", OpenMode::kOpenAlways));
  ASSERT_TRUE(OpenFile("data\\basicdata\\GAME.DAT", OpenMode::kOpenAlways));
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "basic");
  EXPECT_EQ(DirectoryReadCount(), reads);
  // One it creates is seen at once, even inside a batch.
  FileLookupBatch batch;
  EXPECT_EQ(ResolveForCreate("data\\Log.txt"), root_ + "/Data/Log.txt");
  ASSERT_TRUE(OpenFile("data\\LOG.TXT", OpenMode::kOpenAlways));
  EXPECT_EQ(ResolveExisting("DATA\\log.txt"), root_ + "/Data/LOG.TXT");
  EXPECT_EQ(ResolveForCreate("data\\Log.txt"), root_ + "/Data/LOG.TXT");
}

// Inside a look-up batch change notifications are read once, yet the
// program's own changes are seen at once.
TEST_F(FileSystemTest, LookupBatchSeesTheProgramsOwnChanges) {
  FileLookupBatch batch;
  EXPECT_FALSE(FileExists("data\\new.bin"));
  ASSERT_TRUE(OpenFile("DATA\\New.bin", OpenMode::kCreateNew));
  EXPECT_TRUE(FileExists("data\\NEW.BIN"));
  EXPECT_TRUE(RenameFile("data\\new.bin", "data\\Moved.bin"));
  EXPECT_FALSE(FileExists("data\\new.bin"));
  EXPECT_TRUE(FileExists("data\\MOVED.BIN"));
  EXPECT_TRUE(DeleteFile("data\\moved.bin"));
  EXPECT_FALSE(FileExists("data\\moved.bin"));
  EXPECT_TRUE(CreateFolder("data\\Sub"));
  EXPECT_TRUE(FolderExists("DATA\\SUB"));
  EXPECT_TRUE(RenameFile("data\\basicdata\\game.dat", "data\\sub\\Game.dat"));
  EXPECT_EQ(ReadAll("data\\SUB\\game.dat"), "basic");
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "<missing>");
}

// A forked child shares the parent's change notifications: it must leave
// them to the parent, which still sees what the child changed.
TEST_F(FileSystemTest, ForkedChildLeavesTheParentsNotificationsAlone) {
  EXPECT_EQ(ReadAll("data\\basicdata\\game.dat"), "basic");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = FileExists("DATA\\BASICDATA\\GAME.DAT");
    std::ofstream(root_ + "/Data/BasicData/Child.dat") << "child";
    ok = ok && ReadAll("data\\basicdata\\child.dat") == "child";
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadAll("data\\basicdata\\CHILD.DAT"), "child");
}

TEST(FileSystemPaths, NulInsidePathIsRefused) {
  const std::string path("readme\0.txt", 11);
  EXPECT_FALSE(ResolveExisting(path).has_value());
  EXPECT_FALSE(ResolveForCreate(path).has_value());
  EXPECT_FALSE(OpenFile(path, OpenMode::kCreate));
}

}  // namespace
}  // namespace platform
