// Resource identifiers of the control's module.
#pragma once

#define IDB_TOOLBOX 1          // toolbox bitmap of the control class, 16 x 15
#define IDI_TAVRIK 1           // control icon, 32 x 32 and 16 x 16
#define IDD_ABOUTBOX_TAVRIK 1  // About dialog
#define IDS_TAVRIK 1           // "Tavrik Control"
#define IDS_TAVRIK_PPG 2       // "Tavrik Property Page"
#define IDD_PROPPAGE_TAVRIK 200
#define IDS_TAVRIK_PPG_CAPTION 200  // "General"
#define IDB_STANDBY 201        // standby picture, 370 x 120, 24 bits
#define IDC_ABOUT_NOTICE 101   // second line of the About dialog
