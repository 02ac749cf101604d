#include "tests/ui_main/ui_test_support.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>

TestApp& TestApp::Get() {
    static TestApp* app = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
        InitCommonControlsEx(&controls);
        // As the application object does: the shell's objects need it.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        auto* a = new TestApp();
        a->m_resources.Init();
        return a;
    }();
    return *app;
}

void ResetSettings() {
    CAppSettings& s = TestApp::Get().Settings();
    s.Last().file.clear();
    s.Last().folder.clear();
    s.Options().defaultFilter = "*.*";
    s.Options().program.clear();
    s.Last().format = 0;
    s.SetConversionOptions(ConvertOptions());
    s.Options().autoStart = true;
    s.Options().autoClose = false;
    s.Options().alwaysOnTop = false;
    s.Options().skipIgnored = true;
}

void ChangeConversionFlags(const std::function<void(ConvertOptions&)>& change) {
    CAppSettings& s = TestApp::Get().Settings();
    ConvertOptions options = s.ConversionOptions();
    change(options);
    s.SetConversionOptions(options);
}

TempFolder::TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    static int counter = 0;
    char name[MAX_PATH];
    std::snprintf(name, sizeof(name), "%spwui%lu_%d", base, GetCurrentProcessId(), ++counter);
    CreateDirectoryA(name, nullptr);
    m_path = name;
}

TempFolder::~TempFolder() {
    std::string from = m_path + std::string(1, '\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

namespace {
// Through the UTF-16 calls: the runtime's file functions cut a UTF-8 name at
// MAX_PATH bytes.
std::wstring Wide(const std::string& path) {
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return wide;
}
}  // namespace

std::string TempFolder::Write(const std::string& relative, const std::string& content) {
    std::string path = m_path + "\\" + relative;
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

std::string TempFolder::MakeFolder(const std::string& relative) {
    std::string path = m_path + "\\" + relative;
    CreateDirectoryW(Wide(path).c_str(), nullptr);
    return path;
}

std::string TempFolder::Read(const std::string& path) {
    HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) content.append(buffer, n);
    CloseHandle(file);
    return content;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths) size += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    char* out = reinterpret_cast<char*>(header + 1);
    for (const std::string& p : paths) {
        memcpy(out, p.c_str(), p.size() + 1);
        out += p.size() + 1;
    }
    *out = '\0';
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

HDROP MakeWideDrop(const std::vector<std::string>& paths) {
    std::vector<std::wstring> wide;
    size_t units = 1;
    for (const std::string& p : paths) {
        const int n = MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, &w[0], n);
        units += static_cast<size_t>(n);
        wide.push_back(w);  // with its terminating zero
    }
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& w : wide) {
        memcpy(out, w.data(), w.size() * sizeof(wchar_t));
        out += w.size();
    }
    *out = L'\0';
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void SetKey(int key, bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[key] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

std::string ItemText(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

namespace {
// The dialog's own child that holds or contains the window.
HWND DialogChild(HWND dialog, HWND wnd) {
    while (wnd && GetParent(wnd) != dialog) wnd = GetParent(wnd);
    return wnd;
}

std::string Describe(HWND wnd) {
    char cls[64] = "", text[64] = "";
    GetClassNameA(wnd, cls, sizeof(cls));
    GetWindowTextA(wnd, text, sizeof(text));
    return std::string(cls) + " " + std::to_string(GetDlgCtrlID(wnd)) + " \"" + text + "\"";
}

RECT PlaceIn(HWND dialog, HWND wnd) {
    RECT rect;
    GetWindowRect(wnd, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
}  // namespace

std::vector<HWND> WalkTabOrder(HWND dialog) {
    ShowWindow(dialog, SW_SHOW);
    SetKey(VK_SHIFT, false);
    std::vector<HWND> walk;
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!first) return walk;
    SetFocus(first);
    for (int i = 0; i < 64; ++i) {
        HWND at = DialogChild(dialog, GetFocus());
        if (!at || (i > 0 && at == first)) break;
        walk.push_back(at);
        MSG msg{GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, GetTickCount(), {0, 0}};
        IsDialogMessageA(dialog, &msg);
    }
    return walk;
}

std::string TabOrderFault(HWND dialog, const std::vector<HWND>& walk) {
    for (size_t i = 1; i < walk.size(); ++i) {
        const RECT a = PlaceIn(dialog, walk[i - 1]), b = PlaceIn(dialog, walk[i]);
        const bool sameRow = b.top < a.bottom && a.top < b.bottom;
        const bool rightward = sameRow && b.left >= a.right;
        const bool downward = b.top >= a.bottom;
        if (!rightward && !downward)
            return "Tab goes from " + Describe(walk[i - 1]) + " back to " + Describe(walk[i]);
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if ((style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) != (WS_TABSTOP | WS_VISIBLE)) continue;
        const auto n = std::count(walk.begin(), walk.end(), child);
        if (n != 1) return Describe(child) + " is visited " + std::to_string(n) + " times";
    }
    return std::string();
}

IConverter& TestMainDlg::RunConverter() {
    IConverter& base = converter ? *converter : CMainDlg::RunConverter();
    if (!onConvert) return base;
    m_hooked.dlg = this;
    m_hooked.base = &base;
    return m_hooked;
}

ConvertResult TestMainDlg::HookedConverter::Convert(const std::string& path, const ConvertOptions& options) {
    dlg->onConvert(*dlg, path);
    return base->Convert(path, options);
}

void TestMainDlg::OnMarkChanged(int index, EntryMark mark) {
    if (onMark) onMark(*this, index, mark);
}

EntryMark StateImage(CListCtrl& list, int item) {
    return static_cast<EntryMark>((list.GetItemState(item, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
}
