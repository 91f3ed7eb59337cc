/* Resource ids of DADADA32.dll. */
#ifndef DADADA32_RESOURCE_H
#define DADADA32_RESOURCE_H

/* Event names of the activity log (see the event table in ALOG). */
#define IDS_INFECTED            50
#define IDS_CLEANED             51
#define IDS_CLEAN_ERROR         52
#define IDS_DELETED             53
#define IDS_DELETE_ERROR        54
#define IDS_EXCLUDED            55
#define IDS_EXCLUDE_ERROR       56
#define IDS_ACCESS_DENIED       57
#define IDS_MOVED               58
#define IDS_MOVE_ERROR          59
#define IDS_SERVICE_STARTED     60
#define IDS_SERVICE_ENDED       61
#define IDS_TASK_COMPLETED      62
#define IDS_TASK_CANCELLED      63
#define IDS_TASK_MEMORY         64
#define IDS_TASK_BOOT           65
#define IDS_TASK_FILES          66
#define IDS_TASK_CLEANED_ALL    67
#define IDS_TASK_LOG_ERROR      68
#define IDS_TASK_NO_MEMORY      69
#define IDS_TASK_PATH_TOO_LONG  70
#define IDS_TASK_WRITE_PROTECT  71
#define IDS_TASK_NO_MEDIA       72
#define IDS_TASK_BAD_ITEM       73
#define IDS_TASK_FILE_IO        74
#define IDS_TASK_DISK_IO        75
#define IDS_TASK_SYSTEM_ERROR   76
#define IDS_TASK_INTERNAL_ERROR 77
#define IDS_ALL_FILES           78
#define IDS_ALL_FILES_FILTER    79
#define IDS_TASK_STARTED        80
#define IDS_TASK_START_ERROR    81
#define IDS_TASK_STOPPED        82
#define IDS_TASK_STOP_ERROR     83
#define IDS_MEMORY_INFECTED     84
#define IDS_BOOT_INFECTED       85
#define IDS_BOOT_CLEANED        86
#define IDS_BOOT_CLEAN_ERROR    87
#define IDS_SCAN_ERROR          88
#define IDS_SCAN_STARTED        89
#define IDS_SCAN_COMPLETE       90
#define IDS_SCAN_SETTINGS       91
#define IDS_SCAN_SUMMARY        92
#define IDS_TXT_FILTER          93
#define IDS_TXT_FILES           94
#define IDS_LOG_FILTER          95
#define IDS_LOG_FILES           96
#define IDS_FILES               97
#define IDS_LOG_TRUNCATED       98
#define IDS_RPC_NO_MEMORY       99
#define IDS_READ_DIR_FAILED     100
#define IDS_READ_VOLUMES_FAILED 101

/* Notification dialog. */
#define IDD_NOTIFY              93
#define IDC_NOTIFY_ICON         94   /* hidden frame: the icon is drawn at its place */
#define IDC_NOTIFY_TEXT         95
#define IDC_NOTIFY_YES          96
#define IDC_NOTIFY_NO           97

/* Connection wait dialog and its clip. */
#define IDA_CONNECT             101  /* AVI */
#define IDD_CONNECT             104
#define IDC_CONNECT_ANIMATE     105

/* File-open template that shows folders only. */
#define IDD_BROWSEDIRECTORY     "BROWSEDIRECTORY"

/* The remote browser (browse.rc): its dialog, the dialog's controls and
 * the tree's bitmap. */
#define IDD_REMOTE_BROWSE       101
#define IDB_BROWSE_TREE         102
#define IDC_BROWSE_TREE         1000
#define IDC_BROWSE_PROMPT       1002

#endif
