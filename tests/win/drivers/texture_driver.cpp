// Texture surfaces made by the program's texture code on the real device.
//   texture_driver PROGRAM   brings the display up at desktop resolution and
//   prints the chosen formats and, per load kind of resource 150, the surface:
//   kindN=WIDTH|HEIGHT|BITS|ALPHAMASK|CAPS|CAPS2|ZBUFFER|DISTINCT|MEANRED,
//   the device's largest texture (maxtexture=WIDTHxHEIGHT) and the surface a
//   camera-sized picture becomes (camera=WIDTHxHEIGHT|MEANGREY, or none).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "platform/win32/app.h"
#include "platform/win32/d3d7_device.h"
#include "platform/win32/module_resources.h"
#include "platform/win32/texture_surface.h"
#include "render/texture_format.h"
#include "tests/unit/support/jpeg_stream.h"

using namespace brisane;
static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

void Describe(const char* key, IDirectDrawSurface7* surface) {
  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  surface->GetSurfaceDesc(&desc);
  DDSCAPS2 zcaps = {};
  zcaps.dwCaps = DDSCAPS_ZBUFFER;
  IDirectDrawSurface7* depth = nullptr;
  const bool hasDepth = SUCCEEDED(surface->GetAttachedSurface(&zcaps, &depth)) && depth;
  if (depth) depth->Release();

  std::set<std::uint32_t> distinct;
  double red = 0;
  unsigned count = 0;
  DDSURFACEDESC2 locked = {};
  locked.dwSize = sizeof locked;
  if (SUCCEEDED(surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
    const ChannelBits r = MaskBits(locked.ddpfPixelFormat.dwRBitMask);
    const DWORD bytes = locked.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < locked.dwHeight; ++y)
      for (DWORD x = 0; x < locked.dwWidth; ++x) {
        const auto* p = static_cast<const std::uint8_t*>(locked.lpSurface) + y * locked.lPitch + x * bytes;
        std::uint32_t v = 0;
        std::memcpy(&v, p, bytes);
        distinct.insert(v);
        if (r.width > 0) red += ((v >> r.shift) & ((1u << r.width) - 1)) * 255.0 / ((1u << r.width) - 1);
        ++count;
      }
    surface->Unlock(nullptr);
  }
  std::printf("%s=%lu|%lu|%lu|%08lx|%08lx|%08lx|%d|%zu|%.1f\n", key, desc.dwWidth, desc.dwHeight,
              desc.ddpfPixelFormat.dwRGBBitCount, desc.ddpfPixelFormat.dwRGBAlphaBitMask, desc.ddsCaps.dwCaps,
              desc.ddsCaps.dwCaps2, hasDepth ? 1 : 0, distinct.size(), count ? red / count : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HMODULE program = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!program) return 3;
  const ModuleResourceSource resources(program);
  const auto picture = resources.find(150, "JPEGFILE");
  if (!picture) return 4;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TextureDriverWindow";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "texture driver", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                nullptr, nullptr, wc.hInstance, nullptr);
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  Display& display = app.display();
  if (FAILED(display.EnumerateDevices()) || FAILED(display.LoadSettings(app.settings())) ||
      FAILED(display.InitDirectDraw(window, true)) || FAILED(display.InitDirect3D()))
    return 5;
  D3DDEVICEDESC7 caps = {};
  display.d3dDevice()->GetCaps(&caps);
  std::printf("pow2=%d\nsquare=%d\n", (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) ? 1 : 0,
              (caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0);
  std::printf("maxtexture=%lux%lu\n", caps.dwMaxTextureWidth, caps.dwMaxTextureHeight);
  {
    TextureFactory factory(display.directDraw(), display.d3dDevice(), display.primary(), true);
    for (std::uint32_t kind = 0; kind <= 4; ++kind) {
      TextureRef texture = factory.createTextureFromJpeg(*picture, kind, kind == 3 ? 1 : 0);
      char key[16];
      std::snprintf(key, sizeof key, "kind%u", kind);
      if (texture)
        Describe(key, static_cast<DirectDrawSurface*>(texture.get())->Get());
      else
        std::printf("%s=none\n", key);
    }
    // Render targets as the core asks for them, through the loader interface.
    TextureLoader& loader = factory;
    for (SurfaceKind kind : {kSurfaceTargetWithDepth, kSurfaceTarget}) {
      TextureRef target = loader.CreateSurfaceOfType(300, 100, kind);
      std::uint32_t width = 0, height = 0;
      if (target) loader.SurfaceSize(*target, width, height);
      const bool renders = target && SUCCEEDED(display.device()->SetRenderTarget(target.get()));
      display.device()->SetRenderTarget(nullptr);
      std::printf("target%d=%ux%u|%d\n", static_cast<int>(kind), width, height, renders ? 1 : 0);
    }
    // A phone's 24 megapixels (grey blocks, cheap to write) on this device.
    const std::vector<std::uint8_t> camera = testing::DcPicture(6000, 4000);
    if (TextureRef texture = factory.createTextureFromJpeg(camera, 0, 0)) {
      std::uint32_t width = 0, height = 0;
      factory.SurfaceSize(*texture, width, height);
      IDirectDrawSurface7* surface = static_cast<DirectDrawSurface*>(texture.get())->Get();
      DDSURFACEDESC2 locked = {};
      locked.dwSize = sizeof locked;
      double grey = 0;
      if (SUCCEEDED(surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
        // The centre texel's green channel: the picture, not a black fill.
        const DWORD bytes = locked.ddpfPixelFormat.dwRGBBitCount / 8;
        const auto* p = static_cast<const std::uint8_t*>(locked.lpSurface) + (locked.dwHeight / 2) * locked.lPitch +
                        (locked.dwWidth / 2) * bytes;
        std::uint32_t v = 0;
        std::memcpy(&v, p, bytes);
        const ChannelBits g = MaskBits(locked.ddpfPixelFormat.dwGBitMask);
        if (g.width > 0) grey = ((v >> g.shift) & ((1u << g.width) - 1)) * 255.0 / ((1u << g.width) - 1);
        surface->Unlock(nullptr);
      }
      std::printf("camera=%ux%u|%.1f\n", width, height, grey);
    } else {
      std::printf("camera=none\n");
    }
    const std::uint8_t garbage[] = {0xFF, 0xD8, 0x00, 0x01};
    std::printf("garbage=%s\n", factory.createTextureFromJpeg(garbage, 0, 0) ? "texture" : "none");
    std::printf("alphaformat=%08lx|%lu\nopaqueformat=%08lx|%lu\n", static_cast<unsigned long>(factory.alphaFormat().alpha_mask),
                static_cast<unsigned long>(factory.alphaFormat().rgb_bit_count),
                static_cast<unsigned long>(factory.opaqueFormat().alpha_mask),
                static_cast<unsigned long>(factory.opaqueFormat().rgb_bit_count));
  }
  std::fflush(stdout);
  app.CleanupDisplay();
  DestroyWindow(window);
  FreeLibrary(program);
  return 0;
}
