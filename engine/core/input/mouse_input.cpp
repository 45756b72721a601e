// Mouse button reads.
#include "engine/core/input/mouse_input.h"

#include "engine/core/input/input_setup.h"
#include "platform/input_devices.h"

uint32_t ReadMouseButtons() {
  const InputBlock& input = GetInputBlock();
  const uint32_t buttons = platform::ReadMouseButtons();
  if (input.mode == InputMode::kDevices && input.mouse_device) return buttons & 0xFF;
  // The plain state knows the three main buttons only.
  return buttons & 0x7;
}
