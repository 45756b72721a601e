// The system seam: what the library and the game ask of the operating system
// beyond files and the clock: component start-up, the version it reports,
// and message boxes to the user. PlatformSystemService goes to platform/
// (boxes shown through the display, or on stderr with the default answer
// when there is none); NullSystemService shows nothing: every box goes to
// stderr (and to a test's recorder) and gets the default answer.
// Texts are Shift-JIS.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/message_box.h"

// The version the operating system reports. The default is what a current
// NT-family Windows reports to a program without a compatibility manifest:
// NT platform 6.2, build 9200.
struct OsVersion {
  enum Platform { kWin32s = 0, kWindows9x = 1, kNt = 2 } platform = kNt;
  uint32_t major = 6, minor = 2, build = 9200;
  std::string service_pack;  // Shift-JIS, may be empty
};

using MessageBoxKind = platform::MessageBoxKind;
using MessageBoxButtons = platform::MessageBoxButtons;
using MessageBoxAnswer = platform::MessageBoxAnswer;

class SystemService {
 public:
  // Component-object start-up: true on success.
  virtual bool ComInitialize() = 0;
  virtual void ComUninitialize() = 0;
  virtual OsVersion GetOsVersion() = 0;
  // Shows a box and answers with the button chosen.
  virtual MessageBoxAnswer ShowMessageBox(std::string_view title, std::string_view text,
                                          MessageBoxButtons buttons, MessageBoxKind kind) = 0;

 protected:
  constexpr SystemService() = default;
  ~SystemService() = default;
};

class NullSystemService : public SystemService {
 public:
  constexpr NullSystemService() = default;
  bool ComInitialize() override { return true; }
  void ComUninitialize() override {}
  OsVersion GetOsVersion() override { return OsVersion{}; }
  MessageBoxAnswer ShowMessageBox(std::string_view title, std::string_view text,
                                  MessageBoxButtons buttons, MessageBoxKind kind) override {
    return platform::ShowHeadlessMessageBox(title, text, buttons, kind);
  }
};

class PlatformSystemService : public NullSystemService {
 public:
  constexpr PlatformSystemService() = default;
  MessageBoxAnswer ShowMessageBox(std::string_view title, std::string_view text,
                                  MessageBoxButtons buttons, MessageBoxKind kind) override {
    return platform::ShowMessageBox(title, text, kind, buttons);
  }
};
