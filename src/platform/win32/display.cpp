#include "platform/win32/display.h"

#include <cstring>
#include <string>

#include "platform/win32/fatal_error.h"
#include "platform/win32/registry_store.h"
#include "platform/win32/shell_state.h"
#include "platform/win32/show_host.h"
#include "settings/load_settings.h"

namespace brisane {

DeviceTable g_Devices;
ComPtr<IDirectDraw7> g_pDD;
ComPtr<IDirect3D7> g_pD3D;
ComPtr<IDirect3DDevice7> g_pd3dDevice;
ComPtr<IDirectDrawSurface7> g_pddsPrimary;
ComPtr<IDirectDrawSurface7> g_pddsBackBuffer;
ComPtr<IDirectDrawSurface7> g_pddsZBuffer;
RECT g_rcScreen = {};
RECT g_rcViewport = {};
std::unique_ptr<D3D7Device> g_Device;
Gamma g_Gamma;

namespace {

Guid ToGuid(const GUID& guid) {
  Guid g;
  std::memcpy(g.data(), &guid, sizeof guid);
  return g;
}

GUID FromGuid(const Guid& g) {
  GUID guid;
  std::memcpy(&guid, g.data(), sizeof guid);
  return guid;
}

void ReportFatal(const std::string& message) { FatalError("%s", message.c_str()); }

// A driver under enumeration: its modes, and the desktop mode to match.
struct DriverContext {
  DriverRecord record;
  DisplayMode desktop;
};

HRESULT WINAPI ModeEnumCallback(LPDDSURFACEDESC2 desc, LPVOID context) {
  auto* driver = static_cast<DriverContext*>(context);
  driver->record.modes.push_back(
      {desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat.dwRGBBitCount, desc->dwRefreshRate});
  return DDENUMRET_OK;
}

HRESULT WINAPI DeviceEnumCallback(LPSTR /*description*/, LPSTR name, LPD3DDEVICEDESC7 desc, LPVOID context) {
  auto* driver = static_cast<DriverContext*>(context);
  DeviceDescription device;
  device.name = name ? name : "";
  device.deviceGuid = ToGuid(desc->deviceGUID);
  device.devCaps = desc->dwDevCaps;
  device.renderBitDepths = desc->dwDeviceRenderBitDepth;
  device.maxSimultaneousTextures = desc->wMaxSimultaneousTextures;
  device.textureCaps = desc->dpcTriCaps.dwTextureCaps;
  device.minTextureWidth = desc->dwMinTextureWidth;
  device.minTextureHeight = desc->dwMinTextureHeight;
  device.maxTextureWidth = desc->dwMaxTextureWidth;
  device.maxTextureHeight = desc->dwMaxTextureHeight;
  device.maxTextureAspectRatio = desc->dwMaxTextureAspectRatio;
  AddDevice(g_Devices, driver->record, device, driver->desktop);
  return D3DENUMRET_OK;
}

BOOL WINAPI DriverEnumCallback(GUID* guid, LPSTR description, LPSTR /*name*/, LPVOID /*context*/) {
  ComPtr<IDirectDraw7> dd;
  HRESULT hr = DirectDrawCreateEx(guid, reinterpret_cast<void**>(dd.Put()), IID_IDirectDraw7, nullptr);
  if (FAILED(hr)) FatalError("ERROR in DriverEnumCallback(): DirectDrawCreateEx call failed, hr = %u", unsigned(hr));
  ComPtr<IDirect3D7> d3d;
  hr = dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(d3d.Put()));
  if (FAILED(hr)) FatalError("ERROR in DriverEnumCallback(): QueryInterface call failed, hr = %u", unsigned(hr));

  DriverContext driver;
  driver.record.description = std::string(description ? description : "").substr(0, kMaxDeviceNameChars);
  DDCAPS hal = {}, hel = {};
  hal.dwSize = hel.dwSize = sizeof(DDCAPS);
  dd->GetCaps(&hal, &hel);
  driver.record.halCaps2 = hal.dwCaps2;
  driver.record.primary = guid == nullptr;
  if (guid) driver.record.driverGuid = ToGuid(*guid);

  DEVMODEA current = {};
  current.dmSize = sizeof current;
  if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current))
    driver.desktop = {current.dmPelsWidth, current.dmPelsHeight, current.dmBitsPerPel, current.dmDisplayFrequency};

  dd->EnumDisplayModes(0, nullptr, &driver, ModeEnumCallback);
  SortModes(driver.record.modes);
  d3d->EnumDevices(DeviceEnumCallback, &driver);
  return DDENUMRET_OK;  // the objects go with the scope
}

struct ZBufferSearch {
  DWORD depth;
  DDPIXELFORMAT format;
  bool found;
};

HRESULT WINAPI ZBufferFormatCallback(LPDDPIXELFORMAT format, LPVOID context) {
  auto* search = static_cast<ZBufferSearch*>(context);
  if (format->dwZBufferBitDepth != search->depth) return D3DENUMRET_OK;
  search->format = *format;
  search->found = true;
  return D3DENUMRET_CANCEL;
}

// The primary surface's gamma control, for as long as one ramp change takes.
class PrimaryGamma final : public GammaSource {
  class Control final : public GammaControl {
   public:
    explicit Control(ComPtr<IDirectDrawGammaControl> control) : control_(std::move(control)) {}
    bool GetRamp(GammaRamp& ramp) override {
      DDGAMMARAMP native = {};
      if (FAILED(control_->GetGammaRamp(0, &native))) return false;
      std::memcpy(ramp.red.data(), native.red, sizeof native.red);
      std::memcpy(ramp.green.data(), native.green, sizeof native.green);
      std::memcpy(ramp.blue.data(), native.blue, sizeof native.blue);
      return true;
    }
    bool SetRamp(const GammaRamp& ramp) override {
      DDGAMMARAMP native = {};
      std::memcpy(native.red, ramp.red.data(), sizeof native.red);
      std::memcpy(native.green, ramp.green.data(), sizeof native.green);
      std::memcpy(native.blue, ramp.blue.data(), sizeof native.blue);
      return SUCCEEDED(control_->SetGammaRamp(0, &native));
    }

   private:
    ComPtr<IDirectDrawGammaControl> control_;
  };

 public:
  std::unique_ptr<GammaControl> OpenGammaControl() override {
    if (!g_pddsPrimary) return nullptr;
    ComPtr<IDirectDrawGammaControl> control;
    if (FAILED(g_pddsPrimary->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(control.Put()))))
      return nullptr;
    return std::make_unique<Control>(std::move(control));
  }
};

bool g_ModeChanged = false;  // SetDisplayMode ran: give the desktop its mode back

}  // namespace

DWORD GetDirectXVersion() {
  HMODULE library = LoadLibraryA("DDRAW.DLL");
  if (!library) return 0;
  DWORD version = 0;
  using CreateEx = HRESULT(WINAPI*)(GUID*, LPVOID*, REFIID, IUnknown*);
  auto create = reinterpret_cast<CreateEx>(reinterpret_cast<void*>(GetProcAddress(library, "DirectDrawCreateEx")));
  if (create) {
    IDirectDraw7* dd = nullptr;
    if (SUCCEEDED(create(nullptr, reinterpret_cast<LPVOID*>(&dd), IID_IDirectDraw7, nullptr)) && dd) {
      dd->Release();
      version = 0x700;
    }
  }
  FreeLibrary(library);
  return version;
}

HRESULT EnumerateDevices() {
  g_Devices = DeviceTable();
  const HRESULT hr = DirectDrawEnumerateA(DriverEnumCallback, nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in EnumerateDevices(): DirectDrawEnumerate call failed, hr = %u", unsigned(hr));
  if (g_Devices.numEnumerated == 0 || g_Devices.NumDevices() == 0)
    FatalError("FATAL ERROR in EnumerateDevices(): NumDevices = %d, NumDevicesEnumerated = %d",
               int(g_Devices.NumDevices()), int(g_Devices.numEnumerated));
  return S_OK;
}

HRESULT SelectDefaultDevice() { return brisane::SelectDefaultDevice(g_Devices, ReportFatal); }

HRESULT LoadSettings() {
  return brisane::LoadSettings(SettingsRoot, *RegistryKey::CurrentUser(), g_Devices, ReportFatal);
}

HRESULT InitDirectDraw(HWND window, bool useDesktopRes) {
  DeviceInfo& device = g_Devices.Current();
  // DirectDraw on the driver the device belongs to: a secondary adapter's
  // device cannot be made on the primary driver's surfaces.
  GUID driverGuid = FromGuid(device.driverGuid);
  HRESULT hr = DirectDrawCreateEx(device.primaryDriver ? nullptr : &driverGuid, reinterpret_cast<void**>(g_pDD.Put()),
                                  IID_IDirectDraw7, nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): DirectDrawCreateEx call failed, hr = %u", unsigned(hr));

  const DWORD level = device.desktopResolution
                          ? DDSCL_NORMAL | DDSCL_FPUSETUP
                          : DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP;
  hr = g_pDD->SetCooperativeLevel(window, level);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): SetCooperativeLevel call failed, hr = %u", unsigned(hr));

  if (useDesktopRes) {
    device.desktopResolution = true;
    if (device.desktopModeIndex < device.modes.size()) device.selectedMode = device.modes[device.desktopModeIndex];

    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    hr = g_pDD->CreateSurface(&desc, g_pddsPrimary.Put(), nullptr);
    if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): Primary surface create failed, hr = %u", unsigned(hr));

    GetClientRect(window, &g_rcScreen);
    GetClientRect(window, &g_rcViewport);
    ClientToScreen(window, reinterpret_cast<POINT*>(&g_rcScreen.left));
    ClientToScreen(window, reinterpret_cast<POINT*>(&g_rcScreen.right));

    desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    desc.dwWidth = static_cast<DWORD>(g_rcViewport.right - g_rcViewport.left);
    desc.dwHeight = static_cast<DWORD>(g_rcViewport.bottom - g_rcViewport.top);
    hr = g_pDD->CreateSurface(&desc, g_pddsBackBuffer.Put(), nullptr);
    if (FAILED(hr))
      FatalError("FATAL ERROR in InitDirectDraw(): Backbuffer surface create failed, hr = %u", unsigned(hr));

    ComPtr<IDirectDrawClipper> clipper;
    hr = g_pDD->CreateClipper(0, clipper.Put(), nullptr);
    if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): CreateClipper call failed, hr = %u", unsigned(hr));
    clipper->SetHWnd(0, window);
    g_pddsPrimary->SetClipper(clipper.Get());
    return S_OK;  // the primary keeps the clipper
  }

  const DisplayMode& mode = device.selectedMode;
  g_rcScreen = g_rcViewport = {0, 0, static_cast<LONG>(mode.width), static_cast<LONG>(mode.height)};
  hr = g_pDD->SetDisplayMode(mode.width, mode.height, mode.bitCount, mode.refreshRate, 0);
  if (FAILED(hr)) {
    FatalError("FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = %u", unsigned(hr));
  }
  g_ModeChanged = true;

  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  desc.dwBackBufferCount = 1;
  hr = g_pDD->CreateSurface(&desc, g_pddsPrimary.Put(), nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): Can't create primary surface, hr = %u", unsigned(hr));

  DDSCAPS2 caps = {};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  hr = g_pddsPrimary->GetAttachedSurface(&caps, g_pddsBackBuffer.Put());
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): Can't get backbuffer, hr = %u", unsigned(hr));
  return S_OK;
}

HRESULT InitDirect3D() {
  HRESULT hr = g_pDD->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(g_pD3D.Put()));
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): QueryInterface call failed, hr = %u", unsigned(hr));

  DDSURFACEDESC2 display = {};
  display.dwSize = sizeof display;
  g_pDD->GetDisplayMode(&display);
  if (display.ddpfPixelFormat.dwRGBBitCount <= 8) {
    FatalError("FATAL ERROR in InitDirect3D(): RGBBitCount <= 8, hr = %u", 0u);
  }

  const DeviceInfo& device = g_Devices.Current();
  const GUID deviceGuid = FromGuid(device.description.deviceGuid);
  hr = g_pD3D->CreateDevice(deviceGuid, g_pddsBackBuffer.Get(), g_pd3dDevice.Put());
  if (FAILED(hr)) return hr;  // window creation fails, reported there

  D3DVIEWPORT7 viewport = {0, 0, static_cast<DWORD>(g_rcScreen.right - g_rcScreen.left),
                           static_cast<DWORD>(g_rcScreen.bottom - g_rcScreen.top), 0.0f, 1.0f};
  hr = g_pd3dDevice->SetViewport(&viewport);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): SetViewport call failed, hr = %u", unsigned(hr));

  DDSURFACEDESC2 back = {};
  back.dwSize = sizeof back;
  g_pddsBackBuffer->GetSurfaceDesc(&back);
  ZBufferSearch search = {back.ddpfPixelFormat.dwRGBBitCount, {}, false};
  hr = g_pD3D->EnumZBufferFormats(deviceGuid, ZBufferFormatCallback, &search);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): EnumZBufferFormats call failed, hr = %u", unsigned(hr));
  if (!search.found) {
    search.depth = 16;
    g_pD3D->EnumZBufferFormats(deviceGuid, ZBufferFormatCallback, &search);
  }
  if (!search.found)
    FatalError("FATAL ERROR in InitDirect3D(): Device doesn't support requested zbuffer format, hr = %u", 0u);

  DDSURFACEDESC2 z = {};
  z.dwSize = sizeof z;
  z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  z.dwWidth = back.dwWidth;
  z.dwHeight = back.dwHeight;
  z.ddpfPixelFormat = search.format;
  z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (device.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  hr = g_pDD->CreateSurface(&z, g_pddsZBuffer.Put(), nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): Create Z-Buffer surface failed, hr = %u", unsigned(hr));
  hr = g_pddsBackBuffer->AddAttachedSurface(g_pddsZBuffer.Get());
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): Attach Z-Buffer surface failed, hr = %u", unsigned(hr));
  hr = g_pd3dDevice->SetRenderTarget(g_pddsBackBuffer.Get(), 0);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): SetRenderTarget to ZBuffer failed, hr = %u", unsigned(hr));
  g_pd3dDevice->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);

  g_Device = std::make_unique<D3D7Device>(g_pD3D.Get(), g_pd3dDevice.Get(), g_pddsBackBuffer.Get());
  return S_OK;
}

HRESULT PresentFrame() {
  if (!g_pddsPrimary || !g_pddsBackBuffer) return E_FAIL;
  const HRESULT hr = g_Devices.NumDevices() && g_Devices.Current().desktopResolution
                         ? g_pddsPrimary->Blt(&g_rcScreen, g_pddsBackBuffer.Get(), &g_rcViewport, DDBLT_WAIT, nullptr)
                         : g_pddsPrimary->Flip(nullptr, DDFLIP_WAIT);
  if (FAILED(hr)) return hr;
  // Some drivers (Wine among them) keep answering success on surfaces the
  // display has taken away; asking directly catches that too.
  if (g_pddsPrimary->IsLost() == DDERR_SURFACELOST) return DDERR_SURFACELOST;
  return hr;
}

void SetGamma(double value, GammaCurve curve) {
  PrimaryGamma source;
  g_Gamma.SetGamma(source, value, curve);
}

HRESULT CleanupDisplay() {
  if (g_pddsPrimary) {
    // A faded or brightened ramp must not outlive the show.
    PrimaryGamma source;
    g_Gamma.Restore(source);
  }
  if (g_pDD) {
    g_pDD->SetCooperativeLevel(g_Shell.mainWindow, DDSCL_NORMAL);
    if (g_ModeChanged) g_pDD->RestoreDisplayMode();
    g_ModeChanged = false;
  }
  for (DeviceInfo& device : g_Devices.devices) device.modes.clear();
  // The show (and the guns, made with it) hold textures of this device.
  g_Show.reset();
  g_Device.reset();
  const ULONG deviceRefs = g_pd3dDevice.Reset();
  g_pddsBackBuffer.Reset();
  g_pddsZBuffer.Reset();
  g_pddsPrimary.Reset();
  g_pD3D.Reset();
  const ULONG ddRefs = g_pDD.Reset();
  return deviceRefs || ddRefs ? E_FAIL : S_OK;
}

}  // namespace brisane
