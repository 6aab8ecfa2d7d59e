#include "platform/win32/show_host.h"

#include "platform/win32/display.h"
#include "settings/node.h"

namespace brisane {

std::unique_ptr<ShowHost> g_Show;

ShowHost::ShowHost()
    : textures(g_pDD.Get(), g_pd3dDevice.Get(), g_pddsPrimary.Get(), g_Devices.Current().hardware),
      show(clock, resources, &textures) {}

HRESULT SetupShow() {
  if (!g_Device || !g_pd3dDevice) return E_FAIL;
  g_Show = std::make_unique<ShowHost>();

  D3DDEVICEDESC7 caps = {};
  g_pd3dDevice->GetCaps(&caps);
  ShowSettings settings;
  settings.modeHeight = g_Devices.Current().selectedMode.height;
  settings.lightmaps = SettingsRoot.Get("EnableLightmaps").AsInt() != 0;
  settings.anisotropic = (caps.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ANISOTROPY) != 0;
  g_Show->show.Setup(*g_Device, settings);
  return S_OK;
}

}  // namespace brisane
