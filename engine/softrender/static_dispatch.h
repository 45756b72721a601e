// Turns per-call run-time choices into compile-time template arguments, so
// that a dispatch picks one specialised loop and no loop branches per pixel
// on the draw state. Each helper calls f with a std::integral_constant (or
// std::bool_constant) of the value.
#pragma once

#include <type_traits>

#include "engine/softrender/blend_pixel.h"

namespace softrender {

template <class F>
inline void WithBool(bool b, F&& f) {
  if (b) {
    f(std::true_type{});
  } else {
    f(std::false_type{});
  }
}

// mode: 0-4; other values call nothing.
template <class F>
inline void WithMode(unsigned mode, F&& f) {
  switch (mode) {
    case 0: f(std::integral_constant<int, 0>{}); break;
    case 1: f(std::integral_constant<int, 1>{}); break;
    case 2: f(std::integral_constant<int, 2>{}); break;
    case 3: f(std::integral_constant<int, 3>{}); break;
    case 4: f(std::integral_constant<int, 4>{}); break;
    default: break;
  }
}

// Colour kind 1 calls f(Depth32{}), kind 0 f(Depth16{}); other kinds call
// nothing. The loops of both kinds are one template over the depth.
template <class F>
inline void WithDepth(int kind, F&& f) {
  if (kind == 1) {
    f(Depth32{});
  } else if (kind == 0) {
    f(Depth16{});
  }
}

template <class F>
inline void WithSourceForm(SourceForm form, F&& f) {
  switch (form) {
    case SourceForm::kDirect: f(std::integral_constant<SourceForm, SourceForm::kDirect>{}); break;
    case SourceForm::kAlpha: f(std::integral_constant<SourceForm, SourceForm::kAlpha>{}); break;
    case SourceForm::kPalette: f(std::integral_constant<SourceForm, SourceForm::kPalette>{}); break;
  }
}

}  // namespace softrender
