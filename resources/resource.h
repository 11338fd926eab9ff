// Resource and control identifiers shared by the resource script and the program.
#pragma once

#define IDD_FWUPDATE_DIALOG 102
#define IDR_MAINFRAME 500
#define IDR_FIRMWARE_RELAY_UBOOT8 505
#define IDR_FIRMWARE_RELAY 506
#define IDR_FIRMWARE_MAIN 507

#define IDC_BTN_SEARCH 1000
#define IDC_STATIC_TITLE 1007
#define IDC_STATIC_NAME_CAPTION 1012
#define IDC_STATIC_NAME 1013
#define IDC_STATIC_INTERFACE_CAPTION 1014
#define IDC_STATIC_INTERFACE 1015
#define IDC_STATIC_STATUS_CAPTION 1016
#define IDC_STATIC_STATUS 1017
#define IDC_LIST_DESTINATION 1025
#define IDC_BTN_UPDATE 1144

#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
