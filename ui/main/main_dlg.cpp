#include "ui/main/main_dlg.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/converter.h"
#include "core/file_types.h"
#include "core/platform/file_system.h"
#include "core/platform/win32_path.h"
#include "core/platform/win32_text.h"
#include "framework/dpi.h"
#include "framework/resource_text.h"
#include "framework/toolbar.h"
#include "res/product_info.h"
#include "res/resource.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/file_dialog_ex.h"
#include "ui/dialogs/options_dlg.h"
#include "ui/dialogs/select_folder_dlg.h"
#include "ui/format_selector.h"

namespace {
// A resource text with "%s" for the program and then the path.
std::string FormatText(UINT id, const std::string& program, const std::string& path) {
    const std::string pattern = LoadResourceText(id);
    std::vector<char> text(pattern.size() + program.size() + path.size() + 1);
    std::snprintf(text.data(), text.size(), pattern.c_str(), program.c_str(), path.c_str());
    return text.data();
}

// path's short form (8.3 names), if its volume keeps one and it fits
// MAX_PATH; otherwise empty.
std::string ShortPathName(const std::string& path) {
    std::wstring wide;
    if (!ExtendedPath(path.c_str(), &wide)) return std::string();
    std::wstring shortWide(GetShortPathNameW(wide.c_str(), nullptr, 0), L'\0');
    if (shortWide.empty()) return std::string();
    const DWORD n = GetShortPathNameW(wide.c_str(), &shortWide[0], static_cast<DWORD>(shortWide.size()));
    if (n == 0 || n >= shortWide.size()) return std::string();
    shortWide.resize(n);
    // It comes back in the "\\?\" form it was asked in, which a program may not take.
    if (shortWide.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        shortWide.erase(0, 7).insert(0, L"\\");
    else if (shortWide.compare(0, 4, L"\\\\?\\") == 0)
        shortWide.erase(0, 4);
    std::string narrow;
    if (shortWide.size() >= MAX_PATH || !NarrowName(shortWide.c_str(), &narrow)) return std::string();
    return narrow;
}
const char kSupportAddress[] = PARDWELL_SUPPORT_ADDRESS;
const char kProductPage[] = PARDWELL_HOME_PAGE;

// Commands whose enabled state the idle pass and the menu check maintain.
const UINT kCommands[] = {
    ID_EDIT_ADD_FILES, ID_EDIT_ADD_FOLDER, ID_EDIT_DELETE, ID_EDIT_CLEAR,     ID_EDIT_OPEN,    IDC_CONVERT,
    ID_FORMAT_WINDOWS, ID_FORMAT_MAC,      ID_FORMAT_UNIX, ID_FORMAT_PROJECT, ID_MAIN_OPTIONS, ID_HELP,
    ID_MAIN_ABOUT,     ID_EDIT_CHECK,
};

bool AddBitmap(HIMAGELIST list, UINT bitmapId, COLORREF mask) {
    // The list keeps its own copy of the pictures.
    CBitmapHandle bitmap(static_cast<HBITMAP>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    return bitmap && ImageList_AddMasked(list, bitmap, mask) >= 0;
}

HIMAGELIST MakeImageList(UINT bitmapId, int cx, int cy, UINT flags, int grow, COLORREF mask) {
    CImageListHandle list(ImageList_Create(cx, cy, flags | ILC_MASK, 0, grow));
    if (!list || !AddBitmap(list, bitmapId, mask)) return nullptr;
    return list.Release();
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}
}  // namespace

CMainDlg::CMainDlg(CAppSettings& settings, const ShellResources& resources, IProfileStore& store, int format,
                   const std::vector<std::string>* paths, HWND parent)
    : CHeaderDlg(IDD_MAIN, parent),
      m_settings(settings),
      m_resources(resources),
      m_store(store),
      m_startupPaths(paths),
      m_jobs(resources),
      m_status(m_jobs.Model(), m_run),
      m_run(settings, m_jobs, m_status, [this](RunStop stop) { OnRunFinished(stop); }) {
    m_format = format == -1 ? settings.Last().format : format;
    // A stored number no entry stands for would leave the selector empty and
    // fail every file of a run: start from the first format instead.
    if (m_format < 0 || m_format >= kFormatChoiceCount) m_format = 0;
    m_closeWhenDone = settings.Options().autoClose ? 1 : 0;
    m_keepOnTop = settings.Options().alwaysOnTop ? 1 : 0;
    m_jobs.onCountShown = [this](int count) { m_status.ShowFileCount(count); };
    m_jobs.onMarkChanged = [this](int index, EntryMark mark) { OnMarkChanged(index, mark); };
    SetCommandTable(kCommands, sizeof(kCommands) / sizeof(kCommands[0]));
    RouteSystemCommand(IDM_SYS_OPTIONS, ID_MAIN_OPTIONS);
    RouteSystemCommand(IDM_SYS_HELP, ID_HELP);
    RouteSystemCommand(IDM_SYS_ABOUT, ID_MAIN_ABOUT);
    RouteControl(IDC_OPTIONS_LINK, ID_MAIN_OPTIONS);
}

CMainDlg::~CMainDlg() {
    // Before the members go: the worker may still call what a subclass gave it.
    m_run.Shutdown();
}

// ---- creation and initialisation ----

bool CMainDlg::MakePictures(UINT dpi) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const int size = PictureSizeForDpi(dpi);
    m_toolbarImages.Reset(MakeSizedImageList(instance, IDB_TOOLBAR, size, ILC_COLOR16, 1, RGB(255, 0, 255)));
    m_toolbarGreyImages.Reset(
        MakeSizedImageList(instance, IDB_TOOLBAR_GREY, size, ILC_COLOR16, 1, RGB(255, 0, 255)));
    m_stateImages.Reset(
        MakeSizedImageList(instance, IDB_STATE_IMAGES, size, ILC_COLOR24, 4, RGB(255, 0, 255)));
    m_selectorImages.Reset(
        MakeSizedImageList(instance, IDB_FORMATS, size, ILC_COLOR24, 4, RGB(255, 255, 255)));
    return m_toolbarImages && m_toolbarGreyImages && m_stateImages && m_selectorImages;
}

bool CMainDlg::OnCreate() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!MakePictures(Dpi())) return false;
    static_assert(RT_TOOLBAR_LAYOUT == kToolBarResourceType, "the toolbar helper reads this resource type");
    HWND bar =
        CreateToolBarFromResource(instance, m_hwnd, ID_TOOLBAR_CTRL, IDR_MAINFRAME,
                                  WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                                      CCS_TOP | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                  TBSTYLE_EX_MIXEDBUTTONS, m_toolbarImages, m_toolbarGreyImages);
    if (!bar) return false;
    m_toolbar.Attach(bar);
    AddCommandToolBar(bar);

    m_headerImages.Reset(MakeImageList(IDB_SORT_ARROWS, 9, 5, ILC_COLOR4, 2, RGB(255, 0, 255)));
    return m_headerImages != nullptr;
}

void CMainDlg::SetIconsAndFonts(UINT dpi) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const int large = ScaleForDpi(32, dpi), small = PictureSizeForDpi(dpi);
    // The window uses the icons it was given until it has new ones: the old
    // go only after.
    CIconHandle largeIcon(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAINFRAME), IMAGE_ICON, large, large, 0)));
    CIconHandle smallIcon(static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAINFRAME), IMAGE_ICON, small, small, 0)));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon.Get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
    m_largeIcon = std::move(largeIcon);
    m_smallIcon = std::move(smallIcon);

    // The shared fonts are made for the system DPI; a window on a monitor
    // of another scale gets copies of its own.
    const ShellResources& shell = m_resources;
    HFONT bold = shell.BoldFont(), link = shell.BoldUnderlineFont();
    CFontHandle boldFont, linkFont;
    if (dpi != SystemDpi()) {
        boldFont.Reset(CreateFontForDpi(bold, dpi));
        linkFont.Reset(CreateFontForDpi(link, dpi));
        if (boldFont) bold = boldFont.Get();
        if (linkFont) link = linkFont.Get();
    }
    m_feedbackLink.SetFont(link);
    m_optionsLink.SetFont(link);
    if (HWND convert = GetDlgItem(IDC_CONVERT)) ::SendMessageA(convert, WM_SETFONT, (WPARAM)bold, TRUE);
    m_boldFont = std::move(boldFont);
    m_linkFont = std::move(linkFont);
}

void CMainDlg::OnDpiChanged(UINT dpi, const RECT& suggested) {
    const UINT old = Dpi();
    SetDpi(dpi);
    SetWindowPos(m_hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The controls keep drawing with the old lists until they hold the new.
    CImageListHandle oldLists[] = {std::move(m_toolbarImages), std::move(m_toolbarGreyImages),
                                   std::move(m_stateImages), std::move(m_selectorImages)};
    if (!MakePictures(dpi)) return;
    SetToolBarImages(m_toolbar, m_toolbarImages, m_toolbarGreyImages);
    SetToolBarScale(m_toolbar, dpi);
    m_selector.SetImageList(m_selectorImages);
    m_jobs.Rescale(old, dpi, m_stateImages);
    SetIconsAndFonts(dpi);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CMainDlg::DoDataExchange(bool save) {
    DDX_Control(IDC_FEEDBACK_LINK, m_feedbackLink);
    DDX_Control(IDC_OPTIONS_LINK, m_optionsLink);
    DDX_Control(IDC_PROGRESS, m_status.Progress());
    DDX_Control(IDC_FORMAT, m_selector);
    DDX_Control(IDC_JOB_LIST, m_jobs.Control());
    DDX_CBIndex(save, IDC_FORMAT, m_format);
    DDX_Check(save, IDC_CLOSE_WHEN_DONE, m_closeWhenDone);
    DDX_Check(save, IDC_KEEP_ON_TOP, m_keepOnTop);
}

void CMainDlg::EditSystemMenu() {
    HMENU menu = GetSystemMenu(m_hwnd, FALSE);
    if (!menu) return;
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    std::string options = LoadResourceText(IDS_OPTIONS_MENU);
    if (!options.empty()) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, IDM_SYS_OPTIONS, options.c_str());
    }
    std::string help = LoadResourceText(IDS_HELP_MENU);
    if (!help.empty()) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, IDM_SYS_HELP, help.c_str());
    }
    std::string about = LoadResourceText(IDS_ABOUT_MENU);
    if (!about.empty()) AppendMenuA(menu, MF_STRING, IDM_SYS_ABOUT, about.c_str());
}

BOOL CMainDlg::OnInitDialog() {
    CHeaderDlg::OnInitDialog();
    EditSystemMenu();

    HINSTANCE instance = GetModuleHandleA(nullptr);
    m_accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));

    if (HWND place = GetDlgItem(IDC_TOOLBAR_PLACE)) {
        RECT rect;
        GetWindowRect(place, &rect);
        ::DestroyWindow(place);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rect), 2);
        ::MoveWindow(m_toolbar, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }

    SetIconsAndFonts(Dpi());
    m_optionsLink.SetActionText(LoadResourceText(IDS_OPTIONS_LINK_ACTION));
    // The links sit on the banner: fill behind them with its ground colour.
    m_feedbackLink.m_backColor = m_optionsLink.m_backColor = CHeaderDlg::kGroundColor;
    m_toolbar.SetFont(GetFont());
    // After the font, which measures the buttons again.
    SetToolBarScale(m_toolbar, Dpi());

    m_status.Attach(m_hwnd);
    FillFormatSelector(m_selector, m_selectorImages, m_format);
    m_jobs.SetUp(m_stateImages, m_headerImages);
    UpdateKeepOnTop();
    if (m_startupPaths) TakeInCommandLine();
    SetFeedbackLink();
    // The links come first in the tab order, as they come first on screen,
    // but the window opens on the list, where Enter still means Convert.
    ::SetFocus(m_jobs.Control());
    return FALSE;
}

void CMainDlg::TakeInCommandLine() {
    bool autoStart = m_settings.Options().autoStart != 0;
    bool withSubfolders = KeyDown(VK_CONTROL);
    for (const std::string& path : *m_startupPaths) {
        const uint32_t attributes = NativeFileSystem().GetAttributes(path.c_str());
        if (attributes == kInvalidAttributes) continue;
        if (attributes & kAttrDirectory) {
            m_jobs.ExpandFolder(path.c_str(), m_settings.Options().defaultFilter.c_str(), withSubfolders,
                                m_settings.Options().skipIgnored);
            autoStart = false;
        } else {
            m_jobs.AddFile(path.c_str());
        }
    }
    BringWindowToTop(m_hwnd);
    if (autoStart) StartRun();
}

void CMainDlg::SetFeedbackLink() {
    srand(static_cast<unsigned>(time(nullptr)));
    std::string prompt = LoadResourceText(IDS_FEEDBACK_FIRST + rand() % IDS_FEEDBACK_COUNT);
    std::string pattern = LoadResourceText(IDS_MAILTO);
    char target[512];
    std::snprintf(target, sizeof(target), pattern.c_str(), kSupportAddress);
    m_feedbackLink.SetLink(target, kSupportAddress, prompt.c_str());
}

void CMainDlg::UpdateKeepOnTop() {
    DDX_Check(true, IDC_KEEP_ON_TOP, m_keepOnTop);
    SetWindowPos(m_hwnd, m_keepOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// ---- enabling and dispatch ----

bool CMainDlg::IsCommandEnabled(UINT id) {
    const int count = m_jobs.Model().Count();
    const bool running = m_run.IsRunning();
    CSortListCtrl& list = m_jobs.Control();
    switch (id) {
        case ID_EDIT_ADD_FILES:
        case ID_EDIT_ADD_FOLDER:
        case ID_MAIN_OPTIONS:
        case ID_MAIN_ABOUT:
            return true;
        case ID_EDIT_DELETE:
            return !running && list.m_hwnd && list.GetSelectedCount() > 0;
        case ID_EDIT_OPEN:
            return list.m_hwnd && list.GetSelectedCount() > 0;
        case ID_EDIT_CLEAR:
            return !running && count > 0;
        case IDC_CONVERT:
            return count > 0;
        case ID_EDIT_CHECK:
            return !running && count > 0;
        case ID_FORMAT_WINDOWS:
        case ID_FORMAT_MAC:
        case ID_FORMAT_UNIX:
        case ID_FORMAT_PROJECT:
            return !running;
        default:
            return true;
    }
}

bool CMainDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_accelerators) {
        if (TranslateAcceleratorA(m_hwnd, m_accelerators, msg)) return true;
    }
    return CHeaderDlg::PreTranslateMessage(msg);
}

bool CMainDlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
        case ID_EDIT_DELETE:
            if (CanRunCommand(id)) m_jobs.DeleteSelected();
            return true;
        case ID_EDIT_CLEAR:
            if (CanRunCommand(id)) m_jobs.Clear();
            return true;
        case ID_EDIT_OPEN:
            OpenSelected();
            return true;
        case IDC_CONVERT:
            if (code == BN_CLICKED) StartRun();
            return true;
        case ID_EDIT_CHECK:
            if (CanRunCommand(id)) StartRun(true);
            return true;
        case IDC_STOP:
            if (code == BN_CLICKED) m_run.RequestStop();
            return true;
        case IDC_KEEP_ON_TOP:
            if (code == BN_CLICKED) UpdateKeepOnTop();
            return true;
        case IDC_CLOSE_WHEN_DONE:
            if (code == BN_CLICKED) DDX_Check(true, IDC_CLOSE_WHEN_DONE, m_closeWhenDone);
            return true;
        case ID_FORMAT_WINDOWS:
        case ID_FORMAT_MAC:
        case ID_FORMAT_UNIX:
            if (!m_run.IsRunning()) m_selector.SetCurSel(static_cast<int>(id - ID_FORMAT_WINDOWS));
            return true;
        case ID_FORMAT_PROJECT:
            if (!m_run.IsRunning()) m_selector.SetCurSel(static_cast<int>(LineEndingFormat::Project));
            return true;
        case ID_HELP:
            ShellExecuteA(m_hwnd, "Open", kProductPage, nullptr, nullptr, SW_SHOWNORMAL);
            return true;
        case ID_MAIN_ABOUT: {
            CAboutDlg about(m_resources, m_hwnd);
            about.DoModal();
            return true;
        }
        case ID_EDIT_ADD_FILES:
            OnAddFiles();
            return true;
        case ID_EDIT_ADD_FOLDER:
            OnAddFolder();
            return true;
        case ID_MAIN_OPTIONS: {
            COptionsDlg dialog(m_settings, m_store, m_hwnd);
            dialog.DoModal();
            return true;
        }
        default:
            (void)control;
            return false;
    }
}

bool CMainDlg::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (id != IDC_JOB_LIST) return false;
    if (header->code == NM_DBLCLK) {
        if (m_jobs.Control().GetFirstSelected() >= 0) OpenSelected();
        result = 0;
        return true;
    }
    return m_jobs.OnNotify(header, result);
}

bool CMainDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_CREATE:
            result = DefProc(msg, wp, lp);
            if (result != -1 && !OnCreate()) result = -1;
            return true;
        case WM_PAINT:
            if (IsIconic(m_hwnd)) {
                CPaintDC dc(m_hwnd);
                SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
                RECT rect;
                GetClientRect(m_hwnd, &rect);
                int x = (rect.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
                int y = (rect.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
                DrawIcon(dc, x, y, m_largeIcon.Get());
                result = 0;
                return true;
            }
            break;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(m_largeIcon.Get());
            return true;
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wp), POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            result = 0;
            return true;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wp));
            result = DefProc(msg, wp, lp);
            return true;
        case WM_DPICHANGED:
            // Moved to a monitor of another scale: the system rescales the
            // dialog's layout and fonts first, then the pictures, our own
            // fonts and pixel measures are made for it, at the place the
            // system suggests.
            result = DefProc(msg, wp, lp);
            OnDpiChanged(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return true;
        case WM_HELP:
            if (!KeyDown(VK_SHIFT) && !KeyDown(VK_CONTROL) && !KeyDown(VK_MENU))
                SendMessage(WM_COMMAND, ID_HELP, 0);
            result = TRUE;
            return true;
        case WM_DESTROY: {
            m_run.Shutdown();
            m_settings.Last().format = m_format;
            m_settings.Options().autoClose = m_closeWhenDone;
            m_settings.Options().alwaysOnTop = m_keepOnTop;
            break;
        }
        default:
            break;
    }
    return CHeaderDlg::OnMessage(msg, wp, lp, result);
}

void CMainDlg::OnOK() {
    // Enter with Convert disabled arrives as IDOK: nothing to do then.
}

void CMainDlg::OnCancel() {
    if (m_run.HasWorker()) {
        m_run.RequestClose();
        return;
    }
    EndDialog(IDCANCEL);
}

void CMainDlg::OnContextMenu(HWND wnd, POINT point) {
    if (point.x == -1 && point.y == -1) {
        point = POINT{0, 0};
        ClientToScreen(m_hwnd, &point);
        point.x += 5;
        point.y += 5;
    }
    CMenuHandle menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
    if (!menu) return;
    HMENU popup;
    if (wnd == m_jobs.Control().m_hwnd) {
        popup = GetSubMenu(menu, 1);
        if (!popup) return;
        // Greying comes from WM_INITMENUPOPUP, as for every menu.
        SetMenuDefaultItem(popup, ID_EDIT_OPEN, FALSE);
    } else {
        popup = GetSubMenu(menu, 0);
        if (!popup) return;
    }
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, m_hwnd, nullptr);
}

void CMainDlg::OnDropFiles(HDROP drop) {
    bool withSubfolders = KeyDown(VK_CONTROL);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::wstring wide;
    std::string name;
    for (UINT i = 0; i < count; ++i) {
        // Taken as UTF-16 and whole: a narrow copy would be cut at the
        // buffer, or spelt with look-alikes in a legacy code page.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        wide.assign(length + 1, L'\0');
        if (DragQueryFileW(drop, i, &wide[0], length + 1) != length) continue;
        if (!NarrowName(wide.c_str(), &name)) continue;
        const uint32_t attributes = NativeFileSystem().GetAttributes(name.c_str());
        if (attributes != kInvalidAttributes && (attributes & kAttrDirectory))
            m_jobs.ExpandFolder(name.c_str(), m_settings.Options().defaultFilter.c_str(), withSubfolders,
                                m_settings.Options().skipIgnored);
        else
            m_jobs.AddFile(name.c_str());
    }
    DragFinish(drop);
    SetForegroundWindow(m_hwnd);
}

void CMainDlg::OpenSelected() {
    int index = m_jobs.Control().GetFirstSelected();
    if (index < 0) return;
    std::string path = m_jobs.Model().Path(index);
    std::string program = m_settings.Options().program;
    if (program.empty() || !PathFileExistsA(program.c_str())) program = "notepad.exe";
    // A program need not take a path past MAX_PATH; the file's short form
    // stands in where the volume keeps one that fits.
    std::wstring wide;
    if (!WidenName(path.c_str(), &wide) || wide.size() >= MAX_PATH) {
        const std::string shortPath = ShortPathName(path);
        if (shortPath.empty()) {
            ShowMessage(FormatText(IDS_OPEN_TOO_LONG, program, path));
            return;
        }
        path = shortPath;
    }
    const std::string parameters = "\"" + path + "\"";
    const INT_PTR started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(m_hwnd, nullptr, program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
    // ShellExecute's numbers up to 32 mean nothing was started.
    if (started <= 32) ShowMessage(FormatText(IDS_OPEN_FAILED, program, m_jobs.Model().Path(index)));
}

void CMainDlg::ShowMessage(const std::string& text) {
    MessageBoxA(m_hwnd, text.c_str(), LoadResourceText(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONWARNING);
}

void CMainDlg::OnAddFiles() {
    CFileDialogEx dialog(true, nullptr, nullptr,
                         OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ALLOWMULTISELECT,
                         GetFileTypeFilters().c_str(), nullptr);
    // The last file taken, as it stands: the dialog opens in its folder.
    const std::string initial = m_settings.Last().file;
    dialog.m_ofn.lpstrInitialDir = initial.c_str();
    if (dialog.DoModal() != IDOK) return;
    std::string latest;
    for (const std::string& path : dialog.GetPathNames()) {
        m_jobs.AddFile(path.c_str());
        latest = path;
    }
    if (!latest.empty()) m_settings.Last().file = latest;
}

void CMainDlg::OnAddFolder() {
    CSelectFolderDlg dialog(m_hwnd);
    dialog.m_title = "Add a Folder";
    dialog.m_prompt = "Select a folder to convert";
    dialog.m_filters = GetFileTypeFilters();
    dialog.m_fileTypesText = m_settings.Options().defaultFilter;
    dialog.m_initialFolder = m_settings.Last().folder;
    if (dialog.DoModal() != IDOK) return;
    // OK on a node that is no folder (the computer) adds nothing, and does
    // not make the next dialog forget where the user last was.
    if (dialog.m_folder.empty()) return;
    m_jobs.ExpandFolder(dialog.m_folder.c_str(), dialog.m_fileTypesText.c_str(),
                        dialog.m_includeSubfolders != 0, m_settings.Options().skipIgnored);
    m_settings.Last().folder = dialog.m_folder;
}

// ---- the run ----

void CMainDlg::ShowRunning(bool running) {
    HWND shown = GetDlgItem(running ? IDC_STOP : IDC_CONVERT);
    ::ShowWindow(shown, SW_SHOW);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(shown), TRUE);
    ::ShowWindow(GetDlgItem(running ? IDC_CONVERT : IDC_STOP), SW_HIDE);
    m_selector.EnableWindow(!running);
    m_jobs.SetRunning(running, m_checkRun);
    SetFeedbackLink();
}

void CMainDlg::StartRun(bool check) {
    if (m_run.IsRunning() || !m_hwnd) return;
    m_checkRun = check;
    DDX_CBIndex(true, IDC_FORMAT, m_format);
    DDX_Check(true, IDC_CLOSE_WHEN_DONE, m_closeWhenDone);
    DDX_Check(true, IDC_KEEP_ON_TOP, m_keepOnTop);
    ShowRunning(true);
    // The selector's index is the format's number.
    if (!m_run.Start(static_cast<LineEndingFormat>(m_format), check, RunConverter())) {
        // No thread, no run: back to idle rather than stuck with Stop shown.
        ShowRunning(false);
        m_status.ShowNotStarted();
    }
}

IConverter& CMainDlg::RunConverter() {
    return m_checkRun ? CheckConverter() : FileConverter();
}

void CMainDlg::OnRunFinished(RunStop stop) {
    ShowRunning(false);
    bool fromCommandLine = m_startupPaths != nullptr && m_settings.Options().autoStart;
    // A check is for reading the list: it never closes the dialog.
    if (stop == RunStop::None && !m_checkRun &&
        ((m_closeWhenDone && m_run.Counts().failed == 0) || fromCommandLine))
        PostMessage(WM_CLOSE);
    if (stop == RunStop::Close) EndDialog(IDCANCEL);
}
