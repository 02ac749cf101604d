#pragma once
// CFileDialogEx: the system's file-open (or save) dialog with a declared
// parameter-block size and, for multiple selection, a selection buffer that
// starts at 8,192 characters and grows with the selection, so that every
// selection the dialog allows comes back whole.

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <string>
#include <vector>

#include "framework/wnd.h"

class CFileDialogEx {
public:
    static constexpr DWORD kSelectionSize = 8192;

    // filter: "|"-separated description and pattern-list pairs ended by an
    // empty field. parent null: owned by the thread's active window.
    // structSize 0: the size this system's version calls for.
    CFileDialogEx(bool openMode, const char* defaultExtension, const char* fileName, DWORD flags,
                  const char* filter, HWND parent = nullptr, DWORD structSize = 0);
    virtual ~CFileDialogEx();
    CFileDialogEx(const CFileDialogEx&) = delete;
    CFileDialogEx& operator=(const CFileDialogEx&) = delete;

    // IDOK when the user confirmed; IDCANCEL when cancelled, when the system
    // dialog failed, or when its result did not arrive whole.
    INT_PTR DoModal();

    // The first string of the result: the full path of a single file, the
    // folder of several.
    std::string GetPathName() const;
    // Every chosen file as a full path, in the dialog's order.
    std::vector<std::string> GetPathNames() const;

    // The parameter-block size for a system version: the 5.0 block on NT 5
    // and later, the 4.0 block otherwise (76 and 88 bytes on 32-bit Windows).
    static DWORD StructSizeFor(DWORD platformId, DWORD majorVersion);
    // Splits a result buffer of `size` characters. fileOffset tells a single
    // full path (a separator before the name) from a folder followed by
    // zero-terminated names. Empty when the result is not terminated inside
    // the buffer, which means it was cut short.
    static std::vector<std::string> SplitSelection(const char* buffer, size_t size, size_t fileOffset);

    DWORD SelectionCapacity() const { return m_ofn.nMaxFile; }

    OPENFILENAMEA m_ofn{};

private:
    // The dialog window itself: OK (button or Enter) is the last moment to
    // make room for names typed into the file-name field.
    class CFrame : public CWnd {
    public:
        explicit CFrame(CFileDialogEx& owner) : m_owner(owner) {}

    protected:
        bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    private:
        CFileDialogEx& m_owner;
    };

    static UINT_PTR CALLBACK HookProc(HWND hook, UINT msg, WPARAM wp, LPARAM lp);
    // Grows the selection buffer to what the dialog's current folder and
    // file-name text need.
    void MakeRoom(HWND dialog);
    void SetCapacity(DWORD capacity);

    bool m_openMode;
    std::string m_defaultExtension;
    std::string m_filter;
    // Two zero characters beyond the capacity, so reading never runs off.
    std::vector<char> m_selection;
    CFrame m_frame{*this};
};
