#pragma once
// Shared helpers of the in-process main-dialog tests: the application
// object, temporary files, message pumping, drops and key states.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/memory_profile_store.h"
#include "app/settings.h"
#include "res/resource.h"
#include "ui/main/main_dlg.h"
#include "ui/shell_resources.h"

// What the application object hands the main dialog: a settings record that
// is never loaded (so nothing reaches the registry), the display resources,
// set up once per process, and a profile store held in memory.
class TestApp {
public:
    CAppSettings& Settings() { return m_settings; }
    const ShellResources& Resources() const { return m_resources; }
    CMemoryProfileStore& Store() { return m_store; }
    static TestApp& Get();

private:
    CAppSettings m_settings;
    ShellResources m_resources;
    CMemoryProfileStore m_store;
};
void ResetSettings();
// Changes the test settings' conversion flags the way the Options dialog does.
void ChangeConversionFlags(const std::function<void(ConvertOptions&)>& change);

// A fresh folder under the temporary folder, removed with its content.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return m_path; }
    std::string Write(const std::string& relative, const std::string& content);
    std::string MakeFolder(const std::string& relative);
    static std::string Read(const std::string& path);

private:
    std::string m_path;
};

// Dispatches messages until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
void PumpFor(DWORD ms);

// A real CF_HDROP block with the given names, as the shell hands it over.
HDROP MakeDrop(const std::vector<std::string>& paths);
// The same in UTF-16, as the file manager hands it over; `paths` are UTF-8.
HDROP MakeWideDrop(const std::vector<std::string>& paths);

// Sets or clears a key in this thread's key state (what GetKeyState reads).
void SetKey(int key, bool down);

std::string ItemText(HWND dialog, int id);

// The dialog's controls in the order Tab visits them, each reached by a Tab
// key press through the dialog manager from the first tab stop, once round.
// The dialog is shown first: only a shown window takes the focus.
std::vector<HWND> WalkTabOrder(HWND dialog);
// "" when the walk follows the dialog's visual order (each step goes right
// along a row or down to a later one) and visits every visible, enabled tab
// stop once; otherwise the first fault, in words.
std::string TabOrderFault(HWND dialog, const std::vector<HWND>& walk);

// CMainDlg with a hook on every mark the list shows, and its protected
// entry points open to tests.
class TestMainDlg : public CMainDlg {
public:
    TestMainDlg(int format, const std::vector<std::string>* paths)
        : CMainDlg(TestApp::Get().Settings(), TestApp::Get().Resources(), TestApp::Get().Store(), format,
                   paths) {}
    std::function<void(TestMainDlg&, int item, EntryMark mark)> onMark;
    // Called on the worker's thread as each file's conversion starts: what
    // it sends to the dialog happens while that file is being converted.
    std::function<void(TestMainDlg&, const std::string& path)> onConvert;
    // Stands in for the dialog's own converter when set.
    IConverter* converter = nullptr;
    bool Translate(MSG* msg) { return PreTranslateMessage(msg); }
    bool CanRun(UINT id) { return IsCommandEnabled(id); }
    // Commands the rule is told to answer for (true enabled, false not),
    // and every command id that reached the handler, in order.
    std::vector<std::pair<UINT, bool>> ruleOverrides;
    std::vector<UINT> handled;
    // Commands recorded but not carried out (those that open modal dialogs).
    std::vector<UINT> recordOnly;
    // The message boxes the dialog would have shown, in order.
    std::vector<std::string> messages;

protected:
    IConverter& RunConverter() override;
    void OnMarkChanged(int index, EntryMark mark) override;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool IsCommandEnabled(UINT id) override {
        for (const auto& o : ruleOverrides)
            if (o.first == id) return o.second;
        return CMainDlg::IsCommandEnabled(id);
    }
    bool OnCommand(UINT id, UINT code, HWND control) override {
        handled.push_back(id);
        for (UINT held : recordOnly)
            if (held == id) return true;
        return CMainDlg::OnCommand(id, code, control);
    }

private:
    // The dialog's own converter, with onConvert called first.
    struct HookedConverter : IConverter {
        TestMainDlg* dlg = nullptr;
        IConverter* base = nullptr;
        ConvertResult Convert(const std::string& path, const ConvertOptions& options) override;
    } m_hooked;
};

// An entry's mark as its state image shows it.
EntryMark StateImage(CListCtrl& list, int item);
