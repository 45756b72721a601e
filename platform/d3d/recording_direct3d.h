// A recording stand-in for the 3D device interface, for tests of the code
// above it: no GL, every call written to a trace as one line ("name(args)"
// with numbers in decimal, surfaces by a per-run number, "null" for none),
// enumerations answered from a script, and failures injected per call name.
//
// It keeps the same device state as the OpenGL back end (DeviceState), so
// Get calls answer alike and bad values are refused alike; draws keep a
// copy of their vertices and indices. Install() makes display devices
// answer the Direct3D query with the one recorder; Uninstall() removes it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d/device_state.h"
#include "platform/d3d/direct3d.h"

namespace platform::d3d {

struct RecordedDraw {
  uint32_t type = 0;
  uint32_t fvf = 0;
  uint32_t vertex_count = 0;
  std::vector<uint8_t> vertices;
  std::vector<uint16_t> indices;  // empty for DrawPrimitive
  SurfacePtr target;
  std::array<SurfacePtr, kStageCount> textures;
};

struct RecordingScript {
  struct Device {
    std::string description;
    std::string name;
    DeviceDesc desc;
  };
  std::vector<Device> devices;
  std::vector<PixelFormat> z_buffer_formats;
  std::vector<PixelFormat> texture_formats;
  // What the OpenGL back end reports (gl_direct3d.h), with 2,048-texel
  // textures.
  static RecordingScript LikeOpenGl();
};

class RecordingDirect3D final : public Direct3D,
                                public std::enable_shared_from_this<RecordingDirect3D> {
 public:
  static void Install(const RecordingScript& script = RecordingScript::LikeOpenGl());
  static void Uninstall();
  // The installed recorder; null before Install.
  static std::shared_ptr<RecordingDirect3D> Instance();

  Result EnumDevices(const DeviceEnumCallback& callback) override;
  Result EnumZBufferFormats(DeviceKind kind, const PixelFormatCallback& callback) override;
  Result CreateDevice(DeviceKind kind, const SurfacePtr& target, Device3DPtr* out) override;

  // The next `times` calls of name (the trace's name, "DrawPrimitive",
  // "QueryDirect3D", ...) fail with result; times -1: until cleared.
  void FailCall(const std::string& name, Result result, int32_t times = 1);
  void ClearFailures();

  const std::vector<std::string>& trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }
  const std::vector<RecordedDraw>& draws() const { return draws_; }
  void ClearDraws() { draws_.clear(); }
  // The number a surface has in the trace (given on first sight).
  int32_t SurfaceNumber(const display::Surface* surface);

  RecordingScript& script() { return script_; }

  // Internal to the recorder's devices.
  bool TakeFailure(const std::string& name, Result* result);
  void Record(std::string line) { trace_.push_back(std::move(line)); }
  void RecordDraw(RecordedDraw draw) { draws_.push_back(std::move(draw)); }
  std::string Name(const display::Surface* surface);

 private:
  struct Failure {
    Result result = Result::kGeneric;
    int32_t times = 0;
  };
  RecordingScript script_;
  std::vector<std::string> trace_;
  std::vector<RecordedDraw> draws_;
  std::map<std::string, Failure> failures_;
  std::map<const display::Surface*, int32_t> numbers_;
};

}  // namespace platform::d3d
