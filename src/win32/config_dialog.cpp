#include "win32/config_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "win32/app.h"
#include "win32/registry_store.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"

namespace brisane {

namespace {

// The two dialogs edit the tree in memory; only OK of the configuration
// dialog writes it to the registry.

App* AppOf(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  return reinterpret_cast<App*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

std::int32_t Get(Node& settings, std::string_view key) { return settings.Get(key).AsInt(); }
void Set(Node& settings, std::string_view key, std::int32_t value) { settings.Get(key) = Value(value); }

// The setting a control of the given dialog edits; null for other controls.
const SettingSpec* SpecOfControl(WORD dialogId, int control) {
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.dialog.dialog == dialogId && spec.dialog.control == control) return &spec;
  return nullptr;
}

void Enable(HWND dialog, int control, bool enabled) { EnableWindow(GetDlgItem(dialog, control), enabled); }

bool IsChecked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

void SetCheck(HWND dialog, const SettingSpec& spec, std::int32_t value) {
  const bool on = spec.dialog.kind == ControlKind::InvertedCheckBox ? value == 0 : value != 0;
  CheckDlgButton(dialog, spec.dialog.control, on ? BST_CHECKED : BST_UNCHECKED);
}

// Check boxes of either dialog: the setting from the check state.
void StoreCheck(HWND dialog, const SettingSpec& spec, Node& settings) {
  const bool on = IsChecked(dialog, spec.dialog.control);
  Set(settings, spec.key, (spec.dialog.kind == ControlKind::InvertedCheckBox) != on ? 1 : 0);
}

void WriteLabel(HWND dialog, const SettingSpec& spec, std::int32_t value) {
  if (spec.dialog.label == 0) return;
  SetDlgItemTextA(dialog, spec.dialog.label, FormatSettingLabel(spec, value).c_str());
}

// Controls whose use depends on a check box: volume with sound, the delays
// with lighting, the period with firing, the mode list without the desktop's
// own mode.
void UpdateDependentControls(HWND dialog, Node& settings) {
  const bool sound = Get(settings, key::DisableSound) == 0;
  Enable(dialog, IDC_VOLUME, sound);
  Enable(dialog, IDC_VOLUME_LABEL, sound);
  const bool lighting = Get(settings, key::EnableLighting) != 0;
  for (int id : {IDC_LIGHT_DELAY, IDC_LIGHT_DELAY_LABEL, IDC_CHANGE_DELAY, IDC_CHANGE_DELAY_LABEL})
    Enable(dialog, id, lighting);
  const bool firing = Get(settings, key::EnableFiring) != 0;
  Enable(dialog, IDC_FIRING_PERIOD, firing);
  Enable(dialog, IDC_FIRING_LABEL, firing);
  Enable(dialog, IDC_MODE, Get(settings, key::UseDesktopRes) == 0);
}

void FillList(HWND dialog, int control, std::span<const std::string_view> entries, std::int32_t selected) {
  SendDlgItemMessageA(dialog, control, CB_RESETCONTENT, 0, 0);
  for (std::string_view entry : entries)
    SendDlgItemMessageA(dialog, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(entry).c_str()));
  SendDlgItemMessageA(dialog, control, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The mode list of device `device`, `mode` selected (else the first mode),
// and what the device allows of the rest of the dialog.
void FillModes(HWND dialog, Node& settings, const DeviceTable& table, std::int32_t device, std::int32_t mode,
               std::int32_t useDesktop) {
  SendDlgItemMessageA(dialog, IDC_MODE, CB_RESETCONTENT, 0, 0);
  if (device < 0 || static_cast<std::uint32_t>(device) >= table.NumDevices()) return;
  const DeviceInfo& info = table.devices[static_cast<std::size_t>(device)];
  Enable(dialog, IDC_USE_DESKTOP, info.windowedCapable);
  CheckDlgButton(dialog, IDC_USE_DESKTOP, useDesktop ? BST_CHECKED : BST_UNCHECKED);
  Enable(dialog, IDC_MODE, useDesktop == 0);
  // A device that applies one texture at a time can have neither layer;
  // the check marks stay as they were, the settings do not.
  const bool multiTexture = info.description.maxSimultaneousTextures >= 2;
  Enable(dialog, IDC_LIGHTMAPS, multiTexture);
  Enable(dialog, IDC_ENV_WATER, multiTexture);
  if (!multiTexture) {
    Set(settings, key::EnableLightmaps, 0);
    Set(settings, key::EnableEnvWater, 0);
  }
  for (std::size_t i = 0; i < info.modes.size(); ++i) {
    const DisplayMode& m = info.modes[i];
    char text[64];
    std::snprintf(text, sizeof text, "%ld x %ld x %ld", static_cast<long>(m.width), static_cast<long>(m.height),
                  static_cast<long>(m.bitCount));
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_MODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) continue;
    SendDlgItemMessageA(dialog, IDC_MODE, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(i));
    if (static_cast<std::int32_t>(i) == mode ||
        SendDlgItemMessageA(dialog, IDC_MODE, CB_GETCURSEL, 0, 0) == CB_ERR)
      SendDlgItemMessageA(dialog, IDC_MODE, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void InitConfigDialog(HWND dialog, App& app) {
  Display& display = app.display();
  if (FAILED(display.EnumerateDevices())) return;
  display.ReleaseDrivers();  // the dialog only lists what they offer
  // A failed load leaves the defaults; the controls show what the tree holds.
  display.LoadSettings(app.settings());
  Node& settings = app.settings();

  for (const SettingSpec& spec : SettingSpecs()) {
    if (spec.dialog.dialog != IDD_CONFIG) continue;
    const std::int32_t value = Get(settings, spec.key);
    switch (spec.dialog.kind) {
      case ControlKind::CheckBox:
      case ControlKind::InvertedCheckBox:
        SetCheck(dialog, spec, value);
        break;
      case ControlKind::Trackbar:
        SendDlgItemMessageA(dialog, spec.dialog.control, TBM_SETRANGEMIN, FALSE, spec.minimum);
        SendDlgItemMessageA(dialog, spec.dialog.control, TBM_SETRANGEMAX, FALSE, spec.maximum);
        SendDlgItemMessageA(dialog, spec.dialog.control, TBM_SETPOS, TRUE, value);
        WriteLabel(dialog, spec, value);
        break;
      case ControlKind::List:
      case ControlKind::None:
        break;
    }
  }
  FillList(dialog, IDC_FLAG, FlagNames(), Get(settings, key::FlagNum));
  FillList(dialog, IDC_FIRING_PERIOD, FiringPeriodNames(), Get(settings, key::FiringPeriod));
  UpdateDependentControls(dialog, settings);

  const DeviceTable& table = display.devices();
  for (const DeviceInfo& device : table.devices)
    SendDlgItemMessageA(dialog, IDC_DEVICE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(device.name.c_str()));
  const std::int32_t device = Get(settings, key::DeviceNum);
  FillModes(dialog, settings, table, device, Get(settings, key::ModeNum), Get(settings, key::UseDesktopRes));
  SendDlgItemMessageA(dialog, IDC_DEVICE, CB_SETCURSEL, static_cast<WPARAM>(device), 0);

  const std::string caption = std::string(kProgramName) + " " + "1.0" + " Configuration";
  SetWindowTextA(dialog, caption.c_str());
}

// The flag picture: a confirmed choice replaces FlagPath, a cancelled one
// leaves it.
void ChooseFlagFile(HWND dialog, Node& settings) {
  char path[261] = {};
  char title[261] = {};
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = "JPG Files (*.jpg)\0*.jpg\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = sizeof title;
  ofn.lpstrDefExt = "jpg";
  ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (GetOpenFileNameA(&ofn)) settings.Get(key::FlagPath) = Value(std::string(path));
}

// The selected position of a list, or -1 when nothing is selected.
std::int32_t Selection(HWND dialog, int control) {
  return static_cast<std::int32_t>(SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0));
}

void OnConfigCommand(HWND dialog, App& app, int control, int notification) {
  Node& settings = app.settings();
  const DeviceTable& table = app.display().devices();
  switch (control) {
    case IDOK:
      SaveSettings(settings);
      EndDialog(dialog, IDOK);
      return;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return;
    case IDC_DEVICE: {
      if (notification != CBN_SELENDOK) return;
      const std::int32_t device = Selection(dialog, IDC_DEVICE);
      if (device < 0 || static_cast<std::uint32_t>(device) >= table.NumDevices()) return;
      const auto mode = static_cast<std::int32_t>(table.devices[static_cast<std::size_t>(device)].defaultModeIndex);
      Set(settings, key::DeviceNum, device);
      Set(settings, key::ModeNum, mode);
      FillModes(dialog, settings, table, device, mode, Get(settings, key::UseDesktopRes));
      return;
    }
    case IDC_MODE: {
      if (notification != CBN_SELENDOK) return;
      const std::int32_t index = Selection(dialog, IDC_MODE);
      if (index < 0) return;
      Set(settings, key::ModeNum,
          static_cast<std::int32_t>(SendDlgItemMessageA(dialog, IDC_MODE, CB_GETITEMDATA, static_cast<WPARAM>(index), 0)));
      return;
    }
    case IDC_FLAG: {
      const std::int32_t flag = Selection(dialog, IDC_FLAG);
      if (flag < 0) return;
      // Posted so the chooser runs once the list has finished its own
      // notification; only a change to the custom entry opens it.
      if (flag == kCustomFlag && Get(settings, key::FlagNum) != kCustomFlag)
        PostMessageA(dialog, WM_COMMAND, IDC_CHOOSE_FLAG_FILE, 0);
      Set(settings, key::FlagNum, flag);
      return;
    }
    case IDC_CHOOSE_FLAG_FILE:
      ChooseFlagFile(dialog, settings);
      return;
    case IDC_FIRING_PERIOD: {
      const std::int32_t period = Selection(dialog, IDC_FIRING_PERIOD);
      if (period >= 0) Set(settings, key::FiringPeriod, period);
      return;
    }
    case IDC_CAMERA_SELECTION:
      DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)),
                      MAKEINTRESOURCEA(IDD_CAMERA), GetForegroundWindow(), CameraDialogProc,
                      reinterpret_cast<LPARAM>(&app));
      return;
    case IDC_VISIT:
      ShellExecuteA(dialog, nullptr, kMakerSite, nullptr, nullptr, SW_SHOWNORMAL);
      return;
  }
  if (notification != BN_CLICKED) return;
  const SettingSpec* spec = SpecOfControl(IDD_CONFIG, control);
  if (!spec || (spec->dialog.kind != ControlKind::CheckBox && spec->dialog.kind != ControlKind::InvertedCheckBox))
    return;
  StoreCheck(dialog, *spec, settings);
  UpdateDependentControls(dialog, settings);
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  App* app = AppOf(dialog, message, lParam);
  if (!app) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      InitConfigDialog(dialog, *app);
      return FALSE;
    case WM_COMMAND:
      OnConfigCommand(dialog, *app, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_HSCROLL: {
      const SettingSpec* spec = SpecOfControl(IDD_CONFIG, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      if (!spec || spec->dialog.kind != ControlKind::Trackbar) return FALSE;
      const auto value = static_cast<std::int32_t>(SendMessageA(reinterpret_cast<HWND>(lParam), TBM_GETPOS, 0, 0));
      Set(app->settings(), spec->key, value);
      WriteLabel(dialog, *spec, value);
      return TRUE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK CameraDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  App* app = AppOf(dialog, message, lParam);
  if (!app) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      for (const SettingSpec& spec : SettingSpecs())
        if (spec.dialog.dialog == IDD_CAMERA) SetCheck(dialog, spec, Get(app->settings(), spec.key));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        for (const SettingSpec& spec : SettingSpecs())
          if (spec.dialog.dialog == IDD_CAMERA) StoreCheck(dialog, spec, app->settings());
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
  }
  return FALSE;
}

}  // namespace brisane
