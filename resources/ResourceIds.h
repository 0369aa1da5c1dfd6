#pragma once

// Resources of the main program, shared by the resource script and the code.

// The English language document, resource type "XML".
#define IDR_DEFAULT_LANGUAGE 212

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
