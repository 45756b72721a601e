// Tests that need the OpenGL stand-in (Mesa's llvmpipe through EGL) and find
// no context are skipped on a developer's machine but fail on CI, where the
// context must be there.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

namespace test_support {

// Records the skip (or the failure on CI); the caller returns after it.
inline void NoOpenGlContext() {
  if (std::getenv("CI") != nullptr) FAIL() << "no OpenGL 3.3 core context through EGL on CI";
  GTEST_SKIP() << "no OpenGL 3.3 core context through EGL";
}

}  // namespace test_support
