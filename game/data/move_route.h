// Move routes as stored: the six setting bytes of a character's movement and
// its list of route commands. The same stored form serves map pages, event
// commands (set-move-route) and the character states in save files. The
// two buffer modes (a data file's buffer, the save buffer) are the two
// readers or writers a caller passes: both readers are bounded, so in either
// mode a read past the end stops the route with the reader marked damaged.
//
// Stored form: bytes animation speed, move speed, frequency, move type,
// option bits, route flags (the move type is stored fourth); u32 command
// count; per command: byte code, byte argument count k, k x i32, byte text
// length L (counting a terminating zero), L bytes.
// Invariants of what can be stored: at most kMaxRouteCommands commands, at
// most 255 arguments, texts of at most 254 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/data/data_reader.h"
#include "game/data/data_writer.h"

// A route longer than this is refused by the reader (and so never written).
inline constexpr uint32_t kMaxRouteCommands = 65536;
inline constexpr size_t kMaxRouteArguments = 255;
inline constexpr size_t kMaxRouteTextBytes = 254;

struct MoveRouteCommand {
  uint8_t code = 0;
  std::vector<int32_t> arguments;
  std::string text;  // not used by the route runner

  bool operator==(const MoveRouteCommand&) const = default;
};

struct MoveRoute {
  uint8_t move_type = 0;        // 0 fixed, 1 custom route, 2 random, 3 approach
  uint8_t animation_speed = 3;  // 0-6
  uint8_t move_speed = 3;
  uint8_t frequency = 3;
  // 0x01 standing animation, 0x02 walking animation, 0x04 fixed direction,
  // 0x08 pass-through, 0x10 always on top, 0x20 full-height collision,
  // 0x40 start half a tile higher.
  uint8_t option_bits = 3;
  uint8_t route_flags = 2;  // 0x01 repeat, 0x02 skip what cannot be done
  std::vector<MoveRouteCommand> commands;

  bool operator==(const MoveRoute&) const = default;
};

// One route command. False when the reader runs out of bytes (the reader is
// then marked damaged; fields read so far keep their values).
bool ReadRouteCommand(DataReader& in, MoveRouteCommand& command);
// The six bytes, the count and the commands. A count above kMaxRouteCommands
// gives false with the route's commands untouched; running out of bytes gives
// false with the reader marked damaged. Each field is stored as soon as it
// has been read.
bool ReadMoveRoute(DataReader& in, MoveRoute& route);

// False (nothing appended) when the command does not fit the stored form.
bool WriteRouteCommand(DataWriter& out, const MoveRouteCommand& command);
// False when some part of the route does not fit the stored form; the block
// may then hold a partial route, so the caller discards it.
bool WriteMoveRoute(DataWriter& out, const MoveRoute& route);
// True when the route can be written (counts and lengths within limits).
bool MoveRouteFits(const MoveRoute& route);
