// Start, end, loss and re-creation of the Direct3D object and its device,
// and the three transforms.
//
// InitializeDirect3D runs from the screen-mode change once the main
// surfaces exist (hardware drawing, Direct3D not switched off, software
// rendering off); its -1 fails that change. Every step logs its line; a
// failed step releases what was made. Results: 0, or -1 when Direct3D is not
// running or the record cannot take calls, unless said otherwise.
#pragma once

#include "engine/graphics/d3d_device.h"

int InitializeDirect3D();
int TerminateDirect3D();
// Display lost: the device, then the object; -1 unless started.
int ReleaseDirect3DObject();
// After the display was rebuilt: the object again and the device on the
// new front screen; 0 at once unless started.
int ReacquireDirect3D();

int CreateDevice3D(const platform::display::SurfacePtr& target);
int ReleaseDevice3D(DeviceRecord3D& record);
int RecreateDevice3D(DeviceRecord3D& record);
int ReleaseAllDevices3D();
// Sends every cached state again (ForceStates set for the duration).
int ReapplyDeviceStates3D(DeviceRecord3D& record);

int SetWorldTransform3D(const platform::d3d::Matrix& matrix);
int SetViewTransform3D(const platform::d3d::Matrix& matrix);
int SetProjectionTransform3D(const platform::d3d::Matrix& matrix);

// What the 3D surface table does when the device ends, is lost or comes
// back. The table's module installs them; without it the table is empty and
// nothing is done.
struct Surface3DTableHooks {
  int (*DeleteAll)() = nullptr;          // every 3D surface handle (TerminateDirect3D)
  void (*ReleaseTextures)() = nullptr;   // their texture surfaces (ReleaseDevice3D)
  void (*RecreateTextures)() = nullptr;  // surfaces made again and keyed (RecreateDevice3D)
};
void SetSurface3DTableHooks(const Surface3DTableHooks& hooks);

// The screens' surfaces as the device takes them.
platform::display::SurfacePtr FrontScreenSurface3D();
platform::display::SurfacePtr BackScreenSurface3D();
