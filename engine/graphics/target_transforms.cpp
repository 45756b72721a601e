#include "engine/graphics/target_transforms.h"

#include <cmath>

#include "engine/graphics/d3d_startup.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/screens.h"

namespace {

constexpr double kFieldOfView = 1.0471976;  // 60 degrees
constexpr float kTan60 = 1.7320509f;

constexpr TransformMatrix kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

TargetTransforms g_transforms{kIdentity, kIdentity, kIdentity};

void Normalise(float (&v)[3]) {
  const double len = std::sqrt(double{v[0]} * v[0] + double{v[1]} * v[1] + double{v[2]} * v[2]);
  if (len == 0) return;
  for (float& c : v) c = static_cast<float>(c / len);
}

void Cross(const float (&a)[3], const float (&b)[3], float (&out)[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

float Dot(const float (&a)[3], const float (&b)[3]) {
  return static_cast<float>(double{a[0]} * b[0] + double{a[1]} * b[1] + double{a[2]} * b[2]);
}

}  // namespace

const TargetTransforms& GetTargetTransforms() { return g_transforms; }

namespace {

platform::d3d::Matrix DeviceMatrix(const TransformMatrix& matrix) {
  platform::d3d::Matrix out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) out.m[r][c] = matrix.m[r][c];
  }
  return out;
}

}  // namespace

int SetTransformToWorld(const TransformMatrix& matrix) {
  g_transforms.World = matrix;
  if (IsDirect3DUsable() != 0) SetWorldTransform3D(DeviceMatrix(matrix));
  return NullGraphicsOperation();
}

int SetTransformToView(const TransformMatrix& matrix) {
  g_transforms.View = matrix;
  if (IsDirect3DUsable() != 0) SetViewTransform3D(DeviceMatrix(matrix));
  return NullGraphicsOperation();
}

int SetTransformToProjection(const TransformMatrix& matrix) {
  g_transforms.Projection = matrix;
  if (IsDirect3DUsable() != 0) SetProjectionTransform3D(DeviceMatrix(matrix));
  return NullGraphicsOperation();
}

TransformMatrix IdentityMatrix() { return kIdentity; }

TransformMatrix LookAtMatrix(const float (&eye)[3], const float (&target)[3], const float (&up)[3]) {
  float z[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
  Normalise(z);
  float x[3];
  Cross(up, z, x);
  Normalise(x);
  float y[3];
  Cross(z, x, y);
  return TransformMatrix{{{x[0], y[0], z[0], 0},
                          {x[1], y[1], z[1], 0},
                          {x[2], y[2], z[2], 0},
                          {-Dot(x, eye), -Dot(y, eye), -Dot(z, eye), 1}}};
}

float TargetCameraDistance(int targetHeight) { return static_cast<float>(targetHeight / 2) * kTan60; }

TransformMatrix TargetViewMatrix(int width, int height) {
  const float d = TargetCameraDistance(height);
  const float cx = static_cast<float>(width) / 2, cy = static_cast<float>(height) / 2;
  const float eye[3] = {cx, cy, -d};
  const float at[3] = {cx, cy, -d + 1};
  const float up[3] = {0, 1, 0};
  return LookAtMatrix(eye, at, up);
}

TransformMatrix TargetProjectionMatrix(int targetHeight, int screenWidth, int screenHeight) {
  const double d = TargetCameraDistance(targetHeight);
  const double nearZ = d * 0.1, farZ = d + 1000;
  const double cot = 1.0 / std::tan(kFieldOfView / 2);
  // A screen without a size (none set yet) counts as 640 x 480.
  if (screenWidth <= 0 || screenHeight <= 0) {
    screenWidth = 640;
    screenHeight = 480;
  }
  TransformMatrix p{};
  p.m[0][0] = static_cast<float>(cot * screenHeight / screenWidth);
  p.m[1][1] = static_cast<float>(cot);
  p.m[2][2] = static_cast<float>(farZ / (farZ - nearZ));
  p.m[2][3] = 1;
  p.m[3][2] = static_cast<float>(-nearZ * farZ / (farZ - nearZ));
  return p;
}

void SetTargetTransforms(int width, int height) {
  int screenWidth = 0, screenHeight = 0;
  GetScreenSize(&screenWidth, &screenHeight);
  SetTransformToWorld(IdentityMatrix());
  SetTransformToView(TargetViewMatrix(width, height));
  SetTransformToProjection(TargetProjectionMatrix(height, screenWidth, screenHeight));
}
