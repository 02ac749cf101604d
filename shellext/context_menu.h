#pragma once
// GorsemereContextMenu: the "Convert EOL to" submenu of the file manager.
// Apartment-threaded; may be aggregated.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "gorsemere_idl.h"
#include "framework/handles.h"
#include "shellext/selection_list.h"

class CGorsemereContextMenu final : public IGorsemereContextMenu, public IShellExtInit, public IContextMenu {
public:
    // Creates an object for `outer` (may be null) and hands out `riid`.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown: delegates to the outer object when aggregated.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch through the type library.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excepInfo, UINT* argErr) override;

    // IShellExtInit
    STDMETHODIMP Initialize(LPCITEMIDLIST folder, IDataObject* data, HKEY progId) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT idCmdFirst, UINT idCmdLast,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, LPSTR name,
                                  UINT cchMax) override;

private:
    // The menu picture drawn for the system's display scale.
    static HBITMAP LoadMenuBitmap();

    // The object's own identity, which never delegates.
    struct Inner : IUnknown {
        CGorsemereContextMenu* m_owner;
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
    };

    explicit CGorsemereContextMenu(IUnknown* outer);
    // Takes the `count` paths of the dropped selection into m_selection.
    HRESULT ReadSelection(HDROP drop, UINT count);
    ~CGorsemereContextMenu();
    CGorsemereContextMenu(const CGorsemereContextMenu&) = delete;
    CGorsemereContextMenu& operator=(const CGorsemereContextMenu&) = delete;

    Inner m_inner;
    IUnknown* m_outer;  // the outer object, or &m_inner
    LONG m_refs = 1;
    CSelectionList m_selection;
    CBitmapHandle m_bitmap;
};
