// The tag that selects the empty state of one of the game's process-wide
// records (the basic information, the databases, the common events): the
// state they hold from static initialisation until start-up creates them.
// Constructors that take it are constexpr, so those records are
// constant-initialised: nothing is drawn, allocated or written before main.
#pragma once

struct EmptyRecordTag {};
inline constexpr EmptyRecordTag kEmptyRecord{};
