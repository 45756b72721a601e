// Move routes as stored: byte order, the command-count limit, and reads that
// run out of bytes (the save reader's case).
#include <gtest/gtest.h>

#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"
#include "game/data/move_route.h"
#include "tools/writers/data_file_writer.h"

namespace {

MoveRoute SampleRoute() {
  MoveRoute route;
  route.move_type = 1;
  route.animation_speed = 4;
  route.move_speed = 5;
  route.frequency = 6;
  route.option_bits = 0x24;
  route.route_flags = 1;
  route.commands = {{10, {1, -2}, "go"}, {0, {}, ""}, {55, {2147483647}, ""}};
  return route;
}

std::vector<uint8_t> Stored(const MoveRoute& route) {
  std::vector<uint8_t> bytes;
  DataWriter out(bytes);
  EXPECT_TRUE(WriteMoveRoute(out, route));
  return bytes;
}

TEST(MoveRouteTest, MoveTypeIsStoredFourth) {
  const std::vector<uint8_t> bytes = Stored(SampleRoute());
  ASSERT_GE(bytes.size(), 10u);
  EXPECT_EQ((std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6)), (std::vector<uint8_t>{4, 5, 6, 1, 0x24, 1}));
  EXPECT_EQ(bytes[6], 3);  // command count, little-endian
  // First command: code, argument count, arguments, text length 3 ("go" + 0).
  EXPECT_EQ(bytes[10], 10);
  EXPECT_EQ(bytes[11], 2);
  EXPECT_EQ(bytes[20], 3);
  EXPECT_EQ(bytes[23], 0);

  MoveRoute read;
  DataReader in(bytes.data(), bytes.size());
  ASSERT_TRUE(ReadMoveRoute(in, read));
  EXPECT_EQ(read, SampleRoute());
  EXPECT_EQ(in.Remaining(), 0u);
}

TEST(MoveRouteTest, CommandCountLimit) {
  MoveRoute old_route = SampleRoute();
  // 65,537 commands: refused, the old commands stay, the reader is not damaged.
  DataWriter over;
  over.WriteU8(1).WriteU8(1).WriteU8(1).WriteU8(2).WriteU8(0).WriteU8(0).WriteU32(65537);
  for (int i = 0; i < 65537; ++i) over.WriteU8(0).WriteU8(0).WriteU8(0);
  MoveRoute route = old_route;
  DataReader in(over.Bytes().data(), over.Position());
  EXPECT_FALSE(ReadMoveRoute(in, route));
  EXPECT_FALSE(in.Damaged());
  EXPECT_EQ(route.commands, old_route.commands);
  EXPECT_EQ(route.move_type, 2);  // the six bytes were taken

  // 65,536 is the most a route may hold.
  DataWriter limit;
  limit.WriteU8(1).WriteU8(1).WriteU8(1).WriteU8(2).WriteU8(0).WriteU8(0).WriteU32(65536);
  for (int i = 0; i < 65536; ++i) limit.WriteU8(static_cast<uint8_t>(i)).WriteU8(0).WriteU8(1).WriteU8(0);
  DataReader at_limit(limit.Bytes().data(), limit.Position());
  ASSERT_TRUE(ReadMoveRoute(at_limit, route));
  EXPECT_EQ(route.commands.size(), 65536u);
  EXPECT_EQ(route.commands[65535].code, 255);

  // A count the bytes cannot hold is damage, found before anything is made.
  DataWriter short_count;
  short_count.WriteU8(1).WriteU8(1).WriteU8(1).WriteU8(2).WriteU8(0).WriteU8(0).WriteU32(60000).WriteU8(0);
  DataReader damaged(short_count.Bytes().data(), short_count.Position());
  EXPECT_FALSE(ReadMoveRoute(damaged, route));
  EXPECT_TRUE(damaged.Damaged());

  // The writer refuses what the reader would refuse.
  MoveRoute too_long;
  too_long.commands.assign(65537, MoveRouteCommand());
  std::vector<uint8_t> bytes;
  DataWriter out(bytes);
  EXPECT_FALSE(WriteMoveRoute(out, too_long));
}

TEST(MoveRouteTest, ReadsThatRunOutOfBytesKeepWhatWasTaken) {
  const std::vector<uint8_t> bytes = Stored(SampleRoute());
  for (size_t length = 0; length < bytes.size(); ++length) {
    MoveRoute route;  // defaults 0, 3, 3, 3, 3, 2
    DataReader in(bytes.data(), length);
    EXPECT_FALSE(ReadMoveRoute(in, route)) << length;
    EXPECT_TRUE(in.Damaged()) << length;
    EXPECT_LE(in.Position(), length);
    // The stored order is animation, speed, frequency, type, options, flags.
    EXPECT_EQ(route.animation_speed, length >= 1 ? 4 : 3) << length;
    EXPECT_EQ(route.move_type, length >= 4 ? 1 : 0) << length;
    EXPECT_EQ(route.route_flags, length >= 6 ? 1 : 2) << length;
  }
}

TEST(MoveRouteTest, RouteCommandTextEndsAtItsTerminator) {
  DataWriter bytes;
  bytes.WriteU8(7).WriteU8(0).WriteU8(0);                                // no text at all
  bytes.WriteU8(8).WriteU8(1).WriteI32(-1).WriteU8(5).WriteBytes("ab\0cd", 5);     // a zero inside
  bytes.WriteU8(9).WriteU8(0).WriteU8(3).WriteBytes("xyz", 3);                // last byte not zero
  DataReader in(bytes.Bytes().data(), bytes.Position());
  MoveRouteCommand first, second, third;
  ASSERT_TRUE(ReadRouteCommand(in, first));
  ASSERT_TRUE(ReadRouteCommand(in, second));
  ASSERT_TRUE(ReadRouteCommand(in, third));
  EXPECT_EQ(first.text, "");
  EXPECT_EQ(second.text, "ab");
  EXPECT_EQ(second.arguments, std::vector<int32_t>{-1});
  EXPECT_EQ(third.text, "xy");  // the terminator's place is never text
  EXPECT_EQ(in.Remaining(), 0u);
}

}  // namespace
