// The application: one object that owns everything the program keeps while
// it runs (the run mode, the window's state, the display and the show) and
// drives the window. The window procedure reaches it through the window.
#pragma once

#include <windows.h>

#include <memory>

#include "win32/direct_sound.h"
#include "win32/display.h"
#include "win32/other_monitors.h"
#include "win32/overlay_text.h"
#include "win32/show_host.h"
#include "settings/node.h"
#include "shell/host_rules.h"

namespace brisane {

struct ShellState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  bool preview = false;
  HWND parentWindow = nullptr;
  bool active = true;  // while set, the loop polls and draws frames
  // The system said the display is off: no frames until it is back on.
  bool displayOff = false;
};

// The system's word on the console display (on, off, dimmed), asked for
// while the show's window lives; nothing on systems that cannot give it.
class DisplayStateNotification {
 public:
  DisplayStateNotification() = default;
  ~DisplayStateNotification();
  DisplayStateNotification(const DisplayStateNotification&) = delete;
  DisplayStateNotification& operator=(const DisplayStateNotification&) = delete;
  void Register(HWND window);
  // The display's state from a WM_POWERBROADCAST, when it is that report:
  // 0 off, 1 on, 2 dimmed.
  static bool StateOf(WPARAM wParam, LPARAM lParam, DWORD& state);

 private:
  void* handle_ = nullptr;
};

struct WindowState {
  HBITMAP previewPicture = nullptr;
  InputRules mouse{true};  // moves after the first one end the show
  bool fatal = false;  // a fatal report is up: nothing may close the window under it
};

class App {
 public:
  // settings: the tree the whole run reads; it outlives the app.
  App(HINSTANCE instance, Node& settings);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // The application object of this process, if one is alive: the fatal
  // report gives its display back to the desktop.
  static App* Current();

  // Sets the preview flag and parent window, or runs the configuration
  // dialog and ends the process.
  void ApplyCommandLine(const char* text);
  // Registers the window class and creates the screensaver window for the
  // run mode; reports failure through FatalError.
  HRESULT InitWindow();
  // Runs until WM_QUIT; returns its wParam.
  int RunMessageLoop();
  // One frame of the show; called whenever the message queue is empty.
  void RenderFrame();
  // After the display is up: the show over the program's resources, started
  // with the hooks (none: silent, and no overlay font). E_FAIL without a
  // display.
  HRESULT SetupShow(const ShowStartHooks& hooks = {});
  // The show, then the display objects.
  HRESULT CleanupDisplay();
  // A fatal report is about to be shown: no frame and no input may end the
  // window (and the report's message loop with it); the display goes back
  // to the desktop.
  void PrepareForFatalReport();

  ShellState& shell() { return shell_; }
  Display& display() { return display_; }
  ShowHost* show() { return show_.get(); }
  // Drops the show (its textures with it) but keeps the display.
  void DropShow() { show_.reset(); }
  Node& settings() { return settings_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT CreatePreview(HWND window);
  void PaintPreview(HWND window);
  LRESULT StartShow(HWND window);
  // The sound device, unless sound is off; a device that cannot start turns
  // sound off for this run only. Null: the show is silent.
  AudioDevice* OpenSound(HWND window);
  void StopShow();
  // The show's sounds, the display objects, then the sound device.
  void TakeDownShow();
  void TestMouseMove(HWND window, LPARAM lParam);

  ShellState shell_;
  WindowState window_;
  Node& settings_;
  Display display_;
  // Outlives the show, whose sounds hold its buffers.
  DirectSoundDevice sound_;
  BackBufferText overlay_{display_};
  std::unique_ptr<ShowHost> show_;
  OtherMonitors otherMonitors_;  // black covers beside the full-screen show
  DisplayStateNotification displayState_;
};

}  // namespace brisane
