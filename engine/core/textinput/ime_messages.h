// The input method's window messages: composition start and end, the
// composition string with its caret and clauses, committed text (pushed
// into the typed-character ring, whole characters only), and the candidate
// list. The strings come from the input-method stand-in of platform/ime.h,
// which shows what the message being handled carried.
#pragma once

#include <cstdint>

// Handles WM_IME_STARTCOMPOSITION, WM_IME_ENDCOMPOSITION,
// WM_IME_COMPOSITION, WM_IME_SETCONTEXT and WM_IME_NOTIFY; the result is
// the message's answer (0 for each of them).
int64_t HandleImeMessage(uint32_t message, uint64_t wparam, int64_t lparam);
