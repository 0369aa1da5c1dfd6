#pragma once
#include <windows.h>
#include <shellapi.h>

#include <map>

#include "shell/controls/Controls.h"
#include "shell/gui/Backdrop.h"
#include "shell/gui/Gdi.h"
#include "shell/gui/MessageLoop.h"
#include "shell/gui/ModelessDialog.h"

class CTester;

// Command and control ids of the main window.
enum MainControlId : UINT
{
    IDC_CLOSE = 1000,
    IDC_BEGIN_TEST = 1001,
    IDC_HEADER_LINE = 1002,
    IDC_MARK = 1003,
    IDC_SCANNING = 1004,
    IDC_OPTIMIZE = 1005,
    IDC_STATUS = 1006,
    IDC_PROGRESS = 1008,
    IDC_TEST_HISTORY = 1012,
    IDC_HEADER_PICTURE = 1013,
    IDC_IGNORED = 1014,
    IDC_VERDICT_FIRST = 1015, // five lines, 1015 to 1019
    IDC_LEGEND_CURRENT = 1020,
    IDC_LEGEND_POTENTIAL = 1022,
    IDC_PERCENTAGE = 1025,
    IDC_BAR_CURRENT = 1026,
    IDC_BAR_POTENTIAL = 1027,
    IDC_CANCEL_SCAN = 1028,
    IDC_RESULT_CAPTION = 1029,
    IDC_COMPANY = 1030,
    IDC_VERSION = 1031,
    // The About command some shells send; ignored.
    IDC_ABOUT = 0xE140
};

// The program's main window: a captionless skinned modeless dialog that
// starts, pauses, resumes and stops a run, shows its progress and result,
// keeps a tray icon, and opens the product's web pages. Lives on the UI
// thread; the run's progress and completion arrive as sent messages.
class CMainDlg : public CModelessDialog, public CMessageFilter
{
public:
    enum State
    {
        kIdle = 0,
        kRunning = 1,
        kFinished = 2
    };

    explicit CMainDlg(CTester& tester);
    ~CMainDlg() override;

    // Creates the window from its dialog resource, without parent.
    HWND Create(HINSTANCE instance);
    bool PreTranslateMessage(MSG& message) override;

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    BOOL OnInitDialog();
    void OnDestroy();
    void OnPaint();
    void OnTestProgress(WPARAM percent, LPARAM lParam);
    void OnTestsFinished();
    void OnTestsCancelled();
    void OnTrayNotify(LPARAM mouseMessage);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnCommand(UINT id, UINT code);

    void BeginTest();
    void OnEnter();
    void CancelScan();
    void Optimize();
    void OpenCompanySite();
    void OpenTestHistory();
    // True while an update check or download is under way: no close.
    bool UpdateHoldsClose() const;
    void RequestClose();
    void CloseApp(int exitCode);
    void ShowTrayMenu();
    // True from Begin Test until the run ends or is told to stop.
    bool IsRunUnderWay() const;
    // The update check of the tray menu; the window offers nothing that
    // starts, checks or exits while it runs.
    void CheckForUpdatesNow();

    void CreateBackdrop();
    void CreateControls();
    void AddTrayIcon();
    void UpdateTexts();
    void UpdateState();
    void ShowFinishedResult();
    void WriteHeaderLine();
    void WritePercentageLine();
    void Show(UINT id, bool shown);
    void SetText(UINT id, const wchar_t* text);

    CTester& m_tester;
    int m_state = kIdle;
    bool m_stopping = false;
    bool m_updating = false;
    bool m_hasScore = false;
    // The machine of the shown result has a battery.
    bool m_laptop = false;
    std::map<int, int> m_progress;

    CDpiScale m_scale;
    CBackdrop m_backdrop;
    CBitmap m_desktopPicture;
    CBitmap m_laptopPicture;
    CFont m_textFont;
    CFont m_verdictFont;
    CFont m_percentFont;
    CFont m_smallFont;
    HICON m_trayIcon = nullptr;
    HICON m_bigIcon = nullptr;
    // NOTIFYICONDATAW as Vista and later define it: the XP-level headers
    // leave out the balloon icon at its end.
    struct FullNotifyIconData
    {
        NOTIFYICONDATAW data;
        HICON balloonIcon;
    } m_tray = {};

    Cxx::GUI::Controls::CBitmapButtonEx m_close;
    Cxx::GUI::Controls::CTextButton m_beginTest;
    Cxx::GUI::Controls::CStaticText m_headerLine;
    Cxx::GUI::Controls::CPicture m_mark;
    CStaticText m_scanning;
    Cxx::GUI::Controls::CPicture m_headerPicture;
    Cxx::GUI::Controls::CTextButton m_optimize;
    Cxx::GUI::Controls::CGifWnd m_status;
    Cxx::GUI::Controls::CHistoryButton m_testHistory;
    CStaticText m_verdict[5];
    CStaticText m_legendCurrent;
    CStaticText m_legendPotential;
    CStaticText m_percentage;
    Cxx::GUI::Controls::CPicture m_barCurrent;
    Cxx::GUI::Controls::CPicture m_barPotential;
    Cxx::GUI::Controls::CTextBtn m_cancelScan;
    Cxx::GUI::Controls::CStaticText m_resultCaption;
    Cxx::GUI::Controls::CBitmapButtonEx m_company;
    CStaticText m_version;
    Cxx::GUI::Controls::CSkinProgress m_progressBar;
};
