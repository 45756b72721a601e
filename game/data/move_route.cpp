#include "game/data/move_route.h"

namespace {

// code, argument count, text length: the smallest stored route command.
constexpr uint64_t kMinRouteCommandBytes = 3;

bool RouteCommandFits(const MoveRouteCommand& command) {
  return command.arguments.size() <= kMaxRouteArguments && command.text.size() <= kMaxRouteTextBytes;
}

}  // namespace

bool ReadRouteCommand(DataReader& in, MoveRouteCommand& command) {
  uint8_t code = 0;
  if (!in.ReadU8(code)) return false;
  command.code = code;

  uint8_t argument_count = 0;
  if (!in.ReadU8(argument_count)) return false;
  command.arguments.assign(argument_count, 0);
  for (int32_t& argument : command.arguments) {
    if (!in.ReadI32(argument)) return false;
  }

  uint8_t text_length = 0;
  if (!in.ReadU8(text_length)) return false;
  char text[256];
  if (!in.ReadBytes(text, text_length)) return false;
  // The stored length counts the terminating zero, so the last byte is the
  // terminator whatever it holds; the text also ends at an earlier zero.
  const size_t stored = text_length > 0 ? text_length - 1u : 0u;
  size_t kept = 0;
  while (kept < stored && text[kept] != 0) ++kept;
  command.text.assign(text, kept);
  return true;
}

bool ReadMoveRoute(DataReader& in, MoveRoute& route) {
  uint8_t value = 0;
  if (!in.ReadU8(value)) return false;
  route.animation_speed = value;
  if (!in.ReadU8(value)) return false;
  route.move_speed = value;
  if (!in.ReadU8(value)) return false;
  route.frequency = value;
  if (!in.ReadU8(value)) return false;
  route.move_type = value;
  if (!in.ReadU8(value)) return false;
  route.option_bits = value;
  if (!in.ReadU8(value)) return false;
  route.route_flags = value;

  uint32_t count = 0;
  if (!in.ReadU32(count)) return false;
  if (count > kMaxRouteCommands) return false;
  if (!in.CanHold(count, kMinRouteCommandBytes)) {
    in.MarkDamaged();
    return false;
  }
  route.commands.assign(count, MoveRouteCommand());
  for (MoveRouteCommand& command : route.commands) {
    if (!ReadRouteCommand(in, command)) return false;
  }
  return true;
}

bool WriteRouteCommand(DataWriter& out, const MoveRouteCommand& command) {
  if (!RouteCommandFits(command)) return false;
  out.WriteU8(command.code);
  out.WriteU8(static_cast<uint8_t>(command.arguments.size()));
  for (int32_t argument : command.arguments) out.WriteI32(argument);
  out.WriteU8(static_cast<uint8_t>(command.text.size() + 1));
  out.WriteBytes(command.text.data(), command.text.size());
  out.WriteU8(0);
  return true;
}

bool MoveRouteFits(const MoveRoute& route) {
  if (route.commands.size() > kMaxRouteCommands) return false;
  for (const MoveRouteCommand& command : route.commands) {
    if (!RouteCommandFits(command)) return false;
  }
  return true;
}

bool WriteMoveRoute(DataWriter& out, const MoveRoute& route) {
  if (!MoveRouteFits(route)) return false;
  out.WriteU8(route.animation_speed);
  out.WriteU8(route.move_speed);
  out.WriteU8(route.frequency);
  out.WriteU8(route.move_type);
  out.WriteU8(route.option_bits);
  out.WriteU8(route.route_flags);
  out.WriteU32(static_cast<uint32_t>(route.commands.size()));
  for (const MoveRouteCommand& command : route.commands) WriteRouteCommand(out, command);
  return true;
}
