#include "tests/api/library_test_fixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/core/base/api_lock.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "platform/file_system.h"

void LibraryFixture::SetUp() {
  FreshStateTest::SetUp();
  platform::SetClock(&clock_);
  char pattern[] = "/tmp/vesk_library_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  native_dir_ = pattern;
  start_dir_ = platform::NativeToEnginePath(native_dir_);
  saved_folder_ = platform::GetCurrentFolder();
  SetStartDirectoryOverride(&start_dir_);
  EnableLogFile(1);
  cpu_.has_cpuid = true;
  cpu_.mmx = true;
  cpu_.time_stamp_counter = false;
  cpu_.vendor = "TestVendorXY";
  cpu_.name = "Test Processor 1.0";
  SetProcessorInfoOverride(&cpu_);
  InstallRecorders();
}

void LibraryFixture::TearDown() {
  DestroyApiLock();
  InstallServices({});
  services_ = FakeServices();
  platform::SetCurrentFolder(saved_folder_);
  FreshStateTest::TearDown();
  std::error_code ignored;
  std::filesystem::remove_all(native_dir_, ignored);
}

std::string LibraryFixture::ReadLog() const {
  std::ifstream in(native_dir_ + "/Log.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void LibraryFixture::InstallRecorders() {
  FakeServices& s = services_;
  auto step = [this](const std::string& name) {
    steps_.push_back(name);
    return fail_step_ != name;
  };
  auto plain = [step](const char* name) { return [step, name] { step(name); }; };
  auto status = [step](const char* name) { return [step, name] { return step(name) ? 0 : -1; }; };

  s.window.desktop_color_depth = [this] { return desktop_depth_; };
  s.window.window_mode = [this] { return window_mode_; };
  s.window.create_main_window = [step] {
    if (!step("create_main_window")) return -1;
    SetQuitFlag(0);
    return 0;
  };
  s.window.destroy_main_window = [step] {
    step("destroy_main_window");
    SetQuitFlag(1);
  };
  s.window.process_message = [step] {
    step("process_message");
    return GetQuitFlag() != 0 ? -1 : 0;
  };
  s.window.force_foreground = [step](int topmost) { step("force_foreground " + std::to_string(topmost)); };

  s.input.initialize = status("input.initialize");
  s.input.terminate = plain("input.terminate");
  s.sound.initialize = status("sound.initialize");
  s.sound.terminate = plain("sound.terminate");
  s.sound.release_pending_sound = plain("release_pending_sound");

  s.graphics.direct3d_disabled = [this] { return direct3d_disabled_; };
  s.graphics.set_rendering_mode = [step](int mode) { step("set_rendering_mode " + std::to_string(mode)); };
  s.graphics.requested_color_depth = [this] { return requested_depth_; };
  s.graphics.set_temp_primary_mode = [step](int flag) { step("set_temp_primary_mode " + std::to_string(flag)); };
  s.graphics.reset_graph_reloader = plain("reset_graph_reloader");
  s.graphics.initialize = status("graphics.initialize");
  s.graphics.terminate = plain("graphics.terminate");
  s.graphics.set_vblank_wait = [step](int flag) { step("set_vblank_wait " + std::to_string(flag)); };
  s.graphics.set_draw_target = [step](int target) {
    step("set_draw_target " + std::to_string(target));
    return 0;
  };
  s.graphics.draw_startup_screen = plain("draw_startup_screen");
  s.graphics.delete_font_handle = [step](int font) { step("delete_font_handle " + std::to_string(font)); };

  s.text_input.initialize = plain("text_input.initialize");
  s.network.clear_http_tasks = plain("clear_http_tasks");
  s.network.delete_all_http_tasks = plain("delete_all_http_tasks");
  s.network.terminate_network = plain("terminate_network");

  s.system.com_initialize = [step] { return step("com_initialize"); };
  s.system.com_uninitialize = plain("com_uninitialize");
  s.system.os_version = [this] { return os_; };
  s.Install();
}
