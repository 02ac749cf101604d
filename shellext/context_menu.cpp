#include "shellext/context_menu.h"

#include "core/platform/win32_handles.h"
#include "core/platform/win32_text.h"
#include "res/product_info.h"
#include "shellext/command_text.h"
#include "shellext/module.h"
#include "shellext/resource.h"

#include <shlwapi.h>
#include <wrl/client.h>

#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace {

struct MenuCommand {
    const char* text;
    const char* formatSwitch;
    const char* help;
};

const MenuCommand kCommands[] = {
    {"&Windows/Dos", "/w", "Convert text file line endings to Windows format(CRLF)"},
    {"&Macintosh", "/m", "Convert text file line endings to Macintosh format(CR)"},
    {"&Unix/Linux", "/u", "Convert text file line endings to Unix format(LF)"},
    {"As the &project says", "/p", "Convert text file line endings as .editorconfig and .gitattributes say"},
};
constexpr UINT kCommandCount = static_cast<UINT>(std::size(kCommands));
const char kSubmenuText[] = "Convert EOL to";

// DragQueryFile's index that asks for the number of files instead of a name.
constexpr UINT kQueryFileCount = 0xFFFFFFFF;

const WCHAR kInstallValue[] = L"InstallDir";

// The paths and the command line are held as UTF-8, whatever the file
// manager's code page: the program is started with a UTF-16 line, so every
// name arrives intact. Invalid UTF-16 (a lone surrogate) is refused.

// Reads "InstallDir" into `folder` as UTF-8; false when the key or value is
// missing, empty, not a string, or kProgramPathSize bytes or longer.
bool ReadInstallDir(std::string* folder) {
    CKeyHandle key;
    if (OpenRegistryKey(HKEY_CURRENT_USER, PARDWELL_REGISTRY_KEY, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    WCHAR wide[kProgramPathSize];
    // The size is asked first, so the read itself never meets a value larger
    // than the buffer.
    DWORD type = 0;
    DWORD bytes = 0;
    LONG rc = RegQueryValueExW(key.Get(), kInstallValue, nullptr, &type, nullptr, &bytes);
    if (rc == ERROR_SUCCESS && bytes > sizeof wide - sizeof(WCHAR)) rc = ERROR_MORE_DATA;
    if (rc == ERROR_SUCCESS) {
        bytes = sizeof wide - sizeof(WCHAR);
        rc =
            RegQueryValueExW(key.Get(), kInstallValue, nullptr, &type, reinterpret_cast<BYTE*>(wide), &bytes);
    }
    if (rc != ERROR_SUCCESS || bytes < sizeof(WCHAR) || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // The stored text may or may not carry its terminating zero.
    wide[bytes / sizeof(WCHAR)] = L'\0';
    if (!NarrowName(wide, folder, CP_UTF8)) return false;
    return !folder->empty() && folder->size() < kProgramPathSize;
}

// The common shape of the IDispatch calls: only IID_NULL is known, and
// `call` gets the module's type information for the length of the call.
template <typename Call>
HRESULT WithTypeInfo(REFIID riid, Call call) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    const HRESULT hr = gorsemere::GetContextMenuTypeInfo(info.GetAddressOf());
    if (FAILED(hr)) return hr;
    return call(info.Get());
}

}  // namespace

HRESULT CGorsemereContextMenu::Create(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    CGorsemereContextMenu* object = new (std::nothrow) CGorsemereContextMenu(outer);
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->m_inner.QueryInterface(riid, ppv);
    object->m_inner.Release();
    return hr;
}

CGorsemereContextMenu::CGorsemereContextMenu(IUnknown* outer) : m_outer(outer ? outer : &m_inner) {
    m_inner.m_owner = this;
    gorsemere::ModuleAddRef();
}

CGorsemereContextMenu::~CGorsemereContextMenu() {
    gorsemere::ModuleRelease();
}

STDMETHODIMP CGorsemereContextMenu::Inner::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    // IUnknown is this inner identity, never the outer object's; the table
    // serves the rest, and its AddRef goes to whoever controls the object.
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    static const QITAB kInterfaces[] = {
        QITABENTMULTI2(CGorsemereContextMenu, IID_IGorsemereContextMenu, IGorsemereContextMenu),
        QITABENTMULTI2(CGorsemereContextMenu, IID_IDispatch, IGorsemereContextMenu),
        QITABENTMULTI2(CGorsemereContextMenu, IID_IShellExtInit, IShellExtInit),
        QITABENTMULTI2(CGorsemereContextMenu, IID_IContextMenu, IContextMenu),
        {nullptr, 0},
    };
    return QISearch(m_owner, kInterfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) CGorsemereContextMenu::Inner::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_owner->m_refs));
}

STDMETHODIMP_(ULONG) CGorsemereContextMenu::Inner::Release() {
    const LONG left = InterlockedDecrement(&m_owner->m_refs);
    if (left == 0) delete m_owner;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CGorsemereContextMenu::QueryInterface(REFIID riid, void** ppv) {
    return m_outer->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CGorsemereContextMenu::AddRef() {
    return m_outer->AddRef();
}

STDMETHODIMP_(ULONG) CGorsemereContextMenu::Release() {
    return m_outer->Release();
}

STDMETHODIMP CGorsemereContextMenu::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CGorsemereContextMenu::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return gorsemere::GetContextMenuTypeInfo(info);
}

STDMETHODIMP CGorsemereContextMenu::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                  DISPID* ids) {
    return WithTypeInfo(riid, [&](ITypeInfo* info) { return DispGetIDsOfNames(info, names, count, ids); });
}

STDMETHODIMP CGorsemereContextMenu::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    return WithTypeInfo(riid, [&](ITypeInfo* info) {
        return DispInvoke(static_cast<IGorsemereContextMenu*>(this), info, id, flags, params, result,
                          excepInfo, argErr);
    });
}

HBITMAP CGorsemereContextMenu::LoadMenuBitmap() {
    // Menus are drawn at the system's scale; each has its picture drawn for
    // it, 13 pixels at 100 percent, "P201_<size>" for the larger ones.
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    const int size = dpi >= 192 ? 32 : dpi >= 144 ? 24 : dpi >= 120 ? 20 : 16;
    HINSTANCE module = gorsemere::ModuleInstance();
    char name[16];
    wsprintfA(name, "P%d_%d", IDB_MENU_BITMAP, size);
    HBITMAP sized = size == 16 ? nullptr : LoadBitmapA(module, name);
    return sized ? sized : LoadBitmapA(module, MAKEINTRESOURCEA(IDB_MENU_BITMAP));
}

STDMETHODIMP CGorsemereContextMenu::Initialize(LPCITEMIDLIST, IDataObject* data, HKEY) {
    if (!m_bitmap) m_bitmap.Reset(LoadMenuBitmap());
    if (!data) return E_INVALIDARG;

    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) {
        ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }

    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, kQueryFileCount, nullptr, 0);
    HRESULT hr = m_selection.Reset(count) ? ReadSelection(drop, count) : E_OUTOFMEMORY;
    if (FAILED(hr)) m_selection.Clear();
    ReleaseStgMedium(&medium);
    return hr;
}

HRESULT CGorsemereContextMenu::ReadSelection(HDROP drop, UINT count) {
    try {
        // Each path is read whole, at whatever length: a path cut short
        // would name some other file.
        std::wstring wide;
        std::string path;
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileW(drop, i, nullptr, 0);
            if (length == 0) return E_INVALIDARG;
            wide.assign(length + 1, L'\0');
            if (DragQueryFileW(drop, i, &wide[0], length + 1) != length) return E_INVALIDARG;
            wide.resize(length);
            if (!NarrowName(wide.c_str(), &path, CP_UTF8)) return E_INVALIDARG;
            if (!m_selection.Append(path.c_str())) return E_OUTOFMEMORY;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CGorsemereContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT idCmdFirst, UINT idCmdLast,
                                                     UINT flags) {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    // Ids past the caller's range belong to other handlers; picking one of
    // ours would then run theirs.
    if (idCmdFirst > idCmdLast || idCmdLast - idCmdFirst < kCommandCount - 1)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);

    CMenuHandle popup(CreatePopupMenu());
    if (!popup) return HRESULT_FROM_WIN32(GetLastError());
    for (UINT i = 0; i < kCommandCount; ++i) {
        if (!InsertMenuA(popup.Get(), i, MF_BYPOSITION | MF_STRING, idCmdFirst + i, kCommands[i].text))
            return E_FAIL;
    }
    if (!InsertMenuA(menu, index, MF_BYPOSITION | MF_POPUP | MF_STRING,
                     reinterpret_cast<UINT_PTR>(popup.Get()), kSubmenuText))
        return E_FAIL;
    // The file manager's menu owns the submenu from here on.
    popup.Release();
    if (m_bitmap) SetMenuItemBitmaps(menu, index, MF_BYPOSITION, m_bitmap.Get(), m_bitmap.Get());
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, kCommandCount);
}

STDMETHODIMP CGorsemereContextMenu::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, LPSTR name,
                                                     UINT cchMax) {
    if (idCmd >= kCommandCount) return E_INVALIDARG;
    switch (type) {
        case GCS_HELPTEXTA:
        case GCS_HELPTEXTW: {
            // Nothing can be written, not even the terminating zero.
            if (!name || cchMax == 0) return E_INVALIDARG;
            const char* help = kCommands[idCmd].help;
            if (type == GCS_HELPTEXTA) {
                lstrcpynA(name, help, static_cast<int>(cchMax));
                const UINT used = static_cast<UINT>(lstrlenA(name));
                ZeroMemory(name + used, cchMax - used);
            } else {
                std::wstring wide;
                try {
                    if (!WidenName(help, &wide)) return E_FAIL;
                } catch (const std::bad_alloc&) {
                    return E_OUTOFMEMORY;
                }
                WCHAR* out = reinterpret_cast<WCHAR*>(name);
                lstrcpynW(out, wide.c_str(), static_cast<int>(cchMax));
                const UINT used = static_cast<UINT>(lstrlenW(out));
                ZeroMemory(out + used, (cchMax - used) * sizeof(WCHAR));
            }
            return S_OK;
        }
        case GCS_VALIDATEA:
        case GCS_VALIDATEW:
            return S_OK;
        default:
            return E_INVALIDARG;
    }
}

STDMETHODIMP CGorsemereContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info || info->cbSize < sizeof(CMINVOKECOMMANDINFO)) return E_INVALIDARG;
    // The whole pointer decides: a 64-bit string verb can have zero bits 16 to 31.
    if (!IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
    const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
    if (offset >= kCommandCount) return E_INVALIDARG;

    try {
        // Large buffers live on the heap: the file manager's thread stack is not ours.
        std::vector<char> commandText(kCommandTextSize);
        std::wstring wideText;
        std::string folder;
        char program[kProgramPathSize];
        std::wstring wideProgram;
        if (!BuildCommandText(kCommands[offset].formatSwitch, m_selection.Items(), m_selection.Count(),
                              commandText.data(), commandText.size()) ||
            !WidenName(commandText.data(), &wideText, CP_UTF8))
            return E_INVALIDARG;
        if (!ReadInstallDir(&folder)) return E_INVALIDARG;
        if (!BuildProgramPath(folder.c_str(), folder.size(), program, sizeof program)) return E_INVALIDARG;
        // No program path is that long; the system is not asked.
        if (!WidenName(program, &wideProgram, CP_UTF8) || wideProgram.size() >= MAX_PATH) return E_INVALIDARG;
        // A selection that does not fit one command line is refused whole,
        // never cut. CreateProcess, not ShellExecute: only its limit is
        // documented (32,767 units), and the shell's was once 2,084.
        if (!FitsCommandLine(wideProgram.size(), wideText.size())) return E_INVALIDARG;
        std::wstring line = L"\"" + wideProgram + L"\" " + wideText;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOW;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(wideProgram.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            // Nothing was done with a selection the program never got: it stays for another try.
            const DWORD error = GetLastError();
            return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        m_selection.Clear();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
