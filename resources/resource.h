// Resource identifiers, shared by the resource script and the shell.
#pragma once

#define IDD_NOTICE 101
#define IDD_ABOUT 103

#define IDS_TITLE 103
#define IDS_CLASS 109

#define IDI_APP 107
#define IDI_SMALL_APP 108
#define IDI_LEVEL_FULL 129
#define IDI_LEVEL_MEDIUM 130
#define IDI_LEVEL_LOW 131
#define IDI_LEVEL_EMPTY 133
#define IDI_EXTERNAL 132

#define IDC_ABOUT_ICON 2
#define IDC_DONT_SHOW 1001
