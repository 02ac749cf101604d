#pragma once
// CAboutDlg: the About box (dialog 100): the program's name, version and
// purpose in bold, and two links, the home page and the support address.
// The links keep the texts of the dialog template; only their targets and
// tooltips are set here.

#include <windows.h>

#include "framework/dialog.h"
#include "ui/controls/hyperlink.h"
#include "ui/shell_resources.h"

class CAboutDlg : public CDialog {
public:
    // The resources must outlive the dialog.
    explicit CAboutDlg(const ShellResources& resources, HWND parent = nullptr);

    CHyperLink m_webLink;
    CHyperLink m_mailLink;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(bool save) override;

private:
    const ShellResources& m_resources;
};
