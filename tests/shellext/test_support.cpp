#include "test_support.h"

#include "core/platform/win32_handles.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstring>

const char kClsidText[] = "{652C06C2-4FC0-42E0-9792-36126E42C712}";
const char kLibidText[] = "{B0B1A08D-4DED-4244-B82F-674C87941331}";

std::string WindowsPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
}

std::string GorsemerePath() {
    return WindowsPath(GORSEMERE_DLL);
}

std::string StandinPath() {
    return WindowsPath(STANDIN_EXE);
}

DWORD RunRegsvr32(const char* args, const std::string& path) {
    std::string command = std::string("regsvr32.exe ") + args + " \"" + path + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void EnsureRegistered() {
    static bool done = false;
    if (!done) {
        ASSERT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
        done = true;
    }
}

bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
    CKeyHandle key;
    return OpenRegistryKey(root, path.c_str(), KEY_READ | view, &key) == ERROR_SUCCESS;
}

std::string ReadString(HKEY root, const std::string& path, const char* name) {
    CKeyHandle key;
    if (OpenRegistryKey(root, path.c_str(), KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
    char buffer[2048];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(key.Get(), *name ? name : nullptr, nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return "<missing>";
    buffer[size] = '\0';
    return buffer;
}

bool WriteString(HKEY root, const std::string& path, const char* name, const std::string& value) {
    CKeyHandle key;
    if (CreateRegistryKey(root, path.c_str(), KEY_WRITE, &key) != ERROR_SUCCESS) return false;
    return RegSetValueExA(key.Get(), *name ? name : nullptr, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteValue(HKEY root, const std::string& path, const char* name) {
    CKeyHandle key;
    if (OpenRegistryKey(root, path.c_str(), KEY_WRITE, &key) != ERROR_SUCCESS) return false;
    return RegDeleteValueA(key.Get(), name) == ERROR_SUCCESS;
}

namespace {
const char kAppKey[] = "Software\\Quillfen\\Pardwell";
}

ScopedInstallDir::ScopedInstallDir(const char* value) {
    m_oldValue = ReadString(HKEY_CURRENT_USER, kAppKey, "InstallDir");
    m_hadValue = m_oldValue != "<missing>";
    Set(value);
}

ScopedInstallDir::~ScopedInstallDir() {
    if (m_hadValue)
        WriteString(HKEY_CURRENT_USER, kAppKey, "InstallDir", m_oldValue);
    else
        DeleteValue(HKEY_CURRENT_USER, kAppKey, "InstallDir");
}

void ScopedInstallDir::Set(const char* value) {
    if (value)
        EXPECT_TRUE(WriteString(HKEY_CURRENT_USER, kAppKey, "InstallDir", value));
    else
        DeleteValue(HKEY_CURRENT_USER, kAppKey, "InstallDir");
}

namespace {

class CTestDataObject : public IDataObject {
public:
    CTestDataObject(const std::vector<std::string>& paths, bool hasDrop)
        : m_paths(paths), m_hasDrop(hasDrop) {}
    explicit CTestDataObject(const std::vector<std::wstring>& widePaths)
        : m_widePaths(widePaths), m_hasDrop(true), m_wide(true) {}
    virtual ~CTestDataObject() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        const HRESULT hr = QueryGetData(format);
        if (FAILED(hr)) return hr;
        size_t bytes = sizeof(DROPFILES) + sizeof(wchar_t);
        for (const auto& p : m_paths) bytes += p.size() + 1;
        for (const auto& p : m_widePaths) bytes += (p.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (!memory) return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = m_wide;
        char* p = reinterpret_cast<char*>(drop + 1);
        for (const auto& path : m_paths) {
            std::memcpy(p, path.c_str(), path.size() + 1);
            p += path.size() + 1;
        }
        for (const auto& path : m_widePaths) {
            std::memcpy(p, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
            p += (path.size() + 1) * sizeof(wchar_t);
        }
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!m_hasDrop || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    LONG m_refs = 1;
    std::vector<std::string> m_paths;
    std::vector<std::wstring> m_widePaths;
    bool m_hasDrop;
    BOOL m_wide = FALSE;
};

}  // namespace

IDataObject* CreateHDropDataObject(const std::vector<std::string>& paths) {
    return new CTestDataObject(paths, true);
}

IDataObject* CreateWideHDropDataObject(const std::vector<std::wstring>& paths) {
    return new CTestDataObject(paths);
}

IDataObject* CreateEmptyDataObject() {
    return new CTestDataObject({}, false);
}

bool WaitForRecord(const std::string& recordPath, std::string& commandLine, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        HANDLE file = CreateFileA(recordPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::vector<char> data(65536);
            DWORD got = 0;
            ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
            CloseHandle(file);
            commandLine.assign(data.data(), got);
            return true;
        }
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}
