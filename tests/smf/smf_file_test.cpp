// The SMF reader on files from the project's writer: tracks merged in time
// order, tempo maps, and every kind of damage refused with its error.
#include "platform/smf_player/smf_file.h"

#include <gtest/gtest.h>

#include "tools/writers/smf_writer.h"

namespace {

std::vector<uint8_t> TwoTrackSong() {
  SmfTrackWriter conductor;
  conductor.Tempo(0, 500000).Tempo(960, 250000).EndOfTrack(960);
  SmfTrackWriter melody;
  melody.Program(0, 0, 73).NoteOn(0, 0, 69, 100).Raw(480, {0x45, 0x00}).NoteOn(960, 0, 76, 90).NoteOff(480, 0, 76)
      .EndOfTrack(0);
  return WriteSmf(1, 480, {conductor, melody});
}

TEST(SmfFileTest, MergesTracksInTimeOrderWithRunningStatus) {
  const std::vector<uint8_t> file = TwoTrackSong();
  smf::Song song;
  ASSERT_EQ(smf::ReadSong(file.data(), file.size(), &song), smf::Error::kNone);
  EXPECT_EQ(song.format, 1);
  EXPECT_EQ(song.track_count, 2);
  EXPECT_EQ(song.division, 480);
  EXPECT_EQ(song.end_tick, 1920u);
  struct Expect {
    uint64_t tick;
    uint8_t status, data1, data2;
  };
  const std::vector<Expect> expected = {{0, 0xFF, 0x51, 0},   {0, 0xC0, 73, 0},    {0, 0x90, 69, 100},
                                        {480, 0x90, 69, 0},   {960, 0xFF, 0x51, 0}, {1440, 0x90, 76, 90},
                                        {1920, 0x80, 76, 64}};
  ASSERT_EQ(song.events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(song.events[i].tick, expected[i].tick) << i;
    EXPECT_EQ(song.events[i].status, expected[i].status) << i;
    EXPECT_EQ(song.events[i].data1, expected[i].data1) << i;
    if (expected[i].status != 0xFF) {
      EXPECT_EQ(song.events[i].data2, expected[i].data2) << i;
    }
  }
  EXPECT_EQ(song.events[4].tempo, 250000u);
}

TEST(SmfFileTest, TempoMapConvertsBothWays) {
  const std::vector<uint8_t> file = TwoTrackSong();
  smf::Song song;
  ASSERT_EQ(smf::ReadSong(file.data(), file.size(), &song), smf::Error::kNone);
  // 960 ticks at 0.5 s per quarter, then 0.25 s per quarter.
  EXPECT_DOUBLE_EQ(smf::SecondsAtTick(song, 480), 0.5);
  EXPECT_DOUBLE_EQ(smf::SecondsAtTick(song, 960), 1.0);
  EXPECT_DOUBLE_EQ(smf::SecondsAtTick(song, 1440), 1.25);
  EXPECT_DOUBLE_EQ(smf::TickAtSeconds(song, 0.75), 720.0);
  EXPECT_DOUBLE_EQ(smf::TickAtSeconds(song, 1.25), 1440.0);
  // SMPTE division: 25 frames of 40 ticks a second, whatever the tempo.
  EXPECT_DOUBLE_EQ(smf::SecondsPerTick(static_cast<uint16_t>(0xE728), 250000), 1.0 / 1000.0);
}

TEST(SmfFileTest, EveryTruncationIsRefusedWithoutReadingPastTheEnd) {
  const std::vector<uint8_t> file = TwoTrackSong();
  for (size_t size = 0; size < file.size(); ++size) {
    // A copy of exactly size bytes, so a read past it is caught.
    const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    smf::Song song;
    EXPECT_NE(smf::ReadSong(cut.data(), cut.size(), &song), smf::Error::kNone) << size;
    EXPECT_TRUE(song.events.empty());
  }
}

struct DamageCase {
  const char* name;
  std::vector<uint8_t> bytes;
  smf::Error error;
};

std::vector<uint8_t> OneTrack(std::vector<uint8_t> track_bytes, int format = 0, uint16_t division = 96) {
  SmfTrackWriter track;
  track.Raw(0, std::move(track_bytes));
  return WriteSmf(format, division, {track});
}

std::vector<uint8_t> WithHeader(std::vector<uint8_t> file, size_t at, uint8_t value) {
  file[at] = value;
  return file;
}

class SmfDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(SmfDamageTest, IsRefusedWithItsError) {
  const DamageCase& c = GetParam();
  smf::Song song;
  EXPECT_EQ(smf::ReadSong(c.bytes.data(), c.bytes.size(), &song), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SmfDamageTest,
    ::testing::Values(
        DamageCase{"NotMidi", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, smf::Error::kNotMidi},
        DamageCase{"ShortHeaderChunk", {'M', 'T', 'h', 'd', 0, 0, 0, 5, 0, 0, 0, 1, 0, 96}, smf::Error::kNotMidi},
        DamageCase{"HeaderPastTheEnd", {'M', 'T', 'h', 'd', 0x7F, 0, 0, 6, 0, 0, 0, 1, 0, 96}, smf::Error::kTruncated},
        DamageCase{"FormatThree", WithHeader(OneTrack({0xFF, 0x2F, 0}), 9, 3), smf::Error::kBadHeader},
        DamageCase{"NoTracksDeclared", WithHeader(OneTrack({0xFF, 0x2F, 0}), 11, 0), smf::Error::kBadHeader},
        DamageCase{"ZeroDivision", OneTrack({0xFF, 0x2F, 0}, 0, 0), smf::Error::kBadHeader},
        DamageCase{"SmpteWithoutTicks", OneTrack({0xFF, 0x2F, 0}, 0, 0xE700), smf::Error::kBadHeader},
        DamageCase{"NoTrackChunk", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'X', 'X', 'X', 'X', 0, 0, 0, 0},
                   smf::Error::kNoTracks},
        DamageCase{"TrackPastTheEnd", WithHeader(OneTrack({0xFF, 0x2F, 0}), 18, 0x40), smf::Error::kTruncated},
        DamageCase{"DataWithoutStatus", OneTrack({0x45, 0x40}), smf::Error::kBadEvent},
        DamageCase{"StatusAsData", OneTrack({0x90, 0x45, 0x90}), smf::Error::kBadEvent},
        DamageCase{"SystemCommonStatus", OneTrack({0xF3, 0x01}), smf::Error::kBadEvent},
        DamageCase{"FiveByteNumber", OneTrack({0xFF, 0x01, 0x81, 0x81, 0x81, 0x81, 0x01}), smf::Error::kTruncated},
        DamageCase{"MetaPastTheTrack", OneTrack({0xFF, 0x01, 0x7F, 'a'}), smf::Error::kTruncated},
        DamageCase{"SysexPastTheTrack", OneTrack({0xF0, 0x10, 0x7E}), smf::Error::kTruncated},
        DamageCase{"NoteCutShort", OneTrack({0x90, 0x45}), smf::Error::kTruncated}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(SmfFileTest, EventsStayInProportionToTheFile) {
  // A track of nothing but two-byte running-status notes at delta 0.
  std::vector<uint8_t> notes = {0x90, 0x40, 0x40};
  for (int i = 0; i < 100000; ++i) notes.insert(notes.end(), {0x00, 0x40, 0x40});
  const std::vector<uint8_t> file = OneTrack(notes);
  smf::Song song;
  ASSERT_EQ(smf::ReadSong(file.data(), file.size(), &song), smf::Error::kNone);
  EXPECT_EQ(song.events.size(), 100001u);
  EXPECT_LE(song.events.size() * 3, file.size());
  std::vector<uint8_t> huge(smf::kMaxFileBytes + 1, 0);
  EXPECT_EQ(smf::ReadSong(huge.data(), huge.size(), &song), smf::Error::kTooLarge);
}

}  // namespace
