#include "tools/scene_view/offscreen.h"

namespace brisane {

namespace {

struct DepthSearch {
  DDPIXELFORMAT format;
  DWORD bits;
};

HRESULT CALLBACK DeepestDepth(LPDDPIXELFORMAT format, LPVOID context) {
  auto* search = static_cast<DepthSearch*>(context);
  // Plain depth formats only; 24 bits is plenty for a sky 20000 units away.
  if (format->dwStencilBitDepth == 0 && format->dwZBufferBitDepth > search->bits &&
      format->dwZBufferBitDepth <= 32) {
    search->format = *format;
    search->bits = format->dwZBufferBitDepth;
  }
  return D3DENUMRET_OK;
}

}  // namespace

HWND MakeToolWindow(const char* className) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
  return CreateWindowExA(0, className, className, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string BringUp(HWND window, DWORD width, DWORD height, Offscreen& o) {
  if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(o.directDraw.Put()), IID_IDirectDraw7, nullptr)))
    return "DirectDrawCreateEx";
  if (FAILED(o.directDraw->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_FPUSETUP))) return "SetCooperativeLevel";
  if (FAILED(o.directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(o.d3d.Put()))))
    return "IDirect3D7";

  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
  desc.dwWidth = width;
  desc.dwHeight = height;
  if (FAILED(o.directDraw->CreateSurface(&desc, o.target.Put(), nullptr))) return "render target";

  const GUID* devices[] = {&IID_IDirect3DTnLHalDevice, &IID_IDirect3DHALDevice};
  const GUID* chosen = nullptr;
  for (const GUID* guid : devices) {
    DepthSearch search = {{}, 0};
    o.d3d->EnumZBufferFormats(*guid, DeepestDepth, &search);
    if (search.bits == 0) continue;
    DDSURFACEDESC2 z = {};
    z.dwSize = sizeof z;
    z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    z.dwWidth = width;
    z.dwHeight = height;
    z.ddpfPixelFormat = search.format;
    z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    if (FAILED(o.directDraw->CreateSurface(&z, o.depth.Put(), nullptr))) continue;
    if (FAILED(o.target->AddAttachedSurface(o.depth.Get()))) continue;
    if (SUCCEEDED(o.d3d->CreateDevice(*guid, o.target.Get(), o.device.Put()))) {
      chosen = guid;
      break;
    }
    o.target->DeleteAttachedSurface(0, o.depth.Get());
  }
  if (!chosen) return "CreateDevice";

  D3DVIEWPORT7 viewport = {0, 0, width, height, 0.0f, 1.0f};
  if (FAILED(o.device->SetViewport(&viewport))) return "SetViewport";
  o.device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
  D3DDEVICEDESC7 caps = {};
  o.device->GetCaps(&caps);
  o.anisotropic = (caps.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ANISOTROPY) != 0;
  return "";
}

}  // namespace brisane
