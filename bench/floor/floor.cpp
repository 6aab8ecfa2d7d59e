// The floor the show is measured against: a bare Direct3D 7 program that
// brings a device up at the desktop's resolution and then, every frame,
// clears, draws N lit triangles with two texture stages from system memory
// and flips. It prints when its first frame was shown (seconds after the
// process was created), the frame rate over the run and its peak memory.
//   floor.exe [TRIANGLES [SECONDS [DRAWS]]]
// DRAWS splits each frame's triangles over that many calls (as few as a call
// can take unless told), to see what the number of calls costs apart from
// the triangles.
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>
#include <psapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "win32/com_ptr.h"
#include "bench/floor/process_clock.h"

using brisane::ComPtr;

namespace {

struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  float u0, v0, u1, v1;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;
// One DrawPrimitive call takes at most this many vertices.
constexpr DWORD kBatchVertices = 65535 / 3 * 3;

[[noreturn]] void Fail(const char* what, HRESULT hr) {
  std::printf("error=%s hr=0x%08lx\n", what, static_cast<unsigned long>(hr));
  std::fflush(stdout);
  std::exit(1);
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) Fail(what, hr);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETCURSOR) {
    SetCursor(nullptr);
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HRESULT WINAPI FindZFormat(LPDDPIXELFORMAT format, LPVOID context) {
  if (format->dwZBufferBitDepth != 16) return D3DENUMRET_OK;
  *static_cast<DDPIXELFORMAT*>(context) = *format;
  return D3DENUMRET_CANCEL;
}

// A checker in one stage and a soft gradient in the other, so both stages
// cost what a real texture does.
ComPtr<IDirectDrawSurface7> MakeTexture(IDirectDraw7* dd, int pattern) {
  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = desc.dwHeight = 256;
  desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
  desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 32;
  desc.ddpfPixelFormat.dwRBitMask = 0x00ff0000;
  desc.ddpfPixelFormat.dwGBitMask = 0x0000ff00;
  desc.ddpfPixelFormat.dwBBitMask = 0x000000ff;
  ComPtr<IDirectDrawSurface7> texture;
  Check(dd->CreateSurface(&desc, texture.Put(), nullptr), "CreateTexture");
  Check(texture->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), "LockTexture");
  for (DWORD y = 0; y < 256; ++y) {
    auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch);
    for (DWORD x = 0; x < 256; ++x)
      row[x] = pattern == 0 ? (((x / 32 + y / 32) & 1) ? 0xffc08040u : 0xff406080u)
                            : 0xff000000u | ((x & 0xff) << 16) | ((y & 0xff) << 8) | 0x80;
  }
  texture->Unlock(nullptr);
  return texture;
}

// A grid of triangles filling the view on a plane in front of the eye.
std::vector<Vertex> MakeTriangles(unsigned count) {
  const unsigned cells = (count + 1) / 2;
  const unsigned columns = static_cast<unsigned>(std::ceil(std::sqrt(cells * 4.0 / 3.0)));
  const unsigned rows = (cells + columns - 1) / columns;
  std::vector<Vertex> vertices;
  vertices.reserve(static_cast<size_t>(count) * 3);
  const float width = 8.0f, height = 6.0f, depth = 5.0f;
  for (unsigned r = 0; r < rows && vertices.size() < count * 3u; ++r) {
    for (unsigned c = 0; c < columns && vertices.size() < count * 3u; ++c) {
      const float x0 = -width / 2 + width * c / columns, x1 = -width / 2 + width * (c + 1) / columns;
      const float y0 = height / 2 - height * r / rows, y1 = height / 2 - height * (r + 1) / rows;
      const float u0 = float(c) / columns, u1 = float(c + 1) / columns;
      const float v0 = float(r) / rows, v1 = float(r + 1) / rows;
      const Vertex a = {x0, y0, depth, 0, 0, -1, u0 * 8, v0 * 8, u0, v0};
      const Vertex b = {x1, y0, depth, 0, 0, -1, u1 * 8, v0 * 8, u1, v0};
      const Vertex d = {x0, y1, depth, 0, 0, -1, u0 * 8, v1 * 8, u0, v1};
      const Vertex e = {x1, y1, depth, 0, 0, -1, u1 * 8, v1 * 8, u1, v1};
      vertices.insert(vertices.end(), {a, b, d});
      if (vertices.size() < count * 3u) vertices.insert(vertices.end(), {b, e, d});
    }
  }
  return vertices;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned triangles = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 90000;
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
  const unsigned draws = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 0;

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = "FloorWindow";
  RegisterClassA(&wc);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "floor", WS_POPUP | WS_VISIBLE, 0, 0,
                                      width, height, nullptr, nullptr, instance, nullptr);

  ComPtr<IDirectDraw7> dd;
  Check(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(dd.Put()), IID_IDirectDraw7, nullptr), "DirectDrawCreateEx");
  Check(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP), "SetCooperativeLevel");
  DDSURFACEDESC2 mode = {};
  mode.dwSize = sizeof mode;
  dd->GetDisplayMode(&mode);
  Check(dd->SetDisplayMode(mode.dwWidth, mode.dwHeight, mode.ddpfPixelFormat.dwRGBBitCount, 0, 0), "SetDisplayMode");

  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  desc.dwBackBufferCount = 1;
  ComPtr<IDirectDrawSurface7> primary, back, zbuffer;
  Check(dd->CreateSurface(&desc, primary.Put(), nullptr), "CreatePrimary");
  DDSCAPS2 caps = {};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  Check(primary->GetAttachedSurface(&caps, back.Put()), "GetBackBuffer");

  ComPtr<IDirect3D7> d3d;
  Check(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(d3d.Put())), "QueryDirect3D7");
  DDPIXELFORMAT zformat = {};
  d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, FindZFormat, &zformat);
  DDSURFACEDESC2 z = {};
  z.dwSize = sizeof z;
  z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  z.dwWidth = mode.dwWidth;
  z.dwHeight = mode.dwHeight;
  z.ddpfPixelFormat = zformat;
  z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
  Check(dd->CreateSurface(&z, zbuffer.Put(), nullptr), "CreateZBuffer");
  Check(back->AddAttachedSurface(zbuffer.Get()), "AttachZBuffer");

  ComPtr<IDirect3DDevice7> device;
  Check(d3d->CreateDevice(IID_IDirect3DHALDevice, back.Get(), device.Put()), "CreateDevice");
  D3DVIEWPORT7 viewport = {0, 0, mode.dwWidth, mode.dwHeight, 0.0f, 1.0f};
  device->SetViewport(&viewport);

  D3DMATRIX identity = {};
  identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
  D3DMATRIX projection = {};
  const float aspect = float(mode.dwWidth) / float(mode.dwHeight), zn = 1.0f, zf = 100.0f;
  projection._11 = 1.0f / aspect;
  projection._22 = 1.0f;
  projection._33 = zf / (zf - zn);
  projection._34 = 1.0f;
  projection._43 = -zn * zf / (zf - zn);
  device->SetTransform(D3DTRANSFORMSTATE_WORLD, &identity);
  device->SetTransform(D3DTRANSFORMSTATE_VIEW, &identity);
  device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);

  D3DMATERIAL7 material = {};
  material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  material.ambient = {0.3f, 0.3f, 0.3f, 1.0f};
  device->SetMaterial(&material);
  D3DLIGHT7 light = {};
  light.dltType = D3DLIGHT_DIRECTIONAL;
  light.dcvDiffuse = {1.0f, 0.95f, 0.9f, 1.0f};
  light.dvDirection = {0.3f, -0.4f, 1.0f};
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
  device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xff404040);
  device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);

  ComPtr<IDirectDrawSurface7> stage0 = MakeTexture(dd.Get(), 0), stage1 = MakeTexture(dd.Get(), 1);
  device->SetTexture(0, stage0.Get());
  device->SetTexture(1, stage1.Get());
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
  device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
  device->SetTextureStageState(1, D3DTSS_MINFILTER, D3DTFN_LINEAR);
  device->SetTextureStageState(1, D3DTSS_MAGFILTER, D3DTFG_LINEAR);

  std::vector<Vertex> vertices = MakeTriangles(triangles);
  const size_t perDraw = draws ? (static_cast<size_t>(triangles) + draws - 1) / draws * 3 : kBatchVertices;
  const size_t batch = std::max<size_t>(3, std::min<size_t>(kBatchVertices, perDraw));
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  const double setUpMemory = memory.WorkingSetSize / 1048576.0;

  double firstFrame = 0.0;
  unsigned frames = 0;
  const DWORD start = GetTickCount();
  DWORD elapsed = 0;
  MSG message;
  while (elapsed < seconds * 1000.0) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff203040, 1.0f, 0);
    device->BeginScene();
    for (size_t first = 0; first < vertices.size(); first += batch) {
      const DWORD count = static_cast<DWORD>(std::min<size_t>(batch, vertices.size() - first));
      device->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf, &vertices[first], count, 0);
    }
    device->EndScene();
    Check(primary->Flip(nullptr, DDFLIP_WAIT), "Flip");
    if (frames++ == 0) firstFrame = SecondsSinceProcessStart();
    elapsed = GetTickCount() - start;
  }

  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("draws=%zu\ntriangles=%u\nfirst_frame_s=%.3f\nframes=%u\nfps=%.2f\nset_up_memory_mb=%.1f\npeak_memory_mb=%.1f\n",
              (vertices.size() + batch - 1) / batch, triangles, firstFrame, frames, frames * 1000.0 / (elapsed ? elapsed : 1), setUpMemory,
              memory.PeakWorkingSetSize / 1048576.0);
  std::fflush(stdout);

  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
  dd->SetCooperativeLevel(window, DDSCL_NORMAL);
  dd->RestoreDisplayMode();
  DestroyWindow(window);
  return 0;
}
