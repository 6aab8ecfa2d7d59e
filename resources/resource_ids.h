// Numbers of the program's own resources. Shared by the code and brisane.rc,
// so it holds nothing but #defines.
#pragma once

#define IDI_BRISANE 100
#define IDD_CONFIG 2003
