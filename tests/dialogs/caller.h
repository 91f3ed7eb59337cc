// Resources of the test program: the caller's side of the dialogs.
#pragma once
#define IDS_CALLER_TITLE    1001
#define IDS_CALLER_COUNT    1002   /* one number placeholder */
#define IDS_CALLER_PLAIN    1003
#define IDS_CALLER_REPLACE  1004
#define IDS_CALLER_YES      1005
#define IDS_CALLER_NO       1006
#define IDS_CALLER_FOLDER   1007   /* one string placeholder */
#define IDS_CALLER_PROMPT   1008
#define IDI_CALLER          1100
