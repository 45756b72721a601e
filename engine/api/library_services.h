// The seams through which library start-up and shutdown reach the library's
// services (window, input, sound, graphics, text input, files, network and
// the system). Each hook has a harmless default (the file layer's own
// operations for the file group; elsewhere success and nothing done, or a
// stand-in for a window that exists in name only), so start-up runs end to
// end before every service exists.
//
// A service installs its real operations by assigning the hooks of its group
// from code at the entry layer or above (the program's start-up registers
// them explicitly before StartLibrary; nothing registers itself during static
// initialisation). Tests replace single hooks to watch the order of calls or
// to make one step fail. Results follow the library's convention: 0 success,
// -1 (or any negative value where noted) failure. A hook left empty behaves as
// its default.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

struct LibraryServices {
  // Files and archives: the stream table, the folder the streams work in,
  // and the archive tables. The defaults are the file layer's operations.
  struct Files {
    std::function<void()> clear_archive_tables;
    // Installs the built-in stream function table (archive-aware unless
    // plain files were selected); the default does so.
    std::function<void()> install_stream_functions;
    // The streams' current folder in drive form (Shift-JIS), and changing
    // it; the defaults go through the installed stream table.
    std::function<std::string()> get_current_directory;
    std::function<void(const std::string&)> change_directory;
    // Fills the two reader-operation tables (stream handles, memory blocks);
    // they hold their values from the start, so the default does nothing.
    std::function<void()> fill_stream_ops = [] {};
    std::function<void()> close_all_archives;
  } files;

  // The main window and its message pump.
  struct Window {
    // Bits per pixel of the desktop.
    std::function<int()> desktop_color_depth = [] { return 32; };
    // 1 while window mode (not full screen) is selected.
    std::function<int()> window_mode = [] { return 1; };
    // Creates the main window (and starts the message thread); -1 failure.
    // The default stands for a window that exists in name only: it clears
    // the library's quit flag.
    std::function<int()> create_main_window;
    // Destroys the main window and waits for the message thread to end.
    // The default sets the quit flag, as a destroyed window does.
    std::function<void()> destroy_main_window;
    // One message pass of the main thread: 0 while the program goes on, -1
    // once the library quits. The default answers -1 when the quit flag is
    // set, else 0.
    std::function<int()> process_message;
    // Brings the main window to the foreground; topmost 1 also makes it the
    // topmost window.
    std::function<void(int topmost)> force_foreground = [](int) {};
  } window;

  // Keyboard, mouse and pads.
  struct Input {
    std::function<int()> initialize = [] { return 0; };  // -1 failure
    std::function<void()> terminate = [] {};
    // The first pressed input code for the flag set, -1 for a pad or mouse
    // button, 0 for none.
    std::function<int(int flags)> check_any_input = [](int) { return 0; };
  } input;

  // Sound output. Start-up goes on whatever initialize answers.
  struct Sound {
    std::function<int()> initialize = [] { return 0; };
    std::function<void()> terminate = [] {};
    // Releases what the MIDI layer still holds.
    std::function<void()> release_pending_sound = [] {};
  } sound;

  // The graphics engine.
  struct Graphics {
    // 1 when the do-not-use-Direct3D setting is on.
    std::function<int()> direct3d_disabled = [] { return 0; };
    std::function<void(int)> set_rendering_mode = [](int) {};
    // The colour depth requested for the screen mode, in bits.
    std::function<int()> requested_color_depth = [] { return 16; };
    std::function<void(int)> set_temp_primary_mode = [](int) {};
    // Lets the graphics restore handler revert to its default.
    std::function<void()> reset_graph_reloader = [] {};
    // Starts the graphics engine on the main window; negative on failure.
    std::function<int()> initialize = [] { return 0; };
    std::function<void()> terminate = [] {};
    std::function<void(int)> set_vblank_wait = [](int) {};
    // Selects a draw target (-2 back screen, -4 front screen).
    std::function<int(int target)> set_draw_target = [](int) { return 0; };
    // The start-up drawing: blank graphs drawn onto the back and front
    // screens so both start black; leaves the front screen as draw target.
    std::function<void()> draw_startup_screen = [] {};
    // Deletes a font handle (the on-screen log's font at shutdown).
    std::function<void(int font)> delete_font_handle = [](int) {};
  } graphics;

  struct TextInput {
    std::function<void()> initialize = [] {};
  } text_input;

  // The socket and HTTP task layer.
  struct Network {
    std::function<void()> clear_http_tasks = [] {};
    std::function<void()> delete_all_http_tasks = [] {};
    std::function<void()> terminate_network = [] {};
  } network;

  // Operating-system services.
  struct System {
    // Component-object start-up (nothing needs it here): true on success.
    std::function<bool()> com_initialize = [] { return true; };
    std::function<void()> com_uninitialize = [] {};
    // The version the operating system reports. The default is what a
    // current NT-family Windows reports to a program without a
    // compatibility manifest: NT platform 6.2, build 9200.
    struct OsVersion {
      enum Platform { kWin32s = 0, kWindows9x = 1, kNt = 2 } platform = kNt;
      uint32_t major = 6, minor = 2, build = 9200;
      std::string service_pack;  // Shift-JIS, may be empty
    };
    std::function<OsVersion()> os_version = [] { return OsVersion{}; };
  } system;
};

// The one set of hooks start-up and shutdown use.
LibraryServices& GetLibraryServices();
// Puts every hook back to its default (tests).
void ResetLibraryServices();
// A set holding every default, for callers that fall back on a default.
const LibraryServices& DefaultLibraryServices();

// Calls hook, or the same hook of the defaults when it is empty.
template <typename Hook, typename... Args>
auto CallLibraryHook(const Hook& hook, const Hook& fallback, Args&&... args) {
  return hook ? hook(std::forward<Args>(args)...) : fallback(std::forward<Args>(args)...);
}
