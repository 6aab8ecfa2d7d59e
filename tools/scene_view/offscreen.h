// An off-screen Direct3D 7 device for tools: a render target surface with
// the deepest plain z-buffer, no full screen, no mode change, nothing shown.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <string>

#include "win32/com_ptr.h"

namespace brisane {

struct Offscreen {
  ComPtr<IDirectDraw7> directDraw;
  ComPtr<IDirect3D7> d3d;
  ComPtr<IDirectDrawSurface7> target;
  ComPtr<IDirectDrawSurface7> depth;
  ComPtr<IDirect3DDevice7> device;
  bool anisotropic = false;
};

// A hidden window of the class name for a tool's display; null when none can be made.
HWND MakeToolWindow(const char* className);

// Unix paths as Windows file names: "/a/b" is "Z:\a\b".
std::string WindowsPath(std::string path);

// Brings it up at width x height for the window; the step that failed, empty on success.
std::string BringUp(HWND window, DWORD width, DWORD height, Offscreen& o);

}  // namespace brisane
