#include "shell/MainDlg.h"

#include <shellapi.h>

#include "engine/Messages.h"
#include "engine/suite/ResultDocument.h"
#include "engine/suite/Tester.h"
#include "net/Deployment.h"
#include "net/Update.h"
#include "net/WebReporting.h"
#include "resources/ResourceIds.h"
#include "base/Folders.h"
#include "shell/Module.h"
#include "base/StringFormat.h"
#include "shell/TranslatedFormat.h"
#include "shell/TrayMenu.h"
#include "shell/controls/Skin.h"
#include "base/UiTextIds.h"

using namespace Cxx::GUI::Controls;

namespace
{
const wchar_t kTitle[] = L"Zentrix";
const UINT kTrayIconId = 1027;
const int kWindowWidth = 560;
const int kWindowHeight = 380;
const int kBarWidth = 120;
// Where the finished state shows the picture of the machine kind (96 DPI).
const RECT kMachinePicture = {256, 103, 256 + 285, 103 + 189};

// Shows the wait cursor while it lives.
class CWaitCursor
{
public:
    CWaitCursor() : m_previous(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { SetCursor(m_previous); }

private:
    HCURSOR m_previous;
};
}

CMainDlg::CMainDlg(CTester& tester) : m_tester(tester)
{
}

CMainDlg::~CMainDlg()
{
    if (Handle())
        DestroyWindow(Handle());
}

HWND CMainDlg::Create(HINSTANCE instance)
{
    return CModelessDialog::Create(instance, IDD_MAIN, nullptr);
}

bool CMainDlg::PreTranslateMessage(MSG& message)
{
    return IsDialogMessageW(Handle(), &message) != FALSE;
}

bool CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_DESTROY:
        OnDestroy();
        return true;
    case WM_CLOSE:
        CloseApp(1);
        return true;
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
        result = 1; // WM_PAINT covers the whole window
        return true;
    case WM_LBUTTONDOWN:
        // A click anywhere on the body drags the captionless window.
        PostMessageW(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        return true;
    case WM_TEST_PROGRESS:
        OnTestProgress(wParam, lParam);
        return true;
    case WM_TESTS_FINISHED:
        // The end of the run shows once the run is over: a close then asks
        // nothing.
        m_tester.AwaitRunEnd();
        OnTestsFinished();
        return true;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        return true;
    case WM_TESTS_CANCELLED:
        m_tester.AwaitRunEnd();
        OnTestsCancelled();
        return true;
    case WM_UPDATEUISTATE:
        return true; // no focus cues on the skin
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_CTLCOLORSTATIC:
        result = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    default:
        return false;
    }
}

void CMainDlg::OnCommand(UINT id, UINT code)
{
    switch (id)
    {
    case IDC_ABOUT:
    case IDC_IGNORED:
        return;
    case IDOK:
        OnEnter();
        return;
    case IDCANCEL:
        CloseApp(2);
        return;
    default:
        break;
    }
    // The window's own commands count only as button clicks.
    if (code != BN_CLICKED)
        return;
    switch (id)
    {
    case IDC_COMPANY:
        OpenCompanySite();
        break;
    case IDC_CLOSE:
        RequestClose();
        break;
    case IDC_CANCEL_SCAN:
        CancelScan();
        break;
    case IDC_BEGIN_TEST:
        BeginTest();
        break;
    case IDC_OPTIMIZE:
        Optimize();
        break;
    case IDC_TEST_HISTORY:
        OpenTestHistory();
        break;
    default:
        break;
    }
}

BOOL CMainDlg::OnInitDialog()
{
    g_module.SetMainWindow(Handle());
    m_tester.SetCompletionWindow(Handle());
    if (CMessageLoop* loop = g_module.GetMessageLoop())
        loop->AddMessageFilter(this);
    SetWindowTextW(Handle(), kTitle);
    const RECT frame = m_scale.Rect(0, 0, kWindowWidth, kWindowHeight);
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right, frame.bottom, SWP_NOMOVE | SWP_NOZORDER);
    m_bigIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));

    CreateBackdrop();
    CreateControls();
    m_state = kIdle;
    UpdateTexts();
    m_progressBar.SetRange(static_cast<int>(m_tester.GetTestCount()) * 100);
    m_tester.SetNotify(Handle(), WM_TEST_PROGRESS);
    AddTrayIcon();
    return TRUE;
}

void CMainDlg::CreateBackdrop()
{
    CBitmap background(LoadSkinBitmap(IDB_BACKGROUND));
    const RECT client = m_scale.Rect(0, 0, kWindowWidth, kWindowHeight);
    HDC screen = GetDC(Handle());
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, scaled);
    FillRect(memory, &client, CBrush(CreateSolidBrush(kBodyColour)).Get());
    DrawBitmap(memory, background.Get(), client);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(Handle(), screen);
    m_backdrop.Set(scaled);

    m_desktopPicture.Reset(LoadSkinBitmap(IDB_MACHINE_DESKTOP));
    m_laptopPicture.Reset(LoadSkinBitmap(IDB_MACHINE_LAPTOP));
}

void CMainDlg::CreateControls()
{
    const HWND window = Handle();
    const CDpiScale& s = m_scale;
    m_textFont.Reset(CreateUiFont(kFace, 11, FW_NORMAL, s));
    m_verdictFont.Reset(CreateUiFont(kFace, 13, FW_NORMAL, s));
    m_percentFont.Reset(CreateUiFont(kFace, 58, FW_BOLD, s));
    m_smallFont.Reset(CreateUiFont(kFace, 8, FW_NORMAL, s));

    // Every state shares the close button and the company button.
    m_close.Create(window, s.Rect(532, 9, 18, 18), IDC_CLOSE, m_backdrop, IDB_CLOSE, L"");
    m_company.Create(window, s.Rect(20, 340, 140, 30), IDC_COMPANY, m_backdrop, IDB_COMPANY, L"");
    m_headerPicture.Create(window, s.Rect(20, 44, 520, 100), IDC_HEADER_PICTURE, m_backdrop, IDB_HEADER, s);

    // Idle.
    m_mark.Create(window, s.Rect(20, 160, 24, 24), IDC_MARK, m_backdrop, IDB_MARK, s);
    m_headerLine.Create(window, s.Rect(52, 156, 488, 30), IDC_HEADER_LINE, m_backdrop, 12, FW_SEMIBOLD, s);
    m_testHistory.Create(window, s.Rect(52, 192, 200, 24), IDC_TEST_HISTORY, m_backdrop, s);
    m_beginTest.Create(window, s.Rect(300, 296, 220, 40), IDC_BEGIN_TEST, m_backdrop, s);
    m_version.Create(window, s.Rect(400, 352, 140, 16), IDC_VERSION, m_smallFont.Get(), SS_RIGHT);

    // Running.
    m_scanning.Create(window, s.Rect(20, 160, 520, 24), IDC_SCANNING, m_textFont.Get(), SS_CENTER);
    m_progressBar.Create(window, s.Rect(60, 200, 440, 22), IDC_PROGRESS, m_backdrop, s);
    m_status.Create(window, s.Rect(60, 234, 440, 28), IDC_STATUS, m_backdrop, IDR_STATUS_GIF, s);
    m_cancelScan.Create(window, s.Rect(225, 288, 110, 28), IDC_CANCEL_SCAN, m_backdrop, s);

    // Finished.
    m_resultCaption.Create(window, s.Rect(16, 4, 400, 30), IDC_RESULT_CAPTION, m_backdrop, 14, FW_SEMIBOLD, s);
    for (int i = 0; i < 5; ++i)
        m_verdict[i].Create(window, s.Rect(20, 78 + 22 * i, 230, 22), IDC_VERDICT_FIRST + i, m_verdictFont.Get());
    m_percentage.Create(window, s.Rect(16, 178, 236, 92), IDC_PERCENTAGE, m_percentFont.Get());
    m_legendCurrent.Create(window, s.Rect(20, 276, 110, 18), IDC_LEGEND_CURRENT, m_smallFont.Get());
    m_barCurrent.Create(window, s.Rect(132, 277, kBarWidth, 16), IDC_BAR_CURRENT, m_backdrop, IDB_BAR_CURRENT, s);
    m_legendPotential.Create(window, s.Rect(20, 300, 110, 18), IDC_LEGEND_POTENTIAL, m_smallFont.Get());
    m_barPotential.Create(window, s.Rect(132, 301, kBarWidth, 16), IDC_BAR_POTENTIAL, m_backdrop, IDB_BAR_POTENTIAL,
                          s);
    m_optimize.Create(window, s.Rect(300, 296, 220, 40), IDC_OPTIMIZE, m_backdrop, s);

    ShowWindow(m_close, SW_SHOW);
    ShowWindow(m_company, SW_SHOW);
}

void CMainDlg::AddTrayIcon()
{
    // XP's shell refuses the structure in its later, longer form.
    const bool vistaOrLater = LOBYTE(LOWORD(GetVersion())) >= 6;
    NOTIFYICONDATAW& data = m_tray.data;
    data.cbSize = vistaOrLater ? sizeof(m_tray) : sizeof(NOTIFYICONDATAW);
    data.hWnd = Handle();
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    m_trayIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    data.hIcon = m_trayIcon;
    lstrcpynW(data.szTip, kTitle, ARRAYSIZE(data.szTip));
    data.uVersion = NOTIFYICON_VERSION;
    if (!Shell_NotifyIconW(NIM_ADD, &data))
        g_module.LogError(L"cannot add the tray icon", GetLastError());
}

void CMainDlg::OnDestroy()
{
    if (CMessageLoop* loop = g_module.GetMessageLoop())
        loop->RemoveMessageFilter(this);
    Shell_NotifyIconW(NIM_DELETE, &m_tray.data);
    if (m_trayIcon)
        DestroyIcon(m_trayIcon);
    m_trayIcon = nullptr;
    // A run that is still stopping reports to no window once this one is gone.
    if (g_module.GetMainWindow() == Handle())
        g_module.SetMainWindow(nullptr);
    m_tester.SetCompletionWindow(nullptr);
}

void CMainDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT client;
    GetClientRect(Handle(), &client);
    {
        CBufferedPaint buffer(dc, client);
        DrawBitmap(buffer.Get(), m_backdrop.Get(), client);
        if (m_state == kFinished)
        {
            const RECT target = m_scale.Rect(kMachinePicture.left, kMachinePicture.top,
                                             kMachinePicture.right - kMachinePicture.left,
                                             kMachinePicture.bottom - kMachinePicture.top);
            DrawBitmap(buffer.Get(), m_laptop ? m_laptopPicture.Get() : m_desktopPicture.Get(), target);
        }
    }
    EndPaint(Handle(), &paint);
}

LRESULT CMainDlg::OnCtlColorStatic(HDC dc, HWND control)
{
    SetTextColor(dc, GetDlgCtrlID(control) == IDC_VERSION ? kDimTextColour : kTextColour);
    SetBkMode(dc, TRANSPARENT);
    const POINT origin = CBackdrop::BrushOrigin(control);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    return reinterpret_cast<LRESULT>(m_backdrop.Brush());
}

void CMainDlg::OnTestProgress(WPARAM percent, LPARAM lParam)
{
    const int group = HIWORD(lParam);
    m_progress[group] = percent > 100 ? 100 : static_cast<int>(percent);
    int position = 0;
    for (const auto& entry : m_progress)
        position += entry.second;
    m_progressBar.SetPos(position);
}

void CMainDlg::OnTestsFinished()
{
    CWaitCursor wait;
    m_state = kFinished;
    m_stopping = false;
    m_status.Pause();
    m_tester.CalcTotalScore();
    // Asked once per result: the answer is a device enumeration, too slow
    // for every paint.
    m_laptop = m_tester.GetHardwareInfo().HasBattery();
    UpdateState();
}

void CMainDlg::OnTestsCancelled()
{
    m_stopping = false;
    m_state = kIdle;
    m_status.Pause();
    UpdateState();
}

void CMainDlg::BeginTest()
{
    // A run is under way (the button is hidden then, but the command may
    // still arrive): starting again would be refused, and resetting the
    // progress would only hide the running run's. An accepted update ends
    // the program, so no run starts while one is checked or downloaded.
    if (m_tester.IsRunning() || m_updating)
        return;
    CWaitCursor wait;
    const int previousState = m_state;
    m_progress.clear();
    SetText(IDC_STATUS, L"");
    m_stopping = false;
    m_state = kRunning;
    m_progressBar.SetPos(0);
    UpdateState();
    if (!m_tester.StartTests())
    {
        // Refused without a run: no completion message will come, so the
        // window must not keep the running look. (A run that cannot be
        // created reports WM_TESTS_CANCELLED, which already made it idle.)
        if (m_state == kRunning && !m_tester.IsRunning())
        {
            m_state = previousState;
            UpdateState();
        }
        return;
    }
    m_status.Play();
}

void CMainDlg::OnEnter()
{
    // Enter starts a run exactly as the Begin Test button does, and does
    // nothing while one is under way.
    if (m_state == kRunning || m_tester.IsRunning())
        return;
    BeginTest();
}

void CMainDlg::CancelScan()
{
    if (!m_tester.IsRunning() || m_stopping)
        return;
    m_tester.StopTests();
    SetText(IDC_STATUS, g_module.GetString(kTextStopping));
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    m_stopping = true;
}

void CMainDlg::Optimize()
{
    CWaitCursor wait;
    BuildAndSendResult(m_tester, {g_module.GetUID(), g_module.GetSettings(), g_module.GetMainWindow()});
    m_state = kIdle;
    UpdateState();
}

void CMainDlg::OpenCompanySite()
{
    const std::wstring address = FormatText(L"http://%ls/?lang=%ls", kCompanySiteHost,
                                            g_module.GetLanguageManager().GetLanguageCode().c_str());
    ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}

void CMainDlg::OpenTestHistory()
{
    CSettings& settings = g_module.GetSettings();
    std::wstring address = settings.GetUrl();
    // The stored file is writable by the user and opened by this elevated
    // program through the shell: only a web page is opened, as on upload.
    if (!IsWebAddress(address))
    {
        g_module.LogError(L"The stored results page address is no web address: " + address, ERROR_INVALID_DATA);
        return;
    }
    const size_t lastSlash = address.rfind(L'/');
    address.erase(lastSlash + 1);
    address += g_module.GetLanguageManager().GetLanguageCode();
    settings.SetUrl(address);
    ShellExecuteW(Handle(), L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
}

bool CMainDlg::UpdateHoldsClose() const
{
    // The update's dialogs belong to the active window, which is none while
    // the program sits in the tray, so nothing else keeps a close (button,
    // tray Exit, Alt+F4, Escape) from ending the program under them.
    return m_updating;
}

void CMainDlg::RequestClose()
{
    if (UpdateHoldsClose())
        return;
    if (m_tester.IsRunning())
    {
        if (MessageBoxW(Handle(), g_module.GetString(kTextConfirmCancel), kTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        ShowWindow(Handle(), SW_HIDE);
    }
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void CMainDlg::CloseApp(int exitCode)
{
    if (UpdateHoldsClose())
        return;
    DestroyWindow(Handle());
    m_tester.StopTests();
    PostQuitMessage(exitCode);
}

void CMainDlg::OnTrayNotify(LPARAM mouseMessage)
{
    switch (mouseMessage)
    {
    case WM_LBUTTONDBLCLK:
        ShowWindow(Handle(), SW_SHOW);
        SetForegroundWindow(Handle());
        BringWindowToTop(Handle());
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        ShowTrayMenu();
        break;
    default:
        break;
    }
}

bool CMainDlg::IsRunUnderWay() const
{
    return m_state == kRunning && !m_stopping && m_tester.IsRunning();
}

void CMainDlg::CheckForUpdatesNow()
{
    if (m_updating || m_tester.IsRunning())
        return;
    m_updating = true;
    CheckForProgramUpdates();
    m_updating = false;
}

void CMainDlg::ShowTrayMenu()
{
    TrayMenuState menuState = {m_stopping, m_state == kRunning && m_tester.IsRunning(), m_tester.IsPaused(),
                               m_updating, {}};
    for (const LanguageEntry& language : g_module.GetLanguageManager().GetLanguages())
        menuState.languages.push_back(language.displayName);
    HMENU menu = BuildTrayMenu(menuState);
    if (GetMenuItemCount(menu) <= 0)
    {
        DestroyMenu(menu);
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(Handle());
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Handle(), nullptr));
    DestroyMenu(menu);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageW(Handle(), WM_NULL, 0, 0);

    switch (chosen)
    {
    case 0:
        break;
    case kTrayStartTest:
        SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDC_BEGIN_TEST, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Handle(), IDC_BEGIN_TEST)));
        break;
    case kTrayStopTest:
        CancelScan();
        break;
    // The menu's own message loop may have handled the run's end while the
    // menu was open: a pause then would hold the next run.
    case kTrayPauseTest:
        if (IsRunUnderWay())
        {
            m_tester.Suspend();
            m_status.Pause();
        }
        break;
    case kTrayResumeTest:
        if (IsRunUnderWay())
        {
            m_tester.Resume();
            m_status.Play();
        }
        break;
    case kTrayCheckForUpdates:
        CheckForUpdatesNow();
        break;
    case kTrayExit:
        PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Handle(), IDC_CLOSE)));
        break;
    default:
        if (chosen >= kTrayFirstLanguage && chosen < kTrayFirstLanguage + menuState.languages.size())
        {
            g_module.GetLanguageManager().SelectLanguage(chosen - kTrayFirstLanguage);
            UpdateTexts();
        }
        break;
    }
}

void CMainDlg::SetText(UINT id, const wchar_t* text)
{
    HWND control = GetDlgItem(Handle(), id);
    SetWindowTextW(control, text);
    InvalidateRect(control, nullptr, FALSE);
}

void CMainDlg::Show(UINT id, bool shown)
{
    ShowWindow(GetDlgItem(Handle(), id), shown ? SW_SHOW : SW_HIDE);
}

void CMainDlg::WriteHeaderLine()
{
    const int total = m_tester.GetTotalScore();
    m_hasScore = total != 0;
    const std::wstring line = m_hasScore ? FormatText(L"%ls %d", g_module.GetString(kTextYourScoreIs), total)
                                         : FormatText(L"%ls %ls", g_module.GetString(kTextYourScoreIs), g_module.GetString(kTextUnknown));
    SetText(IDC_HEADER_LINE, line.c_str());
}

void CMainDlg::WritePercentageLine()
{
    const int percent = static_cast<int>(m_tester.LoadLastPercentage());
    const std::wstring line = percent != 0
                                  ? FormatText(GetFormatText(kTextPercentageLine), percent)
                                  : g_module.GetString(kTextPotentialUnknown);
    SetText(IDC_HEADER_LINE, line.c_str());
}

void CMainDlg::UpdateTexts()
{
    SetText(IDC_BEGIN_TEST, g_module.GetString(kTextBeginTest));
    SetText(IDC_SCANNING, g_module.GetString(kTextScanning));
    SetText(IDC_OPTIMIZE, g_module.GetString(kTextOptimize));
    if (m_stopping)
        SetText(IDC_STATUS, g_module.GetString(kTextStopping));
    SetText(IDC_TEST_HISTORY, g_module.GetString(kTextTestHistory));
    SetText(IDC_LEGEND_CURRENT, g_module.GetString(kTextCurrentPerformance));
    SetText(IDC_LEGEND_POTENTIAL, g_module.GetString(kTextPotentialPerformance));
    SetText(IDC_CANCEL_SCAN, g_module.GetString(kTextCancelScan));
    SetText(IDC_RESULT_CAPTION, g_module.GetString(kTextResultCaption));
    SetText(IDC_VERSION, GetFileVersionText(GetProgramPath()).c_str());
    WriteHeaderLine();
    if (m_state == kIdle)
        WritePercentageLine();
    UpdateState();
}

void CMainDlg::UpdateState()
{
    const bool idle = m_state == kIdle;
    const bool running = m_state == kRunning;
    const bool finished = m_state == kFinished;

    Show(IDC_HEADER_PICTURE, !finished);
    if (finished)
        Show(IDC_RESULT_CAPTION, true);
    for (UINT id : {IDC_BEGIN_TEST, IDC_HEADER_LINE, IDC_MARK, IDC_VERSION})
        Show(id, idle);
    Show(IDC_TEST_HISTORY, idle && !g_module.GetSettings().GetUrl().empty());
    for (UINT id : {IDC_PROGRESS, IDC_SCANNING, IDC_STATUS, IDC_CANCEL_SCAN})
        Show(id, running);
    for (UINT id : {IDC_OPTIMIZE, IDC_LEGEND_CURRENT, IDC_LEGEND_POTENTIAL, IDC_PERCENTAGE, IDC_BAR_CURRENT,
                    IDC_BAR_POTENTIAL})
        Show(id, finished);
    for (UINT i = 0; i < 5; ++i)
        Show(IDC_VERDICT_FIRST + i, finished);

    if (idle)
        WritePercentageLine();
    else if (finished)
        ShowFinishedResult();
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE | RDW_UPDATENOW);
}

void CMainDlg::ShowFinishedResult()
{
    const int percent = static_cast<int>(m_tester.GetPercentage());
    const int barPercent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    m_tester.SaveLastPercentage();
    SetText(IDC_VERDICT_FIRST, g_module.GetString(kTextVerdictYourPcIs));
    SetText(IDC_VERDICT_FIRST + 1, g_module.GetString(kTextVerdictPerforming));
    SetText(IDC_VERDICT_FIRST + 2,
            FormatText(GetFormatText(kTextVerdictPercent), percent).c_str());
    SetText(IDC_VERDICT_FIRST + 3, g_module.GetString(kTextVerdictPotential));
    SetText(IDC_PERCENTAGE, FormatText(L"%d%%", percent).c_str());

    // Both bars grow from their left edges: the current one to the share
    // of the potential reached, the potential one to its full width.
    RECT bar = m_scale.Rect(132, 277, kBarWidth * barPercent / 100, 16);
    SetWindowPos(m_barCurrent, nullptr, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    bar = m_scale.Rect(132, 301, kBarWidth, 16);
    SetWindowPos(m_barPotential, nullptr, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
