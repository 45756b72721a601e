// Services for tests: each seam's null implementation whose operations a
// test may replace one at a time with a function (an empty function keeps
// the null answer). FakeServices::Install puts every fake in place through
// the one registration function; the test base resets the registry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/api/services/service_registry.h"


#define VESK_FAKE_OP(R, Name, field, Params, Args)                                        \
  std::function<R Params> field;                                                      \
  R Name Params override {                                                            \
    if (field) return field Args;                                                     \
    return Base::Name Args;                                                           \
  }

struct FakeWindow : NullWindowService {
  using Base = NullWindowService;
  VESK_FAKE_OP(int, DesktopColorDepth, desktop_color_depth, (), ())
  VESK_FAKE_OP(int, WindowMode, window_mode, (), ())
  VESK_FAKE_OP(int, CreateMainWindow, create_main_window, (), ())
  VESK_FAKE_OP(void, DestroyMainWindow, destroy_main_window, (), ())
  VESK_FAKE_OP(int, ProcessMessage, process_message, (), ())
  VESK_FAKE_OP(void, ForceForeground, force_foreground, (int topmost), (topmost))
};

struct FakeInput : NullInputService {
  using Base = NullInputService;
  VESK_FAKE_OP(int, Initialize, initialize, (), ())
  VESK_FAKE_OP(void, Terminate, terminate, (), ())
};

struct FakeGraphics : NullGraphicsService {
  using Base = NullGraphicsService;
  VESK_FAKE_OP(int, Direct3DDisabled, direct3d_disabled, (), ())
  VESK_FAKE_OP(void, SetRenderingMode, set_rendering_mode, (int mode), (mode))
  VESK_FAKE_OP(int, RequestedColorDepth, requested_color_depth, (), ())
  VESK_FAKE_OP(void, SetTempPrimaryMode, set_temp_primary_mode, (int flag), (flag))
  VESK_FAKE_OP(void, ResetGraphReloader, reset_graph_reloader, (), ())
  VESK_FAKE_OP(int, Initialize, initialize, (), ())
  VESK_FAKE_OP(void, Terminate, terminate, (), ())
  VESK_FAKE_OP(void, SetVBlankWait, set_vblank_wait, (int flag), (flag))
  VESK_FAKE_OP(int, SetDrawTarget, set_draw_target, (int target), (target))
  VESK_FAKE_OP(int32_t, GetDrawTarget, get_draw_target, (), ())
  VESK_FAKE_OP(void, DrawStartupScreen, draw_startup_screen, (), ())
  VESK_FAKE_OP(void, DeleteFontHandle, delete_font_handle, (int font), (font))
  VESK_FAKE_OP(void, QueryScreenMode, query_screen_mode, (int32_t* w, int32_t* h, int32_t* bits), (w, h, bits))
  VESK_FAKE_OP(int32_t, ChangeScreenModeKeep, change_screen_mode_keep, (), ())
  VESK_FAKE_OP(int, QueryDisplayModeFormat, query_display_mode_format, (DisplayModeFormat* format), (format))
  VESK_FAKE_OP(void, SetupScreenColorFormat, setup_screen_color_format, (), ())
  VESK_FAKE_OP(void, RestoreLostSurfaces2D, restore_lost_surfaces_2d, (), ())
  VESK_FAKE_OP(void, RestoreLostSurfaces3D, restore_lost_surfaces_3d, (), ())
  VESK_FAKE_OP(void, RebuildGraphicsAfterLoss, rebuild_graphics_after_loss, (), ())
  VESK_FAKE_OP(bool, IsDisplayModeChanged, is_display_mode_changed, (), ())
  VESK_FAKE_OP(bool, IsDirectDrawUsed, is_direct_draw_used, (), ())
  VESK_FAKE_OP(bool, HasDirectDraw, has_direct_draw, (), ())
  VESK_FAKE_OP(void, ReleaseDirectDrawObject, release_direct_draw_object, (), ())
  VESK_FAKE_OP(bool, IsGraphReloaderSet, is_graph_reloader_set, (), ())
  VESK_FAKE_OP(bool, IsDisplayLost, is_display_lost, (), ())
  VESK_FAKE_OP(bool, IsGdiVisibleMode, is_gdi_visible_mode, (), ())
  VESK_FAKE_OP(void, RefreshAllGraphs, refresh_all_graphs, (), ())
  VESK_FAKE_OP(void, PresentBackScreenForPaint, present_back_screen_for_paint, (), ())
  VESK_FAKE_OP(void, FollowClientRect, follow_client_rect, (const WindowRectangle& r), (r))
  VESK_FAKE_OP(void, ResumeAllMovies, resume_all_movies, (), ())
  VESK_FAKE_OP(void, PauseAllMovies, pause_all_movies, (), ())
  VESK_FAKE_OP(void, ReleaseAllMovieStreams, release_all_movie_streams, (), ())
  VESK_FAKE_OP(int, ScreenLogReady, screen_log_ready, (), ())
  VESK_FAKE_OP(int, CreateScreenLogFont, create_screen_log_font, (), ())
  VESK_FAKE_OP(int, ScreenHeight, screen_height, (), ())
  VESK_FAKE_OP(void, DrawScreenLogLine, draw_screen_log_line, (int x, int y, const char* text, int font),
               (x, y, text, font))
};

struct FakeSound : NullSoundService {
  using Base = NullSoundService;
  VESK_FAKE_OP(int, Initialize, initialize, (), ())
  VESK_FAKE_OP(void, Terminate, terminate, (), ())
  VESK_FAKE_OP(void, ReleasePendingSound, release_pending_sound, (), ())
  VESK_FAKE_OP(void, RefillAllStreamSounds, refill_all_stream_sounds, (), ())
  VESK_FAKE_OP(void, UpdateMidiPlayState, update_midi_play_state, (), ())
  VESK_FAKE_OP(void, HandleMciNotify, handle_mci_notify, (uint64_t w, int64_t l), (w, l))
};

struct FakeTextInput : NullTextInputService {
  using Base = NullTextInputService;
  VESK_FAKE_OP(void, Initialize, initialize, (), ())
  VESK_FAKE_OP(void, UpdateKeyInput, update_key_input, (), ())
  VESK_FAKE_OP(bool, IsInputCharRingFull, is_input_char_ring_full, (), ())
  VESK_FAKE_OP(void, PushInputChar, push_input_char, (uint8_t code), (code))
  VESK_FAKE_OP(int64_t, HandleImeMessage, handle_ime_message, (uint32_t m, uint64_t w, int64_t l), (m, w, l))
  VESK_FAKE_OP(void, RestartImeAfterActivation, restart_ime_after_activation, (), ())
  VESK_FAKE_OP(void, RemoveAllKeyInputs, remove_all_key_inputs, (), ())
};

struct FakeNetwork : NullNetworkService {
  using Base = NullNetworkService;
  VESK_FAKE_OP(void, ClearHttpTasks, clear_http_tasks, (), ())
  VESK_FAKE_OP(void, DeleteAllHttpTasks, delete_all_http_tasks, (), ())
  VESK_FAKE_OP(void, TerminateNetwork, terminate_network, (), ())
  VESK_FAKE_OP(void, PumpNetworkWindow, pump_network_window, (int flag), (flag))
  VESK_FAKE_OP(void, RunHttpTasks, run_http_tasks, (), ())
  VESK_FAKE_OP(int64_t, HandleSocketEvent, handle_socket_event, (uint64_t w, int64_t l), (w, l))
};

struct FakeSystem : NullSystemService {
  using Base = NullSystemService;
  VESK_FAKE_OP(bool, ComInitialize, com_initialize, (), ())
  VESK_FAKE_OP(void, ComUninitialize, com_uninitialize, (), ())
  VESK_FAKE_OP(OsVersion, GetOsVersion, os_version, (), ())
  VESK_FAKE_OP(MessageBoxAnswer, ShowMessageBox, show_message_box,
               (std::string_view title, std::string_view text, MessageBoxButtons buttons, MessageBoxKind kind),
               (title, text, buttons, kind))
};

#undef VESK_FAKE_OP

// One fake per seam. Install() installs them all; a test may leave some
// seams at their real or null service by editing the set before installing.
struct FakeServices {
  FakeWindow window;
  FakeInput input;
  FakeGraphics graphics;
  FakeSound sound;
  FakeTextInput text_input;
  FakeNetwork network;
  FakeSystem system;

  ServiceSet Set() {
    return ServiceSet{&window, &input, &graphics, &sound, &text_input, &network, &system};
  }
  void Install() { InstallServices(Set()); }
};
