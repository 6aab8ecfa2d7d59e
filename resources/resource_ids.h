// Numbers of the program's dialogs and their controls. Shared by the code and
// brisane.rc, so it holds nothing but #defines. The generated resources are
// numbered in resource_list.inc.
#pragma once

#define IDD_CONFIG 2003
#define IDD_CAMERA 168

// Posted by the flag list to itself: the file chooser runs after the list's
// own notification has finished.
#define IDC_CHOOSE_FLAG_FILE 4
#define IDC_VISIT 6

// Configuration dialog.
#define IDC_DEVICE 1000
#define IDC_MODE 1001
#define IDC_FLAG 1002
#define IDC_FIRING_PERIOD 1003
#define IDC_USE_DESKTOP 1012
#define IDC_SHOW_FPS 1021
#define IDC_ENABLE_SOUND 1022
#define IDC_EXIT_ON_MOUSE 1023
#define IDC_LIGHTMAPS 1024
#define IDC_ENV_WATER 1025
#define IDC_LENS_FLARES 1026
#define IDC_PRODUCTS_TEXT 1027
#define IDC_VOLUME_LABEL 1029
#define IDC_VOLUME 1033
#define IDC_CAMERA_SELECTION 1036
#define IDC_RANDOM_VIEW 1039
#define IDC_SWITCH_LABEL 1040
#define IDC_SWITCH_PERIOD 1041
#define IDC_GAMMA_LABEL 1042
#define IDC_GAMMA 1043
#define IDC_ENABLE_LIGHTING 1044
#define IDC_FIRING_LABEL 1045
#define IDC_ENABLE_FIRING 1047
#define IDC_LIGHT_DELAY_LABEL 1049
#define IDC_LIGHT_DELAY 1050
#define IDC_CHANGE_DELAY_LABEL 1051
#define IDC_CHANGE_DELAY 1052

// Camera selection dialog.
#define IDC_CAMERA1 1038
#define IDC_CAMERA2 1039
#define IDC_CAMERA3 1041
#define IDC_CAMERA4 1042
#define IDC_CAMERA5 1044
#define IDC_CAMERA6 1043
#define IDC_CAMERA7 1040
