// The program's texture surfaces on the real device, from its picture 150: the
// device's texture caps, then NAME=WIDTH|HEIGHT|BITS|ALPHAMASK|CAPS|CAPS2|
// ZBUFFER|DISTINCT|MEANRED (|RENDERS for render targets), or NAME=none.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/win32/app.h"
#include "platform/win32/d3d7_device.h"
#include "platform/win32/module_resources.h"
#include "platform/win32/texture_surface.h"
#include "tests/unit/support/jpeg_stream.h"

using namespace brisane;

static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

void Describe(const char* name, const TextureRef& texture, int renders = -1) {
  if (!texture) return (void)std::printf("%s=none\n", name);
  IDirectDrawSurface7* surface = static_cast<DirectDrawSurface*>(texture.get())->Get();
  DDSCAPS2 zcaps = {DDSCAPS_ZBUFFER, 0, 0, {0}};
  IDirectDrawSurface7* depth = nullptr;
  if (SUCCEEDED(surface->GetAttachedSurface(&zcaps, &depth)) && depth) depth->Release();
  std::set<std::uint32_t> distinct;
  double red = 0;
  DDSURFACEDESC2 d = {};
  d.dwSize = sizeof d;
  if (SUCCEEDED(surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
    const ChannelBits r = MaskBits(d.ddpfPixelFormat.dwRBitMask);
    const DWORD bytes = d.ddpfPixelFormat.dwRGBBitCount / 8, top = (1u << r.width) - 1;
    for (DWORD y = 0; y < d.dwHeight; ++y)
      for (DWORD x = 0; x < d.dwWidth; ++x) {
        std::uint32_t v = 0;
        std::memcpy(&v, static_cast<const std::uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes, bytes);
        distinct.insert(v);
        if (r.width > 0) red += ((v >> r.shift) & top) * 255.0 / top;
      }
    surface->Unlock(nullptr);
  }
  std::printf("%s=%lu|%lu|%lu|%08lx|%08lx|%08lx|%d|%zu|%.1f", name, d.dwWidth, d.dwHeight,
              d.ddpfPixelFormat.dwRGBBitCount, d.ddpfPixelFormat.dwRGBAlphaBitMask, d.ddsCaps.dwCaps,
              d.ddsCaps.dwCaps2, depth ? 1 : 0, distinct.size(), d.dwWidth ? red / (d.dwWidth * d.dwHeight) : 0.0);
  std::printf(renders < 0 ? "\n" : "|%d\n", renders);
}

}  // namespace

int main() {
  const ModuleResourceSource resources(GetModuleHandleA(nullptr));
  const auto picture = resources.find(150, "JPEGFILE");
  if (!picture) return 4;
  HWND window = CreateWindowExA(0, "STATIC", "texture driver", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                nullptr, nullptr, nullptr);
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  Display& display = app.display();
  if (FAILED(display.EnumerateDevices()) || FAILED(display.LoadSettings(app.settings())) ||
      FAILED(display.InitDirectDraw(window, true)) || FAILED(display.InitDirect3D()))
    return 5;
  D3DDEVICEDESC7 caps = {};
  display.d3dDevice()->GetCaps(&caps);
  std::printf("pow2=%d\nsquare=%d\nmaxtexture=%lux%lu\n", (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) ? 1 : 0,
              (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0, caps.dwMaxTextureWidth,
              caps.dwMaxTextureHeight);
  {
    TextureFactory factory(display.directDraw(), display.d3dDevice(), display.primary(), true);
    for (std::uint32_t kind = 0; kind <= 4; ++kind) {
      const char* names[] = {"kind0", "kind1", "kind2", "kind3", "kind4"};
      Describe(names[kind], factory.createTextureFromJpeg(*picture, kind, kind == 3 ? 1 : 0));
    }
    TextureLoader& loader = factory;
    for (SurfaceKind kind : {SurfaceKind::TargetWithDepth, SurfaceKind::Target}) {
      TextureRef target = loader.CreateSurfaceOfType(300, 100, kind);
      const bool renders = target && SUCCEEDED(display.device()->SetRenderTarget(target.get()));
      display.device()->SetRenderTarget(nullptr);
      Describe(kind == SurfaceKind::Target ? "target5" : "target4", target, renders ? 1 : 0);
    }
    // A phone's 24 megapixels (grey blocks, cheap to write) on this device.
    Describe("camera", factory.createTextureFromJpeg(testing::DcPicture(6000, 4000), 0, 0));
    const std::uint8_t garbage[] = {0xFF, 0xD8, 0x00, 0x01};
    Describe("garbage", factory.createTextureFromJpeg(garbage, 0, 0));
    std::printf("alphaformat=%08lx\n", static_cast<unsigned long>(factory.alphaFormat().alpha_mask));
  }
  std::fflush(stdout);
  app.CleanupDisplay();
  DestroyWindow(window);
  return 0;
}
