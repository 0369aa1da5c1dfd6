#pragma once

// Resources of the main program, shared by the resource script and the code.

// The English language document, resource type "XML".
#define IDR_DEFAULT_LANGUAGE 212

// The main window and its skin.
#define IDI_MAIN 128
#define IDD_MAIN 129
#define IDB_BACKGROUND 200
#define IDB_MARK 201
#define IDB_PROGRESS_TRACK 206
#define IDB_PROGRESS_FILL 207
#define IDB_PROGRESS_CAP_LEFT 208
#define IDB_PROGRESS_CAP_RIGHT 209
#define IDB_CLOSE 210
#define IDB_MACHINE_DESKTOP 242
#define IDB_HEADER 244
#define IDB_BAR_CURRENT 246
#define IDB_BAR_POTENTIAL 247
#define IDB_MACHINE_LAPTOP 248
#define IDB_COMPANY 251
// The animated "working" picture, resource type "GIF".
#define IDR_STATUS_GIF 300

// The update's dialogs.
#define IDD_DOWNLOAD_PROGRESS 301
#define IDC_DOWNLOAD_CAPTION 1007
#define IDC_DOWNLOAD_BAR 1008
#define IDC_DOWNLOAD_AMOUNT 1009
#define IDC_DOWNLOAD_PERCENT 1010
#define IDD_PROXY 302
#define IDC_PROXY_USER 1006
#define IDC_PROXY_PASSWORD 1007
#define IDD_BROWSER 303
#define IDC_BROWSER_VIEW 1031
