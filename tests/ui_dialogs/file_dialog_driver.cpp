#include "tests/ui_dialogs/file_dialog_driver.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

namespace {
// The look-in combo box marks the system's file dialog among the dialogs
// of the thread.
struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK FindFileDialog(HWND wnd, LPARAM lp) {
    if (IsWindowVisible(wnd) && GetDlgItem(wnd, cmb2) && GetDlgItem(wnd, IDOK)) {
        reinterpret_cast<Search*>(lp)->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForDialog(DWORD thread, DWORD timeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50)) {
        Search search;
        EnumThreadWindows(thread, &FindFileDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
    }
    return nullptr;
}

HWND FileNameControl(HWND dialog) {
    HWND field = GetDlgItem(dialog, cmb13);
    return field ? field : GetDlgItem(dialog, edt1);
}

BOOL CALLBACK FindListView(HWND wnd, LPARAM lp) {
    char name[64] = "";
    GetClassNameA(wnd, name, sizeof(name));
    if (lstrcmpiA(name, WC_LISTVIEWA) == 0) {
        *reinterpret_cast<HWND*>(lp) = wnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

std::string QuotedNames(const std::initializer_list<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "\"" : " \"") + name + "\"";
    return text;
}

FileDialogDriver::FileDialogDriver(std::function<void(HWND dialog)> action) : m_owner(GetCurrentThreadId()) {
    m_thread = std::thread([this, action] { Run(action); });
}

FileDialogDriver::~FileDialogDriver() {
    if (m_thread.joinable()) m_thread.join();
}

const FileDialogView& FileDialogDriver::Finish() {
    if (m_thread.joinable()) m_thread.join();
    return m_view;
}

void FileDialogDriver::Run(std::function<void(HWND)> action) {
    HWND dialog = WaitForDialog(m_owner, 20000);
    if (!dialog) return;
    // The dialog browses to its first folder while it initialises.
    Sleep(300);
    m_view.found = true;
    char folder[MAX_PATH] = "";
    SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof(folder), reinterpret_cast<LPARAM>(folder));
    m_view.folder = folder;
    m_view.fileName = FileNameField(dialog);
    HWND filter = GetDlgItem(dialog, cmb1);
    m_view.filterIndex = static_cast<int>(SendMessageA(filter, CB_GETCURSEL, 0, 0));
    m_view.filterCount = static_cast<int>(SendMessageA(filter, CB_GETCOUNT, 0, 0));
    char text[256] = "";
    if (m_view.filterIndex >= 0)
        SendMessageA(filter, CB_GETLBTEXT, m_view.filterIndex, reinterpret_cast<LPARAM>(text));
    m_view.filterText = text;
    action(dialog);
    for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 10000;) Sleep(50);
    if (IsWindow(dialog)) Press(dialog, IDCANCEL);
}

void FileDialogDriver::TypeFileName(HWND dialog, const std::string& text) {
    SendMessageA(FileNameControl(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string FileDialogDriver::FileNameField(HWND dialog) {
    HWND field = FileNameControl(dialog);
    int length = static_cast<int>(SendMessageA(field, WM_GETTEXTLENGTH, 0, 0));
    std::string text(length + 1, '\0');
    SendMessageA(field, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(strlen(text.c_str()));
    return text;
}

void FileDialogDriver::Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool FileDialogDriver::SelectAllListed(HWND dialog) {
    HWND list = nullptr;
    EnumChildWindows(dialog, &FindListView, reinterpret_cast<LPARAM>(&list));
    if (!list) return false;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    // The dialog writes the selection into its file-name field.
    Sleep(300);
    return true;
}
