#include "engine/api/font_entry_points.h"

#include "engine/core/base/api_lock.h"
#include "engine/graphics/font_handles.h"

namespace {

template <typename Operation>
auto Locked(Operation operation) {
  ApiLockGuard lock;
  return operation();
}

}  // namespace

int CollectFontNames(char* buffer, int maximum, int filter) {
  return Locked([=] { return ListInstalledFonts(buffer, maximum, filter); });
}
int ResetAllFonts() {
  return Locked([] { return InitializeFonts(); });
}
int NewFont(const char* face, int size, int thickness, int type, int kind, int edge, int italic,
            int slot, int check) {
  return Locked([=] { return CreateFontToHandle(face, size, thickness, type, kind, edge, italic, slot, check); });
}
int ChangeDefaultFontSize(int size) {
  return Locked([=] { return SetDefaultFontSize(size); });
}
int ChangeDefaultFontThickness(int thickness) {
  return Locked([=] { return SetDefaultFontThickness(thickness); });
}
int ChangeDefaultFontName(const char* face, int kind) {
  return Locked([=] { return SetDefaultFontName(face, kind); });
}
int ChangeDefaultFontType(int type) {
  return Locked([=] { return SetDefaultFontType(type); });
}
