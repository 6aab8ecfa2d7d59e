// Process-wide display objects (DirectDraw and Direct3D): the device table,
// bring-up, presenting a frame and the release of everything.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <memory>

#include "platform/win32/com_ptr.h"
#include "platform/win32/d3d7_device.h"
#include "render/device_table.h"
#include "render/gamma.h"

namespace brisane {

extern DeviceTable g_Devices;  // current device: g_Devices.current
extern ComPtr<IDirectDraw7> g_pDD;
extern ComPtr<IDirect3D7> g_pD3D;
extern ComPtr<IDirect3DDevice7> g_pd3dDevice;
extern ComPtr<IDirectDrawSurface7> g_pddsPrimary;
extern ComPtr<IDirectDrawSurface7> g_pddsBackBuffer;
extern ComPtr<IDirectDrawSurface7> g_pddsZBuffer;
extern RECT g_rcScreen;    // where a frame is shown, in screen coordinates
extern RECT g_rcViewport;  // the render target's own rectangle
// The device as the renderer sees it; null until InitDirect3D succeeds.
extern std::unique_ptr<D3D7Device> g_Device;
// The display's gamma ramp (saved at the first change, restored at cleanup).
extern Gamma g_Gamma;

// 0x700 when DirectDraw 7 can be created on the primary driver, else 0.
DWORD GetDirectXVersion();
// Fills g_Devices from every DirectDraw driver; fatal when no usable device.
HRESULT EnumerateDevices();
// Makes the default device current; fatal when there is none.
HRESULT SelectDefaultDevice();
// Defaults, stored values and the device checks over SettingsRoot; E_FAIL
// when no device can be chosen.
HRESULT LoadSettings();
HRESULT InitDirectDraw(HWND window, bool useDesktopRes);
HRESULT InitDirect3D();
// Flip in full screen, blit to the window at desktop resolution.
HRESULT PresentFrame();
// Leaves exclusive mode and releases every display object; safe to call when
// nothing was brought up, and more than once. E_FAIL when the device or the
// DirectDraw object was still referenced elsewhere.
HRESULT CleanupDisplay();

// The ramp for a gamma value through one of the two curves (no-op without
// gamma support or before bring-up).
void SetGamma(double value, GammaCurve curve);

}  // namespace brisane
