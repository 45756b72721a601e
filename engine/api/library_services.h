// The library's own implementations of the service seams
// (engine/api/services): the main window and the input devices of the core
// layers, the graphics engine, sound and MIDI, text input, the socket layer
// and the HTTP tasks, and the operating system through platform/.
// The player installs LibraryServiceSet() with InstallServices before
// StartLibrary; tests install their own sets (or none: every seam answers
// with its null implementation).
#pragma once

#include "engine/api/services/service_registry.h"

// The 3D device the graphics engine starts with hardware drawing: Direct3D
// on OpenGL. The player calls it once before StartLibrary; without it (tests
// that install nothing) Direct3D cannot start and the library falls back to
// software rendering.
void InstallDirect3DBackEnd();

// The core window layer behind the window seam.
class LibraryWindowService final : public WindowService {
 public:
  int DesktopColorDepth() override;
  int WindowMode() override;
  int CreateMainWindow() override;
  void DestroyMainWindow() override;
  int ProcessMessage() override;
  void ForceForeground(int topmost) override;
};

// The core input layer behind the input seam.
class LibraryInputService final : public InputService {
 public:
  int Initialize() override;
  void Terminate() override;
};

// The graphics engine behind the graphics seam (graphics_services.cpp).
// What the engine does not answer yet keeps the null answer.
class EngineGraphicsService final : public NullGraphicsService {
 public:
  int Direct3DDisabled() override;
  void SetRenderingMode(int mode) override;
  int RequestedColorDepth() override;
  void SetTempPrimaryMode(int flag) override;
  void ResetGraphReloader() override;
  int Initialize() override;
  void Terminate() override;
  void SetVBlankWait(int flag) override;
  int SetDrawTarget(int target) override;
  int32_t GetDrawTarget() override;
  void QueryScreenMode(int32_t* width, int32_t* height, int32_t* bits) override;
  int32_t ChangeScreenModeKeep() override;
  int QueryDisplayModeFormat(DisplayModeFormat* format) override;
  void SetupScreenColorFormat() override;
  void RestoreLostSurfaces2D() override;
  void RestoreLostSurfaces3D() override;
  bool IsDisplayModeChanged() override;
  bool IsDirectDrawUsed() override;
  bool HasDirectDraw() override;
  bool IsGraphReloaderSet() override;
  bool IsDisplayLost() override;
  bool IsGdiVisibleMode() override;
  void FollowClientRect(const WindowRectangle& client) override;
  void PresentBackScreenForPaint() override;
  void DrawStartupScreen() override;
  void RebuildGraphicsAfterLoss() override;
  void ReleaseDirectDrawObject() override;
  void RefreshAllGraphs() override;
  void ResumeAllMovies() override;
  void PauseAllMovies() override;
  void ReleaseAllMovieStreams() override;
};

// Sound output, the stream refill and the MIDI handles behind the sound seam
// (sound_entry_points.cpp).
class LibrarySoundService final : public SoundService {
 public:
  int Initialize() override;
  void Terminate() override;
  void ReleasePendingSound() override;
  void RefillAllStreamSounds() override;
  void UpdateMidiPlayState() override;
  void HandleMciNotify(uint64_t wparam, int64_t lparam) override;
};

// The text-input layer behind the text-input seam
// (text_input_entry_points.cpp).
class LibraryTextInputService final : public TextInputService {
 public:
  void Initialize() override;
  void UpdateKeyInput() override;
  bool IsInputCharRingFull() override;
  void PushInputChar(uint8_t code) override;
  int64_t HandleImeMessage(uint32_t message, uint64_t wparam, int64_t lparam) override;
  void RestartImeAfterActivation() override;
  void RemoveAllKeyInputs() override;
};

// The socket layer and the HTTP tasks behind the network seam
// (network_midi_services.cpp).
class LibraryNetworkService final : public NetworkService {
 public:
  void ClearHttpTasks() override;
  void DeleteAllHttpTasks() override;
  void TerminateNetwork() override;
  void PumpNetworkWindow(int close_finished) override;
  void RunHttpTasks() override;
  int64_t HandleSocketEvent(uint64_t wparam, int64_t lparam) override;
};

// Every service the library has, for the player. Also hands the lower
// layers what they are given from above rather than reach through a seam:
// the message pass that sound's waits and the MIDI stop run, sound
// shutdown's MIDI step, the MIDI library's output into the sound mixer, and
// the graphics drawing of the text-input field.
ServiceSet LibraryServiceSet();
