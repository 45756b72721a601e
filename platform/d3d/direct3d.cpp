// The Direct3D query through the display device.
#include "platform/d3d/direct3d.h"

namespace platform::d3d {

Result QueryDirect3D(display::Device& device, std::shared_ptr<Direct3D>* out) {
  if (out == nullptr) return Result::kInvalidParams;
  *out = nullptr;
  std::shared_ptr<display::Direct3DSupport> support;
  if (Result r = device.QueryDirect3D(&support); r != Result::kOk) return r;
  *out = std::dynamic_pointer_cast<Direct3D>(support);
  return *out != nullptr ? Result::kOk : Result::kNoDirect3D;
}

}  // namespace platform::d3d
