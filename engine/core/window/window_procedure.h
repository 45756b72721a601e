// The main window's procedure: what the library does with each window
// message (activation, paint, close and destroy, display changes, keys and
// typed characters, the mouse wheel, dropped files, IME and the service
// notifications). Messages carry the numbers and word packing of the
// desktop messages the library was designed around. Runs on the main thread
// inside a message pass, under ApiLock.
#pragma once

#include <cstdint>
#include <string>

// Message numbers.
inline constexpr uint32_t kWmDestroy = 0x0002;
inline constexpr uint32_t kWmMove = 0x0003;
inline constexpr uint32_t kWmSize = 0x0005;
inline constexpr uint32_t kWmActivate = 0x0006;
inline constexpr uint32_t kWmPaint = 0x000F;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmQuit = 0x0012;
inline constexpr uint32_t kWmActivateApp = 0x001C;
inline constexpr uint32_t kWmSetCursor = 0x0020;
inline constexpr uint32_t kWmDisplayChange = 0x007E;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmKeyUp = 0x0101;
inline constexpr uint32_t kWmChar = 0x0102;
inline constexpr uint32_t kWmImeStartComposition = 0x010D;
inline constexpr uint32_t kWmImeEndComposition = 0x010E;
inline constexpr uint32_t kWmImeComposition = 0x010F;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uint32_t kWmMouseMove = 0x0200;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmLButtonUp = 0x0202;
inline constexpr uint32_t kWmRButtonDown = 0x0204;
inline constexpr uint32_t kWmRButtonUp = 0x0205;
inline constexpr uint32_t kWmMButtonDown = 0x0207;
inline constexpr uint32_t kWmMButtonUp = 0x0208;
inline constexpr uint32_t kWmMouseWheel = 0x020A;
inline constexpr uint32_t kWmMoving = 0x0216;
inline constexpr uint32_t kWmDropFiles = 0x0233;
inline constexpr uint32_t kWmImeSetContext = 0x0281;
inline constexpr uint32_t kWmImeNotify = 0x0282;
inline constexpr uint32_t kMmMciNotify = 0x03B9;
inline constexpr uint32_t kWmF10Flag = 0x046F;
inline constexpr uint32_t kWmHookFlag2 = 0x0470;
inline constexpr uint32_t kWmSocketEvent = 0x0505;

inline constexpr uint64_t kScScreenSave = 0xF140;
inline constexpr uint64_t kScMonitorPower = 0xF170;
inline constexpr uint64_t kSizeMaximized = 2;

// What a WM_IME_COMPOSITION carries (lParam flags).
inline constexpr int64_t kGcsCompStr = 0x0008;
inline constexpr int64_t kGcsCompClause = 0x0020;
inline constexpr int64_t kGcsCursorPos = 0x0080;
inline constexpr int64_t kGcsResultStr = 0x0800;

// Virtual-key codes of the control-key table.
inline constexpr uint32_t kVkDelete = 0x2E;
inline constexpr uint32_t kVkLeft = 0x25;
inline constexpr uint32_t kVkUp = 0x26;
inline constexpr uint32_t kVkRight = 0x27;
inline constexpr uint32_t kVkDown = 0x28;

struct WindowMessage {
  uint32_t message = 0;
  uint64_t wparam = 0;
  int64_t lparam = 0;
  std::string text;  // WM_DROPFILES: the dropped file's Shift-JIS path
};

// Packs two 16-bit words the way lParam carries them.
inline int64_t MakeLParam(int32_t low, int32_t high) {
  return static_cast<int64_t>(static_cast<uint32_t>(low & 0xFFFF) |
                              (static_cast<uint32_t>(high & 0xFFFF) << 16));
}

// The procedure; messages it does not answer get 0 (the default handling
// has nothing to do here).
int64_t MainWindowProc(const WindowMessage& message);

// The window's destruction as the procedure sees it: the platform window
// closes and WM_DESTROY is handled at once.
void DestroyMainWindowNow();
// Posts a message to the main thread's queue (any thread).
void PostWindowMessage(const WindowMessage& message);
// Posts WM_CLOSE once: does nothing when the exit-requested flag is set,
// else sets it and posts.
void PostCloseRequestOnce();
// Takes the next posted message; false when none is queued.
bool TakePostedMessage(WindowMessage* message);
void ClearPostedMessages();

int UpdateWindowClientRect(int64_t lparam);
int ClearDroppedFiles();
// The stored dropped-file names (Shift-JIS), oldest first.
int GetDroppedFileCount();
const char* GetDroppedFileName(int index);
