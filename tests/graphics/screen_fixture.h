// Graphics tests that run the display layer itself: the main window open
// under SDL's dummy driver with its client area at (100, 50) on a 1024 x 768
// desktop, the library marked as starting (so mode changes act), and helpers
// that start the graphics in either way of running.
#pragma once

#include "engine/core/base/library_state.h"
#include "engine/graphics/display_layer.h"
#include "engine/graphics/display_timing.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/api/graphics_entry_points.h"
#include "engine/api/library_services.h"
#include "platform/window.h"
#include "tests/graphics/graphics_fixture.h"

namespace graphics_test {

class ScreenTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    SetGraphManagerInitialized(0);
    pd::test::SetDesktop(1024, 768, 32);
    ASSERT_TRUE(platform::StartVideo());
    ASSERT_TRUE(platform::OpenMainWindow("graphics", 100, 50, 640, 480, false));
    WindowData& w = GetWindowData();
    w.desktop_width = 1024;
    w.desktop_height = 768;
    w.desktop_bits = 32;
    w.client_rect = WindowRectangle{100, 50, 740, 530};
    w.window_mode = 1;
    SetStartupFlag(1);
    SetOsVersionCode(kOsWindowsVista);
    ResetLibraryServices();
    RegisterGraphicsServices(GetLibraryServices());
  }
  void TearDown() override {
    TerminateGraphics();
    SetStartupFlag(0);
    SetInitializedFlag(0);
    SetOsVersionCode(0);
    ResetLibraryServices();
    ResetWindowServiceHooks();
    platform::CloseMainWindow();
    GraphicsTest::TearDown();
  }

  void StartSoftware() {
    ASSERT_EQ(SetRenderingMode(0), 0);
    ASSERT_EQ(InitializeGraphics(), 0);
  }
  void StartHardware(bool fullScreen = false, int bits = 16) {
    if (fullScreen) {
      GetWindowData().window_mode = 0;
      GetScreenColorState().ScreenBits = bits;
    }
    ASSERT_EQ(InitializeGraphics(), 0);
  }

  // Log lines without their time stamps and indents.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    const std::string log = ReadLog();
    size_t pos = 0;
    while (pos < log.size()) {
      size_t end = log.find("\r\n", pos);
      if (end == std::string::npos) end = log.size();
      std::string line = log.substr(pos, end - pos);
      const size_t colon = line.find(':');
      if (colon != std::string::npos) line = line.substr(colon + 1);
      while (!line.empty() && line[0] == '\t') line.erase(0, 1);
      lines.push_back(line);
      pos = end + 2;
    }
    return lines;
  }
};

}  // namespace graphics_test
