// The MIDI handle table over its empty table, a test record, and the
// segment road's fallback at sound start-up.
#include "engine/core/sound/midi_handles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "tests/support/fresh_state_test.h"

namespace {

class MidiHandlesTest : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    char templ[] = "/tmp/vesk_midi_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    folder_ = templ;
    platform::SetClock(&clock_);
    SetStartDirectory(platform::NativeToEnginePath(folder_));
    EnableLogFile(1);
    CreateLogFile();
  }
  void TearDown() override {
    FreshStateTest::TearDown();
    ASSERT_EQ(std::system(("rm -rf '" + folder_ + "'").c_str()), 0);
  }
  std::string ReadLog() const {
    std::ifstream in(folder_ + "/Log.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }
  platform::VirtualClock clock_{0};
  std::string folder_;
};

TEST_F(MidiHandlesTest, TheEmptyTableAnswersAsWithoutAnyHandle) {
  EXPECT_EQ(DeleteAllMidi(), -1);  // sound not up
  EXPECT_EQ(IsMidiPlaying(0x58000000), -1);
  SetMidiSoundReady(1);
  EXPECT_EQ(DeleteAllMidi(), 0);
  for (int handle : {0x58000000, 0x580000FF, 0x58000100, -1, 0x48000000}) {
    EXPECT_EQ(IsMidiPlaying(handle), -1) << handle;
    EXPECT_EQ(StopMidi(handle), -1) << handle;
    EXPECT_EQ(DeleteMidi(handle), -1) << handle;
  }
  EXPECT_EQ(UpdateMidiPlayState(), 0);
  EXPECT_EQ(HandleMciNotify(), 0);
  EXPECT_EQ(ReleasePendingSound(), 0);
  EXPECT_EQ(TerminateMidi(), 0);
  EXPECT_EQ(DeleteAllMidi(), -1);
  EXPECT_EQ(ReadLog(), "");
}

TEST_F(MidiHandlesTest, ATestRecordIsStoppedAndDeleted) {
  SetMidiSoundReady(1);
  int passes = 0;
  SetMidiMessagePass([&] { return ++passes, 0; });
  const int handle = AddMidiRecordForTests(1);
  ASSERT_EQ(handle & 0x7800FF00, 0x58000000);
  EXPECT_EQ(IsMidiPlaying(handle), 1);
  EXPECT_EQ(StopMidi(handle), 0);
  EXPECT_EQ(passes, 5);
  EXPECT_EQ(IsMidiPlaying(handle), 0);
  EXPECT_EQ(DeleteMidi(handle), 0);
  EXPECT_EQ(IsMidiPlaying(handle), -1);  // stale now
  EXPECT_EQ(CountMidiHandles(), 0);

  // Shutdown deletes what is left; a pending one-shot MIDI handle goes too.
  const int left = AddMidiRecordForTests(0);
  const int pending = AddMidiRecordForTests(1);
  SetPendingRelease(pending);
  EXPECT_EQ(ReleasePendingSound(), 0);
  EXPECT_EQ(IsMidiPlaying(pending), -1);
  EXPECT_EQ(IsMidiPlaying(left), 0);  // the one sequencer flag was cleared by that stop
  EXPECT_EQ(TerminateMidi(), 0);
  EXPECT_EQ(CountMidiHandles(), 0);
}

TEST_F(MidiHandlesTest, APendingSoundHandleGoesThroughTheSoundOperations) {
  std::vector<std::string> calls;
  SetPendingSoundOps({[&](int h) { return calls.push_back("stop " + std::to_string(h)), 0; },
                      [&](int h) { return calls.push_back("delete " + std::to_string(h)), 0; }});
  SetPendingRelease(0x10000003);
  EXPECT_EQ(ReleasePendingSound(), 0);
  EXPECT_EQ(ReleasePendingSound(), 0);  // released once
  EXPECT_EQ(calls, (std::vector<std::string>{"stop 268435459", "delete 268435459"}));
}

TEST_F(MidiHandlesTest, TheSegmentRoadFallsBackWithTwoLogLines) {
  EXPECT_EQ(StartSegmentRoad(), 0);  // road 0: nothing to do
  EXPECT_EQ(ReadLog(), "");
  SetSoundRoad(1);
  EXPECT_EQ(StartSegmentRoad(), 1);
  EXPECT_EQ(GetSoundRoad(), 0);
  EXPECT_EQ(ReadLog(),
            "0:DirectSound8 の初期化を行います\r\n"
            "0:DirectMusicLoader8 オブジェクトの作成に失敗しました\r\n"
            "0:前バージョンでの初期化処理に移ります\r\n");
}

}  // namespace
