#include "ui/dialogs/file_dialog_ex.h"

#include <cstring>

namespace {
// The dialog being run on this thread, for its hook.
thread_local CFileDialogEx* t_running = nullptr;

// The 4.0 block ends with lpTemplateName; later members came with 5.0.
constexpr DWORD kSizeVersion400 =
    static_cast<DWORD>(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName));
constexpr DWORD kSizeVersion500 = static_cast<DWORD>(sizeof(OPENFILENAMEA));
static_assert(sizeof(void*) != 4 || (kSizeVersion400 == 76 && kSizeVersion500 == 88),
              "the 32-bit parameter blocks are 76 and 88 bytes");

// Room for the folder, its separator, the names and the closing empty string
// beyond what the folder and the quoted names take themselves.
constexpr DWORD kSlack = MAX_PATH;
// One path of any length: 32,767 UTF-16 units, at most three UTF-8 bytes each.
constexpr DWORD kPathSize = 3 * 32768;
}  // namespace

CFileDialogEx::CFileDialogEx(bool openMode, const char* defaultExtension, const char* fileName, DWORD flags,
                             const char* filter, HWND parent, DWORD structSize)
    : m_openMode(openMode) {
    if (defaultExtension) m_defaultExtension = defaultExtension;
    if (filter) {
        m_filter = filter;
        for (char& c : m_filter)
            if (c == '|') c = '\0';
    }
    if (structSize == 0) {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof(version);
        GetVersionExA(&version);
        structSize = StructSizeFor(version.dwPlatformId, version.dwMajorVersion);
    }
    m_ofn.lStructSize = structSize;
    m_ofn.hwndOwner = parent;
    m_ofn.hInstance = GetModuleHandleA(nullptr);
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrDefExt = defaultExtension ? m_defaultExtension.c_str() : nullptr;
    m_ofn.Flags = flags | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_EXPLORER;
    m_ofn.lpfnHook = &CFileDialogEx::HookProc;
    SetCapacity((flags & OFN_ALLOWMULTISELECT) ? kSelectionSize : kPathSize);
    if (fileName) lstrcpynA(m_selection.data(), fileName, static_cast<int>(m_ofn.nMaxFile));
}

CFileDialogEx::~CFileDialogEx() = default;

DWORD CFileDialogEx::StructSizeFor(DWORD platformId, DWORD majorVersion) {
    return platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 5 ? kSizeVersion500 : kSizeVersion400;
}

void CFileDialogEx::SetCapacity(DWORD capacity) {
    m_selection.resize(capacity + 2, '\0');
    m_ofn.lpstrFile = m_selection.data();
    m_ofn.nMaxFile = capacity;
}

INT_PTR CFileDialogEx::DoModal() {
    if (!m_ofn.hwndOwner) m_ofn.hwndOwner = GetActiveWindow();
    CFileDialogEx* previous = t_running;
    t_running = this;
    BOOL ok = m_openMode ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    t_running = previous;
    if (m_frame.m_hwnd) m_frame.UnsubclassWindow();
    if (!ok) return IDCANCEL;
    // A result cut off at the end of the buffer must not pass for a whole one.
    if (SplitSelection(m_selection.data(), m_ofn.nMaxFile, m_ofn.nFileOffset).empty()) return IDCANCEL;
    return IDOK;
}

std::string CFileDialogEx::GetPathName() const {
    size_t length = strnlen(m_selection.data(), m_ofn.nMaxFile);
    return std::string(m_selection.data(), length);
}

std::vector<std::string> CFileDialogEx::GetPathNames() const {
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT)) {
        std::string path = GetPathName();
        if (path.empty()) return {};
        return {path};
    }
    return SplitSelection(m_selection.data(), m_ofn.nMaxFile, m_ofn.nFileOffset);
}

std::vector<std::string> CFileDialogEx::SplitSelection(const char* buffer, size_t size, size_t fileOffset) {
    std::vector<std::string> paths;
    if (!buffer || size == 0) return paths;
    size_t first = strnlen(buffer, size);
    if (first == 0 || first == size) return paths;
    std::string folder(buffer, first);
    // A single file comes back as one full path; the bytes after its end may
    // still hold an older, longer content of the buffer.
    if (fileOffset != first + 1) {
        paths.push_back(folder);
        return paths;
    }
    const bool separated = folder.back() == '\\' || folder.back() == '/';
    size_t at = first + 1;
    while (at < size) {
        size_t length = strnlen(buffer + at, size - at);
        if (at + length == size) return {};  // cut short
        if (length == 0) return paths;
        std::string name(buffer + at, length);
        paths.push_back(separated ? folder + name : folder + "\\" + name);
        at += length + 1;
    }
    return {};  // no closing empty string inside the buffer
}

void CFileDialogEx::MakeRoom(HWND dialog) {
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT) || !dialog) return;
    LRESULT folder = ::SendMessageA(dialog, CDM_GETFOLDERPATH, 0, 0);
    LRESULT names = ::SendMessageA(dialog, CDM_GETSPEC, 0, 0);
    if (folder < 0) folder = 0;
    if (names < 0) names = 0;
    // The quoted names are longer than the zero-separated ones they become.
    DWORD needed = static_cast<DWORD>(folder + names) + kSlack;
    if (needed > m_ofn.nMaxFile) SetCapacity(needed);
}

UINT_PTR CALLBACK CFileDialogEx::HookProc(HWND hook, UINT msg, WPARAM, LPARAM lp) {
    CFileDialogEx* self = t_running;
    if (!self) return 0;
    switch (msg) {
        case WM_INITDIALOG:
            // The hook is a child of the system's dialog.
            if (HWND dialog = GetParent(hook)) self->m_frame.SubclassWindow(dialog);
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lp);
            if (header && header->code == CDN_SELCHANGE) self->MakeRoom(GetParent(hook));
            return 0;
        }
        default:
            return 0;
    }
}

bool CFileDialogEx::CFrame::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT&) {
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) m_owner.MakeRoom(m_hwnd);
    return false;
}
