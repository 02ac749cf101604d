#pragma once
// Drives the system's file dialog from a second thread, as a user would:
// waits for the dialog that this thread opens, looks at it, types into its
// file-name field and presses one of its buttons.

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// What the dialog showed when it came up.
struct FileDialogView {
    bool found = false;
    std::string folder;
    std::string fileName;  // the file-name field
    int filterIndex = -1;
    int filterCount = 0;
    std::string filterText;  // the selected filter row
};

class FileDialogDriver {
public:
    // action runs on the driver's thread once the dialog is up; it must end
    // the dialog (Press). A dialog still open afterwards is cancelled.
    explicit FileDialogDriver(std::function<void(HWND dialog)> action);
    ~FileDialogDriver();
    // Waits for the driver's thread; the view is complete afterwards.
    const FileDialogView& Finish();

    static void TypeFileName(HWND dialog, const std::string& text);
    static void Press(HWND dialog, int id);
    // Selects every entry of the dialog's file list, as Ctrl+A does.
    static bool SelectAllListed(HWND dialog);
    static std::string FileNameField(HWND dialog);

private:
    void Run(std::function<void(HWND)> action);
    DWORD m_owner;
    FileDialogView m_view;
    std::thread m_thread;
};

// Quoted names separated by spaces, as the dialog writes a selection.
std::string QuotedNames(const std::initializer_list<std::string>& names);
