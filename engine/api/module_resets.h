// The process-wide state of the library's modules and the one way to put it
// back: a table with one reset a module, each returning its module to the
// state it has before start-up. ResetLibraryModules runs them from the top
// of the library down (the graphics engine before the window it draws in,
// every module before the platform stand-ins beneath it).
//
// Tests run it between cases. It is safe when nothing was started, and it
// must not run while the library works on another thread.
#pragma once

#include <span>

struct ModuleReset {
  const char* module;
  void (*reset)();
};

// Every module's reset, top layer first.
std::span<const ModuleReset> LibraryModuleResets();
// Runs every reset of the table in its order.
void ResetLibraryModules();
