// What the window procedure and the message pass reach in the services above
// the core (graphics, movies, sound, text input, network). Those services
// live in higher layers, so they register their operations here; an empty
// hook does nothing and answers 0 / false. Every hook runs under ApiLock on
// the thread that runs the message pass.
#pragma once

#include <cstdint>
#include <functional>

struct WindowRectangle {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct WindowServiceHooks {
  // ---- per-pass work, in the order a message pass runs it ----
  std::function<void()> refill_all_stream_sounds;
  std::function<void()> update_midi_play_state;
  std::function<void(int)> pump_network_window;
  std::function<void()> run_http_tasks;
  std::function<void()> update_key_input;  // the text-input editing step

  // ---- text input and IME ----
  // True when the typed-character ring cannot take another byte.
  std::function<bool()> is_input_char_ring_full;
  std::function<void(uint8_t)> push_input_char;
  // IME window messages; the result is the message's answer.
  std::function<int64_t(uint32_t message, uint64_t wparam, int64_t lparam)> handle_ime_message;
  // Activation: starts the IME re-opening sequence when the IME was open.
  std::function<void()> restart_ime_after_activation;
  std::function<void()> remove_all_key_inputs;

  // ---- sound and network window messages ----
  std::function<void(uint64_t wparam, int64_t lparam)> handle_mci_notify;
  std::function<int64_t(uint64_t wparam, int64_t lparam)> handle_socket_event;

  // ---- graphics ----
  // The screen mode's size and colour depth (640 × 480 × 16 by default).
  std::function<void(int32_t* width, int32_t* height, int32_t* bits)> query_screen_mode;
  // Changes the display mode keeping every value (window-mode switch).
  std::function<int32_t()> change_screen_mode_keep;
  std::function<void()> restore_lost_surfaces_2d;
  std::function<void()> restore_lost_surfaces_3d;
  std::function<void()> rebuild_graphics_after_loss;
  std::function<void()> resume_all_movies;
  std::function<void()> pause_all_movies;
  std::function<void()> release_all_movie_streams;
  std::function<void()> setup_screen_color_format;
  std::function<bool()> is_display_mode_changed;
  std::function<bool()> is_direct_draw_used;
  std::function<bool()> has_direct_draw;
  std::function<void()> release_direct_draw_object;
  std::function<bool()> is_graph_reloader_set;
  std::function<bool()> is_display_lost;
  std::function<bool()> is_gdi_visible_mode;
  // The draw target (-2 back screen, -4 front screen).
  std::function<int32_t()> get_draw_target;
  // Window-mode paint: presents the back screen once without waiting for
  // the vertical blank.
  std::function<void()> present_back_screen_for_paint;
  // The front screen's target rectangle follows the moved client area.
  std::function<void(const WindowRectangle&)> follow_client_rect;
  // Restores the main surfaces and refreshes every graphic.
  std::function<void()> refresh_all_graphs;
};

// The registered hooks (one set for the process).
WindowServiceHooks& GetWindowServiceHooks();
// Puts every hook back to empty (tests).
void ResetWindowServiceHooks();
