// The value naming one open data file: a slot of the stream table, or the
// address of a memory stream for the reader operations; 0 is none.
#pragma once

#include <cstdint>

using StreamHandle = std::intptr_t;
