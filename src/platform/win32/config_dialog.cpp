#include "platform/win32/config_dialog.h"

#include <string>

#include "platform/win32/app.h"
#include "platform/win32/registry_store.h"
#include "settings/settings.h"

namespace brisane {

// OK writes back the defaults and what was read over them, so accepting the
// dialog never loses a stored setting.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!app) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      // The dialog fills its controls from whatever the tree holds, so a
      // failed load is not an error here.
      app->display().EnumerateDevices();
      app->display().LoadSettings(app->settings());
      const std::string caption = std::string(kProgramName) + " " + "1.0" + " Configuration";
      SetWindowTextA(dialog, caption.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          SaveSettings(app->settings());
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace brisane
