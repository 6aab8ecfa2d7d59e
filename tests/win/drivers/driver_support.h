// Shared by the drivers: the harness's commands kept in files of their own,
// pumping this thread's messages and printing texts on one output line (the
// tests' unescape reads them back).
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// Each takes the harness's arguments from its command word on.
int DialogDriver(int argc, char** argv);
int MonitorDriver(int argc, char** argv);

// Dispatches this thread's messages for that many milliseconds.
inline void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

// The window once it is shown (a dialog is found before its controls are ready).
inline HWND WaitForWindow(const char* className, const char* title, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindWindowA(className, title);
    if ((w && IsWindowVisible(w)) || GetTickCount() - start >= timeout) return w;
    Pump(20);
  }
}

// Escapes a text so that it stays on one output line.
inline std::string Escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c >= 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else out += static_cast<char>(c);
  }
  return out;
}
