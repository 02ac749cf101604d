// The About box as a user meets it: bold texts, two links with the bold
// underlined font whose texts come from the template, and a click on a link
// that reaches the dialog and opens its target through the shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <utility>
#include <vector>

#include "res/product_info.h"
#include "res/resource.h"
#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/about_dlg.h"

namespace {

class TestAboutDlg : public CAboutDlg {
public:
    using CAboutDlg::CAboutDlg;
    std::vector<std::pair<UINT, UINT>> commands;  // id, notification code

protected:
    bool OnCommand(UINT id, UINT code, HWND control) override {
        commands.push_back({id, code});
        return CAboutDlg::OnCommand(id, code, control);
    }
};

HFONT FontOf(HWND dialog, int id) {
    return reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, id, WM_GETFONT, 0, 0));
}

const std::string kMailTarget = std::string("mailto:") + PARDWELL_SUPPORT_ADDRESS + "?subject=About Pardwell";

TEST(AboutDlg, BoldTextsAndLinksWithTheirTargets) {
    const ShellResources& shell = TestApp::Get().Resources();
    TestAboutDlg about(shell);
    ASSERT_TRUE(about.Create());
    HWND wnd = about.m_hwnd;
    EXPECT_EQ(ItemText(wnd, IDC_ABOUT_VERSION), "Pardwell Version 1.0.0.0");
    EXPECT_EQ(FontOf(wnd, IDC_ABOUT_VERSION), shell.BoldFont());
    EXPECT_EQ(FontOf(wnd, IDC_ABOUT_PURPOSE), shell.BoldFont());
    EXPECT_EQ(FontOf(wnd, IDC_ABOUT_WEB_LINK), shell.BoldUnderlineFont());
    EXPECT_EQ(FontOf(wnd, IDC_ABOUT_MAIL_LINK), shell.BoldUnderlineFont());

    const struct {
        CHyperLink& link;
        int id;
        std::string text, target, tip;
    } links[] = {
        {about.m_webLink, IDC_ABOUT_WEB_LINK, PARDWELL_HOME_PAGE, PARDWELL_HOME_PAGE, PARDWELL_HOME_PAGE},
        {about.m_mailLink, IDC_ABOUT_MAIL_LINK, PARDWELL_SUPPORT_ADDRESS, kMailTarget,
         PARDWELL_SUPPORT_ADDRESS},
    };
    for (const auto& row : links) {
        EXPECT_EQ(ItemText(wnd, row.id), row.text) << "the template's text stays";
        EXPECT_EQ(row.link.Target(), row.target);
        EXPECT_EQ(row.link.TipText(), row.tip);
        EXPECT_EQ(row.link.m_backColor, GetSysColor(COLOR_BTNFACE));
        // The new font fits the link to its text: no wider than the text.
        RECT rect;
        GetClientRect(row.link.m_hwnd, &rect);
        CClientDC dc(row.link.m_hwnd);
        CSelectObject selected(dc, shell.BoldUnderlineFont());
        SIZE size{};
        GetTextExtentPoint32A(dc, row.text.c_str(), static_cast<int>(row.text.size()), &size);
        EXPECT_EQ(rect.right, size.cx) << row.text;
    }
    about.DestroyWindow();
}

// Registers the stand-in as the open command of a URL scheme for the life of
// the object, in the test prefix's own registry.
class ScopedUrlHandler {
public:
    explicit ScopedUrlHandler(const char* scheme) : m_key(std::string(scheme) + "\\shell\\open\\command") {
        m_scheme = scheme;
        std::string command = std::string("\"") + URL_STANDIN_EXE + "\" \"%1\"";
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, m_key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                           static_cast<DWORD>(command.size() + 1));
            RegCloseKey(key);
        }
        HKEY root = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, scheme, 0, KEY_WRITE, &root) == ERROR_SUCCESS) {
            RegSetValueExA(root, "URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            RegCloseKey(root);
        }
    }
    ~ScopedUrlHandler() { SHDeleteKeyA(HKEY_CLASSES_ROOT, m_scheme.c_str()); }

private:
    std::string m_key;
    std::string m_scheme;
};

std::string WaitForRecord(const std::string& path) {
    for (int i = 0; i < 400; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::string text;
            for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
            std::fclose(f);
            return text;
        }
        Sleep(50);
    }
    return "<nothing started>";
}

TEST(AboutDlg, AClickReachesTheDialogAndOpensTheTargetThroughTheShell) {
    TempFolder temp;
    const std::string record = temp.Path() + "\\opened.txt";
    SetEnvironmentVariableA("PARDWELL_URL_RECORD", record.c_str());
    ScopedUrlHandler https("https");
    ScopedUrlHandler mailto("mailto");

    TestAboutDlg about(TestApp::Get().Resources());
    ASSERT_TRUE(about.Create());
    ShowWindow(about.m_hwnd, SW_SHOW);
    const struct {
        CHyperLink& link;
        int id;
        std::string target;
    } links[] = {{about.m_webLink, IDC_ABOUT_WEB_LINK, PARDWELL_HOME_PAGE},
                 {about.m_mailLink, IDC_ABOUT_MAIL_LINK, kMailTarget}};
    for (const auto& row : links) {
        DeleteFileA(record.c_str());
        about.commands.clear();
        const LPARAM at = MAKELPARAM(2, 2);
        row.link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        row.link.SendMessage(WM_LBUTTONUP, 0, at);
        const std::string opened = WaitForRecord(record);
        EXPECT_NE(opened.find(row.target), std::string::npos) << "the handler got: " << opened;
        bool notified = false;
        for (auto [id, code] : about.commands)
            notified |= id == static_cast<UINT>(row.id) && code == STN_CLICKED;
        EXPECT_TRUE(notified) << row.target;
    }
    about.DestroyWindow();
    SetEnvironmentVariableA("PARDWELL_URL_RECORD", nullptr);
}

}  // namespace
