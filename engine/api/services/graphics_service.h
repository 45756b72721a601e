// The graphics seam: what start-up, the window procedure, the message pass,
// the on-screen log and the screen colour set-up ask of the graphics engine
// (screens, surfaces, movies, fonts). The graphics engine implements
// GraphicsService and the entry layer installs it (service_registry.h);
// until then NullGraphicsService answers: success, nothing drawn, a
// 640 x 480 x 16 screen, no display lost. Calls run under ApiLock on the
// thread that runs them (start-up on the main thread, window messages on the
// thread of the message pass).
#pragma once

#include <cstdint>

struct WindowRectangle {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The display mode's pixel layout: bits per pixel and the channel masks.
struct DisplayModeFormat {
  int32_t bits = 0;
  uint32_t red_mask = 0, green_mask = 0, blue_mask = 0, alpha_mask = 0;
};

class GraphicsService {
 public:
  // ---- start-up and shutdown ----
  // 1 when the do-not-use-Direct3D setting is on.
  virtual int Direct3DDisabled() = 0;
  virtual void SetRenderingMode(int mode) = 0;
  // The colour depth requested for the screen mode, in bits.
  virtual int RequestedColorDepth() = 0;
  virtual void SetTempPrimaryMode(int flag) = 0;
  // Lets the graphics restore handler revert to its default.
  virtual void ResetGraphReloader() = 0;
  // Starts the graphics engine on the main window; negative on failure.
  virtual int Initialize() = 0;
  virtual void Terminate() = 0;
  virtual void SetVBlankWait(int flag) = 0;
  // Selects a draw target (-2 back screen, -4 front screen); 0 success.
  virtual int SetDrawTarget(int target) = 0;
  // The current draw target.
  virtual int32_t GetDrawTarget() = 0;
  // The start-up drawing: both screens start black; leaves the front
  // screen as draw target.
  virtual void DrawStartupScreen() = 0;
  virtual void DeleteFontHandle(int font) = 0;

  // ---- the screen mode ----
  // The screen mode's size and colour depth.
  virtual void QueryScreenMode(int32_t* width, int32_t* height, int32_t* bits) = 0;
  // Changes the display mode keeping every value (window-mode switch).
  virtual int32_t ChangeScreenModeKeep() = 0;
  // The display mode's pixel layout; 0 success, -1 when there is none to
  // read (the screen colour set-up then keeps the software formats).
  virtual int QueryDisplayModeFormat(DisplayModeFormat* format) = 0;
  virtual void SetupScreenColorFormat() = 0;

  // ---- losing and restoring the display ----
  virtual void RestoreLostSurfaces2D() = 0;
  virtual void RestoreLostSurfaces3D() = 0;
  virtual void RebuildGraphicsAfterLoss() = 0;
  virtual bool IsDisplayModeChanged() = 0;
  virtual bool IsDirectDrawUsed() = 0;
  virtual bool HasDirectDraw() = 0;
  virtual void ReleaseDirectDrawObject() = 0;
  virtual bool IsGraphReloaderSet() = 0;
  virtual bool IsDisplayLost() = 0;
  virtual bool IsGdiVisibleMode() = 0;
  // Restores the main surfaces and refreshes every graphic.
  virtual void RefreshAllGraphs() = 0;

  // ---- window-mode presentation ----
  // Window-mode paint: presents the back screen once without waiting for
  // the vertical blank.
  virtual void PresentBackScreenForPaint() = 0;
  // The front screen's target rectangle follows the moved client area.
  virtual void FollowClientRect(const WindowRectangle& client) = 0;

  // ---- movies ----
  virtual void ResumeAllMovies() = 0;
  virtual void PauseAllMovies() = 0;
  virtual void ReleaseAllMovieStreams() = 0;

  // ---- the on-screen log ----
  // 1 when graphics and the main window exist.
  virtual int ScreenLogReady() = 0;
  // The log's font handle, or -1.
  virtual int CreateScreenLogFont() = 0;
  // Screen height in pixels.
  virtual int ScreenHeight() = 0;
  // Draws one Shift-JIS line at (x, y).
  virtual void DrawScreenLogLine(int x, int y, const char* text, int font) = 0;

 protected:
  constexpr GraphicsService() = default;
  ~GraphicsService() = default;
};

class NullGraphicsService : public GraphicsService {
 public:
  constexpr NullGraphicsService() = default;
  int Direct3DDisabled() override { return 0; }
  void SetRenderingMode(int) override {}
  int RequestedColorDepth() override { return 16; }
  void SetTempPrimaryMode(int) override {}
  void ResetGraphReloader() override {}
  int Initialize() override { return 0; }
  void Terminate() override {}
  void SetVBlankWait(int) override {}
  int SetDrawTarget(int) override { return 0; }
  int32_t GetDrawTarget() override { return 0; }
  void DrawStartupScreen() override {}
  void DeleteFontHandle(int) override {}
  void QueryScreenMode(int32_t* width, int32_t* height, int32_t* bits) override {
    if (width != nullptr) *width = 640;
    if (height != nullptr) *height = 480;
    if (bits != nullptr) *bits = 16;
  }
  int32_t ChangeScreenModeKeep() override { return 0; }
  int QueryDisplayModeFormat(DisplayModeFormat*) override { return -1; }
  void SetupScreenColorFormat() override {}
  void RestoreLostSurfaces2D() override {}
  void RestoreLostSurfaces3D() override {}
  void RebuildGraphicsAfterLoss() override {}
  bool IsDisplayModeChanged() override { return false; }
  bool IsDirectDrawUsed() override { return false; }
  bool HasDirectDraw() override { return false; }
  void ReleaseDirectDrawObject() override {}
  bool IsGraphReloaderSet() override { return false; }
  bool IsDisplayLost() override { return false; }
  bool IsGdiVisibleMode() override { return false; }
  void RefreshAllGraphs() override {}
  void PresentBackScreenForPaint() override {}
  void FollowClientRect(const WindowRectangle&) override {}
  void ResumeAllMovies() override {}
  void PauseAllMovies() override {}
  void ReleaseAllMovieStreams() override {}
  int ScreenLogReady() override { return 0; }
  int CreateScreenLogFont() override { return -1; }
  int ScreenHeight() override { return 480; }
  void DrawScreenLogLine(int, int, const char*, int) override {}
};
