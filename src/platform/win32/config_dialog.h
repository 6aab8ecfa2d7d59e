#pragma once

#include <windows.h>

namespace brisane {

// Dialog procedure of the configuration dialog; its creation parameter is
// the App.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace brisane
