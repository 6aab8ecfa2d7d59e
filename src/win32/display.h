// The display of one show: DirectDraw on the chosen device's driver, the
// primary and back buffers, the z-buffer, the Direct3D device, the gamma
// ramp and the display mode it changed. Everything it made is released by
// Cleanup (or when it goes), in the order DirectX needs.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "win32/com_ptr.h"
#include "win32/d3d7_device.h"
#include "render/device_table.h"
#include "render/frame_pacer.h"
#include "render/gamma.h"
#include "render/state_filter.h"
#include "settings/node.h"

namespace brisane {

class Display final : public GammaTarget {
 public:
  Display() = default;
  ~Display() override { Cleanup(); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // 0x700 when DirectDraw 7 can be created on the primary driver, else 0;
  // the object stays for the enumeration.
  DWORD GetDirectXVersion();
  // Fills the device table from every DirectDraw driver; fatal when no usable
  // device. The drivers' DirectDraw objects stay for InitDirectDraw; a
  // caller that will not bring the display up lets them go.
  HRESULT EnumerateDevices();
  void ReleaseDrivers() {
    drivers_.clear();
    primaryDraw_.Reset();
  }
  // Makes the default device current; fatal when there is none.
  HRESULT SelectDefaultDevice();
  // Defaults, stored values and the device checks over the settings tree;
  // E_FAIL when no device can be chosen.
  HRESULT LoadSettings(Node& settings);
  HRESULT InitDirectDraw(HWND window, bool useDesktopRes);
  HRESULT InitDirect3D();
  // Flip in full screen, blit to the window at desktop resolution; the blit
  // waits for its turn at the display's refresh rate.
  HRESULT Present();
  // Off, blits go out as fast as frames come (the benchmark's reference); on by default.
  void SetBlitPacing(bool on) { blitPacing_ = on; }
  // The rate blits are paced to; 0 when presents are flips (or nothing is up).
  std::uint32_t pacedHz() const { return pacer_ ? pacer_->hz() : 0; }
  // The ramp for a gamma value through one of the two curves (no-op without
  // gamma support or before bring-up).
  void SetGamma(double value, GammaCurve curve) override;
  // Gives the desktop its ramp and mode back, leaves exclusive mode, runs
  // releaseDeviceObjects (whatever holds surfaces of the device) and then
  // releases every display object. Safe when nothing was brought up, and
  // more than once. E_FAIL when the device or DirectDraw was still
  // referenced elsewhere.
  HRESULT Cleanup(const std::function<void()>& releaseDeviceObjects = {});

  // A driver's DirectDraw object from the enumeration, until the bring-up
  // takes it or another enumeration or the cleanup lets it go.
  struct EnumeratedDriver {
    bool primary = false;
    Guid guid{};
    ComPtr<IDirectDraw7> directDraw;
  };

  DeviceTable& devices() { return devices_; }
  // The device as the renderer sees it, behind the filter of repeated
  // states; null until InitDirect3D succeeds.
  Device* device() const { return filter_.get(); }
  IDirectDraw7* directDraw() const { return dd_.Get(); }
  IDirect3DDevice7* d3dDevice() const { return d3dDevice_.Get(); }
  IDirectDrawSurface7* primary() const { return primary_.Get(); }
  IDirectDrawSurface7* backBuffer() const { return backBuffer_.Get(); }
  // Where a frame is shown, in screen coordinates, and the render target's
  // own rectangle (the picture actually shown, also at desktop resolution).
  const RECT& screenRect() const { return screen_; }
  const RECT& viewportRect() const { return viewport_; }
  const Gamma& gamma() const { return gamma_; }

 private:
  class PrimaryGamma;

  DeviceTable devices_;
  std::vector<EnumeratedDriver> drivers_;
  ComPtr<IDirectDraw7> primaryDraw_;
  HWND window_ = nullptr;
  ComPtr<IDirectDraw7> dd_;
  ComPtr<IDirect3D7> d3d_;
  ComPtr<IDirect3DDevice7> d3dDevice_;
  ComPtr<IDirectDrawSurface7> primary_;
  ComPtr<IDirectDrawSurface7> backBuffer_;
  ComPtr<IDirectDrawSurface7> zBuffer_;
  RECT screen_ = {};
  RECT viewport_ = {};
  std::unique_ptr<D3D7Device> device_;
  std::unique_ptr<StateFilter> filter_;
  Gamma gamma_;
  bool modeChanged_ = false;  // SetDisplayMode ran: give the desktop its mode back
  // Blits only. DirectDraw's vertical blank wait cannot be relied on (Wine
  // answers it at once), so a timer at the reported refresh paces them.
  std::optional<FramePacer> pacer_;
  bool blitPacing_ = true;
  // The system timer's 1 ms step while blits are paced: waits of a few
  // milliseconds would otherwise last a whole 15.6 ms tick.
  class TimerPeriod {
   public:
    TimerPeriod();
    ~TimerPeriod();
    TimerPeriod(const TimerPeriod&) = delete;
    TimerPeriod& operator=(const TimerPeriod&) = delete;

   private:
    bool set_;
  };
  std::optional<TimerPeriod> timerPeriod_;
};

}  // namespace brisane
