#pragma once

#include <windows.h>

namespace brisane {

// Dialog procedures of the configuration dialog and of its camera selection;
// the creation parameter of both is the App.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CameraDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The web address "Visit..." opens.
inline constexpr const char kMakerSite[] = "http://www.duskwright.example/";

}  // namespace brisane
