// Resource and command identifiers of kovw.
#ifndef KOV_RESOURCE_H
#define KOV_RESOURCE_H

#include "../common/actions.h"

#define IDI_KOV              1

#define IDR_MENU_ENABLED     15
#define IDR_MENU_SUSPENDED   16

#define IDM_SUSPEND          101
#define IDM_ABOUT            103
#define IDM_OPTIONS          104
#define IDM_SHOWKOV          28912

// About box.
#define IDD_ABOUT            200
#define IDC_ABOUT_VERSION    201
#define IDC_ABOUT_CREDITS    202
#define IDC_FRAME            105
#define IDC_HELPBUTTON       257

// Options dialog.
#define IDD_OPTIONS          400
#define IDC_STARTUP_GROUP    301
#define IDC_MISC_GROUP       302
#define IDC_TITLEBAR_GROUP   303
#define IDC_XCEPT_GROUP      304
#define IDC_SNAPSTARTMENU    306
#define IDC_REMOVEDOCUMENTS  307
#define IDC_SUSPENDONLOAD    308
#define IDC_STARTMINIMIZED   310
#define IDC_STARTSHOWN       311
#define IDC_APPEARINTASKLIST 312
#define IDC_BYPASSSHUTDOWN   315
#define IDC_SNAPFOCUS        322
#define IDC_SNAPBUTTONSONLY  323
#define IDC_SNAPNEWONLY      324
#define IDC_SENSITIVITY      326
#define IDC_SENSITIVITY_LBL  327
#define IDC_SCROLLPAGES      328
#define IDC_SCROLLPAGES_LBL  329
#define IDC_SCROLLWITHKEYS   330
#define IDC_MIDDLE_LBL       334
#define IDC_CTRLRIGHT_LBL    336
#define IDC_MOUSE_GROUP      339
#define IDC_MIDDLEACTION     340
#define IDC_CTRLRIGHTACTION  347
#define IDC_USERCMD_LBL      405
#define IDC_USERCMD          430
#define IDC_LEFTSIDE         490
#define IDC_EDGEOFFSET       613
#define IDC_EDGEOFFSET_LBL   614
#define IDC_XCEPT_TEXT1      702
#define IDC_XCEPT_TEXT2      703
#define IDC_XCEPTLIST        701
#define IDC_FIND             263
#define IDC_ETCHEDLINE       11

#endif
