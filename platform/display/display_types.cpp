// Names of the display stand-in's results.
#include "platform/display/display_types.h"

namespace platform::display {

const char* ResultName(Result result) {
  switch (result) {
    case Result::kOk: return "kOk";
    case Result::kGeneric: return "kGeneric";
    case Result::kInvalidParams: return "kInvalidParams";
    case Result::kInvalidObject: return "kInvalidObject";
    case Result::kInvalidRect: return "kInvalidRect";
    case Result::kInvalidCaps: return "kInvalidCaps";
    case Result::kInvalidPixelFormat: return "kInvalidPixelFormat";
    case Result::kInvalidMode: return "kInvalidMode";
    case Result::kOutOfMemory: return "kOutOfMemory";
    case Result::kOutOfVideoMemory: return "kOutOfVideoMemory";
    case Result::kSurfaceBusy: return "kSurfaceBusy";
    case Result::kSurfaceLost: return "kSurfaceLost";
    case Result::kWrongMode: return "kWrongMode";
    case Result::kNotLocked: return "kNotLocked";
    case Result::kNotFlippable: return "kNotFlippable";
    case Result::kNoExclusiveMode: return "kNoExclusiveMode";
    case Result::kExclusiveModeAlreadySet: return "kExclusiveModeAlreadySet";
    case Result::kWindowAlreadySet: return "kWindowAlreadySet";
    case Result::kWindowSubclassed: return "kWindowSubclassed";
    case Result::kNoColorKey: return "kNoColorKey";
    case Result::kNoClipList: return "kNoClipList";
    case Result::kNoClipper: return "kNoClipper";
    case Result::kNoPalette: return "kNoPalette";
    case Result::kNoOverlayHardware: return "kNoOverlayHardware";
    case Result::kNotFound: return "kNotFound";
    case Result::kUnsupported: return "kUnsupported";
    case Result::kPrimaryAlreadyExists: return "kPrimaryAlreadyExists";
    case Result::kSurfaceAlreadyAttached: return "kSurfaceAlreadyAttached";
    case Result::kCannotAttachSurface: return "kCannotAttachSurface";
    case Result::kDcAlreadyCreated: return "kDcAlreadyCreated";
    case Result::kVerticalBlankInProgress: return "kVerticalBlankInProgress";
    case Result::kNoDirect3D: return "kNoDirect3D";
  }
  return "unknown result";
}

}  // namespace platform::display
