#include "ui/dialogs/about_dlg.h"

#include <cstdio>
#include <string>

#include "framework/resource_text.h"
#include "res/product_info.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg(const ShellResources& resources, HWND parent)
    : CDialog(IDD_ABOUT, parent), m_resources(resources) {}

void CAboutDlg::DoDataExchange(bool) {
    DDX_Control(IDC_ABOUT_WEB_LINK, m_webLink);
    DDX_Control(IDC_ABOUT_MAIL_LINK, m_mailLink);
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const WPARAM bold = reinterpret_cast<WPARAM>(m_resources.BoldFont());
    for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_PURPOSE})
        SendDlgItemMessageA(m_hwnd, id, WM_SETFONT, bold, TRUE);

    // The links sit on the dialog's face; a new font fits each to its text.
    for (CHyperLink* link : {&m_webLink, &m_mailLink}) {
        link->m_backColor = GetSysColor(COLOR_BTNFACE);
        link->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_resources.BoldUnderlineFont()), TRUE);
    }
    m_webLink.SetLink(PARDWELL_HOME_PAGE, PARDWELL_HOME_PAGE);
    char target[512];
    std::snprintf(target, sizeof(target), LoadResourceText(IDS_MAILTO).c_str(), PARDWELL_SUPPORT_ADDRESS);
    m_mailLink.SetLink(target, PARDWELL_SUPPORT_ADDRESS);
    // The links are tab stops ahead of OK: Enter must still close the box.
    ::SetFocus(GetDlgItem(IDOK));
    return FALSE;
}
