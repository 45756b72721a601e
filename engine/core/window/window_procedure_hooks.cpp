// Storage of the window service hooks.
#include "engine/core/window/window_procedure_hooks.h"

namespace {
WindowServiceHooks g_hooks;
}

WindowServiceHooks& GetWindowServiceHooks() { return g_hooks; }
void ResetWindowServiceHooks() { g_hooks = WindowServiceHooks{}; }
