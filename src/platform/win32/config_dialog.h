#pragma once

#include <windows.h>

namespace brisane {

// Dialog procedure of the configuration dialog.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace brisane
