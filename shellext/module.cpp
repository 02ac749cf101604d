#include "shellext/module.h"

#include "gorsemere_idl.h"
#include "shellext/context_menu.h"
#include "core/platform/win32_handles.h"
#include "core/platform/win32_text.h"
#include "shellext/registrar.h"
#include "shellext/resource.h"

#include <olectl.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <iterator>
#include <new>
#include <string>

namespace gorsemere {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;
CRITICAL_SECTION g_typeInfoLock;
Microsoft::WRL::ComPtr<ITypeInfo> g_typeInfo;

class CClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        // IUnknown is the first entry's interface.
        static const QITAB kInterfaces[] = {
            QITABENTMULTI2(CClassFactory, IID_IClassFactory, IClassFactory),
            {nullptr, 0},
        };
        return QISearch(this, kInterfaces, riid, ppv);
    }
    // One static factory for the module's life; LockServer, not references
    // to the factory, keeps the library loaded.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        return CGorsemereContextMenu::Create(outer, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }
};

CClassFactory g_factory;

// The type library's version, as gorsemere.idl declares it.
constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;

HRESULT LoadTypeInfo(ITypeInfo** info) {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(LIBID_GORSEMERELib, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL,
                                library.GetAddressOf());
    if (FAILED(hr)) {
        WCHAR widePath[MAX_PATH];
        std::string path;
        if (!ModuleFileName(widePath, path)) return hr;
        hr = LoadTypeLibEx(widePath, REGKIND_NONE, library.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
    }
    return library->GetTypeInfoOfGuid(IID_IGorsemereContextMenu, info);
}

// The x86 and x64 builds share one type library entry (the TypeLib key is
// not redirected on 64-bit Windows); each owns only its system kind below it.
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr char kSysKindKey[] = "win64";
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr char kSysKindKey[] = "win32";
#endif

bool TypeLibRegistered() {
    WCHAR libid[64];
    if (!StringFromGUID2(LIBID_GORSEMERELib, libid, static_cast<int>(std::size(libid)))) return false;
    char key[112];
    // The version and the locale name their keys in hexadecimal.
    wsprintfA(key, "TypeLib\\%ls\\%x.%x\\%x\\%s", libid, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL,
              kSysKindKey);
    CKeyHandle opened;
    return OpenRegistryKey(HKEY_CLASSES_ROOT, key, KEY_READ, &opened) == ERROR_SUCCESS;
}

HRESULT RegisterOrUnregister(bool install) {
    WCHAR widePath[MAX_PATH];
    try {
        std::string path;
        if (!ModuleFileName(widePath, path)) return E_UNEXPECTED;
        std::string script;
        if (!LoadRegistrarScript(g_instance, IDR_GORSEMERE, script)) return E_UNEXPECTED;
        HRESULT hr = RunRegistrarScript(script, path.c_str(), install);
        if (install) {
            if (FAILED(hr)) return hr;
            Microsoft::WRL::ComPtr<ITypeLib> library;
            hr = LoadTypeLibEx(widePath, REGKIND_NONE, library.GetAddressOf());
            if (FAILED(hr)) return SELFREG_E_TYPELIB;
            hr = RegisterTypeLib(library.Get(), widePath, nullptr);
            return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
        }
        // The type library goes even when part of the script could not be
        // undone. One that is not registered is already gone: removing twice
        // is no error.
        HRESULT typeLib = S_OK;
        if (TypeLibRegistered())
            typeLib =
                UnRegisterTypeLib(LIBID_GORSEMERELib, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL, kSysKind);
        if (FAILED(hr)) return hr;
        return FAILED(typeLib) ? SELFREG_E_TYPELIB : S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Registration for the current user alone: HKEY_CLASSES_ROOT of this
// process is pointed at HKCU\Software\Classes for the time of it. A user
// without administrator rights cannot write the machine's classes, which is
// where HKEY_CLASSES_ROOT writes otherwise go.
HRESULT RegisterOrUnregisterForUser(bool install) {
    CKeyHandle classes;
    LONG rc = CreateRegistryKey(HKEY_CURRENT_USER, "Software\\Classes", KEY_ALL_ACCESS, &classes);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    rc = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.Get());
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    // Type libraries go to the machine unless asked otherwise (Vista SP1
    // and later; earlier systems follow the redirected root by themselves).
    if (HMODULE oleaut = GetModuleHandleA("oleaut32.dll")) {
        using EnableFn = void(WINAPI*)();
        if (auto enable = reinterpret_cast<EnableFn>(
                reinterpret_cast<void*>(GetProcAddress(oleaut, "OaEnablePerUserTLibRegistration"))))
            enable();
    }
    const HRESULT hr = RegisterOrUnregister(install);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return hr;
}

}  // namespace

HINSTANCE ModuleInstance() {
    return g_instance;
}

void ModuleAddRef() {
    InterlockedIncrement(&g_locks);
}

void ModuleRelease() {
    InterlockedDecrement(&g_locks);
}

LONG ModuleLockCount() {
    return InterlockedCompareExchange(&g_locks, 0, 0);
}

bool ModuleFileName(WCHAR (&wide)[MAX_PATH], std::string& utf8) {
    const DWORD length = GetModuleFileNameW(g_instance, wide, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return NarrowName(wide, &utf8, CP_UTF8);
}

HRESULT GetContextMenuTypeInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    EnterCriticalSection(&g_typeInfoLock);
    HRESULT hr = S_OK;
    if (!g_typeInfo) hr = LoadTypeInfo(g_typeInfo.GetAddressOf());
    if (SUCCEEDED(hr)) g_typeInfo.CopyTo(info);
    LeaveCriticalSection(&g_typeInfoLock);
    return hr;
}

}  // namespace gorsemere

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    using namespace gorsemere;
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        InitializeCriticalSection(&g_typeInfoLock);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // At process exit other libraries may already be gone: only an
        // explicit unload releases the cached type information. Either way
        // the pointer is empty before its destructor runs, which comes after
        // this function.
        if (reserved)
            g_typeInfo.Detach();
        else
            g_typeInfo.Reset();
        DeleteCriticalSection(&g_typeInfoLock);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return gorsemere::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_GorsemereContextMenu)) return CLASS_E_CLASSNOTAVAILABLE;
    return gorsemere::g_factory.QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer() {
    return gorsemere::RegisterOrUnregister(true);
}

STDAPI DllUnregisterServer() {
    return gorsemere::RegisterOrUnregister(false);
}

// "regsvr32 /n /i:user" registers for the current user alone, "/u /n
// /i:user" removes that; nothing else is known.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    if (!commandLine || lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
    return gorsemere::RegisterOrUnregisterForUser(install != FALSE);
}

}  // extern "C"
