#include "win32/display.h"

#include <mmsystem.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/fatal_error.h"
#include "win32/registry_store.h"
#include "settings/load_settings.h"

namespace brisane {

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

// A driver under enumeration: its modes, the desktop mode to match, and the
// table its devices go into.
struct DriverContext {
  DeviceTable* table;
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
  AddDevice(*driver->table, driver->record, device, driver->desktop);
  return D3DENUMRET_OK;
}

// What the driver enumeration fills: the device table, and the drivers'
// DirectDraw objects kept for the bring-up that follows.
struct EnumerationContext {
  DeviceTable* table;
  std::vector<Display::EnumeratedDriver>* drivers;
  ComPtr<IDirectDraw7>* primary;  // made by the version check, when it ran
};

BOOL WINAPI DriverEnumCallback(GUID* guid, LPSTR description, LPSTR /*name*/, LPVOID context) {
  auto* enumeration = static_cast<EnumerationContext*>(context);
  ComPtr<IDirectDraw7> dd;
  HRESULT hr = S_OK;
  if (!guid && *enumeration->primary) {
    dd = std::move(*enumeration->primary);
  } else {
    hr = DirectDrawCreateEx(guid, reinterpret_cast<void**>(dd.Put()), IID_IDirectDraw7, nullptr);
    if (FAILED(hr)) FatalError("ERROR in DriverEnumCallback(): DirectDrawCreateEx call failed, hr = %u", unsigned(hr));
  }
  ComPtr<IDirect3D7> d3d;
  hr = dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(d3d.Put()));
  if (FAILED(hr)) FatalError("ERROR in DriverEnumCallback(): QueryInterface call failed, hr = %u", unsigned(hr));

  DriverContext driver;
  driver.table = enumeration->table;
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
  // Making DirectDraw again costs the runtime a full start-up; the bring-up
  // takes this one instead.
  enumeration->drivers->push_back({driver.record.primary, driver.record.driverGuid, std::move(dd)});
  return DDENUMRET_OK;
}

// The refresh rate of the display the window is on, 0 when unknown.
DWORD ReportedRefreshRate(IDirectDraw7* dd) {
  DDSURFACEDESC2 mode = {};
  mode.dwSize = sizeof mode;
  if (SUCCEEDED(dd->GetDisplayMode(&mode)) && mode.dwRefreshRate > 1) return mode.dwRefreshRate;
  DEVMODEA current = {};
  current.dmSize = sizeof current;
  return EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current) ? current.dmDisplayFrequency : 0;
}

std::int64_t Microseconds() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::int64_t>(now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency);
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

}  // namespace

// The primary surface's gamma control, for as long as one ramp change takes.
class Display::PrimaryGamma final : public GammaSource {
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
  explicit PrimaryGamma(IDirectDrawSurface7* primary) : primary_(primary) {}
  std::unique_ptr<GammaControl> OpenGammaControl() override {
    if (!primary_) return nullptr;
    ComPtr<IDirectDrawGammaControl> control;
    if (FAILED(primary_->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(control.Put()))))
      return nullptr;
    return std::make_unique<Control>(std::move(control));
  }

 private:
  IDirectDrawSurface7* primary_;
};

DWORD Display::GetDirectXVersion() {
  HMODULE library = LoadLibraryA("DDRAW.DLL");
  if (!library) return 0;
  DWORD version = 0;
  using CreateEx = HRESULT(WINAPI*)(GUID*, LPVOID*, REFIID, IUnknown*);
  auto create = reinterpret_cast<CreateEx>(reinterpret_cast<void*>(GetProcAddress(library, "DirectDrawCreateEx")));
  if (create) {
    ComPtr<IDirectDraw7> dd;
    if (SUCCEEDED(create(nullptr, reinterpret_cast<LPVOID*>(dd.Put()), IID_IDirectDraw7, nullptr)) && dd) {
      version = 0x700;
      // Starting the runtime is the costly part: the enumeration takes this
      // object for the primary driver.
      primaryDraw_ = std::move(dd);
    }
  }
  // The program imports the library too, so the kept object's code stays.
  FreeLibrary(library);
  return version;
}

HRESULT Display::EnumerateDevices() {
  devices_ = DeviceTable();
  drivers_.clear();
  EnumerationContext enumeration{&devices_, &drivers_, &primaryDraw_};
  const HRESULT hr = DirectDrawEnumerateA(DriverEnumCallback, &enumeration);
  if (FAILED(hr)) FatalError("FATAL ERROR in EnumerateDevices(): DirectDrawEnumerate call failed, hr = %u", unsigned(hr));
  if (devices_.numEnumerated == 0 || devices_.NumDevices() == 0)
    FatalError("FATAL ERROR in EnumerateDevices(): NumDevices = %d, NumDevicesEnumerated = %d",
               int(devices_.NumDevices()), int(devices_.numEnumerated));
  return S_OK;
}

HRESULT Display::SelectDefaultDevice() { return brisane::SelectDefaultDevice(devices_, ReportFatal); }

HRESULT Display::LoadSettings(Node& settings) {
  return brisane::LoadSettings(settings, *RegistryKey::CurrentUser(), devices_, ReportFatal);
}

HRESULT Display::InitDirectDraw(HWND window, bool useDesktopRes) {
  window_ = window;
  DeviceInfo& device = devices_.Current();
  // DirectDraw on the driver the device belongs to: a secondary adapter's
  // device cannot be made on the primary driver's surfaces.
  HRESULT hr = S_OK;
  for (EnumeratedDriver& driver : drivers_)
    if (driver.primary == device.primaryDriver && (driver.primary || driver.guid == device.driverGuid))
      dd_ = std::move(driver.directDraw);
  drivers_.clear();  // the other drivers' objects are not needed
  if (!dd_) {
    GUID driverGuid = FromGuid(device.driverGuid);
    hr = DirectDrawCreateEx(device.primaryDriver ? nullptr : &driverGuid, reinterpret_cast<void**>(dd_.Put()),
                            IID_IDirectDraw7, nullptr);
    if (FAILED(hr))
      FatalError("FATAL ERROR in InitDirectDraw(): DirectDrawCreateEx call failed, hr = %u", unsigned(hr));
  }

  const DWORD level = device.desktopResolution
                          ? DDSCL_NORMAL | DDSCL_FPUSETUP
                          : DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP;
  hr = dd_->SetCooperativeLevel(window, level);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): SetCooperativeLevel call failed, hr = %u", unsigned(hr));

  if (useDesktopRes) {
    device.desktopResolution = true;
    if (device.desktopModeIndex < device.modes.size()) device.selectedMode = device.modes[device.desktopModeIndex];

    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    hr = dd_->CreateSurface(&desc, primary_.Put(), nullptr);
    if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): Primary surface create failed, hr = %u", unsigned(hr));

    GetClientRect(window, &screen_);
    GetClientRect(window, &viewport_);
    ClientToScreen(window, reinterpret_cast<POINT*>(&screen_.left));
    ClientToScreen(window, reinterpret_cast<POINT*>(&screen_.right));

    desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    desc.dwWidth = static_cast<DWORD>(viewport_.right - viewport_.left);
    desc.dwHeight = static_cast<DWORD>(viewport_.bottom - viewport_.top);
    hr = dd_->CreateSurface(&desc, backBuffer_.Put(), nullptr);
    if (FAILED(hr))
      FatalError("FATAL ERROR in InitDirectDraw(): Backbuffer surface create failed, hr = %u", unsigned(hr));

    ComPtr<IDirectDrawClipper> clipper;
    hr = dd_->CreateClipper(0, clipper.Put(), nullptr);
    if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): CreateClipper call failed, hr = %u", unsigned(hr));
    clipper->SetHWnd(0, window);
    primary_->SetClipper(clipper.Get());
    pacer_.emplace(ReportedRefreshRate(dd_.Get()));
    timerPeriod_.emplace();
    return S_OK;  // the primary keeps the clipper
  }

  const DisplayMode& mode = device.selectedMode;
  screen_ = viewport_ = {0, 0, static_cast<LONG>(mode.width), static_cast<LONG>(mode.height)};
  hr = dd_->SetDisplayMode(mode.width, mode.height, mode.bitCount, mode.refreshRate, 0);
  if (FAILED(hr)) {
    FatalError("FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = %u", unsigned(hr));
  }
  modeChanged_ = true;

  DDSURFACEDESC2 desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  desc.dwBackBufferCount = 1;
  hr = dd_->CreateSurface(&desc, primary_.Put(), nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): Can't create primary surface, hr = %u", unsigned(hr));

  DDSCAPS2 caps = {};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  hr = primary_->GetAttachedSurface(&caps, backBuffer_.Put());
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirectDraw(): Can't get backbuffer, hr = %u", unsigned(hr));
  return S_OK;
}

HRESULT Display::InitDirect3D() {
  HRESULT hr = dd_->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(d3d_.Put()));
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): QueryInterface call failed, hr = %u", unsigned(hr));

  DDSURFACEDESC2 display = {};
  display.dwSize = sizeof display;
  dd_->GetDisplayMode(&display);
  if (display.ddpfPixelFormat.dwRGBBitCount <= 8) {
    FatalError("FATAL ERROR in InitDirect3D(): RGBBitCount <= 8, hr = %u", 0u);
  }

  const DeviceInfo& device = devices_.Current();
  const GUID deviceGuid = FromGuid(device.description.deviceGuid);
  hr = d3d_->CreateDevice(deviceGuid, backBuffer_.Get(), d3dDevice_.Put());
  if (FAILED(hr)) return hr;  // window creation fails, reported there

  D3DVIEWPORT7 viewport = {0, 0, static_cast<DWORD>(screen_.right - screen_.left),
                           static_cast<DWORD>(screen_.bottom - screen_.top), 0.0f, 1.0f};
  hr = d3dDevice_->SetViewport(&viewport);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): SetViewport call failed, hr = %u", unsigned(hr));

  DDSURFACEDESC2 back = {};
  back.dwSize = sizeof back;
  backBuffer_->GetSurfaceDesc(&back);
  ZBufferSearch search = {back.ddpfPixelFormat.dwRGBBitCount, {}, false};
  hr = d3d_->EnumZBufferFormats(deviceGuid, ZBufferFormatCallback, &search);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): EnumZBufferFormats call failed, hr = %u", unsigned(hr));
  if (!search.found) {
    search.depth = 16;
    d3d_->EnumZBufferFormats(deviceGuid, ZBufferFormatCallback, &search);
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
  hr = dd_->CreateSurface(&z, zBuffer_.Put(), nullptr);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): Create Z-Buffer surface failed, hr = %u", unsigned(hr));
  hr = backBuffer_->AddAttachedSurface(zBuffer_.Get());
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): Attach Z-Buffer surface failed, hr = %u", unsigned(hr));
  hr = d3dDevice_->SetRenderTarget(backBuffer_.Get(), 0);
  if (FAILED(hr)) FatalError("FATAL ERROR in InitDirect3D(): SetRenderTarget to ZBuffer failed, hr = %u", unsigned(hr));
  d3dDevice_->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);

  device_ = std::make_unique<D3D7Device>(d3d_.Get(), d3dDevice_.Get(), backBuffer_.Get());
  filter_ = std::make_unique<StateFilter>(*device_);
  return S_OK;
}

Display::TimerPeriod::TimerPeriod() : set_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

Display::TimerPeriod::~TimerPeriod() {
  if (set_) timeEndPeriod(1);
}

HRESULT Display::Present() {
  if (!primary_ || !backBuffer_) return E_FAIL;
  const bool blit = devices_.NumDevices() && devices_.Current().desktopResolution;
  if (blit && pacer_ && blitPacing_) {
    // Whole milliseconds, rounded up: the schedule absorbs the excess.
    const std::int64_t wait = pacer_->WaitBeforePresent(Microseconds());
    if (wait > 0) Sleep(static_cast<DWORD>((wait + 999) / 1000));
  }
  const HRESULT hr = blit ? primary_->Blt(&screen_, backBuffer_.Get(), &viewport_, DDBLT_WAIT, nullptr)
                          : primary_->Flip(nullptr, DDFLIP_WAIT);
  if (blit && pacer_ && SUCCEEDED(hr)) pacer_->Presented(Microseconds());
  if (FAILED(hr)) return hr;
  // Some drivers (Wine among them) keep answering success on surfaces the
  // display has taken away; asking directly catches that too.
  if (primary_->IsLost() == DDERR_SURFACELOST) return DDERR_SURFACELOST;
  return hr;
}

void Display::SetGamma(double value, GammaCurve curve) {
  PrimaryGamma source(primary_.Get());
  gamma_.SetGamma(source, value, curve);
}

HRESULT Display::Cleanup(const std::function<void()>& releaseDeviceObjects) {
  if (primary_) {
    // A faded or brightened ramp must not outlive the show.
    PrimaryGamma source(primary_.Get());
    gamma_.Restore(source);
  }
  if (dd_) {
    dd_->SetCooperativeLevel(window_, DDSCL_NORMAL);
    if (modeChanged_) dd_->RestoreDisplayMode();
    modeChanged_ = false;
  }
  for (DeviceInfo& device : devices_.devices) device.modes.clear();
  pacer_.reset();
  timerPeriod_.reset();
  ReleaseDrivers();
  if (releaseDeviceObjects) releaseDeviceObjects();
  filter_.reset();
  device_.reset();
  const ULONG deviceRefs = d3dDevice_.Reset();
  backBuffer_.Reset();
  zBuffer_.Reset();
  primary_.Reset();
  d3d_.Reset();
  const ULONG ddRefs = dd_.Reset();
  return deviceRefs || ddRefs ? E_FAIL : S_OK;
}

}  // namespace brisane
