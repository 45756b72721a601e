// The draw target's 3D matrices: world, view and projection, 4 x 4 floats
// in row-vector form (a point is a row vector multiplied from the left, the
// translation in the fourth row). Selecting a draw target sets all three:
// world the identity, view a left-handed look-at that maps z = 0 one unit to
// one target pixel at a 60-degree vertical field of view, projection the
// matching perspective.
#pragma once

struct TransformMatrix {
  float m[4][4];
};

struct TargetTransforms {
  TransformMatrix World;
  TransformMatrix View;
  TransformMatrix Projection;
};

const TargetTransforms& GetTargetTransforms();

// Each copies the matrix into the module state (and hands it to the 3D
// device once there is one). 0.
int SetTransformToWorld(const TransformMatrix& matrix);
int SetTransformToView(const TransformMatrix& matrix);
int SetTransformToProjection(const TransformMatrix& matrix);

TransformMatrix IdentityMatrix();
// Left-handed look-at from eye towards target with up.
TransformMatrix LookAtMatrix(const float (&eye)[3], const float (&target)[3], const float (&up)[3]);
// The camera distance for a target height: (height / 2) * tan(60 degrees).
float TargetCameraDistance(int targetHeight);
// The view and projection for a target of width x height on a screen of
// screenWidth x screenHeight (the projection's aspect follows the screen).
TransformMatrix TargetViewMatrix(int width, int height);
TransformMatrix TargetProjectionMatrix(int targetHeight, int screenWidth, int screenHeight);
// Sets all three for a target of width x height.
void SetTargetTransforms(int width, int height);
