#include "win32/app.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "win32/config_dialog.h"
#include "win32/fatal_error.h"
#include "win32/preview_picture.h"
#include "resources/resource_ids.h"
#include "resources/resource_numbers.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "shell/command_line.h"

namespace brisane {

namespace {

constexpr std::uint16_t kPreviewPicture = resource::kPreviewPicture;  // JPEGFILE

// The fatal report must reach the display from anywhere, so the one
// application object of the process is known here while it lives.
App* g_App = nullptr;

}  // namespace

App::App(HINSTANCE instance, Node& settings) : settings_(settings) {
  shell_.instance = instance;
  g_App = this;
}

App::~App() {
  CleanupDisplay();
  if (window_.previewPicture) DeleteObject(window_.previewPicture);
  if (g_App == this) g_App = nullptr;
}

App* App::Current() { return g_App; }

void App::ApplyCommandLine(const char* text) {
  const CommandLine parsed = ParseCommandLine(text ? std::string_view(text) : std::string_view());
  switch (parsed.mode) {
    case RunMode::Configuration: {
      // The dialog's trackbars are common controls: their class must exist
      // before the dialog is made.
      INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
      InitCommonControlsEx(&controls);
      DialogBoxParamA(shell_.instance, MAKEINTRESOURCEA(IDD_CONFIG), GetForegroundWindow(), ConfigDialogProc,
                      reinterpret_cast<LPARAM>(this));
      std::exit(0);
    }
    case RunMode::Preview:
      shell_.preview = true;
      shell_.parentWindow = reinterpret_cast<HWND>(parsed.parentWindow);
      break;
    case RunMode::FullScreen:
      break;
  }
}

HRESULT App::InitWindow() {
  WNDCLASSA wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = shell_.instance;
  wc.hIcon = LoadIconA(shell_.instance, MAKEINTRESOURCEA(resource::kIcon));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "WindowsScreenSaverClass";
  if (!RegisterClassA(&wc)) {
    FatalError("FATAL ERROR in InitWindow(): RegisterClass return NULL");
  }

  HWND window = nullptr;
  if (shell_.preview) {
    RECT client = {};
    GetClientRect(shell_.parentWindow, &client);
    window = CreateWindowExA(0, wc.lpszClassName, kProgramName, WS_CHILD, 0, 0, client.right - client.left,
                             client.bottom - client.top, shell_.parentWindow, nullptr, shell_.instance, this);
  } else {
    window = CreateWindowExA(0, wc.lpszClassName, kProgramName, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, shell_.instance, this);
  }
  shell_.mainWindow = window;
  if (!window) {
    FatalError("FATAL ERROR in InitWindow(): CreateWindow return NULL");
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  // After the display mode is set, so the monitors are where they will stay.
  if (!shell_.preview) otherMonitors_.Cover(shell_.instance, window);
  return S_OK;
}

int App::RunMessageLoop() {
  MSG msg = {};
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  while (msg.message != WM_QUIT) {
    bool got;
    if (shell_.active && !shell_.displayOff) {
      got = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != 0;
    } else {
      const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
      if (r == -1) return 0;  // the queue is gone; nothing more will arrive
      got = true;             // WM_QUIT (r == 0) ends the loop at the test above
    }
    if (got) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else if (shell_.active && !shell_.displayOff) {
      if (shell_.preview) {
        WaitMessage();  // the preview only repaints its picture
      } else {
        RenderFrame();
      }
    }
  }
  return static_cast<int>(msg.wParam);
}

void App::RenderFrame() {
  Device* device = display_.device();
  if (!device || window_.fatal) return;
  const auto present = [this] { return display_.Present(); };
  FrameStatus status;
  if (show_) {
    status = show_->show.Frame(*device, present);
  } else {
    status = DrawFrame(*device, 0, nullptr, present);
  }
  if (status == FrameStatus::DisplayLost) {
    // The display was taken away (the secure desktop, a mode change, a remote
    // session): the user is at the machine, so the show ends as on any input.
    shell_.active = false;
    PostMessageA(shell_.mainWindow, WM_CLOSE, 0, 0);
  }
}

HRESULT App::SetupShow(const ShowStartHooks& hooks) {
  if (!display_.device() || !display_.d3dDevice()) return E_FAIL;
  show_ = std::make_unique<ShowHost>(display_, settings_, &overlay_);

  D3DDEVICEDESC7 caps = {};
  display_.d3dDevice()->GetCaps(&caps);
  ShowSettings settings;
  // The picture actually shown: at desktop resolution the device's mode
  // may be a fallback that is not the screen's.
  settings.screenHeight = static_cast<std::uint32_t>(display_.viewportRect().bottom - display_.viewportRect().top);
  settings.anisotropic = (caps.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ANISOTROPY) != 0;
  settings.screenWidth = static_cast<std::uint32_t>(display_.viewportRect().right - display_.viewportRect().left);
  show_->show.Start(*display_.device(), settings, hooks);
  return S_OK;
}

HRESULT App::CleanupDisplay() {
  // The show (and the guns, made with it) hold textures of the device.
  return display_.Cleanup([this] {
    if (show_) show_->show.DestroyGuns();
    show_.reset();
  });
}

void App::PrepareForFatalReport() {
  window_.fatal = true;
  shell_.active = false;
  // Out of sight, the window cannot take the mouse or the keyboard from the box.
  if (shell_.mainWindow && !shell_.preview) ShowWindow(shell_.mainWindow, SW_HIDE);
  otherMonitors_.Uncover();
  // The loops would play on under the report.
  TakeDownShow();
}

void App::TakeDownShow() {
  if (show_) show_->show.Stop();
  CleanupDisplay();
  sound_.Shutdown();
}

LRESULT CALLBACK App::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!app) return DefWindowProcA(window, message, wParam, lParam);
  return app->HandleMessage(window, message, wParam, lParam);
}

LRESULT App::CreatePreview(HWND window) {
  shell_.mainWindow = window;
  // A picture that cannot be made leaves the preview unpainted, not refused.
  HDC dc = GetDC(window);
  if (dc) {
    window_.previewPicture = CreateBitmapFromJpegResource(dc, kPreviewPicture);
    ReleaseDC(window, dc);
  }
  return 0;
}

void App::PaintPreview(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc && window_.previewPicture) {
    RECT client = {};
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
      HGDIOBJ previous = SelectObject(memory, window_.previewPicture);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, previous);
      DeleteDC(memory);
    }
  }
  EndPaint(window, &ps);
}

// The show comes up in a fixed order; -1 refuses the window, which ends in
// the window creation's fatal report.
LRESULT App::StartShow(HWND window) {
  shell_.mainWindow = window;
  if (display_.GetDirectXVersion() < 0x700) {
    MessageBoxA(nullptr, "Incorrect DirectX version. Please install DirectX 7 or later", "Error!", MB_ICONERROR);
    FatalError("Incorrect DirectX version!");
  }
  if (FAILED(display_.EnumerateDevices())) {
    MessageBoxA(nullptr, "No 3D devices was found", "Error!", MB_ICONERROR);
    return -1;
  }
  if (FAILED(display_.LoadSettings(settings_))) return -1;
  displayState_.Register(window);
  if (FAILED(display_.InitDirectDraw(window, settings_.Get(key::UseDesktopRes).AsInt() != 0))) return -1;
  if (FAILED(display_.InitDirect3D())) return -1;
  const ShowStartHooks hooks{[this, window] { return OpenSound(window); },
                             [this](int height) { overlay_.MakeFont(height); }};
  if (FAILED(SetupShow(hooks))) return -1;
  return 0;
}

AudioDevice* App::OpenSound(HWND window) {
  return OpenShowSound(settings_, [&]() -> AudioDevice* { return SUCCEEDED(sound_.Init(window)) ? &sound_ : nullptr; });
}

void App::StopShow() {
  shell_.active = false;  // no frame after this point
  otherMonitors_.Uncover();
  overlay_.FreeFont();
  TakeDownShow();
  PostQuitMessage(0);
}

namespace {

// GUID_CONSOLE_DISPLAY_STATE; its reports carry one DWORD.
constexpr GUID kConsoleDisplayState = {0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
constexpr WPARAM kPowerSettingChange = 0x8013;  // PBT_POWERSETTINGCHANGE
constexpr DWORD kNotifyWindowHandle = 0;         // DEVICE_NOTIFY_WINDOW_HANDLE

// POWERBROADCAST_SETTING with its one DWORD of data.
struct DisplayStateReport {
  GUID setting;
  DWORD length;
  DWORD state;
};

// Found at run time: older systems have neither call.
template <typename Call>
Call User32Call(const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

void DisplayStateNotification::Register(HWND window) {
  using RegisterCall = void*(WINAPI*)(HANDLE, const GUID*, DWORD);
  if (handle_) return;
  if (auto call = User32Call<RegisterCall>("RegisterPowerSettingNotification"))
    handle_ = call(window, &kConsoleDisplayState, kNotifyWindowHandle);
}

DisplayStateNotification::~DisplayStateNotification() {
  using UnregisterCall = BOOL(WINAPI*)(void*);
  if (!handle_) return;
  if (auto call = User32Call<UnregisterCall>("UnregisterPowerSettingNotification")) call(handle_);
}

bool DisplayStateNotification::StateOf(WPARAM wParam, LPARAM lParam, DWORD& state) {
  if (wParam != kPowerSettingChange || !lParam) return false;
  DisplayStateReport report;
  std::memcpy(&report, reinterpret_cast<const void*>(lParam), offsetof(DisplayStateReport, state));
  if (!IsEqualGUID(report.setting, kConsoleDisplayState) || report.length < sizeof(DWORD)) return false;
  std::memcpy(&state, reinterpret_cast<const char*>(lParam) + offsetof(DisplayStateReport, state), sizeof state);
  return true;
}

// Any movement after the first mouse message ends the show.
void App::TestMouseMove(HWND window, LPARAM lParam) {
  if (settings_.Get(key::DisableOnMouseActivate).AsInt() != 0) return;
  if (window_.mouse.MouseMoved(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))))
    SendMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT App::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool preview = shell_.preview;
  // Under a fatal report the window stays until the process ends: closing
  // it would end the report's message loop and take the box with it.
  if (window_.fatal && (message == WM_CLOSE || message == WM_KEYDOWN || message == WM_MOUSEMOVE ||
                        message == WM_ACTIVATEAPP))
    return 0;
  switch (message) {
    case WM_CREATE:
      return preview ? CreatePreview(window) : StartShow(window);
    case WM_DESTROY:
      if (preview) {
        if (window_.previewPicture) DeleteObject(window_.previewPicture);
        window_.previewPicture = nullptr;
        PostQuitMessage(0);
      } else {
        StopShow();
      }
      return 0;
    case WM_PAINT:
      if (preview) PaintPreview(window);
      break;
    case WM_ERASEBKGND:
      return 0;  // the background is never erased
    case WM_SETCURSOR:
      if (!preview) SetCursor(nullptr);  // no pointer over the show
      return 1;
    case WM_KEYDOWN:
      SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case WM_SYSKEYDOWN:
      return 0;  // Alt and F10 combinations do nothing
    case WM_POWERBROADCAST: {
      DWORD state = 1;
      if (!preview && DisplayStateNotification::StateOf(wParam, lParam, state)) {
        shell_.displayOff = state == 0;
        // The report is sent, not posted: a loop asleep in GetMessage would
        // sleep on after it without a message of its own.
        if (!shell_.displayOff) PostMessageA(window, WM_NULL, 0, 0);
        return TRUE;
      }
      break;
    }
    case WM_ACTIVATEAPP:
      if (wParam == FALSE) SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case WM_MOUSEMOVE:
      if (!preview) TestMouseMove(window, lParam);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace brisane
