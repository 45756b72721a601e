// A fixture for tests of a library started as the player starts it, with
// the real window (no display) on the message pass of the test's own
// thread: on top of LibraryFixture, the window, instance lock and display
// stand-in reset around each test, the library ended after it, the library's
// window, input and graphics services at hand, files in the start
// directory, and start-up in a screen mode drawing in software or with
// Direct3D on the OpenGL stand-in.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/api/library_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/api/presentation_entry_points.h"
#include "engine/api/window_entry_points.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_thread.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_manager.h"
#include "platform/display/display_device.h"
#include "platform/display/test_controls.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"
#include "tests/api/library_test_fixture.h"
#include "tests/support/golden_frames.h"

class StartedLibraryTest : public LibraryFixture {
 protected:
  void SetUp() override {
    LibraryFixture::SetUp();
    SetMessageThreadEnabled(false);
    ResetWindowData();
    platform::ClearInjectedWindowEvents();
    platform::SetInstanceLockFolder(native_dir_);
  }
  void TearDown() override {
    EndLibrary();
    ResetAfterEnd();
    EnableTextureGraphsForTest(0);
    platform::display::SetDirect3DFactory(nullptr);
    platform::ClearInjectedWindowEvents();
    platform::SetInstanceLockFolder("");
    SetMessageThreadEnabled(true);
    ResetWindowData();
    platform::display::test::ResetDisplayControls();
    LibraryFixture::TearDown();
  }
  // What a test set up beyond the fixture, put back once the library ended.
  virtual void ResetAfterEnd() {}

  // The recording services with the library's window and input services.
  ServiceSet WindowServices() {
    ServiceSet services = services_.Set();
    services.window = &window_service_;
    services.input = &input_service_;
    return services;
  }
  // Those and the graphics service: what drawing tests install.
  void InstallDrawingServices() {
    ServiceSet services = WindowServices();
    services.graphics = &graphics_service_;
    InstallServices(services);
  }

  // Starts the library at width x height and bits, in a window (on a
  // desktop of that depth) or full screen; hardware: drawing with Direct3D
  // on the OpenGL stand-in, else in software. False when the hardware path
  // found no OpenGL.
  bool StartInMode(int width, int height, int bits, bool window, bool hardware) {
    window_mode_ = window ? 1 : 0;
    SetWindowedMode(window_mode_);
    requested_depth_ = bits;
    platform::display::test::SetDesktop(1024, 768, window ? bits : 32);
    if (hardware) {
      setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
      InstallDirect3DBackEnd();
    } else {
      EXPECT_EQ(SetHardwareRendering(0), 0);
    }
    ChangeScreenMode(width, height, bits, 60);
    EXPECT_EQ(StartLibrary(), 0);
    EXPECT_EQ(GetScreenColorState().ScreenBits, bits);
    return !hardware || GetDirect3DState().Initialized3D == 1;
  }

  // A file in the start directory: its name as the game gives it, and its
  // bytes written and read straight.
  std::string Path(const std::string& leaf) const { return start_dir_ + "\\" + leaf; }
  void WriteNative(const std::string& leaf, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(native_dir_ + "/" + leaf, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> ReadNative(const std::string& leaf) const {
    std::ifstream in(native_dir_ + "/" + leaf, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The back screen's top-left width x height saved with SaveScreenAreaAsPng
  // as leaf and read back.
  golden::Frame SaveScreen(const std::string& leaf, int width, int height) {
    golden::Frame frame;
    EXPECT_EQ(SaveScreenAreaAsPng(0, 0, width, height, Path(leaf).c_str(), 6), 0);
    EXPECT_TRUE(golden::ReadPng(native_dir_ + "/" + leaf, &frame));
    return frame;
  }

  LibraryWindowService window_service_;
  LibraryInputService input_service_;
  EngineGraphicsService graphics_service_;
};
