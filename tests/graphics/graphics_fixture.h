// Shared set-up of the graphics-engine tests: on top of the fresh state of
// every module, a virtual clock, an active window (so nothing waits), and Log.txt
// in a scratch start directory so log lines can be read back.
//
// UseSoftwareRendering and UseStandIn pick one of the two ways of running:
// memory-image stores with the hardware banned, or the stand-in's display
// object with hardware drawing (a 1024 x 768 desktop at 16 or 32 bits).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/window_timers.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/software_front.h"
#include "platform/clock.h"
#include "platform/d3d/recording_direct3d.h"
#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"
#include "platform/file_system.h"
#include "tests/support/fresh_state_test.h"
#include "tests/support/scratch_folder.h"

namespace graphics_test {

namespace pd = platform::display;

class GraphicsTest : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    platform::SetClock(&clock_);
    // Hardware drawing starts Direct3D: the recording stand-in answers.
    ResetDirect3DState();
    platform::d3d::RecordingDirect3D::Install();
    SetGraphManagerInitialized(1);
    GetWindowData().active = 1;
    SetStartDirectory(platform::NativeToEnginePath(scratch_.Path().string()));
    EnableLogFile(1);
    CreateLogFile();
  }
  void TearDown() override {
    ResetDirect3DState();
    platform::d3d::RecordingDirect3D::Uninstall();
    FreshStateTest::TearDown();
  }

  // Memory-image screens: software rendering with the hardware banned.
  void UseSoftwareRendering(int bits) {
    ScreenColorState& s = GetScreenColorState();
    s.SoftwareRendering = 1;
    s.HardwareBanned = 1;
    s.ScreenBits = bits;
    s.RequestedScreenBits = bits;
    s.ScreenColorFormat = *GetColorFormat(bits == 32 ? 1 : 0, 0, 0);
  }

  // Hardware drawing on the stand-in, its desktop at bits.
  void UseStandIn(int bits) {
    pd::test::SetDesktop(1024, 768, bits);
    ASSERT_EQ(pd::CreateDevice(&GetDisplayState().DirectDrawObject), pd::Result::kOk);
    ScreenColorState& s = GetScreenColorState();
    s.SoftwareRendering = 0;
    s.HardwareBanned = 0;
    s.ScreenBits = bits;
    s.RequestedScreenBits = bits;
    if (bits == 32) {
      CreateColorFormat(&s.ScreenColorFormat, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    } else {
      CreateColorFormat(&s.ScreenColorFormat, 16, 0xF800, 0x7E0, 0x1F, 0);
    }
  }

  std::string ReadLog() const {
    std::ifstream in(scratch_.Path() / "Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  platform::VirtualClock clock_{1'000'000};
  testsupport::ScratchFolder scratch_{"vesk_graphics"};
};

}  // namespace graphics_test
